// The figures of one board's evaluation, whatever the network kind: a
// detector's COCO box figures, a classifier's top-1 and top-5, or a
// segmentation network's IoU; as JSON, as a table, and set against a
// reference board's.
#pragma once

#include "evaluation/detection_accuracy.h"
#include "evaluation/label_accuracy.h"

#include <QJsonObject>

#include <string>
#include <utility>
#include <vector>

struct AccuracyFigures
{
    enum class Kind { Boxes, Labels, Masks };
    Kind kind = Kind::Boxes;
    DetectionAccuracy boxes;       // Boxes
    ClassificationAccuracy labels; // Labels
    SegmentationAccuracy masks;    // Masks
};

// The "accuracy" object: AP, AP50, ... top1, mIoU and the classes, unrounded.
QJsonObject accuracyJson(const AccuracyFigures &figures);
// The "accuracy_details": detectors at the threshold (precision, recall, F1,
// curves, confusion matrix); the others their confusion matrix.
QJsonObject accuracyDetailsJson(const AccuracyFigures &figures);
std::string accuracyTable(const AccuracyFigures &figures);

// The figures over all classes, by name in the JSON's order: the twelve COCO
// figures, top1 and top5, or mIoU and pixel_accuracy. -1 where absent.
std::vector<std::pair<std::string, double>> overallFigures(const AccuracyFigures &figures);
// The one figure a gate checks: AP, top1 or mIoU.
std::pair<std::string, double> headlineFigure(const AccuracyFigures &figures);

// Board over reference, figure by figure; null where either is absent or
// the reference's is 0.
QJsonObject accuracyRatioJson(const AccuracyFigures &board, const AccuracyFigures &reference);
// The ratio of two figures as accuracyRatioJson() has it; -1 for null.
double figureRatio(double board, double reference);
// The overall figures side by side: figure, board, reference, ratio.
std::string accuracyComparisonTable(const AccuracyFigures &board, const AccuracyFigures &reference,
                                    const std::string &boardName, const std::string &referenceName);
