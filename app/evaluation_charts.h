// The charts of an evaluation report, drawn with Qt Charts: a detector's
// precision-recall curves, the figure of each class (board and reference
// side by side) and the confusion matrix.
#pragma once

#include "evaluation/data_set_report.h"

#include <QString>
#include <QtCharts/QChart>

#include <vector>

struct NamedChart
{
    QString title;
    QtCharts::QChart *chart = nullptr; // owned by whoever shows it
};

// Every chart of the report, in the order the report shows them.
std::vector<NamedChart> reportCharts(const DataSetReport &report);

// Precision against recall at IoU 0.5, one curve per class with objects.
QtCharts::QChart *precisionRecallChart(const DetectionAccuracy &accuracy);
// AP, top-1 or IoU per class, a bar per board.
QtCharts::QChart *classFigureChart(const DataSetReport &report);
// One bar per true class, split by what was found (counts).
QtCharts::QChart *confusionChart(const ConfusionMatrix &matrix);
