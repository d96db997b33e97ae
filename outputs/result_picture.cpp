#include "outputs/result_picture.h"

#include "picture/picture_geometry.h"
#include "results/class_colours.h"
#include "sources/shown_picture.h"
#include "results/result_painter.h"
#include "results/segmentation_overlay.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

void drawSceneResult(QPainter &painter, const ResultScene &scene, const QRect &target, const QRect &visible,
                     const QFont &font)
{
    const QImage &image = scene.image;
    if (image.isNull() || target.isEmpty())
        return;
    ResultPlacement placement;
    placement.networkToDevice = scene.networkToImage * imageToTarget(image.size(), target);
    placement.visible = visible;
    placement.networkArea = placement.networkToDevice.mapRect(QRectF(QPointF(0, 0), QSizeF(scene.networkSize)));
    placement.font = labelFontFor(font, target, visible);
    drawFrameResult(painter, scene.result, scene.labels, placement, scene.mask);
}

QImage renderResultScene(const ResultScene &scene, const QFont &font, const QColor &background)
{
    const QImage &image = scene.image;
    if (image.isNull())
        return QImage();
    QImage out(image.size(), QImage::Format_RGB32);
    if (out.isNull())
        return out;
    if (image.hasAlphaChannel())
        out.fill(background); // not whatever the memory held
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    dimUnseen(painter, out.rect(), image.size(), scene.seen);
    drawSceneResult(painter, scene, out.rect(), out.rect(), font);
    return out;
}

QImage resultOnOriginal(const PreparedPicture &picture, const FrameResult &result,
                        const std::vector<std::string> &labels, const QFont &font)
{
    const PictureGeometry geometry = pictureGeometry(picture);
    const bool original = !picture.original.isNull() && !geometry.isNull();
    QImage shown = original ? picture.original : picture.picture;
    QImage mask;
    if (!result.classMap.classes.empty()) {
        const std::vector<QRgb> &colours = segmentationColours();
        if (original) {
            mask = classMapMask(result.classMap, colours);
        } else {
            shown = shown.convertToFormat(QImage::Format_RGB32);
            paintClassMap(shown, result.classMap, colours);
        }
    }
    const ResultScene scene{shown,
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
