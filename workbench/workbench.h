// The core of the application, without widgets: the boards and their
// sessions, the open description, the input, Run and Run Auto, recording,
// the comparison with the simulator and the statistics. The window shows its
// state and forwards the user's commands; `vraxgui --check` drives it
// without a window.
//
// One busy state decides every command (busy_state.h): long work runs on a
// worker or the frame pipeline and ends with a queued signal; a command that
// comes meanwhile is refused with a reason (refused()), never run inside the
// work. Failures are reported by failed(), once the workbench is idle again.
// Everything here is called on the GUI thread.
#pragma once

#include "engine/model_session.h"
#include "outputs/frame_recorder.h"
#include "results/result_filter.h"
#include "sources/frame_source.h"
#include "sources/picture_list_source.h"
#include "sources/shown_picture.h"
#include "workbench/background_job.h"
#include "workbench/board_set.h"
#include "workbench/busy_state.h"
#include "workbench/data_set_evaluation.h"
#include "workbench/frame_recording.h"
#include "workbench/input_set.h"
#include "workbench/layer_watch.h"
#include "workbench/run_controller.h"
#include "workbench/run_measurement.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class ReferenceRun;

class Workbench : public QObject
{
    Q_OBJECT

public:
    explicit Workbench(QObject *parent = nullptr);
    // shutdown()
    ~Workbench() override;

    // What the workbench is doing.
    const BusyState &busy() const { return busyState; }
    bool isIdle() const { return busyState.isIdle(); }

    const BoardChoice &board() const { return boards.choice(); }
    // Sessions are open on the boards (they may be without a description,
    // after one failed to open).
    bool boardsOpen() const { return boards.isOpen(); }
    // The open description; its path is empty while none is open.
    const QString &descriptionPath() const { return opened.path; }
    bool hasDescription() const { return !opened.path.isEmpty(); }
    const NnDescription &description() const { return opened.model.description; }
    const ModelDims &modelDims() const { return opened.model.modelDims; }
    const InputSet &input() const { return inputs; }
    // The frame shown last (its picture, outputs and result), or null
    // before any was shown since the input was opened.
    const FramePtr &lastFrame() const { return shown; }
    // Seconds per frame as measured (Run: the board's time for the frame;
    // Run Auto: the mean over the run), and the rate the runtime reports.
    double frameTime() const { return rates.frameTime; }
    double boardFps() const { return rates.boardFps; }
    // Camera frames the boards had no time for in the last Run Auto.
    std::uint64_t framesDropped() const { return rates.dropped; }
    const RunMeasurement &measurement() const { return measured; }
    bool isComparing() const { return comparing; }
    // The comparison with the simulator while comparing and a description
    // is open; null otherwise.
    const ReferenceRun *reference() const { return compared.get(); }
    bool isRecording() const { return recording.isRecording(); }
    // The layers of the open description on the board (View > Layers).
    LayerWatch &layers() { return watchedLayers; }
    const LayerWatch &layers() const { return watchedLayers; }
    // Frames in flight at most in the last or running run.
    std::uint32_t runInFlightLimit() const { return runs.inFlightLimit(); }

    // Commands. Each returns false when refused (busy, or nothing to run
    // on), having said why by refused(); true when it started or was done.

    // The boards the next description opens on; closes the open one.
    bool chooseBoard(const BoardChoice &choice);
    // Closes the sessions (a board is about to blink) and so the description.
    bool releaseBoards();
    // Opens the description on the boards, then (when it opened) the inputs
    // as openInputs() does. The same description again opens only the inputs.
    bool openDescription(const QString &path, const QStringList &inputsAfter = {});
    // Pictures and folders of pictures, or one video file or camera device.
    bool openInputs(const QStringList &paths);
    bool openPictures(const QStringList &paths);
    bool openVideo(const QString &path);
    bool openCamera(const QString &device, const QSize &size);
    // Any other stream of frames (a camera of one's own making), as a video
    // is: frames of frameSize at framesPerSecond.
    bool openStream(std::unique_ptr<FrameSource> stream, const QString &path, const QSize &frameSize,
                    double framesPerSecond);
    // Run: the next picture, or the stream's next frame.
    bool run();
    // Round and round until stop(), the end of the input (Loop off) or a failure.
    bool runAuto();
    // Ends Run Auto; its frames on the boards still come back.
    void stop();
    // View > Compare with Simulator. Opens the description on the simulator
    // while one is open.
    bool setComparing(bool on);
    // Starts recording what Run Auto delivers into the video file (".avi"
    // or ".mp4") and its JSON Lines file beside it. Throws naming the file.
    void startRecording(const QString &videoPath);
    // Closes the recording's files; the summary for the status line, or
    // empty when nothing was recording.
    QString stopRecording();

    // Settings.
    void setLooping(bool on);
    void setShowEveryFrame(bool on) { everyFrame = on; }
    // Frames Run Auto keeps on the boards at most: 0 (the default) one on
    // every unit of every session, 1 one frame at a time (the least latency).
    void setFramesInFlight(std::uint32_t frames) { framesInFlight = frames; }
    std::uint32_t framesInFlightWanted() const { return framesInFlight; }
    void setPictureCacheBudget(std::size_t bytes) { cache.setBudget(bytes); }
    // Pictures and video frames of more pixels are refused (defaultPixelLimit).
    void setPixelLimit(std::uint64_t pixels);
    // What Run Auto's reader scales pictures for.
    void setDisplayTarget(const DisplayTarget &target);

    // Accuracy on labelled data (workbench_evaluation.cpp). File > Evaluate
    // Data Set: every picture of the data set once through the boards (and
    // the simulator while comparing), scored; evaluationFinished() or
    // failed() at the end, nothing after cancelEvaluation().
    bool evaluateDataSet(const DataSetChoice &choice);
    void cancelEvaluation();
    // View > Resize: how pictures are fitted to the input in place of the
    // description's (none: as it says). The pictures open are read again.
    bool setPictureFit(std::optional<PictureFit> fit);
    std::optional<PictureFit> pictureFitChosen() const { return fitChosen; }
    // The fit in use.
    PictureFit pictureFit() const;
    // View > thresholds and classes: applies to the frames decoded from now
    // on (what is drawn, recorded and saved); resultFilterChanged() asks the
    // window to draw the frame shown again, with filteredResult().
    void setResultFilter(const ResultFilter &filter);
    ResultFilter resultFilter() const { return filter.get(); }
    // The last frame's result decoded again with the filter.
    FrameResult filteredResult() const;

    // Closing: stops Run Auto, waits for the units and the worker, closes
    // the recording. Commands are refused from here on.
    void shutdown();

    // The newest finished frame not yet taken (frameArrived()), or null.
    FramePtr takeFrame() { return runs.takeFrame(); }
    // The frame is on screen, its times complete: it becomes the current
    // picture and counts in the statistics.
    void frameShown(const FramePtr &frame);

signals:
    void activityChanged(Activity activity);
    void refused(const QString &reason);
    // title: the box's ("Description Opening Error", "Frame Processing Error"...).
    void failed(const QString &title, const QString &message);
    void boardChanged();
    void descriptionChanged();
    // The input changed; its first picture (when there is one) is current.
    void inputChanged();
    void frameArrived();
    // Run or Run Auto has ended (frames not yet taken are still there);
    // the workbench goes idle next.
    void runFinished();
    void statisticsChanged();
    void comparingChanged(bool on);
    // Recording ended with Run Auto or by the command (summary for the
    // status line); reason says why when it stopped by itself or its video
    // was not closed complete.
    void recordingChanged(bool on, const QString &summary, const QString &reason);
    // Pictures evaluated of all (total 0 while the data set is read).
    void evaluationProgress(quint64 done, quint64 total);
    void evaluationFinished(std::shared_ptr<const DataSetReport> report);
    void resultFilterChanged();

private:
    struct OpenedDescription
    {
        QString path;
        OpenedModel model;
        PictureReading reading;
    };
    struct Rates
    {
        double frameTime = 0.0;
        double boardFps = 0.0;
        std::uint64_t dropped = 0;
    };

    // Refuses (emitting refused()) unless idle and, when asked, with a
    // description open and an input chosen.
    bool mayStart(const QString &command, bool needsDescription = false, bool needsInput = false);
    void closeDescription();
    void descriptionDone(const QString &path, const OpenedModel &model, double openMs, std::exception_ptr failure);
    void openReference();
    // Opens the inputs waiting for the description, or goes idle.
    void continueOpening();
    // The inputs' part of the commands, once they may start.
    bool startInputs(const QStringList &paths);
    bool startPictures(const QStringList &paths, bool again = false);
    bool startVideo(const QString &path);
    bool startCamera(const QString &device, const QSize &size);
    void openInputWith(const QString &title, std::function<InputSet::Opened()> open);
    void startRun(bool autoRun);
    void runDone();
    void fail(const QString &title, const std::exception_ptr &failure);
    void connectEvaluation();
    void applyPictureFit();

    BusyState busyState;
    BackgroundJob job{this};
    BoardSet boards;
    OpenedDescription opened;
    PictureCache cache;
    InputSet inputs;
    QStringList inputsAfterDescription;
    RunController runs;
    RunMeasurement measured;
    FrameRecording recording;
    std::unique_ptr<ReferenceRun> compared;
    LayerWatch watchedLayers;
    bool comparing = false;
    bool everyFrame = false;
    std::uint32_t framesInFlight = 0;
    bool shutDown = false;
    std::uint64_t pixelLimit = defaultPixelLimit;
    DisplayTarget displayTarget;
    Rates rates;
    FramePtr shown;
    DataSetEvaluation evaluation{this};
    SharedResultFilter filter;
    std::optional<PictureFit> fitChosen;
};
