// vrax-run's options for accuracy on a labelled data set (--dataset and what
// goes with it) and for the way pictures are fitted to the input (--resize).
#pragma once

#include "description/nn_description.h"

#include <QString>

#include <functional>
#include <optional>

struct EvaluationOptions
{
    QString dataSet;      // --dataset: a COCO annotation file or a data set folder
    QString images;       // --images: a COCO file's pictures
    QString classMap;     // --class-map
    QString cocoResults;  // --coco-results: the detections in the reference's results format
    std::optional<double> confidence; // --conf; 0.001 when not given
    std::optional<double> minAccuracy;      // --min-accuracy
    std::optional<double> minAccuracyRatio; // --min-accuracy-ratio
    std::optional<PictureFit> resize;       // --resize, for any run

    bool isEvaluating() const { return !dataSet.isEmpty(); }
};

// The confidence detectors are evaluated at unless --conf says otherwise, as
// the peers evaluate.
constexpr double defaultEvaluationConfidence = 0.001;

// Takes the option when it is one of these, reading its value through
// value(); false for any other. Throws UsageError on a bad value.
bool parseEvaluationOption(const QString &argument, const std::function<QString()> &value,
                           EvaluationOptions &options);

// Throws UsageError for options that need --dataset or --compare-with
// without them, and for frame counts and times with --dataset (every
// picture runs once).
void checkEvaluationOptions(const EvaluationOptions &options, bool comparing, bool framesOrTimeGiven);

// The options' part of --help.
QString evaluationUsage();
