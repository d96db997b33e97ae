#include "pipeline/result_picture.h"

#include "picture/picture_geometry.h"
#include "results/result_painter.h"
#include "results/segmentation_overlay.h"

#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace {

// The part of the picture the network never saw is shown this much darker.
const QColor unseenShade(0, 0, 0, 128);

// Enough colours for every class a map can hold.
constexpr std::size_t mapColourCount = 255;

} // namespace

void drawResultScene(QPainter &painter, const ResultScene &scene, const QRect &target, const QRect &visible,
                     const QFont &font)
{
    const QImage &image = scene.image;
    if (image.isNull() || target.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != image.size());
    painter.drawImage(target, image);

    const QTransform imageToDevice = QTransform::fromScale(double(target.width()) / image.width(),
                                                           double(target.height()) / image.height())
                                     * QTransform::fromTranslate(target.x(), target.y());
    if (!scene.seen.isEmpty()) {
        const QRect seen = imageToDevice.mapRect(QRectF(scene.seen)).toAlignedRect();
        for (const QRect &unseen : QRegion(target).subtracted(QRegion(seen)))
            painter.fillRect(unseen, unseenShade);
    }

    ResultPlacement placement;
    placement.networkToDevice = scene.networkToImage * imageToDevice;
    placement.visible = visible;
    placement.networkArea = placement.networkToDevice.mapRect(QRectF(QPointF(0, 0), QSizeF(scene.networkSize)));
    placement.font = font;
    drawFrameResult(painter, scene.result, scene.labels, placement, scene.mask);
}

QImage renderResultScene(const ResultScene &scene, const QFont &font)
{
    if (scene.image.isNull())
        return QImage();
    QImage out(scene.image.size(), QImage::Format_RGB32);
    if (out.isNull())
        return out;
    // Labels in proportion to a large picture, as on a screen that shows it whole.
    QFont scaled = font;
    const int factor =
        std::max(1, int(std::lround(std::max(scene.image.width(), scene.image.height()) / 1280.0)));
    if (scaled.pixelSize() > 0)
        scaled.setPixelSize(scaled.pixelSize() * factor);
    QPainter painter(&out);
    drawResultScene(painter, scene, out.rect(), out.rect(), scaled);
    return out;
}

QImage resultOnOriginal(const PreparedPicture &picture, const FrameResult &result,
                        const std::vector<std::string> &labels, const QFont &font, quint32 seed)
{
    const PictureGeometry geometry = pictureGeometry(picture);
    const bool original = !picture.original.isNull() && !geometry.isNull();
    QImage networkPicture;
    QImage mask;
    if (!result.classMap.classes.empty()) {
        const std::vector<QRgb> colours = randomClassColours(mapColourCount, seed);
        if (original) {
            mask = classMapMask(result.classMap, colours);
        } else {
            networkPicture = picture.picture.convertToFormat(QImage::Format_RGB32);
            paintClassMap(networkPicture, result.classMap, colours);
        }
    }
    const ResultScene scene{original ? picture.original : networkPicture.isNull() ? picture.picture : networkPicture,
                            result,
                            labels,
                            original ? geometry.networkToOriginal() : QTransform(),
                            picture.picture.size(),
                            original ? geometry.crop() : QRect(),
                            mask};
    return renderResultScene(scene, font);
}

BoxToOriginal boxToOriginal(const PreparedPicture &picture)
{
    const PictureGeometry geometry = pictureGeometry(picture);
    if (geometry.isNull())
        return {};
    return [geometry](const QRectF &box) { return geometry.toOriginal(box); };
}
