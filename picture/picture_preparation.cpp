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

#include <cmath>
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

PreparedPicture prepareDecodedPicture(const QImage &image, const PictureRequest &request,
                                      bool planar)
{
    checkInputFormatFits(request.format, request.depth, planar);
    PreparedPicture prepared;
    if (image.isNull() || request.width == 0 || request.height == 0 || !fitsInt(request.width)
        || !fitsInt(request.height))
        return prepared;
    const QRect crop = centreCrop(image.size(), request.width, request.height);
    if (crop.isEmpty())
        return prepared;

    prepared.picture = cropAndScale(image, crop, QSize(int(request.width), int(request.height)));
    if (prepared.picture.isNull())
        return prepared;
    prepared.original = image;
    prepared.crop = crop;
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
