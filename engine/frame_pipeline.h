// The engine of Run, Run Auto and the headless runner: Run is a pipeline of
// one frame.
//
// A reader thread takes frames from the source ahead of the boards into a
// small bounded queue. The board thread keeps every unit of every session
// busy: frame n (counted from 0 in this run) goes to unit n mod U of session
// (n div U) mod S. At most L frames are on the boards at once (L = U*S unless
// fewer are asked for); before a frame is taken from the queue beyond that,
// the oldest is fetched, so frame n - U*S has always left the slot frame n
// takes, and a frame leaves the queue only when a unit is free for it (its
// wait there is a stage of its own, times.dequeued); while no frame waits to
// be submitted, the oldest is fetched too, so that its result
// does not wait for the next picture. Frames are therefore fetched in the
// order they were submitted, and a frame's outputs are fetched into that
// frame's own buffers (sized on the reader thread): the picture handed on is
// always the one the outputs were computed from.
// Fetched frames are interpreted and delivered on the board thread, in order,
// while the boards work on the frames after them.
#pragma once

#include "accel/accelerator.h"
#include "sources/frame.h"
#include "sources/frame_source.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class FramePipeline
{
public:
    struct Boards
    {
        std::vector<RuntimeHandle> sessions;
        std::uint32_t unitsPerSession = 1;
        // Frames on the boards at most; 0 (or more than there are units):
        // one per unit of every session.
        std::uint32_t inFlight = 0;
    };
    // Fills frame.result from frame.outputs.
    using Interpret = std::function<void(Frame &frame)>;
    // Takes each finished frame, in submission order. May block: the boards
    // then wait for it (the window's every-frame mode).
    using Deliver = std::function<void(FramePtr frame)>;

    FramePipeline(Boards boards, FrameSource &source, const ModelDims &modelDims, Interpret interpret,
                  Deliver deliver);
    FramePipeline(const FramePipeline &) = delete;
    FramePipeline &operator=(const FramePipeline &) = delete;
    // Stops and waits; a failure not yet collected by wait() is dropped.
    ~FramePipeline();

    // Called on the board thread once the pipeline has ended (the window
    // wakes its event loop with it). Set before start().
    std::function<void()> onFinished;

    // Starts the threads. With frameLimit > 0 the run ends by itself after
    // that many frames have been delivered, and no more than that many are
    // read from the source; otherwise when stop() is called or the source
    // has no more frames.
    void start(std::uint64_t frameLimit = 0);
    // Asks the run to end: nothing more is submitted, the frames on the boards
    // are fetched and delivered. Returns at once; any thread.
    void stop();
    // Waits until the run has ended, then rethrows its first failure: a frame
    // the source could not read (the frames before it are delivered), or a
    // failed runtime call (every unit is then waited for, best effort).
    void wait();
    bool isFinished() const;

    std::uint64_t framesDelivered() const;
    std::uint64_t framesDropped() const; // by a live source's newest-frame-wins queue
    std::uint32_t framesInFlight() const;
    double boardFps() const; // as the runtime last reported it
    // Units over all sessions, and the frames kept on them at most.
    std::uint32_t pipelineLength() const;
    std::uint32_t inFlightLimit() const;

private:
    struct Queued
    {
        FramePtr frame;
        std::exception_ptr failure; // the source failed here
        bool end = false;           // the source has no more frames
    };

    class FramePool;

    void readLoop();
    void boardLoop();
    // A frame (or the end) waits in the queue, or the run is stopping.
    bool frameWaiting() const;
    bool popQueued(Queued &item);
    void fetchOldest(std::deque<FramePtr> &inFlight);
    void finishFrame(FramePtr frame);

    const Boards boards;
    FrameSource &source;
    const ModelDims modelDims;
    const Interpret interpret;
    const Deliver deliver;
    std::uint64_t frameLimit = 0;
    std::size_t queueCapacity = 2;

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Queued> queue;
    bool stopRequested = false;
    bool finished = false;
    std::exception_ptr failure;
    std::uint64_t delivered = 0;
    std::uint64_t dropped = 0;
    std::uint32_t inFlightCount = 0;
    double reportedFps = 0.0;

    std::shared_ptr<FramePool> pool;
    std::thread reader;
    std::thread boardThread;
};
