#include "evaluation/eval_command.h"
#include "evaluation/native_path.h"

#include "evaluation/accuracy_report.h"
#include "evaluation/coco_annotations.h"
#include "evaluation/coco_results.h"
#include "evaluation/detection_accuracy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>

#include <stdexcept>

namespace {

constexpr double defaultThreshold = 0.5;

struct EvalOptions
{
    QString annotations;
    QString results;
    QString jsonPath;
    double threshold = defaultThreshold;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

class UsageFault : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

EvalOptions parseOptions(const QStringList &arguments)
{
    EvalOptions options;
    QStringList files;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const auto value = [&]() {
            if (i + 1 >= arguments.size())
                throw UsageFault("The option " + argument.toStdString() + " needs a value");
            return arguments[++i];
        };
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--json") {
            options.jsonPath = value();
        } else if (argument == "--threshold") {
            bool ok = false;
            const QString text = value();
            options.threshold = text.toDouble(&ok);
            if (!ok || !(options.threshold >= 0.0 && options.threshold <= 1.0))
                throw UsageFault("--threshold takes a confidence from 0 to 1, not " + text.toStdString());
        } else if (argument == "--quiet" || argument == "-q") {
            options.quiet = true;
        } else if (argument.startsWith('-') && argument.size() > 1) {
            throw UsageFault("Unknown option " + argument.toStdString());
        } else {
            files << argument;
        }
    }
    if (options.help || options.version)
        return options;
    if (files.size() != 2)
        throw UsageFault("Give an annotation file and a results file");
    options.annotations = files[0];
    options.results = files[1];
    return options;
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size()
        || !file.flush())
        throw std::runtime_error("Cannot write " + nativePath(path) + ": " + file.errorString().toStdString());
}

} // namespace

QString evalUsage()
{
    return QStringLiteral(
        "Usage: vrax-eval [OPTIONS] ANNOTATIONS.json RESULTS.json\n"
        "Scores detections in the COCO results format (a list of image_id, category_id,\n"
        "bbox [x, y, w, h], score) against a COCO annotation file, the way the reference\n"
        "COCO evaluation does: AP at IoU 0.50:0.95, AP50, AP75, AP and AR by object size,\n"
        "AR at 1, 10 and 100 detections, per class AP, AP50 and objects; at a confidence\n"
        "threshold the precision, recall, F1 and confusion matrix.\n"
        "\n"
        "Options:\n"
        "  --json FILE      write the figures as JSON (\"accuracy\" and \"accuracy_details\")\n"
        "  --threshold X    confidence for precision, recall, F1 and the confusion matrix\n"
        "                   (default 0.5)\n"
        "  -q, --quiet      no table\n"
        "  -h, --help       this text\n"
        "  --version        the version\n"
        "\n"
        "Exit status: 0 success, 1 a file could not be read or written, 2 a usage error.\n");
}

int runEvalCommand(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    EvalOptions options;
    try {
        options = parseOptions(arguments);
    } catch (const UsageFault &error) {
        std::fprintf(err, "vrax-eval: %s\nTry 'vrax-eval --help' for more information.\n", error.what());
        return EvalUsageFault;
    }
    if (options.help) {
        std::fputs(evalUsage().toLocal8Bit().constData(), out);
        return EvalSuccess;
    }
    if (options.version) {
        std::fprintf(out, "vrax-eval %s\n", VRAX_EVAL_VERSION);
        return EvalSuccess;
    }
    try {
        QElapsedTimer timer;
        timer.start();
        const DetectionDataSet data = readCocoAnnotations(options.annotations);
        const CocoResults results = readCocoResults(options.results, data);
        if (results.unknownCategory > 0)
            std::fprintf(err,
                         "vrax-eval: warning: %zu detections of %s are of categories the annotations do not have "
                         "(category_id %lld first) and are left out\n",
                         results.unknownCategory, nativePath(options.results).c_str(),
                         static_cast<long long>(results.firstUnknownCategory));
        std::vector<std::string> labels;
        for (const DataSetClass &c : data.classes)
            labels.push_back(c.name);
        const DetectionAccuracy accuracy =
            detectionAccuracy(data.objects, results.detections, data.images.size(), labels, options.threshold);
        if (!options.quiet) {
            std::fprintf(out, "annotations  %s: %zu pictures, %zu objects, %zu categories\n",
                         nativePath(options.annotations).c_str(), data.images.size(), data.objects.size(),
                         data.classes.size());
            std::fprintf(out, "results      %s: %zu detections\n", nativePath(options.results).c_str(),
                         results.detections.size());
            std::fprintf(out, "time         %.2f s\n\n", double(timer.nsecsElapsed()) * 1e-9);
            std::fputs(detectionAccuracyTable(accuracy).c_str(), out);
        }
        if (!options.jsonPath.isEmpty()) {
            const QJsonObject figures{{"annotations", options.annotations},
                                      {"results", options.results},
                                      {"accuracy", detectionAccuracyJson(accuracy)},
                                      {"accuracy_details", detectionDetailsJson(accuracy)}};
            writeFile(options.jsonPath, QJsonDocument(figures).toJson());
        }
    } catch (const std::exception &error) {
        std::fprintf(err, "vrax-eval: %s\n", error.what());
        return EvalFailed;
    }
    return EvalSuccess;
}
