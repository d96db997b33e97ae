// One run of frames through the boards, the same for Run (a run of one
// frame), Run Auto and vrax-run: the frame pipeline fed by a source, each
// frame's outputs interpreted for the open description and, while a
// reference is given, compared with the reference board's, then handed to
// the consumer.
#pragma once

#include "engine/frame_pipeline.h"
#include "engine/model_session.h"
#include "results/result_filter.h"
#include "sources/frame_source.h"

#include <cstdint>
#include <functional>
#include <stdexcept>

class ReferenceRun;

// The reference failed on a frame; the reference's own exception is nested
// (std::rethrow_if_nested).
class ComparisonFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class FrameRun
{
public:
    // Takes each finished frame, in order, on the board thread. May block:
    // the boards then wait for it.
    using Consumer = std::function<void(FramePtr frame)>;

    // The source, the reference (null: no comparison) and the filter (null:
    // results as the description says) outlive the run. The reference's
    // result goes into each frame's `reference`.
    FrameRun(const FramePipeline::Boards &boards, FrameSource &source, const OpenedModel &model,
             ReferenceRun *reference, Consumer consumer, const SharedResultFilter *filter = nullptr);

    // Called on the board thread once the run has ended. Set before start().
    std::function<void()> onFinished;

    // See FramePipeline: frameLimit 0 runs until stop() or the source's end.
    void start(std::uint64_t frameLimit = 0) { pipeline.start(frameLimit); }
    void stop() { pipeline.stop(); }
    // Waits for the end and rethrows the run's failure: a frame the source
    // could not read, a failed runtime call, ComparisonFailure, or what the
    // consumer threw.
    void wait() { pipeline.wait(); }
    bool isFinished() const { return pipeline.isFinished(); }

    std::uint64_t framesDelivered() const { return pipeline.framesDelivered(); }
    std::uint64_t framesDropped() const { return pipeline.framesDropped(); }
    std::uint32_t framesInFlight() const { return pipeline.framesInFlight(); }
    std::uint32_t inFlightLimit() const { return pipeline.inFlightLimit(); }
    double boardFps() const { return pipeline.boardFps(); }

private:
    FramePipeline pipeline;
};
