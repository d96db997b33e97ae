#include "tensor_layout.h"

#include "board_tensor_dims.h"

#include <algorithm>

namespace {

// The blob seen as [batches][channels][positions]: positions are the spatial
// values of one channel, walked in the caller's pixel order.
struct BlobGeometry
{
    std::size_t batches = 1;
    std::size_t channels = 1;
    std::size_t positions = 1;
};

BlobGeometry geometry(const std::vector<std::uint32_t> &shape)
{
    BlobGeometry blob;
    if (shape.size() == 1) {
        blob.channels = shape[0];
    } else if (shape.size() >= 2) {
        blob.batches = shape[0];
        blob.channels = shape[1];
        for (std::size_t axis = 2; axis < shape.size(); ++axis)
            blob.positions *= shape[axis];
    }
    return blob;
}

std::size_t evenUp(std::size_t value)
{
    return (value + 1) & ~std::size_t(1);
}

} // namespace

bool planarInputBoard(std::uint32_t boardType)
{
    return boardType == 1 || boardType == 3;
}

std::size_t boardInputValueCount(const std::vector<std::uint32_t> &shape, bool planar)
{
    const BoardTensorDims dims = boardTensorDims(shape);
    if (planar)
        return evenUp(dims.width) * dims.height * dims.depth;
    return std::size_t(dims.width) * dims.height * evenUp(dims.depth);
}

void boardInputToBlob(const float *input, const std::vector<std::uint32_t> &shape, bool planar,
                      float *blob)
{
    const BlobGeometry g = geometry(shape);
    if (planar) {
        // Plane c row y is blob channel c's row y, without the row padding.
        const BoardTensorDims dims = boardTensorDims(shape);
        const std::size_t width = dims.width;
        const std::size_t rowStride = evenUp(width);
        const std::size_t rows = std::size_t(dims.height) / g.batches;
        for (std::size_t n = 0; n < g.batches; ++n) {
            for (std::size_t c = 0; c < g.channels; ++c) {
                float *target = blob + (n * g.channels + c) * g.positions;
                const float *plane = input + c * rowStride * dims.height + n * rows * rowStride;
                for (std::size_t y = 0; y < rows; ++y)
                    std::copy(plane + y * rowStride, plane + y * rowStride + width, target + y * width);
            }
        }
        return;
    }
    // One pass over the caller's pixels, writing each channel's plane.
    const std::size_t pixelStride = evenUp(g.channels);
    for (std::size_t n = 0; n < g.batches; ++n) {
        float *batch = blob + n * g.channels * g.positions;
        const float *pixels = input + n * g.positions * pixelStride;
        for (std::size_t s = 0; s < g.positions; ++s) {
            const float *pixel = pixels + s * pixelStride;
            for (std::size_t c = 0; c < g.channels; ++c)
                batch[c * g.positions + s] = pixel[c];
        }
    }
}

void blobToBoardOutput(const float *blob, const std::vector<std::uint32_t> &shape, float *output)
{
    const BlobGeometry g = geometry(shape);
    for (std::size_t n = 0; n < g.batches; ++n) {
        for (std::size_t c = 0; c < g.channels; ++c) {
            const float *source = blob + (n * g.channels + c) * g.positions;
            float *target = output + n * g.positions * g.channels + c;
            for (std::size_t s = 0; s < g.positions; ++s)
                target[s * g.channels] = source[s];
        }
    }
}
