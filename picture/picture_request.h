// What picture preparation is asked for, and what it gives back.
#pragma once

#include "description/nn_description.h"
#include "picture/picture_decoding.h"

#include <QImage>
#include <QRect>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct PictureRequest
{
    std::string path;                     // UTF-8
    std::uint32_t height = 0;             // network input height
    std::uint32_t width = 0;              // network input width
    InputFormat format = InputFormat::Rgb;
    std::array<double, 3> divider{1.0, 1.0, 1.0}; // per channel: red, green, blue
    std::array<double, 3> adder{0.0, 0.0, 0.0};
    std::uint32_t depth = 0;              // network input depth, after the even rounding
    PictureFit fit = PictureFit::CentreCrop;
    int padding = 114;                    // letterbox: the grey of the padding, 0 to 255
    std::uint64_t pixelLimit = defaultPixelLimit; // larger pictures and frames are refused
};

struct PreparedPicture
{
    QImage picture;            // the picture as the network sees it; null when none could be made
    std::vector<float> tensor; // interleaved, or planar for the planar boards
    QImage original;           // the picture as given (shares its pixels); null for raw binary images
    QRect crop;                // what of the original the network sees (its pixels); empty without original
    QRect placement;           // where the crop lies in picture (network pixels); empty: all of it
    // Made ahead of time for the window (see DisplayScalingSource): original,
    // its unseen part dimmed, or picture, scaled to the size shown; else null.
    QImage originalShown;
    QImage networkShown;
};
