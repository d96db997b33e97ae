// Pictures decoded from files within a size limit. The size is read from the
// file's header before any pixel is decoded, so that a small file claiming
// gigapixels is refused at once instead of taking gigabytes and minutes.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <string>

// Pictures and video frames of more pixels than this are refused: about
// 400 MB once decoded, and the application keeps the picture as given, its
// network input and what the window shows.
constexpr std::uint64_t defaultPixelLimit = 100'000'000;

// Empty when size is within the limit, else what is wrong with it:
// "20000 x 20000 pixels (400 megapixels), more than the limit of 100 megapixels".
std::string oversizeProblem(const QSize &size, std::uint64_t pixelLimit);

// The picture in the file, or null when the file holds no picture the
// toolkit reads (readerError then tells the reader's reason). Throws
// std::runtime_error naming the file when it is no regular file
// (checkRegularFile) or its header announces more pixels than pixelLimit:
// "/p/huge.png is 20000 x 20000 pixels (400 megapixels), more than the limit
// of 100 megapixels".
QImage decodePicture(const QString &path, std::uint64_t pixelLimit, QString *readerError = nullptr);

// Keeps the picture decoders' warnings (libpng's about colour profiles and
// the like) off the terminal: a picture that decodes is used as it is, one
// that does not is reported with its reader's reason. Once, at the start.
void quietDecoderWarnings();
