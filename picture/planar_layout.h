// The planar input layout of the TK301.02 and Wisp boards.
#pragma once

#include <cstdint>
#include <vector>

// Rearranges an interleaved tensor (stride values per pixel) into planes:
// plane c holds value c of every pixel, row by row; each row is followed by
// one 0.0 when the width is odd, so that rows have an even length. The result
// has ((width + 1) rounded down to even) x height x planes values. Values
// that the input lacks are 0.0. Throws std::length_error when the result
// could not be addressed.
std::vector<float> interleavedToPlanar(const std::vector<float> &tensor, std::uint32_t width,
                                       std::uint32_t height, std::uint32_t stride,
                                       std::uint32_t planes);
