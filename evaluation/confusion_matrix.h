// Counts of true class against predicted class.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ConfusionMatrix
{
    std::vector<std::string> labels; // row and column names; detectors end with "background"
    std::vector<std::size_t> counts; // [true][predicted], labels.size() squared

    explicit ConfusionMatrix(std::vector<std::string> names = {})
        : labels(std::move(names)), counts(labels.size() * labels.size(), 0)
    {
    }
    std::size_t size() const { return labels.size(); }
    std::size_t at(std::size_t truth, std::size_t predicted) const { return counts[truth * size() + predicted]; }
    void add(std::size_t truth, std::size_t predicted, std::size_t n = 1) { counts[truth * size() + predicted] += n; }
};
