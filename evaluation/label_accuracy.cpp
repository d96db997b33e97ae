#include "evaluation/label_accuracy.h"

#include "evaluation/accuracy_report.h"

#include <QJsonArray>

#include <algorithm>
#include <cstdio>

namespace {

double share(std::size_t part, std::size_t whole)
{
    return whole > 0 ? double(part) / double(whole) : -1.0;
}

std::string line(const std::string &label, std::size_t width, const std::string &rest)
{
    return label + std::string(width > label.size() ? width - label.size() : 0, ' ') + rest + "\n";
}

std::size_t labelWidth(const std::vector<std::string> &labels)
{
    std::size_t width = 5;
    for (const std::string &label : labels)
        width = std::max(width, label.size());
    return width;
}

} // namespace

ClassificationTally::ClassificationTally(std::vector<std::string> names)
    : labels(std::move(names)), pictures(labels.size(), 0), top1(labels.size(), 0), top5(labels.size(), 0),
      confusion(labels)
{
}

void ClassificationTally::add(std::size_t truth, const std::vector<std::size_t> &ranking)
{
    if (truth >= labels.size())
        return;
    ++pictures[truth];
    if (!ranking.empty() && ranking[0] < labels.size())
        confusion.add(truth, ranking[0]);
    const std::size_t considered = std::min<std::size_t>(ranking.size(), 5);
    const auto end = ranking.begin() + std::ptrdiff_t(considered);
    if (!ranking.empty() && ranking[0] == truth)
        ++top1[truth];
    if (std::find(ranking.begin(), end, truth) != end)
        ++top5[truth];
}

ClassificationAccuracy ClassificationTally::accuracy() const
{
    ClassificationAccuracy a;
    a.confusion = confusion;
    std::size_t right1 = 0, right5 = 0;
    for (std::size_t k = 0; k < labels.size(); ++k) {
        a.classes.push_back({labels[k], pictures[k], share(top1[k], pictures[k]), share(top5[k], pictures[k])});
        a.pictures += pictures[k];
        right1 += top1[k];
        right5 += top5[k];
    }
    a.top1 = a.pictures > 0 ? double(right1) / double(a.pictures) : 0.0;
    a.top5 = a.pictures > 0 ? double(right5) / double(a.pictures) : 0.0;
    return a;
}

SegmentationTally::SegmentationTally(std::vector<std::string> names) : labels(std::move(names)), confusion(labels)
{
}

void SegmentationTally::add(const std::vector<std::uint8_t> &mask, const std::vector<std::uint8_t> &predicted)
{
    const std::size_t n = std::min(mask.size(), predicted.size());
    const std::size_t classes = labels.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t truth = mask[i];
        if (truth == maskIgnored)
            continue;
        if (truth >= classes || predicted[i] >= classes) {
            ++outOfRange;
            continue;
        }
        confusion.counts[std::size_t(truth) * classes + predicted[i]] += 1;
    }
}

SegmentationAccuracy SegmentationTally::accuracy() const
{
    SegmentationAccuracy a;
    a.confusion = confusion;
    const std::size_t classes = labels.size();
    std::size_t right = 0, all = outOfRange;
    double iouSum = 0.0;
    std::size_t present = 0;
    for (std::size_t k = 0; k < classes; ++k) {
        std::size_t inMask = 0, found = 0;
        for (std::size_t j = 0; j < classes; ++j) {
            inMask += confusion.at(k, j);
            found += confusion.at(j, k);
        }
        const std::size_t hit = confusion.at(k, k);
        right += hit;
        all += inMask;
        SegmentationAccuracy::Class c{labels[k], inMask, share(hit, inMask + found - hit)};
        if (c.iou >= 0.0) {
            iouSum += c.iou;
            ++present;
        }
        a.classes.push_back(c);
    }
    a.meanIou = present > 0 ? iouSum / double(present) : -1.0;
    a.pixelAccuracy = share(right, all);
    return a;
}

QJsonObject classificationAccuracyJson(const ClassificationAccuracy &accuracy)
{
    QJsonArray classes;
    for (const ClassificationAccuracy::Class &c : accuracy.classes)
        classes.append(QJsonObject{{"label", QString::fromStdString(c.label)},
                                   {"pictures", double(c.pictures)},
                                   {"top1", c.top1},
                                   {"top5", c.top5}});
    return QJsonObject{{"top1", accuracy.top1}, {"top5", accuracy.top5}, {"classes", classes}};
}

QJsonObject segmentationAccuracyJson(const SegmentationAccuracy &accuracy)
{
    QJsonArray classes;
    for (const SegmentationAccuracy::Class &c : accuracy.classes)
        classes.append(QJsonObject{
            {"label", QString::fromStdString(c.label)}, {"IoU", c.iou}, {"pixels", double(c.pixels)}});
    return QJsonObject{{"mIoU", accuracy.meanIou}, {"pixel_accuracy", accuracy.pixelAccuracy}, {"classes", classes}};
}

std::string classificationAccuracyTable(const ClassificationAccuracy &accuracy)
{
    std::vector<std::string> labels;
    for (const auto &c : accuracy.classes)
        labels.push_back(c.label);
    const std::size_t width = labelWidth(labels);
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "top-1  %.3f\ntop-5  %.3f\n(%zu pictures)\n\n", accuracy.top1, accuracy.top5,
                  accuracy.pictures);
    std::string out = buffer;
    out += line("class", width, "  pictures   top-1   top-5");
    for (const auto &c : accuracy.classes) {
        std::snprintf(buffer, sizeof buffer, "  %8zu  %6s  %6s", c.pictures, figureText(c.top1).c_str(),
                      figureText(c.top5).c_str());
        out += line(c.label, width, buffer);
    }
    if (accuracy.confusion.size() <= 20)
        out += "\nconfusion matrix (rows: true class, columns: top class):\n" + confusionMatrixTable(accuracy.confusion);
    return out;
}

std::string segmentationAccuracyTable(const SegmentationAccuracy &accuracy)
{
    std::vector<std::string> labels;
    for (const auto &c : accuracy.classes)
        labels.push_back(c.label);
    const std::size_t width = labelWidth(labels);
    std::string out = "mean IoU        " + figureText(accuracy.meanIou) + "\npixel accuracy  "
                      + figureText(accuracy.pixelAccuracy) + "\n\n" + line("class", width, "     IoU      pixels");
    char buffer[96];
    for (const auto &c : accuracy.classes) {
        std::snprintf(buffer, sizeof buffer, "  %6s  %10zu", figureText(c.iou).c_str(), c.pixels);
        out += line(c.label, width, buffer);
    }
    return out;
}
