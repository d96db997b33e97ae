#include "runner/batch_evaluation.h"

#include "results/result_filter.h"
#include "runner/batch_run.h"

#include <QFile>

BatchEvaluation::BatchEvaluation(const EvaluationOptions &evaluationOptions, const OpenedModel &model)
    : options(evaluationOptions), scored(model), threshold(model.description.yolo_confidence_threshold)
{
    choice.path = options.dataSet;
    choice.images = options.images;
    choice.classMap = options.classMap;
    choice.confidence = options.confidence.value_or(defaultEvaluationConfidence);
    if (isDetector(model.description.neural_network))
        scored.description.yolo_confidence_threshold = choice.confidence;
    else if (!options.cocoResults.isEmpty())
        throw RunFailure("--coco-results writes a detector's boxes, but the description's network is no detector");
    try {
        scoring = std::make_unique<DataSetScoring>(choice, model.description, model.modelDims);
    } catch (const std::exception &error) {
        throw RunFailure(error.what());
    }
}

void BatchEvaluation::add(const Frame &frame, bool compared)
{
    scoring->add(frame.origin.number, frame.picture, frame.result);
    if (compared)
        scoring->add(frame.origin.number, frame.picture, frame.reference, ScoredBoard::Reference);
}

FrameResult BatchEvaluation::shown(const FrameResult &result) const
{
    FrameResult kept = result;
    if (isDetector(scored.description.neural_network))
        kept.detections = detectionsAbove(result.detections, threshold);
    return kept;
}

DataSetReport BatchEvaluation::report(const QString &board, const QString &reference, PictureFit fit) const
{
    DataSetReport report;
    report.dataSet = options.dataSet;
    report.format = scoring->format();
    report.pictures = std::size_t(scoring->pictures().size());
    report.warning = scoring->warning();
    report.confidence = choice.confidence;
    report.threshold = threshold;
    report.resize = fit;
    report.board = board;
    report.accuracy = scoring->figures();
    if (scoring->scored(ScoredBoard::Reference)) {
        report.reference = reference;
        report.referenceAccuracy = scoring->figures(ScoredBoard::Reference);
    }
    return report;
}

void BatchEvaluation::writeCocoResults() const
{
    if (options.cocoResults.isEmpty())
        return;
    const QByteArray json = scoring->cocoResults();
    QFile file(options.cocoResults);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size() || !file.flush())
        throw RunFailure(
            QStringLiteral("Cannot write %1: %2").arg(options.cocoResults, file.errorString()).toStdString());
}
