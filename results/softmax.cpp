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
