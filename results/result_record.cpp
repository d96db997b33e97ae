#include "results/result_record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace {

double thousandths(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

// A video position to the microsecond: 5.6, not the 5.6000000000000005 that
// frame arithmetic leaves.
double microseconds(double seconds)
{
    return std::round(seconds * 1e6) / 1e6;
}

// The double that reads as the float's own shortest form: a probability kept
// in single precision is written 0.659001, not 0.6590009927749634.
double shortestOf(float value)
{
    if (!std::isfinite(value))
        return double(value);
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double widened = double(value);
    std::from_chars(text, written.ptr, widened);
    return widened;
}

void addLabel(QJsonObject &object, std::int32_t classIndex, const std::vector<std::string> &labels)
{
    if (classIndex >= 0 && std::size_t(classIndex) < labels.size())
        object.insert(QStringLiteral("label"), QString::fromStdString(labels[std::size_t(classIndex)]));
}

QJsonArray detectionsJson(const std::vector<Detection> &detections, const std::vector<std::string> &labels,
                          const BoxToOriginal &toOriginal)
{
    QJsonArray array;
    for (const Detection &detection : detections) {
        if (detection.classIndex < 0)
            continue;
        QRectF box(detection.x, detection.y, detection.width, detection.height);
        if (toOriginal)
            box = toOriginal(box);
        QJsonObject object;
        object.insert(QStringLiteral("class"), detection.classIndex);
        addLabel(object, detection.classIndex, labels);
        object.insert(QStringLiteral("confidence"), detection.confidence);
        object.insert(QStringLiteral("box"), QJsonArray{thousandths(box.x()), thousandths(box.y()),
                                                        thousandths(box.width()), thousandths(box.height())});
        array.append(object);
    }
    return array;
}

QJsonArray topJson(const std::vector<RankedClass> &ranking, const std::vector<std::string> &labels)
{
    QJsonArray array;
    const std::size_t count = std::min(ranking.size(), resultRecordTopCount);
    for (std::size_t i = 0; i < count; ++i) {
        QJsonObject object;
        object.insert(QStringLiteral("class"), ranking[i].classIndex);
        addLabel(object, ranking[i].classIndex, labels);
        object.insert(QStringLiteral("probability"), shortestOf(ranking[i].probability));
        array.append(object);
    }
    return array;
}

QJsonObject maskJson(const ClassMap &classMap)
{
    std::map<int, qint64> pixels;
    for (std::uint8_t cls : classMap.classes)
        ++pixels[cls];
    QJsonArray classes;
    for (const auto &[cls, count] : pixels)
        classes.append(QJsonObject{{QStringLiteral("class"), cls}, {QStringLiteral("pixels"), count}});
    return QJsonObject{{QStringLiteral("width"), qint64(classMap.width)},
                       {QStringLiteral("height"), qint64(classMap.height)},
                       {QStringLiteral("classes"), classes}};
}

} // namespace

QByteArray resultRecordLine(const ResultRecordOrigin &origin, const FrameResult &result,
                            const NnDescription &description, const BoxToOriginal &toOriginal)
{
    QJsonObject line;
    line.insert(QStringLiteral("source"), origin.source);
    line.insert(QStringLiteral("frame"), qint64(origin.frame));
    line.insert(QStringLiteral("source_index"), qint64(origin.sourceIndex));
    if (origin.timeSeconds >= 0.0)
        line.insert(QStringLiteral("time_s"), microseconds(origin.timeSeconds));
    switch (description.neural_network) {
    case NetworkKind::Classifier:
        line.insert(QStringLiteral("top"), topJson(result.ranking, description.labels));
        break;
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5:
        line.insert(QStringLiteral("detections"), detectionsJson(result.detections, description.labels, toOriginal));
        break;
    case NetworkKind::Unet:
        line.insert(QStringLiteral("mask"), maskJson(result.classMap));
        break;
    }
    return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}
