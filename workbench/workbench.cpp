#include "workbench/workbench.h"

#include "accel/result_check.h"
#include "measuring/reference_run.h"
#include "workbench/input_kind.h"
#include "workbench/recording_content.h"

#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Workbench", text);
}

QString messageOf(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return tr("Unknown failure");
    }
}

bool isComparisonFailure(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const ComparisonFailure &) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

Workbench::Workbench(QObject *parent) : QObject(parent)
{
    connect(&busyState, &BusyState::changed, this, &Workbench::activityChanged);
    connect(&runs, &RunController::frameArrived, this, &Workbench::frameArrived);
    connect(&runs, &RunController::finished, this, [this] { runDone(); });
    // Run Auto may have ended and closed the recording meanwhile, saying why.
    connect(&recording, &FrameRecording::stoppedByItself, this, [this] { stopRecording(); });
    connectEvaluation();
}

Workbench::~Workbench()
{
    shutdown();
}

bool Workbench::mayStart(const QString &command, bool needsDescription, bool needsInput)
{
    QString refusal;
    if (shutDown)
        refusal = tr("Closing: %1 was not started.").arg(command);
    else if (!busyState.isIdle())
        refusal = busyState.refusal(command);
    else if (needsDescription && !hasDescription())
        refusal = tr("%1 needs an NN description: open one first.").arg(command);
    else if (needsInput && inputs.isEmpty())
        refusal = tr("%1 needs a picture, video or camera: open one first.").arg(command);
    if (refusal.isEmpty())
        return true;
    emit refused(refusal);
    return false;
}

void Workbench::fail(const QString &title, const std::exception_ptr &failure)
{
    emit failed(title, messageOf(failure));
}

bool Workbench::chooseBoard(const BoardChoice &choice)
{
    if (!mayStart(tr("Open Board")))
        return false;
    boards.choose(choice);
    cache.clear();
    closeDescription();
    emit boardChanged();
    return true;
}

bool Workbench::releaseBoards()
{
    if (!mayStart(tr("Blink")))
        return false;
    boards.close();
    closeDescription();
    return true;
}

void Workbench::closeDescription()
{
    // Nothing of the description before stays: its inputs were read for its
    // model, its result and figures were of its network.
    opened = OpenedDescription();
    inputs.clear();
    inputs.setCurrent(QString(), nullptr);
    shown.reset();
    rates = Rates();
    measured.clear();
    compared.reset();
    watchedLayers.descriptionClosed();
    emit descriptionChanged();
    emit inputChanged();
    emit statisticsChanged();
}

bool Workbench::openDescription(const QString &path, const QStringList &inputsAfter)
{
    if (!mayStart(tr("Open Description")))
        return false;
    if (path == opened.path) {
        if (inputsAfter.isEmpty())
            return true;
        busyState.set(Activity::OpeningInput);
        inputsAfterDescription = inputsAfter;
        continueOpening();
        return true;
    }
    cache.clear();
    closeDescription();
    inputsAfterDescription = inputsAfter;
    busyState.set(Activity::OpeningDescription);
    struct Result
    {
        OpenedModel model;
        double openMs = 0.0;
    };
    auto result = std::make_shared<Result>();
    job.start(
        [this, path, result] {
            const std::int64_t start = steadyNanoseconds();
            result->model = boards.open(path.toUtf8().toStdString());
            result->openMs = double(steadyNanoseconds() - start) / 1e6;
        },
        [this, path, result](std::exception_ptr failure) {
            descriptionDone(path, result->model, result->openMs, failure);
        });
    return true;
}

void Workbench::descriptionDone(const QString &path, const OpenedModel &model, double openMs,
                                std::exception_ptr failure)
{
    if (failure) {
        inputsAfterDescription.clear();
        busyState.set(Activity::Idle);
        fail(tr("Description Opening Error"), failure);
        return;
    }
    opened.path = path;
    opened.model = model;
    applyPictureFit();
    measured.descriptionOpened(openMs);
    watchedLayers.descriptionOpened(boards.sessions(), path.toUtf8().toStdString(), boards.choice());
    emit descriptionChanged();
    if (comparing)
        openReference();
    else
        continueOpening();
}

void Workbench::openReference()
{
    busyState.set(Activity::OpeningReference);
    auto made = std::make_shared<std::unique_ptr<ReferenceRun>>();
    const std::string path = opened.path.toUtf8().toStdString();
    job.start([made, path] { *made = std::make_unique<ReferenceRun>(path, BoardChoice{BoardType::Simulator, 0, 0}); },
              [this, made](std::exception_ptr failure) {
                  if (failure) {
                      comparing = false;
                      emit comparingChanged(false);
                      QString reason;
                      try {
                          std::rethrow_exception(failure);
                      } catch (const std::exception &error) {
                          reason = QString::fromUtf8(callFailureText(error).c_str());
                      }
                      emit failed(tr("Compare with Simulator"),
                                  tr("Cannot open %1 on the simulator for the comparison: %2").arg(opened.path, reason));
                  } else {
                      compared = std::move(*made);
                      compared->setBoardReading(opened.reading);
                      emit comparingChanged(true);
                  }
                  continueOpening();
              });
}

void Workbench::continueOpening()
{
    const QStringList waiting = std::exchange(inputsAfterDescription, {});
    if (waiting.isEmpty() || !hasDescription() || !startInputs(waiting))
        busyState.set(Activity::Idle);
}

bool Workbench::openInputs(const QStringList &paths)
{
    return mayStart(tr("Open Picture"), true) && startInputs(paths);
}

bool Workbench::startInputs(const QStringList &paths)
{
    QStringList pictures;
    QStringList streams;
    for (const QString &file : paths) {
        const InputKind kind = inputKind(file);
        if (kind == InputKind::Camera)
            streams << file;
        else if (kind == InputKind::Video)
            streams << QFileInfo(file).absoluteFilePath();
        else
            pictures << QFileInfo(file).absoluteFilePath();
    }
    if (streams.size() == 1 && pictures.isEmpty()) {
        if (inputKind(streams.front()) == InputKind::Camera)
            return startCamera(streams.front(), QSize());
        return startVideo(streams.front());
    }
    if (!streams.isEmpty()) {
        busyState.set(Activity::Idle);
        emit failed(tr("Open Video"), tr("A video or camera is opened on its own, without other inputs: %1")
                                          .arg(paths.join(QLatin1String(", "))));
        return false;
    }
    return startPictures(pictures);
}

bool Workbench::openPictures(const QStringList &paths)
{
    return mayStart(tr("Open Picture"), true) && startPictures(paths);
}

bool Workbench::startPictures(const QStringList &paths, bool again)
{
    if (paths.isEmpty() || (paths == inputs.pictures() && !inputs.isStream() && !again)) {
        busyState.set(Activity::Idle);
        return true;
    }
    const PictureReading reading = opened.reading;
    const std::vector<float> previous = inputs.previousTensor();
    PictureCache *pictures = &cache;
    openInputWith(tr("Open Picture"), [paths, reading, previous, pictures] {
        return InputSet::readPictures(paths, reading, previous, pictures);
    });
    return true;
}

bool Workbench::openVideo(const QString &path)
{
    return mayStart(tr("Open Video"), true) && startVideo(path);
}

bool Workbench::startVideo(const QString &path)
{
    const PictureReading reading = opened.reading;
    const bool loop = inputs.isLooping();
    openInputWith(tr("Open Video"), [path, reading, loop] { return InputSet::openVideo(path, reading, loop); });
    return true;
}

bool Workbench::openCamera(const QString &device, const QSize &size)
{
    return mayStart(tr("Open Camera"), true) && startCamera(device, size);
}

bool Workbench::startCamera(const QString &device, const QSize &size)
{
    const PictureReading reading = opened.reading;
    openInputWith(tr("Open Camera"), [device, size, reading] { return InputSet::openCamera(device, size, reading); });
    return true;
}

bool Workbench::openStream(std::unique_ptr<FrameSource> stream, const QString &path, const QSize &frameSize,
                           double framesPerSecond)
{
    if (!mayStart(tr("Open Video"), true))
        return false;
    InputSet::Opened made;
    made.stream = std::move(stream);
    made.streamPath = path;
    made.frameSize = frameSize;
    made.framesPerSecond = framesPerSecond;
    inputs.adopt(std::move(made));
    emit inputChanged();
    return true;
}

void Workbench::openInputWith(const QString &title, std::function<InputSet::Opened()> open)
{
    busyState.set(Activity::OpeningInput);
    // The input open so far stays until the new one has opened, so that a
    // failure leaves it as it was; a camera goes first, since its device
    // opens only once.
    if (inputs.isLive()) {
        inputs.clear();
        inputs.setCurrent(QString(), nullptr);
        shown.reset();
        emit inputChanged();
    }
    auto result = std::make_shared<InputSet::Opened>();
    job.start([result, open = std::move(open)] { *result = open(); },
              [this, title, result](std::exception_ptr failure) {
                  if (!failure) {
                      shown.reset();
                      inputs.adopt(std::move(*result));
                      emit inputChanged();
                  }
                  busyState.set(Activity::Idle);
                  if (failure)
                      fail(title, failure);
              });
}

bool Workbench::run()
{
    if (!mayStart(tr("Run"), true, true))
        return false;
    startRun(false);
    return true;
}

bool Workbench::runAuto()
{
    if (!mayStart(tr("Run Auto"), true, true))
        return false;
    startRun(true);
    return true;
}

void Workbench::startRun(bool autoRun)
{
    busyState.set(autoRun ? Activity::RunningAuto : Activity::RunningFrame);
    RunController::Request request;
    request.boards = boards.pipelineBoards(autoRun ? framesInFlight : 1);
    request.model = &opened.model;
    request.reference = compared.get();
    request.target = displayTarget;
    request.filter = &filter;
    watchedLayers.runStarting(compared.get(), autoRun);
    if (autoRun) {
        request.source = inputs.runSource(opened.reading, &cache);
        request.everyFrame = everyFrame;
        request.alsoTo = [this](const FramePtr &frame) { recording.add(frame); };
        rates.dropped = 0;
        measured.start(steadyNanoseconds());
        if (compared)
            compared->restart();
    } else {
        request.source = inputs.nextFrameSource(opened.reading, &cache);
        request.frameLimit = 1;
        measured.runStarted();
    }
    try {
        runs.start(std::move(request));
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        measured.runEnded();
        busyState.set(Activity::Idle);
        fail(tr("Frame Processing Error"), failure);
        return;
    }
    emit statisticsChanged();
}

void Workbench::stop()
{
    if (busyState.activity() != Activity::RunningAuto)
        return;
    busyState.set(Activity::Stopping);
    runs.stop();
}

void Workbench::runDone()
{
    const Activity activity = busyState.activity();
    if (activity != Activity::RunningFrame && activity != Activity::RunningAuto && activity != Activity::Stopping)
        return;
    const std::exception_ptr failure = runs.finish();
    rates.dropped = runs.framesDropped();
    measured.setRunState(0, runs.framesDelivered(), runs.boardFps());
    // The frames still to be shown are drawn here, their CPU counted.
    emit runFinished();
    measured.runEnded();
    // A recording covers one Run Auto: its files are complete from here on.
    const FrameRecording::Ending recorded = activity != Activity::RunningFrame ? recording.stop()
                                                                               : FrameRecording::Ending();
    busyState.set(Activity::Idle);
    emit statisticsChanged();
    if (!recorded.summary.isEmpty())
        emit recordingChanged(false, recorded.summary, recorded.problem);
    if (!failure)
        return;
    if (isComparisonFailure(failure)) {
        comparing = false;
        compared.reset();
        emit comparingChanged(false);
        fail(tr("Compare with Simulator"), failure);
        return;
    }
    fail(tr("Frame Processing Error"), failure);
}

void Workbench::frameShown(const FramePtr &frame)
{
    shown = frame;
    inputs.setCurrent(frame->origin.path, std::shared_ptr<const PreparedPicture>(frame, &frame->picture),
                      frame->sharedTensor);
    measured.addFrame(frame->times);
    rates.boardFps = runs.boardFps();
    const Activity activity = busyState.activity();
    const std::uint64_t delivered = runs.framesDelivered();
    if (activity == Activity::RunningFrame) {
        rates.frameTime = double(frame->times.fetched - frame->times.submitted) / 1e9;
    } else {
        rates.frameTime = delivered > 0 ? double(steadyNanoseconds() - runs.startTime()) / 1e9 / double(delivered) : 0.0;
        rates.dropped = runs.framesDropped();
    }
    // A frame shown after its run ended was counted by then.
    if (activity == Activity::RunningFrame || activity == Activity::RunningAuto || activity == Activity::Stopping)
        measured.setRunState(runs.framesInFlight(), delivered, rates.boardFps);
    emit statisticsChanged();
}

bool Workbench::setComparing(bool on)
{
    if (on == comparing)
        return true;
    if (!mayStart(tr("Compare with Simulator")))
        return false;
    comparing = on;
    if (!on)
        compared.reset();
    emit comparingChanged(on);
    if (on && hasDescription())
        openReference();
    return true;
}

void Workbench::startRecording(const QString &videoPath)
{
    if (!hasDescription())
        throw std::runtime_error("Open an NN description before recording");
    FrameRecorder::Settings settings;
    settings.videoPath = videoPath;
    settings.recordsPath = FrameRecorder::recordsPathFor(videoPath);
    if (inputs.isStream()) {
        settings.frameSize = inputs.streamFrameSize();
        settings.framesPerSecond = inputs.streamFramesPerSecond() > 0.0 ? inputs.streamFramesPerSecond() : 25.0;
    } else {
        // Pictures have no frame rate; each is one tenth of a second.
        settings.frameSize = QImageReader(inputs.pictures().value(0)).size();
        settings.framesPerSecond = 10.0;
    }
    if ((!settings.frameSize.isValid() || settings.frameSize.isEmpty()) && inputs.currentPicture())
        settings.frameSize = inputs.currentPicture()->picture.size();
    // Room for a few seconds of frames (each holds its pictures and tensor)
    // within about 256 MB, for bursts the writer catches up on.
    const double frameBytes = 2.0 * 4.0 * settings.frameSize.width() * settings.frameSize.height() + 1e5;
    settings.queueCapacity = std::size_t(std::clamp(256e6 / frameBytes, 16.0, 512.0));
    recording.start(settings, recordingAnnotation(description()), recordingDescription(description()));
    emit recordingChanged(true, QString(), QString());
}

QString Workbench::stopRecording()
{
    const FrameRecording::Ending recorded = recording.stop();
    if (!recorded.summary.isEmpty())
        emit recordingChanged(false, recorded.summary, recorded.problem);
    return recorded.summary;
}

void Workbench::setPixelLimit(std::uint64_t pixels)
{
    pixelLimit = pixels;
    opened.reading.request.pixelLimit = pixels;
    cache.clear(); // pictures read under the old limit
}

void Workbench::setLooping(bool on)
{
    inputs.setLooping(on);
}

void Workbench::setDisplayTarget(const DisplayTarget &target)
{
    displayTarget = target;
    runs.setDisplayTarget(target);
}

void Workbench::shutdown()
{
    if (shutDown)
        return;
    shutDown = true;
    runs.abandon();
    job.abandon();
    evaluation.abandon();
    // The units may still hold frames (a failed run, Run's frame); a runtime
    // that cannot say is left as it is.
    try {
        boards.waitForAllUnits();
    } catch (const std::exception &) {
    }
    stopRecording();
    busyState.set(Activity::Idle);
}
