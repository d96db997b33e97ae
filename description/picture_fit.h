// The names of the ways a picture is brought to the input size, as the
// description's <resize> element, `vrax-run --resize` and the reports write
// them.
#pragma once

#include "description/nn_description.h"

#include <optional>
#include <string>

// "crop", "stretch", "letterbox".
const char *pictureFitName(PictureFit fit);
// The fit of one of those names; nothing for any other text.
std::optional<PictureFit> pictureFitNamed(const std::string &name);
