// Run and Run Auto while they go on: the source read ahead and scaled for
// the screen, the frame run, and the hand-over of finished frames to the GUI
// thread, which hears of each by frameArrived() and of the end by finished(),
// both queued: nothing waits for the run in an event loop.
#pragma once

#include "engine/frame_hand_over.h"
#include "engine/frame_pipeline.h"
#include "engine/model_session.h"
#include "sources/display_scaling_source.h"
#include "sources/frame_source.h"
#include "workbench/frame_run.h"

#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

class ReferenceRun;

class RunController : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        FramePipeline::Boards boards;
        const OpenedModel *model = nullptr; // outlives the run
        ReferenceRun *reference = nullptr;  // compared with while given; outlives the run
        std::unique_ptr<FrameSource> source;
        std::uint64_t frameLimit = 0; // 1 for Run; 0 until stop() or the source's end
        // Every frame waits until the one before is taken (the boards go at
        // the taker's pace); otherwise the newest frame wins.
        bool everyFrame = false;
        // Also given each finished frame, on the board thread (recording).
        std::function<void(const FramePtr &frame)> alsoTo;
        DisplayTarget target;
        const SharedResultFilter *filter = nullptr; // null: results as the description says; outlives the run
    };

    explicit RunController(QObject *parent = nullptr);
    // abandon()
    ~RunController() override;

    // Starts the run; throws when it cannot start (a failure to create the
    // pipeline's threads or buffers).
    void start(Request request);
    bool isRunning() const { return run != nullptr; }
    // Asks the run to end: the frames on the boards still come back. Any time.
    void stop();
    // The newest finished frame not yet taken, or null.
    FramePtr takeFrame();
    // After finished(): ends the run and returns its failure (null when it
    // ended well). The figures below stay those of the run.
    std::exception_ptr finish();
    // Closing: stops the run and waits for it, whatever it failed with.
    void abandon();

    // Applies from the next frame read.
    void setDisplayTarget(const DisplayTarget &target);

    std::int64_t startTime() const { return started; }
    std::uint64_t framesDelivered() const;
    std::uint64_t framesDropped() const;
    std::uint32_t framesInFlight() const;
    std::uint32_t inFlightLimit() const;
    double boardFps() const;

signals:
    void frameArrived();
    void finished();

private:
    struct Figures
    {
        std::uint64_t delivered = 0;
        std::uint64_t dropped = 0;
        std::uint32_t inFlightLimit = 0;
        double boardFps = 0.0;
    };
    void release();

    // Destroyed in reverse: the run (its threads) before what it reads.
    std::unique_ptr<FrameSource> source;
    std::unique_ptr<DisplayScalingSource> scaling;
    std::unique_ptr<FrameHandOver> handOver;
    std::unique_ptr<FrameRun> run;
    std::int64_t started = 0;
    Figures last; // of the run that ended
};
