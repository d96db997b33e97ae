// An evaluation on a labelled data set as vrax-run and the window report it:
// what was evaluated and how, the board's figures and, when compared, the
// reference board's and their ratio.
#pragma once

#include "description/nn_description.h"
#include "evaluation/accuracy_figures.h"
#include "evaluation/data_set.h"

#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>

struct DataSetReport
{
    QString dataSet; // the annotation file or folder, as given
    DataSetKind format = DataSetKind::Coco;
    std::size_t pictures = 0;
    std::string warning;     // names that matched nothing; empty when all did
    double confidence = 0.0; // detectors: decoded down to this
    double threshold = 0.0;  // detectors: precision, recall, F1 and the confusion matrix at this
    PictureFit resize = PictureFit::CentreCrop;
    QString board;
    QString reference; // empty without a comparison
    AccuracyFigures accuracy;
    std::optional<AccuracyFigures> referenceAccuracy;
};

// {"data_set", "format", "pictures", "resize", "warning", and for detectors
// "confidence" and "threshold"}.
QJsonObject evaluationJson(const DataSetReport &report);
// Adds "evaluation", "accuracy", "accuracy_details" and, with a reference,
// "reference_accuracy", "reference_accuracy_details" and "accuracy_ratio".
void insertAccuracy(QJsonObject &object, const DataSetReport &report);
// The settings, the board's figures and, with a reference, the figures side
// by side.
std::string dataSetReportTable(const DataSetReport &report);
