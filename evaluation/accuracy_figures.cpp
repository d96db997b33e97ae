#include "evaluation/accuracy_figures.h"

#include "evaluation/accuracy_report.h"

#include <QJsonValue>

#include <algorithm>
#include <cstdio>

QJsonObject accuracyJson(const AccuracyFigures &figures)
{
    switch (figures.kind) {
    case AccuracyFigures::Kind::Boxes:
        return detectionAccuracyJson(figures.boxes);
    case AccuracyFigures::Kind::Labels:
        return classificationAccuracyJson(figures.labels);
    case AccuracyFigures::Kind::Masks:
        return segmentationAccuracyJson(figures.masks);
    }
    return {};
}

QJsonObject accuracyDetailsJson(const AccuracyFigures &figures)
{
    switch (figures.kind) {
    case AccuracyFigures::Kind::Boxes:
        return detectionDetailsJson(figures.boxes);
    case AccuracyFigures::Kind::Labels:
        return QJsonObject{{"confusion_matrix", confusionMatrixJson(figures.labels.confusion)}};
    case AccuracyFigures::Kind::Masks:
        return QJsonObject{{"confusion_matrix", confusionMatrixJson(figures.masks.confusion)}};
    }
    return {};
}

std::string accuracyTable(const AccuracyFigures &figures)
{
    switch (figures.kind) {
    case AccuracyFigures::Kind::Boxes:
        return detectionAccuracyTable(figures.boxes);
    case AccuracyFigures::Kind::Labels:
        return classificationAccuracyTable(figures.labels);
    case AccuracyFigures::Kind::Masks:
        return segmentationAccuracyTable(figures.masks);
    }
    return {};
}

std::vector<std::pair<std::string, double>> overallFigures(const AccuracyFigures &figures)
{
    std::vector<std::pair<std::string, double>> named;
    switch (figures.kind) {
    case AccuracyFigures::Kind::Boxes:
        for (std::size_t i = 0; i < cocoFigureNames.size(); ++i)
            named.emplace_back(cocoFigureNames[i], figures.boxes.coco[i]);
        break;
    case AccuracyFigures::Kind::Labels:
        named.emplace_back("top1", figures.labels.top1);
        named.emplace_back("top5", figures.labels.top5);
        break;
    case AccuracyFigures::Kind::Masks:
        named.emplace_back("mIoU", figures.masks.meanIou);
        named.emplace_back("pixel_accuracy", figures.masks.pixelAccuracy);
        break;
    }
    return named;
}

std::pair<std::string, double> headlineFigure(const AccuracyFigures &figures)
{
    return overallFigures(figures).front();
}

double figureRatio(double board, double reference)
{
    if (!(board > -1.0) || !(reference > 0.0))
        return -1.0;
    return board / reference;
}

QJsonObject accuracyRatioJson(const AccuracyFigures &board, const AccuracyFigures &reference)
{
    const auto ours = overallFigures(board);
    const auto theirs = overallFigures(reference);
    QJsonObject ratios;
    for (std::size_t i = 0; i < ours.size() && i < theirs.size(); ++i) {
        const double ratio = figureRatio(ours[i].second, theirs[i].second);
        ratios.insert(QString::fromStdString(ours[i].first), ratio >= 0.0 ? QJsonValue(ratio) : QJsonValue());
    }
    return ratios;
}

std::string accuracyComparisonTable(const AccuracyFigures &board, const AccuracyFigures &reference,
                                    const std::string &boardName, const std::string &referenceName)
{
    const auto ours = overallFigures(board);
    const auto theirs = overallFigures(reference);
    const int width = int(std::max<std::size_t>({boardName.size(), referenceName.size(), 8}));
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%-15s %*s  %*s  %7s\n", "figure", width, boardName.c_str(), width,
                  referenceName.c_str(), "ratio");
    std::string out = buffer;
    for (std::size_t i = 0; i < ours.size() && i < theirs.size(); ++i) {
        const double ratio = figureRatio(ours[i].second, theirs[i].second);
        std::snprintf(buffer, sizeof buffer, "%-15s %*s  %*s  %7s\n", ours[i].first.c_str(), width,
                      figureText(ours[i].second).c_str(), width, figureText(theirs[i].second).c_str(),
                      ratio >= 0.0 ? figureText(ratio).c_str() : "n/a");
        out += buffer;
    }
    return out;
}
