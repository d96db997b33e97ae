#include "evaluation/data_set_report.h"

#include "description/picture_fit.h"

#include <QDir>

#include <cstdio>

namespace {

bool isDetector(const DataSetReport &report)
{
    return report.accuracy.kind == AccuracyFigures::Kind::Boxes;
}

} // namespace

QJsonObject evaluationJson(const DataSetReport &report)
{
    QJsonObject object{{"data_set", report.dataSet},
                       {"format", dataSetKindName(report.format)},
                       {"pictures", double(report.pictures)},
                       {"resize", pictureFitName(report.resize)}};
    if (!report.warning.empty())
        object.insert("warning", QString::fromStdString(report.warning));
    if (isDetector(report)) {
        object.insert("confidence", report.confidence);
        object.insert("threshold", report.threshold);
    }
    return object;
}

void insertAccuracy(QJsonObject &object, const DataSetReport &report)
{
    object.insert("evaluation", evaluationJson(report));
    object.insert("accuracy", accuracyJson(report.accuracy));
    object.insert("accuracy_details", accuracyDetailsJson(report.accuracy));
    if (report.referenceAccuracy) {
        object.insert("reference_accuracy", accuracyJson(*report.referenceAccuracy));
        object.insert("reference_accuracy_details", accuracyDetailsJson(*report.referenceAccuracy));
        object.insert("accuracy_ratio", accuracyRatioJson(report.accuracy, *report.referenceAccuracy));
    }
}

std::string dataSetReportTable(const DataSetReport &report)
{
    char buffer[512];
    std::string out;
    std::snprintf(buffer, sizeof buffer, "data set    %s (%s, %zu pictures)\n",
                  QDir::toNativeSeparators(report.dataSet).toUtf8().constData(), dataSetKindName(report.format),
                  report.pictures);
    out += buffer;
    std::snprintf(buffer, sizeof buffer, "resize      %s\n", pictureFitName(report.resize));
    out += buffer;
    if (isDetector(report)) {
        std::snprintf(buffer, sizeof buffer,
                      "confidence  %g (detections down to it are scored; --conf)\n", report.confidence);
        out += buffer;
    }
    out += "\n" + accuracyTable(report.accuracy);
    if (report.referenceAccuracy)
        out += "\n" + accuracyComparisonTable(report.accuracy, *report.referenceAccuracy,
                                              report.board.toStdString(), report.reference.toStdString());
    return out;
}
