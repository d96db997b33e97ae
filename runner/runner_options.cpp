#include "runner/runner_options.h"

#include "workbench/input_kind.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

std::uint64_t parseCount(const QString &option, const QString &text, bool zeroAllowed)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || (!zeroAllowed && value == 0))
        throw UsageError(QStringLiteral("%1 needs a whole number%2, not \"%3\"")
                             .arg(option, zeroAllowed ? QString() : QStringLiteral(" above 0"), text)
                             .toStdString());
    return value;
}

double parsePositive(const QString &option, const QString &text, double highest)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0.0 || value > highest)
        throw UsageError(QStringLiteral("%1 needs a number above 0 and up to %2, not \"%3\"")
                             .arg(option)
                             .arg(highest)
                             .arg(text)
                             .toStdString());
    return value;
}

QString recordPathOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("avi") && suffix != QLatin1String("mp4"))
        throw UsageError(
            QStringLiteral("--record needs a .avi (MJPG) or .mp4 video file, not \"%1\"").arg(path).toStdString());
    return path;
}

} // namespace

BoardAddress parseBoardAddress(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    bool typeOk = false;
    bool indexOk = true;
    BoardAddress address;
    const uint type = parts.value(0).toUInt(&typeOk);
    if (parts.size() == 2)
        address.index = parts[1].toUInt(&indexOk);
    if (parts.size() > 2 || !typeOk || !indexOk || type > lastBoardType)
        throw UsageError(QStringLiteral("A board is TYPE[:INDEX] with TYPE 0 (the simulator) to %1, not \"%2\"")
                             .arg(lastBoardType)
                             .arg(text)
                             .toStdString());
    address.type = BoardType(type);
    return address;
}

RunnerOptions parseRunnerOptions(const QStringList &arguments)
{
    RunnerOptions options;
    QStringList positional;
    bool framesGiven = false;
    bool layerThresholdGiven = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        auto value = [&]() -> QString {
            if (i + 1 >= arguments.size())
                throw UsageError(QStringLiteral("%1 needs a value").arg(argument).toStdString());
            return arguments[++i];
        };
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            options.help = true;
        else if (argument == QLatin1String("--version"))
            options.version = true;
        else if (argument == QLatin1String("--list-boards"))
            options.listBoards = true;
        else if (argument == QLatin1String("-b") || argument == QLatin1String("--board"))
            options.board = parseBoardAddress(value());
        else if (argument == QLatin1String("--parallel"))
            options.parallel = true;
        else if (argument == QLatin1String("--in-flight"))
            options.inFlight = std::uint32_t(std::min<std::uint64_t>(parseCount(argument, value(), false), 1u << 16));
        else if (argument == QLatin1String("-n") || argument == QLatin1String("--frames")) {
            options.frames = parseCount(argument, value(), false);
            framesGiven = true;
        } else if (argument == QLatin1String("-t") || argument == QLatin1String("--seconds"))
            options.seconds = parsePositive(argument, value(), 1e7);
        else if (argument == QLatin1String("--warmup"))
            options.warmup = parseCount(argument, value(), true);
        else if (argument == QLatin1String("--json"))
            options.jsonPath = value();
        else if (argument == QLatin1String("--results"))
            options.resultsPath = value();
        else if (argument == QLatin1String("--save"))
            options.saveDir = value();
        else if (argument == QLatin1String("--record"))
            options.recordPath = recordPathOf(value());
        else if (argument == QLatin1String("--max-megapixels"))
            options.pixelLimit = std::uint64_t(std::llround(parsePositive(argument, value(), 1e4) * 1e6));
        else if (argument == QLatin1String("--compare-with"))
            options.compareWith = parseBoardAddress(value());
        else if (argument == QLatin1String("--min-agreement"))
            options.minAgreement = parsePositive(argument, value(), 1.0);
        else if (argument == QLatin1String("--profile"))
            options.profilePath = value();
        else if (argument == QLatin1String("--compare-layers"))
            options.compareLayers = true;
        else if (argument == QLatin1String("--layer-threshold")) {
            options.layerThreshold = parsePositive(argument, value(), 1.0);
            layerThresholdGiven = true;
        } else if (argument == QLatin1String("--trace"))
            options.tracePath = value();
        else if (parseEvaluationOption(argument, value, options.evaluation))
            continue;
        else if (argument == QLatin1String("-q") || argument == QLatin1String("--quiet"))
            options.quiet = true;
        else if (argument == QLatin1String("--"))
            positional << arguments.mid(i + 1), i = int(arguments.size());
        else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
            throw UsageError(QStringLiteral("Unknown option %1").arg(argument).toStdString());
        else
            positional << argument;
    }
    if (options.help || options.version || options.listBoards)
        return options;
    if (framesGiven && options.seconds > 0.0)
        throw UsageError("-n and -t cannot be given together");
    if (options.minAgreement && !options.compareWith)
        throw UsageError("--min-agreement needs --compare-with");
    checkEvaluationOptions(options.evaluation, options.compareWith.has_value(),
                           framesGiven || options.seconds > 0.0 || options.warmup > 0);
    if (options.compareLayers && !options.compareWith)
        throw UsageError("--compare-layers needs --compare-with");
    if (layerThresholdGiven && !options.compareLayers)
        throw UsageError("--layer-threshold needs --compare-layers");
    if (options.evaluation.isEvaluating() && positional.size() != 1)
        throw UsageError("--dataset takes its pictures from the data set: give the description alone");
    if (!options.evaluation.isEvaluating() && positional.size() < 2)
        throw UsageError("A description and at least one input are needed");
    options.description = positional.takeFirst();
    options.inputs = positional;
    const auto isCamera = [](const QString &input) { return inputKind(input) == InputKind::Camera; };
    if (!framesGiven && options.seconds <= 0.0 && std::any_of(options.inputs.begin(), options.inputs.end(), isCamera))
        throw UsageError("A camera gives frames without end: give -n FRAMES or -t SECONDS");
    return options;
}

QString runnerUsage()
{
    return QStringLiteral(R"(Usage: vrax-run [OPTION]... DESCRIPTION INPUT...
       vrax-run --dataset DATA [OPTION]... DESCRIPTION
       vrax-run --list-boards
Runs the NN description's network over pictures without a window, with every
unit of every board session in flight (as Run Auto does), and reports the
throughput, latency percentiles and per-stage times.

INPUT is a picture or a folder of pictures (read in natural order), or one
video file or camera device (/dev/video0), as the window opens them. The
inputs are run round and round until the frame count or time is reached; a
video without -n or -t runs each frame once, a camera needs one of them.

Options:
  -b, --board TYPE[:INDEX]  the board to run on: type 0 (the simulator, the
                            default) to 7, index 0 by default
      --parallel            use every board of the type, as File > Open
                            Board's parallel choice
      --in-flight N         keep at most N frames on the boards (default: one
                            on every unit of every session; 1: one frame at a
                            time, as View > One Frame at a Time)
  -n, --frames FRAMES       run FRAMES measured frames (default: each input once)
  -t, --seconds SECONDS     run for SECONDS seconds of measurement instead
      --warmup N            run N frames first and leave them out of the figures
                            (they are still written to --results and --save)
      --json FILE           write the figures as JSON
      --results FILE.jsonl  write every frame's result, one JSON line per frame:
                            "source", "frame" and, by network kind,
                            "detections" (class, label, confidence, box
                            [x, y, w, h] in the original picture's pixels),
                            "top" (the five most probable classes) or "mask"
                            (cells per class of the output grid)
      --save DIR            write every frame's picture with its result drawn
                            (DIR/NNNNNN_NAME.png, NNNNNN the frame number)
      --record FILE.avi|FILE.mp4
                            record every frame's picture with its result drawn
                            into a video (.avi MJPG, .mp4 H.264), and its
                            result lines into FILE.jsonl beside it, as the
                            window's File > Record... does; exit with status 1
                            when the recording had to stop (the disk nearly
                            full), its files then complete up to that frame
      --max-megapixels N    refuse pictures of more than N megapixels, measured
                            before they are decoded (default 100)
      --compare-with TYPE[:INDEX]
                            run every frame on that board too (0: the
                            simulator, the CPU reference) and report how far
                            the outputs and results differ
      --min-agreement X     exit with status 3 when the agreement (0 to 1) of
                            --compare-with falls below X: top-1 for classifiers,
                            matched over all detections for detectors, mean
                            foreground IoU for segmentation
      --profile FILE        write each layer's type, output shape, parameters,
                            multiply-adds, mean time and share of the time
                            (JSON, or CSV when FILE ends in .csv) and print
                            the slowest layers
      --compare-layers      with --compare-with: run every frame once more on
                            both boards keeping each layer's output, and report
                            each common layer's cosine similarity and largest
                            difference, and the first whose cosine falls below
                            the threshold
      --layer-threshold X   that threshold, 0 to 1 (default 0.999)
      --trace FILE.json     write each frame's stages and each unit's busy
                            spans as trace events (a browser's trace viewer
                            shows them)
  -q, --quiet               print nothing but errors (no progress, no table)
      --list-boards         list the attached boards, one TYPE:INDEX a line
  -h, --help                show this help
      --version             show the version of vrax-run and of the board runtime

The model's compile and load time and the first frame's latency are reported
on their own. The first frame also counts among the measured frames unless
--warmup leaves it out: --warmup 1 keeps its one-off costs out of the
percentiles.
Latency stages: read (read and decode the picture), prepare (the input
tensor), read_ahead (waiting in the read-ahead queue until a unit is free),
queued (from the queue to the unit), board (submitted to outputs fetched),
decode (interpreting the outputs), waiting, draw (writing the results). All
but read_ahead add up to a picture's or video frame's latency; a camera
frame's latency counts from its capture, every wait included.

Boards of types 1 to 7 are those the runtime finds attached; virtual ones
come from the environment variable VRAX_BOARDS=TYPE:COUNT (for example
VRAX_BOARDS=2:2 for two TK307.04 boards). See vrax-run(1) for the others.

Every output file and folder is checked before the board is opened.
Exit status: 0 success, 1 a file or the board failed (the message names the
file or call), 2 a usage error, 3 agreement below --min-agreement or accuracy
below --min-accuracy or --min-accuracy-ratio.
)") + evaluationUsage();
}
