#include "picture/picture_preparation.h"

#include "picture/binary_image.h"
#include "picture/image_tensor.h"
#include "picture/input_depth.h"
#include "picture/nearest_scaling.h"
#include "picture/picture_decoding.h"
#include "picture/planar_layout.h"

#include <QFileInfo>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

bool fitsInt(std::uint32_t value)
{
    return value <= std::uint32_t(std::numeric_limits<int>::max());
}

// Truncates toward zero, never beyond limit (rounding of the quotients could
// otherwise reach one past the picture).
int truncatedAtMost(double value, int limit)
{
    const double truncated = std::trunc(value);
    return truncated >= double(limit) ? limit : int(truncated);
}

// A file whose suffix names a format the picture reader knows.
bool namedLikePicture(const QFileInfo &file)
{
    return QImageReader::supportedImageFormats().contains(file.suffix().toLower().toLatin1());
}

} // namespace

QRect centreCrop(const QSize &picture, std::uint32_t width, std::uint32_t height)
{
    const int w = picture.width();
    const int h = picture.height();
    if (w <= 0 || h <= 0 || width == 0 || height == 0)
        return QRect();
    const double a = double(width) / double(height);
    const double r = double(w) / double(h);
    int cropWidth = w;
    int cropHeight = h;
    if (r > a)
        cropWidth = truncatedAtMost(h * a, w);
    else
        cropHeight = truncatedAtMost(w / a, h);
    return QRect((w - cropWidth) / 2, (h - cropHeight) / 2, cropWidth, cropHeight);
}

PictureFitting fitPicture(const QSize &picture, std::uint32_t width, std::uint32_t height, PictureFit fit)
{
    if (picture.isEmpty() || width == 0 || height == 0 || !fitsInt(width) || !fitsInt(height))
        return {};
    const QRect whole(QPoint(0, 0), QSize(int(width), int(height)));
    switch (fit) {
    case PictureFit::Stretch:
        return {QRect(QPoint(0, 0), picture), whole};
    case PictureFit::Letterbox: {
        const double scale = std::min(double(width) / picture.width(), double(height) / picture.height());
        const int w = std::clamp(int(std::lround(picture.width() * scale)), 1, int(width));
        const int h = std::clamp(int(std::lround(picture.height() * scale)), 1, int(height));
        return {QRect(QPoint(0, 0), picture), QRect((int(width) - w) / 2, (int(height) - h) / 2, w, h)};
    }
    case PictureFit::CentreCrop:
        break;
    }
    return {centreCrop(picture, width, height), whole};
}

namespace {

// The letterboxed input: the scaled picture in its place, padding around.
QImage placed(const QImage &scaled, const QRect &placement, const QSize &size, int padding)
{
    QImage input(size, QImage::Format_RGB32);
    if (input.isNull() || scaled.isNull())
        return QImage();
    input.fill(qRgb(padding, padding, padding));
    const QImage rows = scaled.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < placement.height(); ++y)
        std::memcpy(reinterpret_cast<QRgb *>(input.scanLine(placement.top() + y)) + placement.left(),
                    rows.constScanLine(y), std::size_t(placement.width()) * sizeof(QRgb));
    return input;
}

} // namespace

PreparedPicture prepareDecodedPicture(const QImage &image, const PictureRequest &request,
                                      bool planar)
{
    checkInputFormatFits(request.format, request.depth, planar);
    PreparedPicture prepared;
    if (image.isNull() || request.width == 0 || request.height == 0 || !fitsInt(request.width)
        || !fitsInt(request.height))
        return prepared;
    const PictureFitting fitting = fitPicture(image.size(), request.width, request.height, request.fit);
    if (fitting.crop.isEmpty() || fitting.placement.isEmpty())
        return prepared;

    const QSize size(int(request.width), int(request.height));
    prepared.picture = fitting.placement.size() == size
                           ? cropAndScale(image, fitting.crop, size)
                           : placed(cropAndScale(image, fitting.crop, fitting.placement.size()), fitting.placement,
                                    size, std::clamp(request.padding, 0, 255));
    if (prepared.picture.isNull())
        return prepared;
    prepared.original = image;
    prepared.crop = fitting.crop;
    prepared.placement = fitting.placement;
    prepared.tensor = imageToTensor(prepared.picture, request);
    if (planar)
        prepared.tensor = interleavedToPlanar(prepared.tensor, request.width, request.height,
                                              request.depth, 3);
    return prepared;
}

PreparedPicture preparePicture(const PictureRequest &request, bool planar)
{
    checkInputFormatFits(request.format, request.depth, planar);
    const QString path = QString::fromUtf8(request.path.data(), int(request.path.size()));
    QString readerError;
    const QImage image = decodePicture(path, request.pixelLimit, &readerError);
    if (!image.isNull())
        return prepareDecodedPicture(image, request, planar);
    // A picture that does not decode is no binary image with a wrong size.
    const QFileInfo file(path);
    if (file.isFile() && namedLikePicture(file))
        throw std::runtime_error("Cannot read picture: " + request.path + " (" + readerError.toStdString() + ")");

    // Not a picture: a raw tensor, shown as the picture it encodes.
    PreparedPicture prepared;
    prepared.tensor = readBinaryImage(request);
    prepared.picture = tensorToImage(request, prepared.tensor);
    return prepared;
}
