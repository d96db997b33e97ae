#include "evaluation/accuracy_report.h"

#include <QJsonArray>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

const std::array<const char *, 12> figureMeanings = {
    "IoU 0.50:0.95, all areas, 100 detections", "IoU 0.50", "IoU 0.75", "small objects (area < 32²)",
    "medium objects (32² to 96²)", "large objects (area > 96²)", "1 detection per picture and class",
    "10 detections", "100 detections", "small objects", "medium objects", "large objects"};

std::string formatted(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string formatted(const char *format, ...)
{
    char buffer[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return buffer;
}

std::string padded(const std::string &text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::size_t longestLabel(const std::vector<std::string> &labels, std::size_t least)
{
    std::size_t width = least;
    for (const std::string &label : labels)
        width = std::max(width, label.size());
    return width;
}

} // namespace

std::string figureText(double value)
{
    return value > -1.0 ? formatted("%.3f", value) : "n/a";
}

QJsonObject detectionAccuracyJson(const DetectionAccuracy &accuracy)
{
    QJsonObject object;
    for (std::size_t i = 0; i < cocoFigureNames.size(); ++i)
        object.insert(cocoFigureNames[i], accuracy.coco[i]);
    QJsonArray classes;
    for (const ClassDetectionFigures &c : accuracy.classes)
        classes.append(QJsonObject{{"label", QString::fromStdString(c.label)},
                                   {"AP", c.ap},
                                   {"AP50", c.ap50},
                                   {"instances", double(c.instances)}});
    object.insert("classes", classes);
    return object;
}

QJsonObject confusionMatrixJson(const ConfusionMatrix &matrix)
{
    QJsonArray labels, rows;
    for (const std::string &label : matrix.labels)
        labels.append(QString::fromStdString(label));
    for (std::size_t truth = 0; truth < matrix.size(); ++truth) {
        QJsonArray row;
        for (std::size_t predicted = 0; predicted < matrix.size(); ++predicted)
            row.append(double(matrix.at(truth, predicted)));
        rows.append(row);
    }
    return QJsonObject{{"labels", labels}, {"counts", rows}};
}

QJsonObject detectionDetailsJson(const DetectionAccuracy &accuracy)
{
    QJsonArray classes;
    for (const ClassDetectionFigures &c : accuracy.classes) {
        QJsonArray curve;
        for (double p : c.curve)
            curve.append(p);
        classes.append(QJsonObject{{"label", QString::fromStdString(c.label)},
                                   {"true_positives", double(c.truePositives)},
                                   {"false_positives", double(c.falsePositives)},
                                   {"precision", c.precision},
                                   {"recall", c.recall},
                                   {"f1", c.f1},
                                   {"pr_curve_iou50", curve}});
    }
    return QJsonObject{{"threshold", accuracy.threshold},
                       {"precision", accuracy.precision},
                       {"recall", accuracy.recall},
                       {"f1", accuracy.f1},
                       {"classes", classes},
                       {"confusion_matrix", confusionMatrixJson(accuracy.confusion)}};
}

std::string confusionMatrixTable(const ConfusionMatrix &matrix)
{
    const std::size_t labelWidth = longestLabel(matrix.labels, 10);
    std::size_t cell = 6;
    for (const std::string &label : matrix.labels)
        cell = std::max(cell, std::min<std::size_t>(label.size(), 10) + 1);
    for (std::size_t count : matrix.counts)
        cell = std::max(cell, std::to_string(count).size() + 1);
    std::string out = padded("true \\ found", labelWidth);
    for (const std::string &label : matrix.labels)
        out += formatted("%*s", int(cell), label.substr(0, 10).c_str());
    out += '\n';
    for (std::size_t truth = 0; truth < matrix.size(); ++truth) {
        out += padded(matrix.labels[truth], labelWidth);
        for (std::size_t predicted = 0; predicted < matrix.size(); ++predicted)
            out += formatted("%*zu", int(cell), matrix.at(truth, predicted));
        out += '\n';
    }
    return out;
}

std::string detectionAccuracyTable(const DetectionAccuracy &accuracy, std::size_t maxMatrixClasses)
{
    std::string out;
    for (std::size_t i = 0; i < cocoFigureNames.size(); ++i)
        out += formatted("%-6s %6s   %s\n", cocoFigureNames[i], figureText(accuracy.coco[i]).c_str(),
                         figureMeanings[i]);
    std::vector<std::string> labels;
    for (const ClassDetectionFigures &c : accuracy.classes)
        labels.push_back(c.label);
    const std::size_t width = longestLabel(labels, 5);
    out += formatted("\nat confidence above %g, IoU 0.5:\n", accuracy.threshold);
    out += padded("class", width)
           + "      AP    AP50  objects     TP     FP  precision  recall      F1\n";
    for (const ClassDetectionFigures &c : accuracy.classes)
        out += padded(c.label, width)
               + formatted("  %6s  %6s  %7zu  %5zu  %5zu  %9.3f  %6s  %6.3f\n", figureText(c.ap).c_str(),
                           figureText(c.ap50).c_str(), c.instances, c.truePositives, c.falsePositives, c.precision,
                           figureText(c.recall).c_str(), c.f1);
    std::size_t objects = 0, hits = 0, misses = 0;
    for (const ClassDetectionFigures &c : accuracy.classes) {
        objects += c.instances;
        hits += c.truePositives;
        misses += c.falsePositives;
    }
    out += padded("all", width)
           + formatted("  %6s  %6s  %7zu  %5zu  %5zu  %9.3f  %6s  %6.3f\n", figureText(accuracy.coco[0]).c_str(),
                       figureText(accuracy.coco[1]).c_str(), objects, hits, misses, accuracy.precision,
                       figureText(accuracy.recall).c_str(), accuracy.f1);
    if (accuracy.confusion.size() > 0 && accuracy.confusion.size() <= maxMatrixClasses + 1)
        out += "\nconfusion matrix (rows: true class, columns: class found):\n" + confusionMatrixTable(accuracy.confusion);
    return out;
}
