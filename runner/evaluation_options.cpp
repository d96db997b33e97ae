#include "runner/evaluation_options.h"

#include "description/picture_fit.h"
#include "runner/runner_options.h"

#include <cmath>

namespace {

// A share from 0 to 1 (0 excluded unless zeroAllowed), or a ratio up to highest.
double parseFigure(const QString &option, const QString &text, double highest, bool zeroAllowed)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0 || (value == 0.0 && !zeroAllowed) || value > highest)
        throw UsageError(QStringLiteral("%1 needs a number from 0 to %2, not \"%3\"")
                             .arg(option)
                             .arg(highest)
                             .arg(text)
                             .toStdString());
    return value;
}

} // namespace

bool parseEvaluationOption(const QString &argument, const std::function<QString()> &value,
                           EvaluationOptions &options)
{
    if (argument == QLatin1String("--dataset"))
        options.dataSet = value();
    else if (argument == QLatin1String("--images"))
        options.images = value();
    else if (argument == QLatin1String("--class-map"))
        options.classMap = value();
    else if (argument == QLatin1String("--coco-results"))
        options.cocoResults = value();
    else if (argument == QLatin1String("--conf"))
        options.confidence = parseFigure(argument, value(), 1.0, false);
    else if (argument == QLatin1String("--min-accuracy"))
        options.minAccuracy = parseFigure(argument, value(), 1.0, true);
    else if (argument == QLatin1String("--min-accuracy-ratio"))
        options.minAccuracyRatio = parseFigure(argument, value(), 1000.0, true);
    else if (argument == QLatin1String("--resize")) {
        const QString name = value();
        options.resize = pictureFitNamed(name.toStdString());
        if (!options.resize)
            throw UsageError(
                QStringLiteral("--resize takes crop, stretch or letterbox, not \"%1\"").arg(name).toStdString());
    } else {
        return false;
    }
    return true;
}

void checkEvaluationOptions(const EvaluationOptions &options, bool comparing, bool framesOrTimeGiven)
{
    if (!options.isEvaluating()) {
        const std::pair<bool, const char *> needing[] = {
            {!options.images.isEmpty(), "--images"},
            {!options.classMap.isEmpty(), "--class-map"},
            {!options.cocoResults.isEmpty(), "--coco-results"},
            {options.confidence.has_value(), "--conf"},
            {options.minAccuracy.has_value(), "--min-accuracy"},
            {options.minAccuracyRatio.has_value(), "--min-accuracy-ratio"}};
        for (const auto &[given, name] : needing)
            if (given)
                throw UsageError(std::string(name) + " needs --dataset");
        return;
    }
    if (options.minAccuracyRatio && !comparing)
        throw UsageError("--min-accuracy-ratio needs --compare-with: the ratio is to the reference board's accuracy");
    if (framesOrTimeGiven)
        throw UsageError("--dataset runs every picture of the data set once: -n, -t and --warmup do not go with it");
}

QString evaluationUsage()
{
    return QStringLiteral(R"(
Accuracy on a labelled data set (vrax-run --dataset DATA [OPTION]... DESCRIPTION):
      --dataset DATA        run every picture of the data set once and report
                            the accuracy: DATA is a COCO annotation file
                            (.json), a YOLO folder (images/, labels/), a
                            folder per class (classifiers) or a folder of
                            images/ and masks/ (segmentation)
      --images DIR          the pictures of a COCO file (default: images/
                            beside it, or its own folder)
      --class-map FILE      pairs data set names with the description's
                            labels, "data set name = label" a line
      --conf X              detectors: score the detections down to this
                            confidence (default 0.001); precision, recall and
                            F1 are taken at the description's threshold
      --coco-results FILE   write the detections as a COCO results list
      --min-accuracy X      exit with status 3 when the accuracy (AP, top-1
                            or mean IoU) falls below X
      --min-accuracy-ratio R
                            exit with status 3 when the accuracy over the
                            --compare-with board's falls below R
      --resize MODE         crop, stretch or letterbox: fit the pictures to
                            the input so, whatever the description says (any run)
)");
}
