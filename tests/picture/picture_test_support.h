// Helpers shared by the picture tests: requests, pictures and bitwise
// comparisons of tensors.
#pragma once

#include "picture/picture_request.h"

#include <QImage>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

inline PictureRequest makeRequest(std::uint32_t width, std::uint32_t height, std::uint32_t depth,
                                  InputFormat format = InputFormat::Rgb,
                                  std::array<double, 3> divider = {255.0, 255.0, 255.0},
                                  std::array<double, 3> adder = {0.0, 0.0, 0.0})
{
    PictureRequest request;
    request.width = width;
    request.height = height;
    request.depth = depth;
    request.format = format;
    request.divider = divider;
    request.adder = adder;
    return request;
}

// Equal bit for bit (so that NaN equals NaN and 0.0 differs from -0.0).
inline bool sameBits(const std::vector<float> &a, const std::vector<float> &b)
{
    return a.size() == b.size()
           && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

inline QImage randomPicture(std::mt19937 &random, int width, int height,
                            QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, QRgb(random()) | (format == QImage::Format_RGB32 ? 0xff000000u : 0u));
    if (format == QImage::Format_Indexed8)
        return image.convertToFormat(format, Qt::ThresholdDither);
    return format == QImage::Format_ARGB32 ? image : image.convertToFormat(format);
}
