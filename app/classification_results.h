// The classifier's view: a table window with the most probable labels.
#pragma once

#include "results/frame_result.h"

#include <QWidget>

#include <string>
#include <vector>

namespace Ui {
class ClassificationResults;
}

// One of the labels (not a copy) with its probability.
struct ClassScore
{
    const std::string *label;
    float probability;
};

class ClassificationResults : public QWidget
{
    Q_OBJECT

public:
    // A top-level window for a classifier with these labels (class order),
    // not shown until the first results arrive.
    explicit ClassificationResults(std::vector<std::string> labels);
    ~ClassificationResults() override;

    // Lists a decoded frame's ten most probable labelled classes and brings
    // the window to the front, leaving the keyboard focus where it is.
    void showRanking(const std::vector<RankedClass> &ranking);

    // Empties the table: two stretched columns "Label" and "Probability", no rows.
    void resetTable();
    // Replaces the rows with the first maxRows entries of scores.
    void fillTable(const std::vector<ClassScore> &scores, int maxRows);

private:
    const std::vector<std::string> labels;
    Ui::ClassificationResults *ui;
};

// The ranking's classes that have a label, in the ranking's order.
std::vector<ClassScore> labelledScores(const std::vector<RankedClass> &ranking, const std::vector<std::string> &labels);
