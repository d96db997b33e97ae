#include "measuring/tensor_agreement.h"

#include <algorithm>
#include <cmath>

namespace {

// Two zero vectors agree; a zero one and another do not.
double cosineOf(double dot, double a, double b)
{
    if (a == 0.0 && b == 0.0)
        return 1.0;
    if (a == 0.0 || b == 0.0)
        return 0.0;
    return dot / (std::sqrt(a) * std::sqrt(b));
}

} // namespace

void TensorAgreement::add(const float *board, const float *reference, std::size_t count)
{
    double frameDot = 0.0, a = 0.0, b = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double x = board[i];
        const double y = reference[i];
        const double difference = std::abs(x - y);
        maxAbs = std::max(maxAbs, difference);
        sumAbs += difference;
        frameDot += x * y;
        a += x * x;
        b += y * y;
    }
    values += count;
    dot += frameDot;
    boardSquares += a;
    referenceSquares += b;
    worstCosine = std::min(worstCosine, cosineOf(frameDot, a, b));
}

TensorDifference TensorAgreement::difference() const
{
    TensorDifference difference;
    difference.maxAbs = maxAbs;
    difference.meanAbs = values == 0 ? 0.0 : sumAbs / double(values);
    difference.cosine = cosineOf(dot, boardSquares, referenceSquares);
    difference.worstCosine = worstCosine;
    return difference;
}
