// Turns a picture file into the network's input tensor and the picture that
// the window shows: centre crop to the network's aspect ratio (or the whole
// picture stretched, or letterboxed), nearest-pixel scaling to its input
// size, normalisation, and the board's layout.
#pragma once

#include "picture/picture_request.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>

// The centre crop of a picture to the aspect ratio width : height. In double
// precision, a = width / height and r = picture width / picture height; a
// relatively wider picture keeps its height and is cropped to height x a
// columns, another keeps its width and is cropped to width / a rows (both
// truncated); the offsets are rounded down. Empty when the size is 0.
QRect centreCrop(const QSize &picture, std::uint32_t width, std::uint32_t height);

// What of a picture the network sees (crop, in picture pixels) and where it
// lies in the network's input (placement, in network pixels).
struct PictureFitting
{
    QRect crop;
    QRect placement;
};

// Centre crop: centreCrop onto the whole input. Stretch: the whole picture
// onto the whole input. Letterbox: the whole picture scaled by
// min(width / picture width, height / picture height), each side rounded
// (at least 1 pixel), in the middle of the input (offsets rounded down).
// Both empty when a size is 0.
PictureFitting fitPicture(const QSize &picture, std::uint32_t width, std::uint32_t height, PictureFit fit);

// Reads the file named by the request. A readable picture is cropped, scaled
// and converted (then laid out in planes when planar is set); any other file
// is read as a binary image (readBinaryImage) and its display picture rebuilt
// from it (tensorToImage), except a file named like a picture (a suffix the
// picture reader knows, such as .jpg or .png) that fails to decode: that
// throws "Cannot read picture: " + path + " (" + the reader's reason + ")". The prepared picture is null when none can be
// made, for instance for an input of width or height 0. Throws
// std::runtime_error when the format does not fit the depth
// (checkInputFormatFits) and what readBinaryImage throws.
PreparedPicture preparePicture(const PictureRequest &request, bool planar);

// The same for a picture already decoded; the request's path is not used.
PreparedPicture prepareDecodedPicture(const QImage &image, const PictureRequest &request,
                                      bool planar);
