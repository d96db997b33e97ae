// Tensor shapes and output buffers: what the board layer hands over and the
// layers that prepare inputs and interpret outputs read. Plain data, free of
// the runtime's headers.
#pragma once

#include <cstdint>
#include <vector>

// A tensor as the runtime reports it: width x height x depth, depth last.
struct TensorDims
{
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t depth;
};

// The model's tensor shapes, in model order.
struct ModelDims
{
    std::vector<TensorDims> inputs;
    std::vector<TensorDims> outputs;
};

// Number of values in a tensor, in 64-bit arithmetic so that absurd shapes
// cannot wrap around.
inline std::uint64_t elementCount(const TensorDims &dims)
{
    return std::uint64_t(dims.width) * dims.height * dims.depth;
}

// One array of floats per model output, in model output order, each holding
// width x height x depth values (depth-last).
using OutputBuffers = std::vector<std::vector<float>>;
