// Probabilities from raw scores.
#pragma once

#include <cstddef>
#include <vector>

// exp(x - m - log(sum(exp(x - m)))) with m the largest score: no overflow for
// large scores. Differences are taken in single precision, the sum and the
// logarithm in double, the result rounded to float.
std::vector<float> softmax(const float *values, std::size_t count);
