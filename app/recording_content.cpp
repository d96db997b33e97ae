#include "app/recording_content.h"

#include "picture/picture_preparation.h"
#include "results/detection_drawing.h"
#include "results/yolo_decoder.h"

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

bool isDetector(const NnDescription &description)
{
    return description.neural_network == NetworkKind::Yolo2 || description.neural_network == NetworkKind::Yolo3
           || description.neural_network == NetworkKind::Yolo5;
}

std::vector<Detection> detectionsOf(const Frame &frame, const NnDescription &description, const ModelDims &dims)
{
    if (!frame.result.detections.empty() || !isDetector(description) || dims.inputs.empty())
        return frame.result.detections;
    const TensorDims &input = dims.inputs.front();
    return decodeDetections(frame.outputs, dims.outputs, input, QSize(int(input.width), int(input.height)),
                            description);
}

} // namespace

FrameRecorder::Annotate recordingAnnotation(const NnDescription &description, const ModelDims &modelDims)
{
    return [description, modelDims](const Frame &frame) {
        QImage canvas = frame.picture.picture.convertToFormat(QImage::Format_RGB32);
        std::vector<Detection> detections = detectionsOf(frame, description, modelDims);
        assignClassColours(detections);
        drawDetections(canvas, detections, description.labels);
        return canvas;
    };
}

FrameRecorder::Describe recordingDescription(const NnDescription &description, const ModelDims &modelDims,
                                             const QSize &originalSize)
{
    return [description, modelDims, originalSize](const Frame &frame) {
        QJsonObject record;
        record.insert(QStringLiteral("source"), frame.origin.source);
        record.insert(QStringLiteral("frame"), double(frame.origin.number));
        if (frame.origin.timeSeconds >= 0.0)
            record.insert(QStringLiteral("time_s"), std::round(frame.origin.timeSeconds * 1000.0) / 1000.0);
        if (isDetector(description) && !modelDims.inputs.empty()) {
            const TensorDims &input = modelDims.inputs.front();
            const QRect crop = centreCrop(originalSize, input.width, input.height);
            const double sx = crop.isEmpty() ? 1.0 : double(crop.width()) / double(input.width);
            const double sy = crop.isEmpty() ? 1.0 : double(crop.height()) / double(input.height);
            QJsonArray detections;
            for (const Detection &detection : detectionsOf(frame, description, modelDims)) {
                QJsonObject entry;
                entry.insert(QStringLiteral("class"), detection.classIndex);
                if (detection.classIndex >= 0 && std::size_t(detection.classIndex) < description.labels.size())
                    entry.insert(QStringLiteral("label"),
                                 QString::fromStdString(description.labels[std::size_t(detection.classIndex)]));
                entry.insert(QStringLiteral("confidence"), std::round(detection.confidence * 1e4) / 1e4);
                entry.insert(QStringLiteral("box"),
                             QJsonArray{int(std::lround(crop.x() + detection.x * sx)),
                                        int(std::lround(crop.y() + detection.y * sy)),
                                        int(std::lround(detection.width * sx)), int(std::lround(detection.height * sy))});
                detections.append(entry);
            }
            record.insert(QStringLiteral("detections"), detections);
        }
        return QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    };
}
