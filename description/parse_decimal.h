// Number conversion for the description file: a point or a comma separates the
// decimals whatever the user's locale is.
#pragma once

#include <string>

// Converts the longest numeric prefix of text (leading white space skipped, the
// rest ignored). Throws std::invalid_argument when nothing converts and
// std::out_of_range when the value does not fit a double. Never touches the
// process locale, so it is safe beside the worker thread.
double parseDecimal(const std::string &text);
