// Conversions between a picture and the interleaved input tensor: pixel by
// pixel, rows from top to bottom, the channel values of each pixel in the
// order of the input format, then one 0.0 when the depth is 2 or 4.
#pragma once

#include "picture/picture_request.h"

#include <QImage>
#include <QRgb>

#include <vector>

// The rule for one pixel (alpha ignored): R = red / divider[0] + adder[0] and
// so on, in double precision, each value rounded once to float; "intensity"
// is (0.587 G + 0.299 R) + 0.114 B in double from the normalised values.
void appendPixel(const PictureRequest &request, QRgb colour, std::vector<float> &tensor);

// The interleaved tensor of a whole picture, with the values of appendPixel
// applied to each QImage::pixel(), computed from scan lines and lookup tables.
std::vector<float> imageToTensor(const QImage &image, const PictureRequest &request);

// The picture that an interleaved tensor shows (request width x height,
// Format_RGB32): the normalisation undone per channel, each value rounded to
// float and truncated toward zero. A channel outside 0..255, or a pixel whose
// values the tensor lacks, gives opaque black. Null when the size is 0 or
// too large for a picture.
QImage tensorToImage(const PictureRequest &request, const std::vector<float> &tensor);
