#include "runner/frame_annotation.h"

#include "picture/picture_geometry.h"
#include "results/detection_drawing.h"
#include "results/segmentation_overlay.h"

#include <QPainter>

#include <cmath>

namespace {

void drawTopClass(QImage &canvas, const FrameResult &result, const NnDescription &description)
{
    if (result.ranking.empty())
        return;
    const RankedClass &top = result.ranking.front();
    const auto index = std::size_t(top.classIndex);
    const QString label = index < description.labels.size() ? QString::fromStdString(description.labels[index])
                                                            : QString::number(top.classIndex);
    QPainter painter(&canvas);
    const int height = painter.fontMetrics().height() + 4;
    painter.fillRect(QRect(0, 0, canvas.width(), height), QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(QRect(4, 0, canvas.width() - 8, height), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("%1: %2").arg(label).arg(double(top.probability), 0, 'f', 2));
}

} // namespace

QImage annotatedPicture(const Frame &frame, const NnDescription &description, const ModelDims &modelDims)
{
    // On the picture as given where there is one, else as the network saw it.
    const PictureGeometry geometry = pictureGeometry(frame.picture);
    const bool original = !geometry.isNull() && !frame.picture.original.isNull();
    QImage canvas = (original ? frame.picture.original : frame.picture.picture).convertToFormat(QImage::Format_RGB32);
    switch (description.neural_network) {
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5: {
        std::vector<Detection> detections = frame.result.detections;
        if (original) {
            for (Detection &d : detections) {
                const QRect box = geometry.toOriginal(QRectF(d.x, d.y, d.width, d.height)).toRect();
                d.x = box.x();
                d.y = box.y();
                d.width = box.width();
                d.height = box.height();
            }
        }
        assignClassColours(detections);
        drawDetections(canvas, detections, description.labels);
        break;
    }
    case NetworkKind::Unet: {
        // Over the part of the picture the network saw.
        const QRect area = original ? geometry.crop() : canvas.rect();
        QImage part = canvas.copy(area);
        const TensorDims &dims = modelDims.outputs.front();
        paintSegmentation(part, frame.outputs.front(), dims,
                          randomClassColours(segmentationColourCount(dims.depth), quint32(frame.sequence)));
        QPainter(&canvas).drawImage(area.topLeft(), part);
        break;
    }
    case NetworkKind::Classifier:
        drawTopClass(canvas, frame.result, description);
        break;
    }
    return canvas;
}
