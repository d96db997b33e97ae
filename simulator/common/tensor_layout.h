// Conversion between the boards' tensor layouts and the engine's blobs.
//
// A tensor of shape [N, C, spatial...] is seen by the caller as rows of
// pixels with C channels each (see board_tensor_dims.h). Inputs come
// interleaved (channels fastest, the depth rounded up to even) or planar
// (one plane per channel, each row padded to an even width); outputs go out
// depth-last without padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Whether a board type takes its input planar: types 1 (TK301.02) and 3.
bool planarInputBoard(std::uint32_t boardType);

// Number of floats the caller hands over for an input of this shape.
std::size_t boardInputValueCount(const std::vector<std::uint32_t> &shape, bool planar);

// Fills blob (shape order, as the engine wants it) from the caller's input.
void boardInputToBlob(const float *input, const std::vector<std::uint32_t> &shape, bool planar,
                      float *blob);

// Fills output (depth-last) from a blob of the given shape.
void blobToBoardOutput(const float *blob, const std::vector<std::uint32_t> &shape, float *output);
