// The figures of an evaluation as JSON and as a table for the terminal.
//
// JSON: the "accuracy" object of a detector,
//   {"AP": .., "AP50": .., "AP75": .., "APs": .., "APm": .., "APl": ..,
//    "AR1": .., "AR10": .., "AR100": .., "ARs": .., "ARm": .., "ARl": ..,
//    "classes": [{"label": .., "AP": .., "AP50": .., "instances": ..}]}
// unrounded, -1 where absent as the reference has it; and beside it
// "accuracy_details": the threshold with precision, recall and F1 over all
// classes and per class, the precision-recall curve per class (IoU 0.5, 101
// recall points) and the confusion matrix.
#pragma once

#include "evaluation/confusion_matrix.h"
#include "evaluation/detection_accuracy.h"

#include <QJsonObject>

#include <string>

QJsonObject detectionAccuracyJson(const DetectionAccuracy &accuracy);
QJsonObject detectionDetailsJson(const DetectionAccuracy &accuracy);
QJsonObject confusionMatrixJson(const ConfusionMatrix &matrix);

// Figures to three decimals ("n/a" where absent), per class, and the
// confusion matrix when it has at most maxMatrixClasses rows.
std::string detectionAccuracyTable(const DetectionAccuracy &accuracy, std::size_t maxMatrixClasses = 12);
std::string confusionMatrixTable(const ConfusionMatrix &matrix);

// A figure to three decimals, "n/a" for the absent -1.
std::string figureText(double value);
