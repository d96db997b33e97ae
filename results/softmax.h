// Probabilities from a network's output: a softmax over raw scores, or the
// output as it is when it already holds probabilities.
#pragma once

#include "description/nn_description.h"

#include <cstddef>
#include <vector>

// exp(x - m - log(sum(exp(x - m)))) with m the largest score: no overflow for
// large scores. Differences are taken in single precision, the sum and the
// logarithm in double, the result rounded to float.
std::vector<float> softmax(const float *values, std::size_t count);

// Whether the values already are a probability distribution: each within
// [0, 1] and their sum within 1e-3 of 1. No values are no distribution.
bool isProbabilityDistribution(const float *values, std::size_t count);

// The class probabilities of a classifier's output: the values as they are
// for None, or for Automatic when they are a distribution already; else their
// softmax.
std::vector<float> classProbabilities(const float *values, std::size_t count, OutputActivation activation);
