#include "results/softmax.h"

#include <cmath>

std::vector<float> softmax(const float *values, std::size_t count)
{
    std::vector<float> probabilities(count);
    if (count == 0)
        return probabilities;

    float largest = values[0];
    for (std::size_t i = 1; i < count; ++i)
        if (values[i] > largest)
            largest = values[i];

    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        sum += std::exp(values[i] - largest); // single-precision exponential
    const double logSum = std::log(sum);

    for (std::size_t i = 0; i < count; ++i)
        probabilities[i] = float(std::exp(double(values[i] - largest) - logSum));
    return probabilities;
}

bool isProbabilityDistribution(const float *values, std::size_t count)
{
    constexpr double tolerance = 1e-3;
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        // Written so that a NaN fails too.
        if (!(values[i] >= 0.0f && values[i] <= 1.0f))
            return false;
        sum += values[i];
    }
    return count > 0 && std::fabs(sum - 1.0) <= tolerance;
}

std::vector<float> classProbabilities(const float *values, std::size_t count, OutputActivation activation)
{
    const bool asTheyAre = activation == OutputActivation::None
                           || (activation == OutputActivation::Automatic && isProbabilityDistribution(values, count));
    if (asTheyAre)
        return std::vector<float>(values, values + count);
    return softmax(values, count);
}
