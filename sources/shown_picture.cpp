#include "sources/shown_picture.h"

#include "results/vector_state.h"

#include <QPainter>
#include <QRegion>

#include <opencv2/imgproc.hpp>

namespace {

const QColor unseenShade(0, 0, 0, 128);

} // namespace

QImage smoothlyScaled(const QImage &image, const QSize &size)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    QImage source = image;
    if (source.format() != QImage::Format_RGB32 && source.format() != QImage::Format_ARGB32_Premultiplied)
        source = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                 : QImage::Format_RGB32);
    if (size == source.size())
        return source;
    QImage scaled(size, source.format());
    if (scaled.isNull() || source.isNull())
        return QImage();
    // Far smaller, Qt's own area averaging is the faster one, and keeps fine
    // patterns from turning into noise.
    if (2 * size.width() < source.width() || 2 * size.height() < source.height())
        return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Four bytes a pixel either way; premultiplied colours interpolate correctly.
    const cv::Mat from(source.height(), source.width(), CV_8UC4, const_cast<uchar *>(source.constBits()),
                       std::size_t(source.bytesPerLine()));
    cv::Mat to(scaled.height(), scaled.width(), CV_8UC4, scaled.bits(), std::size_t(scaled.bytesPerLine()));
    clearUpperVectorState(); // OpenCV's SSE code after Qt's AVX code
    cv::resize(from, to, to.size(), 0.0, 0.0, cv::INTER_LINEAR);
    return scaled;
}

QTransform imageToTarget(const QSize &imageSize, const QRect &target)
{
    return QTransform::fromScale(double(target.width()) / imageSize.width(),
                                 double(target.height()) / imageSize.height())
           * QTransform::fromTranslate(target.x(), target.y());
}

void dimUnseen(QPainter &painter, const QRect &target, const QSize &imageSize, const QRect &crop)
{
    if (crop.isEmpty() || imageSize.isEmpty())
        return;
    const QRect seen = imageToTarget(imageSize, target).mapRect(QRectF(crop)).toAlignedRect();
    for (const QRect &unseen : QRegion(target).subtracted(QRegion(seen)))
        painter.fillRect(unseen, unseenShade);
}

void scaleAhead(PreparedPicture &picture, const DisplayTarget &target)
{
    picture.originalShown = QImage();
    picture.networkShown = QImage();
    if (target.area.isEmpty())
        return;
    const bool original = target.original && !picture.original.isNull();
    const QImage &image = original ? picture.original : picture.picture;
    const QSize size = image.size().scaled(target.area, Qt::KeepAspectRatio);
    if (!image.isNull() && !size.isEmpty() && size != image.size())
        (original ? picture.originalShown : picture.networkShown) = shownPicture(picture, original, size);
}

QImage shownPicture(const PreparedPicture &picture, bool original, const QSize &size)
{
    QImage shown = smoothlyScaled(original ? picture.original : picture.picture, size);
    if (original && !shown.isNull()) {
        QPainter painter(&shown);
        dimUnseen(painter, shown.rect(), picture.original.size(), picture.crop);
    }
    return shown;
}
