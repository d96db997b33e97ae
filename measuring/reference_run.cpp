#include "measuring/reference_run.h"

#include "accel/frame_processing.h"
#include "engine/output_buffers.h"
#include "measuring/layer_comparison.h"
#include "picture/picture_preparation.h"

ReferenceRun::ReferenceRun(const std::string &descriptionPath, const BoardChoice &choice)
{
    try {
        model = openDescriptionOnBoards(descriptionPath, choice, sessions);
    } catch (...) {
        destroySessions(sessions);
        throw;
    }
    reading = pictureReadingOf(model.description, model.modelDims, choice.boardType);
    comparison = FrameComparison(kind());
}

ReferenceRun::~ReferenceRun()
{
    destroySessions(sessions);
}

void ReferenceRun::setBoardReading(const PictureReading &boardReading)
{
    sameInput = boardReading.planar == reading.planar && boardReading.request.depth == reading.request.depth;
}

void ReferenceRun::setLayerComparison(std::shared_ptr<LayerComparison> comparison)
{
    layers = std::move(comparison);
}

FrameResult ReferenceRun::compare(const QImage &networkPicture, const std::vector<float> &boardTensor,
                                  const OutputBuffers &boardOutputs, const FrameResult &boardResult,
                                  const ResultFilter &shown)
{
    std::vector<float> tensor;
    if (!sameInput)
        tensor = prepareDecodedPicture(networkPicture, reading.request, reading.planar).tensor;
    OutputBuffers outputs = outputBuffersFor(model.modelDims.outputs);
    double fps = 0.0;
    processFrame(sessions, sameInput ? boardTensor : tensor, outputs, fps);
    // Layer by layer first, outside the lock: report() stays quick meanwhile.
    compareLayers(boardTensor, tensor);
    const double shownConfidence = shown.confidence.value_or(model.description.yolo_confidence_threshold);
    const bool detector = isDetector(kind());
    if (!detector || lowestConfidence >= shownConfidence) {
        FrameResult result = decodeFilteredResult(outputs, model.modelDims, model.description, shown);
        std::lock_guard<std::mutex> lock(mutex);
        comparison.addFrame(boardOutputs, outputs, boardResult, result);
        return result;
    }
    // Decoded down to the lowest confidence, compared as shown.
    ResultFilter lowest = shown;
    lowest.confidence = lowestConfidence;
    FrameResult result = decodeFilteredResult(outputs, model.modelDims, model.description, lowest);
    FrameResult boardShown;
    boardShown.detections = detectionsAbove(boardResult.detections, shownConfidence);
    FrameResult referenceShown;
    referenceShown.detections = detectionsAbove(result.detections, shownConfidence);
    std::lock_guard<std::mutex> lock(mutex);
    comparison.addFrame(boardOutputs, outputs, boardShown, referenceShown);
    return result;
}

void ReferenceRun::compareLayers(const std::vector<float> &boardTensor, const std::vector<float> &ownTensor)
{
    if (layers)
        layers->compare(boardTensor, sameInput ? boardTensor : ownTensor);
}

ComparisonReport ReferenceRun::report() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return comparison.report();
}

void ReferenceRun::restart()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        comparison = FrameComparison(kind());
    }
    if (layers)
        layers->restart();
}

namespace {

QString line(const QString &name, const QString &value)
{
    return QStringLiteral("%1 %2\n").arg(name, -26).arg(value);
}

QString share(double value)
{
    return QString::number(value * 100.0, 'f', 1) + QLatin1Char('%');
}

} // namespace

QString comparisonTable(const ComparisonReport &c, NetworkKind kind, const QString &reference)
{
    QString text = QStringLiteral("Against %1 (%2 frames)\n").arg(reference).arg(c.frames);
    text += QStringLiteral("%1 %2 %3 %4 %5\n")
                .arg(QStringLiteral("output"), -26)
                .arg(QStringLiteral("max |d|"), 10)
                .arg(QStringLiteral("mean |d|"), 10)
                .arg(QStringLiteral("cosine"), 9)
                .arg(QStringLiteral("worst"), 9);
    for (std::size_t t = 0; t < c.tensors.size(); ++t) {
        const TensorDifference &d = c.tensors[t];
        text += QStringLiteral("%1 %2 %3 %4 %5\n")
                    .arg(QStringLiteral("output %1").arg(t), -26)
                    .arg(d.maxAbs, 10, 'g', 4)
                    .arg(d.meanAbs, 10, 'g', 4)
                    .arg(d.cosine, 9, 'f', 6)
                    .arg(d.worstCosine, 9, 'f', 6);
    }
    switch (kind) {
    case NetworkKind::Classifier:
        text += line(QStringLiteral("top-1 agreement"), share(c.top1));
        text += line(QStringLiteral("top-5 agreement"), share(c.top5));
        break;
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5:
        text += line(QStringLiteral("reference boxes matched"),
                     QStringLiteral("%1 of %2").arg(share(c.matched)).arg(c.referenceDetections));
        text += line(QStringLiteral("extra boxes"), QStringLiteral("%1 of %2").arg(share(c.extra)).arg(c.boardDetections));
        break;
    case NetworkKind::Unet:
        for (const auto &[cls, iou] : c.maskIou)
            text += line(QStringLiteral("mask IoU, class %1").arg(cls), QString::number(iou, 'f', 4));
        break;
    }
    text += line(QStringLiteral("agreement"), QString::number(c.agreement, 'f', 4));
    return text;
}
