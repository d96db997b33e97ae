#include "results/class_colours.h"

#include <array>
#include <cmath>

namespace {

constexpr std::array<QRgb, 16> palette = {
    0xffffff00, // yellow
    0xff00ff00, // green
    0xffff0000, // red
    0xff00ffff, // cyan
    0xffff00ff, // magenta
    0xffff8000, // orange
    0xff4da6ff, // azure
    0xff00ff80, // spring green
    0xffff80c0, // pink
    0xffb080ff, // lavender
    0xffb0ff00, // lime
    0xffffc080, // peach
    0xffff8080, // salmon
    0xff80ffd0, // aquamarine
    0xfff0e68c, // khaki
    0xffc0c0ff, // periwinkle
};

} // namespace

QColor classColour(std::int32_t classIndex)
{
    if (classIndex < 0)
        return QColor(Qt::gray);
    if (std::size_t(classIndex) < palette.size())
        return QColor::fromRgb(palette[std::size_t(classIndex)]);
    // Successive classes a golden angle apart on the hue circle never meet.
    const double hue = std::fmod(double(classIndex) * 137.50776405, 360.0);
    return QColor::fromHsv(int(hue), 170, 255);
}

const std::vector<QRgb> &segmentationColours()
{
    static const std::vector<QRgb> colours = [] {
        std::vector<QRgb> list;
        for (std::int32_t k = 0; k < 255; ++k)
            list.push_back(classColour(k).rgba());
        return list;
    }();
    return colours;
}
