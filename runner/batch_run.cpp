#include "runner/batch_run.h"

#include "accel/attached_boards.h"
#include "accel/result_check.h"
#include "measuring/reference_run.h"
#include "outputs/result_picture.h"
#include "results/detection_drawing.h"
#include "results/result_record.h"
#include "runner/batch_evaluation.h"
#include "runner/input_list.h"
#include "runner/trace_output.h"
#include "runner/run_outputs.h"
#include "runner/run_recording.h"
#include "sources/picture_list_source.h"
#include "workbench/board_set.h"
#include "workbench/frame_run.h"
#include "workbench/run_measurement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>

#include <memory>
#include <optional>

namespace {

// The board choice, once the board is known to be attached: a missing board
// is named with what is attached and how boards are attached.
BoardChoice choiceOf(const BoardAddress &address, bool parallel)
{
    try {
        checkBoardAttached(address.type, address.index, parallel);
    } catch (const std::exception &error) {
        throw RunFailure(callFailureText(error));
    }
    BoardChoice choice{address.type, address.index, 0};
    if (parallel) {
        std::uint32_t count = 1;
        if (address.type != BoardType::Simulator)
            checkRuntimeResult(VRAX_GetBoardCount(std::uint32_t(address.type), &count), "VRAX_GetBoardCount");
        choice.parallelCount = count;
    }
    return choice;
}

// The picture source, with the file named in every failure.
class NamingSource : public FrameSource
{
public:
    explicit NamingSource(FrameSource &source) : source(source) {}
    bool next(Frame &frame) override
    {
        try {
            return source.next(frame);
        } catch (const std::exception &error) {
            const std::string message = error.what();
            const std::string path = frame.origin.path.toStdString();
            if (path.empty() || message.find(path) != std::string::npos)
                throw;
            throw std::runtime_error(path + ": " + message);
        }
    }

private:
    FrameSource &source;
};

void openFailure(const QString &what, const BoardAddress &address, bool parallel, const std::exception &error)
{
    throw RunFailure(QStringLiteral("%1 on board %2: %3")
                         .arg(what, boardLabel(address, parallel), QString::fromUtf8(callFailureText(error).c_str()))
                         .toStdString());
}

// A frame failed: runtime calls are named with their board,
// "VRAX_GetOutput failed on board 2:1 (TK307.04): VRAX_RESULT_BOARD_SYNC_ERROR".
RunFailure frameFailure(const QString &board, const std::exception &error)
{
    const auto *call = dynamic_cast<const RuntimeCallError *>(&error);
    if (!call)
        return RunFailure(error.what());
    return RunFailure(QStringLiteral("%1 failed on board %2: %3")
                          .arg(QString::fromLatin1(call->call()), board, QString::fromUtf8(error.what()))
                          .toStdString());
}

} // namespace

QString boardLabel(const BoardAddress &address, bool parallel)
{
    return QString::fromStdString(boardName(address.type, address.index, parallel));
}

RunFigures runBatch(const RunnerOptions &options, const RunProgress &progress)
{
    RunFigures figures;
    figures.started = QDateTime::currentDateTime();
    figures.description = options.description;
    figures.board = boardLabel(options.board, options.parallel);
    figures.address = options.board;
    figures.parallel = options.parallel;

    QStringList pictures;
    QString stream; // a video or camera
    try {
        if (!options.evaluation.isEvaluating())
            stream = streamInput(options.inputs);
        if (!options.evaluation.isEvaluating() && stream.isEmpty())
            pictures = expandInputs(options.inputs);
        checkRunOutputs(options);
    } catch (const std::exception &error) {
        throw RunFailure(error.what());
    }

    // The description is opened, run and measured as the window does it.
    BoardSet boards;
    OpenedModel model;
    const BoardChoice choice = choiceOf(options.board, options.parallel);
    const std::int64_t openStart = steadyNanoseconds();
    try {
        boards.choose(choice);
        model = boards.open(QFileInfo(options.description).absoluteFilePath().toStdString());
    } catch (const std::exception &error) {
        openFailure(QStringLiteral("Opening %1").arg(options.description), options.board, options.parallel, error);
    }
    figures.openMs = double(steadyNanoseconds() - openStart) / 1e6;
    figures.kind = model.description.neural_network;
    figures.model = QString::fromStdString(model.description.model);
    if (!model.modelDims.inputs.empty())
        figures.input = model.modelDims.inputs.front();
    figures.sessions = std::uint32_t(boards.sessions().size());
    figures.units = boards.unitCount();

    PictureReading boardReading = pictureReadingOf(model.description, model.modelDims, options.board.type);
    boardReading.request.pixelLimit = options.pixelLimit;
    if (options.evaluation.resize)
        boardReading.request.fit = *options.evaluation.resize;
    std::unique_ptr<BatchEvaluation> evaluation;
    if (options.evaluation.isEvaluating()) {
        evaluation = std::make_unique<BatchEvaluation>(options.evaluation, model);
        pictures = evaluation->pictures();
    }
    std::unique_ptr<ReferenceRun> reference;
    if (options.compareWith) {
        const BoardChoice referenceChoice = choiceOf(*options.compareWith, false);
        try {
            reference = std::make_unique<ReferenceRun>(
                QFileInfo(options.description).absoluteFilePath().toStdString(), referenceChoice);
        } catch (const std::exception &error) {
            openFailure(QStringLiteral("Opening %1 for the comparison").arg(options.description),
                        *options.compareWith, false, error);
        }
        reference->setBoardReading(boardReading);
        if (evaluation)
            reference->setLowestConfidence(evaluation->confidence());
        figures.comparedWith = boardLabel(*options.compareWith, false);
        if (options.compareLayers) {
            if (!LayerExtension::ofRuntime().available())
                throw RunFailure(noLayerProfileMessage);
            reference->setLayerComparison(std::make_shared<LayerComparison>(
                QFileInfo(options.description).absoluteFilePath().toStdString(), choice, referenceChoice));
        }
    }
    const bool profiling = !options.profilePath.isEmpty();
    if (profiling) {
        try {
            enableLayerTimes(boards.sessions(), true);
        } catch (const std::exception &error) {
            openFailure(QStringLiteral("Profiling %1").arg(options.description), options.board, options.parallel,
                        error);
        }
    }

    std::unique_ptr<ResultLines> resultsFile;
    std::unique_ptr<RunRecording> recording;
    try {
        if (!options.resultsPath.isEmpty())
            resultsFile = std::make_unique<ResultLines>(options.resultsPath);
        if (!options.recordPath.isEmpty())
            recording = std::make_unique<RunRecording>(options.recordPath, pictures, model);
    } catch (const std::exception &error) {
        throw RunFailure(error.what());
    }
    if (!options.saveDir.isEmpty() && !QDir().mkpath(options.saveDir))
        throw RunFailure(QStringLiteral("Cannot make the folder %1").arg(options.saveDir).toStdString());
    // Saved pictures look like the window's File > Save Result As; fonts need
    // the graphical application, which exists only when pictures are saved.
    std::optional<QFont> labelFont;
    if (!options.saveDir.isEmpty())
        labelFont = detectionLabelFont();

    const std::uint64_t measured = options.seconds > 0.0 ? 0 : options.frames != 0 ? options.frames
                                                                                 : std::uint64_t(pictures.size());
    const std::uint64_t total = measured == 0 ? 0 : options.warmup + measured;

    PictureCache cache;
    PictureListSource pictureSource(pictures, boardReading, {}, &cache);
    // A video given a frame count or time goes round, as the pictures do.
    std::unique_ptr<FrameSource> streamSource;
    try {
        if (!stream.isEmpty())
            streamSource = openStreamInput(stream, boardReading, options.frames != 0 || options.seconds > 0.0);
    } catch (const std::exception &error) {
        throw RunFailure(error.what());
    }
    NamingSource source(streamSource ? *streamSource : pictureSource);

    RunMeasurement measurement(RunMeasurement::FirstFrame::Counted);
    measurement.descriptionOpened(figures.openMs);
    const RunStatistics &statistics = measurement.statistics();
    std::string writeError;
    FrameRun *running = nullptr;
    std::unique_ptr<TraceWriter> trace;
    if (!options.tracePath.isEmpty()) {
        try {
            trace = std::make_unique<TraceWriter>(options.tracePath, steadyNanoseconds(), figures.board,
                                                  figures.sessions, boards.unitsPerSession());
        } catch (const std::exception &error) {
            throw RunFailure(error.what());
        }
    }
    // The warm-up frames' layer times are left out with the rest of their figures.
    bool clearLayerTimes = profiling && options.warmup > 0;

    auto deliver = [&](FramePtr frame) {
        frame->times.drawStart = steadyNanoseconds();
        if (evaluation)
            evaluation->add(*frame, reference != nullptr);
        // An evaluation's low threshold is for scoring; files show what the description shows.
        FrameResult shown;
        if (evaluation && (resultsFile || labelFont))
            shown = evaluation->shown(frame->result);
        const FrameResult &result = evaluation && (resultsFile || labelFont) ? shown : frame->result;
        if (resultsFile && writeError.empty()) {
            const ResultRecordOrigin origin{frame->origin.source, frame->sequence, frame->origin.number,
                                            frame->origin.timeSeconds};
            const QByteArray line = resultRecordLine(origin, result, model.description,
                                                     boxToOriginal(frame->picture));
            try {
                resultsFile->write(line);
            } catch (const std::exception &error) {
                writeError = error.what();
            }
        }
        if (!options.saveDir.isEmpty() && writeError.empty()) {
            const QString path = QDir(options.saveDir)
                                     .filePath(QStringLiteral("%1_%2.png")
                                                   .arg(frame->sequence, 6, 10, QLatin1Char('0'))
                                                   .arg(QFileInfo(frame->origin.source).completeBaseName()));
            if (!resultOnOriginal(frame->picture, result, model.description.labels, *labelFont).save(path))
                writeError = QStringLiteral("Cannot write %1").arg(path).toStdString();
        }
        // Stopped by itself: finish() below says why.
        if (recording && writeError.empty() && !recording->add(frame))
            running->stop();
        frame->times.shown = steadyNanoseconds();
        if (trace && writeError.empty() && !trace->addFrame(*frame))
            writeError = trace->error().toStdString();
        if (!writeError.empty()) {
            running->stop();
            return;
        }
        measurement.addFrame(frame->times);
        if (clearLayerTimes && !measurement.isWarmingUp()) {
            clearLayerTimes = false;
            enableLayerTimes(boards.sessions(), true);
        }
        const double elapsed = measurement.isWarmingUp() ? 0.0 : statistics.seconds();
        if (progress)
            progress(frame->sequence + 1, total, elapsed);
        if (options.seconds > 0.0 && elapsed >= options.seconds)
            running->stop();
    };

    FrameRun run(boards.pipelineBoards(options.inFlight), source, evaluation ? evaluation->scoredModel() : model,
                 reference.get(), deliver);
    figures.inFlight = run.inFlightLimit();
    running = &run;
    measurement.start(steadyNanoseconds(), options.warmup);
    run.start(total);
    try {
        run.wait();
    } catch (const RunFailure &) {
        throw;
    } catch (const ComparisonFailure &failure) {
        try {
            std::rethrow_if_nested(failure);
        } catch (const std::exception &error) {
            throw frameFailure(QStringLiteral("%1, the reference").arg(figures.comparedWith), error);
        }
        throw RunFailure(failure.what());
    } catch (const std::exception &error) {
        throw frameFailure(figures.board, error);
    }
    const double hostCpu = measurement.hostCpuSeconds();
    const double processCpu = measurement.processCpuSeconds();
    if (trace && !trace->finish() && writeError.empty())
        writeError = trace->error().toStdString();
    if (!writeError.empty())
        throw RunFailure(writeError);
    if (recording) {
        try {
            recording->finish();
        } catch (const std::exception &error) {
            throw RunFailure(error.what());
        }
    }

    figures.frames = statistics.frames();
    figures.seconds = statistics.seconds();
    figures.throughputFps = statistics.fpsSinceStart();
    figures.boardFps = run.boardFps();
    figures.latency = statistics.sinceStartFrame();
    for (std::size_t i = 0; i < stageCount; ++i)
        figures.stages[i] = statistics.sinceStart(Stage(i));
    if (statistics.firstFrame())
        figures.firstFrameMs = statistics.firstFrame()->latencyMs;
    if (figures.frames > 0) {
        figures.hostCpuMsPerFrame = hostCpu * 1000.0 / double(figures.frames);
        figures.processCpuMsPerFrame = processCpu * 1000.0 / double(figures.frames);
    }
    if (reference)
        figures.comparison = reference->report();
    if (evaluation) {
        figures.evaluation = evaluation->report(figures.board, figures.comparedWith, boardReading.request.fit);
        evaluation->writeCocoResults();
    }
    if (reference && reference->layerComparison())
        figures.layers = reference->layerComparison()->report(options.layerThreshold);
    if (profiling) {
        try {
            figures.profile = readNetworkProfile(boards.sessions());
        } catch (const std::exception &error) {
            openFailure(QStringLiteral("Profiling %1").arg(options.description), options.board, options.parallel,
                        error);
        }
    }
    return figures;
}
