// How far a board's tensor is from a reference's, added up over frames: the
// figures of the output comparison and of the layer comparison alike.
#pragma once

#include <cstddef>
#include <cstdint>

// One tensor over every frame compared.
struct TensorDifference
{
    double maxAbs = 0.0;       // largest |board - reference| of any value
    double meanAbs = 0.0;      // mean |board - reference| over all values
    double cosine = 1.0;       // cosine similarity of all frames' values taken as one vector
    double worstCosine = 1.0;  // the lowest of any single frame
};

class TensorAgreement
{
public:
    // One frame's tensor on both sides, count values each.
    void add(const float *board, const float *reference, std::size_t count);
    TensorDifference difference() const;

private:
    double maxAbs = 0.0;
    double sumAbs = 0.0;
    double dot = 0.0;
    double boardSquares = 0.0;
    double referenceSquares = 0.0;
    std::uint64_t values = 0;
    double worstCosine = 1.0;
};
