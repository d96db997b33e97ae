#include "runner/frame_annotation.h"

#include "results/detection_drawing.h"
#include "results/segmentation_overlay.h"

#include <QPainter>

BoxToOriginal boxToOriginal(const PreparedPicture &)
{
    return {};
}

QImage annotatedPicture(const Frame &frame, const NnDescription &description, const ModelDims &modelDims)
{
    QImage canvas = frame.picture.picture.convertToFormat(QImage::Format_RGB32);
    switch (description.neural_network) {
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5: {
        std::vector<Detection> detections = frame.result.detections;
        assignClassColours(detections);
        drawDetections(canvas, detections, description.labels);
        break;
    }
    case NetworkKind::Unet: {
        const TensorDims &dims = modelDims.outputs.front();
        paintSegmentation(canvas, frame.outputs.front(), dims,
                          randomClassColours(segmentationColourCount(dims.depth), quint32(frame.sequence)));
        break;
    }
    case NetworkKind::Classifier:
        if (!frame.result.ranking.empty()) {
            const RankedClass &top = frame.result.ranking.front();
            const auto index = std::size_t(top.classIndex);
            const QString label = index < description.labels.size()
                                      ? QString::fromStdString(description.labels[index])
                                      : QString::number(top.classIndex);
            QPainter painter(&canvas);
            painter.fillRect(QRect(0, 0, canvas.width(), 18), QColor(0, 0, 0, 160));
            painter.setPen(Qt::white);
            painter.drawText(QRect(4, 0, canvas.width() - 8, 18), Qt::AlignVCenter | Qt::AlignLeft,
                             QStringLiteral("%1: %2").arg(label).arg(double(top.probability), 0, 'f', 2));
        }
        break;
    }
    return canvas;
}
