// The number precision of a board type's units: exact float (the default),
// int8, int8 at the edges only, or half precision. An int8 board runs the
// network quantised to int8 (see int8_network.h); an int8-io or half
// precision board rounds its input tensor and each output tensor as the
// board's arithmetic would while the network itself runs in float.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class BoardPrecision : std::uint8_t { Float, Int8, Half, Int8Io };

// "float", "int8", "int8-io" or "fp16"; false for anything else.
bool parseBoardPrecision(const std::string &text, BoardPrecision &precision);

// int8-io: one symmetric scale for the whole tensor, its largest finite
// magnitude / 127; each value becomes round(x / scale) * scale, halves
// rounded away from zero. A tensor without nonzero finite values becomes
// zeros; infinities saturate to ±127 steps, NaN becomes 0 (int8 has
// neither).
void quantiseInt8(float *values, std::size_t count);

// The nearest half-precision value, ties to even. Finite values beyond the
// largest half (65504) saturate to it instead of becoming infinite, as a
// board's saturating arithmetic does; infinities and NaN stay as they are.
float nearestHalf(float value);

// Rounds a tensor at a board's edge: int8-io and fp16 round, float and int8
// (which computes in int8 inside the network) leave the values as they are.
void quantise(float *values, std::size_t count, BoardPrecision precision);
