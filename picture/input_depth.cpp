#include "picture/input_depth.h"

#include <limits>
#include <stdexcept>
#include <string>

std::uint32_t roundedInputDepth(bool planar, std::uint32_t depth)
{
    if (planar || depth == std::numeric_limits<std::uint32_t>::max())
        return depth; // the largest odd depth has no even successor; the format check refuses it
    return (depth + 1) & ~std::uint32_t(1);
}

std::uint32_t valuesPerPixel(InputFormat format, std::uint32_t depth)
{
    const std::uint32_t channels = format == InputFormat::Intensity ? 1 : 3;
    return channels + (depth == 2 || depth == 4 ? 1 : 0);
}

namespace {

bool isKnownFormat(InputFormat format)
{
    return std::uint32_t(format) <= std::uint32_t(InputFormat::Intensity);
}

} // namespace

const char *inputFormatName(InputFormat format)
{
    switch (format) {
    case InputFormat::Rgb:
        return "rgb";
    case InputFormat::Rbg:
        return "rbg";
    case InputFormat::Grb:
        return "grb";
    case InputFormat::Gbr:
        return "gbr";
    case InputFormat::Brg:
        return "brg";
    case InputFormat::Bgr:
        return "bgr";
    case InputFormat::Intensity:
        return "intensity";
    }
    return "unknown";
}

void checkInputFormatFits(InputFormat format, std::uint32_t depth, bool planar)
{
    if (!isKnownFormat(format))
        throw std::runtime_error("Unknown input format " + std::to_string(std::uint32_t(format)));

    const std::string name = inputFormatName(format);
    const std::string depthText = std::to_string(depth);
    const bool intensity = format == InputFormat::Intensity;
    if (planar) {
        // The board reads three planes; a fourth channel or a single grey value
        // would leave the model's input partly unwritten.
        if (intensity)
            throw std::runtime_error("The input format \"intensity\" cannot feed a board that takes "
                                     "three colour planes (input depth "
                                     + depthText + ")");
        if (depth != 3)
            throw std::runtime_error("The input format \"" + name + "\" does not fit the input depth "
                                     + depthText + " on a board that takes three colour planes "
                                       "(depth 3 needed)");
        return;
    }
    // Each pixel must fill exactly its depth, so that the tensor holds
    // width x height x depth values.
    if (valuesPerPixel(format, depth) != depth)
        throw std::runtime_error("The input format \"" + name + "\" does not fit the input depth "
                                 + depthText + " (" + (intensity ? "depth 1 or 2" : "depth 3 or 4")
                                 + " needed)");
}
