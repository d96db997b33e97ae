#include "results/detection_results.h"

#include "results/detection_drawing.h"
#include "results/frame_result.h"
#include "results/yolo_decoder.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>

DetectionResults::DetectionResults(const NnDescription &description, const ModelDims &modelDims, QImage *picture,
                                   QLabel *const *pictureLabel)
    : NnResults(description, modelDims, picture, pictureLabel)
{
}

void DetectionResults::showResults(const OutputBuffers &outputs)
{
    const std::vector<Detection> detections = decodeFrameResult(outputs, modelDims, description).detections;
    QImage canvas = *picture; // shares the pixels until the first stroke detaches it
    if (canvas.format() != QImage::Format_RGB32 && !canvas.isNull())
        canvas = canvas.convertToFormat(QImage::Format_RGB32);
    drawDetections(canvas, detections, description.labels);
    if (QLabel *label = *pictureLabel)
        label->setPixmap(QPixmap::fromImage(canvas));
}

std::vector<Detection> DetectionResults::decodeDetections(const OutputBuffers &outputs) const
{
    const TensorDims input = modelDims.inputs.empty() ? TensorDims{} : modelDims.inputs.front();
    return ::decodeDetections(outputs, modelDims.outputs, input, picture->size(), description);
}
