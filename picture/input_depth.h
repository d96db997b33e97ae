// How many values a pixel of the input tensor holds, and whether an input
// format can feed a model of a given depth.
#pragma once

#include "description/nn_description.h"

#include <cstdint>

// The depth that the tensor is prepared for: boards that take their input in
// planes take the model's depth as it is, the others an even one (3 becomes
// 4, 1 becomes 2).
std::uint32_t roundedInputDepth(bool planar, std::uint32_t depth);

// Values that a pixel contributes to the interleaved tensor: the format's
// channel values (three, or one for "intensity"), plus one 0.0 when the depth
// is 2 or 4.
std::uint32_t valuesPerPixel(InputFormat format, std::uint32_t depth);

// Throws std::runtime_error, naming the format and the depth, unless the
// format fills exactly the model's depth:
// - interleaved: a colour format with depth 3 or 4, "intensity" with depth 1 or 2;
// - planar (three planes, one per colour channel): a colour format with depth 3.
void checkInputFormatFits(InputFormat format, std::uint32_t depth, bool planar);

// The name of the format as the description file writes it ("rgb", "intensity"...).
const char *inputFormatName(InputFormat format);
