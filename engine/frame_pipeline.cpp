#include "engine/frame_pipeline.h"

#include "accel/board_session.h"
#include "accel/frame_processing.h"
#include "engine/output_buffers.h"

#include <pthread.h>

#include <memory>
#include <stdexcept>
#include <utility>

// Frames go back to the pipeline when their last holder lets go, with their
// tensor and output storage, so that a steady run does not allocate them
// again. The pool outlives the pipeline while frames are still held.
class FramePipeline::FramePool : public std::enable_shared_from_this<FramePool>
{
public:
    explicit FramePool(std::size_t keep) : keep(keep) {}

    FramePtr acquire()
    {
        std::unique_ptr<Frame> frame;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!spare.empty()) {
                frame = std::move(spare.back());
                spare.pop_back();
            }
        }
        if (!frame)
            frame = std::make_unique<Frame>();
        frame->origin = FrameOrigin();
        frame->sequence = 0;
        frame->sharedTensor.reset();
        frame->times = StageTimes();
        frame->result.detections.clear();
        frame->result.ranking.clear();
        frame->result.classMap.width = frame->result.classMap.height = 0;
        frame->result.classMap.classes.clear();
        std::weak_ptr<FramePool> owner = weak_from_this();
        return FramePtr(frame.release(), [owner](Frame *done) {
            if (const std::shared_ptr<FramePool> pool = owner.lock())
                pool->recycle(done);
            else
                delete done;
        });
    }

private:
    void recycle(Frame *frame)
    {
        std::unique_ptr<Frame> kept(frame);
        std::lock_guard<std::mutex> lock(mutex);
        if (spare.size() < keep)
            spare.push_back(std::move(kept));
    }

    const std::size_t keep;
    std::mutex mutex;
    std::vector<std::unique_ptr<Frame>> spare;
};

FramePipeline::FramePipeline(Boards boards, FrameSource &source, const ModelDims &modelDims, Interpret interpret,
                             Deliver deliver)
    : boards(std::move(boards)), source(source), modelDims(modelDims), interpret(std::move(interpret)),
      deliver(std::move(deliver))
{
    if (this->boards.sessions.empty())
        throw std::runtime_error(noSessionMessage);
    if (this->boards.unitsPerSession == 0)
        throw std::invalid_argument("FramePipeline needs at least one unit per session");
    // A live source keeps one frame waiting, the newest; a file source a few,
    // so that a slow picture does not leave a unit idle.
    queueCapacity = source.isLive() ? 1 : 2;
    // Enough for the frames on the boards, in the queue, being read and held
    // by the taker.
    pool = std::make_shared<FramePool>(pipelineLength() + queueCapacity + 4);
}

FramePipeline::~FramePipeline()
{
    stop();
    if (reader.joinable())
        reader.join();
    if (boardThread.joinable())
        boardThread.join();
}

void FramePipeline::start(std::uint64_t limit)
{
    frameLimit = limit;
    reader = std::thread([this] { readLoop(); });
    try {
        boardThread = std::thread([this] { boardLoop(); });
    } catch (...) {
        stop();
        reader.join();
        throw;
    }
}

void FramePipeline::stop()
{
    std::lock_guard<std::mutex> lock(mutex);
    stopRequested = true;
    changed.notify_all();
}

void FramePipeline::wait()
{
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return finished; });
    }
    if (reader.joinable())
        reader.join();
    if (boardThread.joinable())
        boardThread.join();
    std::exception_ptr error;
    {
        std::lock_guard<std::mutex> lock(mutex);
        error = std::exchange(failure, nullptr);
    }
    if (error)
        std::rethrow_exception(error);
}

bool FramePipeline::isFinished() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return finished;
}

std::uint64_t FramePipeline::framesDelivered() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return delivered;
}

std::uint64_t FramePipeline::framesDropped() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return dropped;
}

std::uint32_t FramePipeline::framesInFlight() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return inFlightCount;
}

double FramePipeline::boardFps() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return reportedFps;
}

std::uint32_t FramePipeline::pipelineLength() const
{
    return std::uint32_t(boards.sessions.size()) * boards.unitsPerSession;
}

std::uint32_t FramePipeline::inFlightLimit() const
{
    const std::uint32_t length = pipelineLength();
    return boards.inFlight == 0 || boards.inFlight > length ? length : boards.inFlight;
}

void FramePipeline::readLoop()
{
    // Named so that profiles and the CPU figures can tell the application's
    // threads from the engine's.
    pthread_setname_np(pthread_self(), "vrax-reader");
    // With a frame limit no frame beyond it is read: a video or camera that
    // Run takes one frame of goes on from the next one.
    for (std::uint64_t read = 0;; ++read) {
        if (frameLimit != 0 && read == frameLimit) {
            // The end, after the last frame wanted (a live source may have
            // dropped some on the way).
            std::lock_guard<std::mutex> lock(mutex);
            Queued end;
            end.end = true;
            queue.push_back(std::move(end));
            changed.notify_all();
            break;
        }
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return stopRequested || queue.size() < queueCapacity || source.isLive(); });
            if (stopRequested)
                break;
        }
        Queued item;
        item.frame = pool->acquire();
        try {
            // A recycled frame's buffers have the right size already; the
            // fetch fills every value.
            sizeOutputBuffers(item.frame->outputs, modelDims.outputs);
            if (!source.next(*item.frame)) {
                item.frame.reset();
                item.end = true;
            }
        } catch (...) {
            item.frame.reset();
            item.failure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (stopRequested)
            break;
        // Newest wins: a live source does not wait for the boards.
        if (queue.size() >= queueCapacity && queue.front().frame) {
            queue.pop_front();
            ++dropped;
        }
        const bool last = item.end || item.failure;
        queue.push_back(std::move(item));
        changed.notify_all();
        if (last)
            break;
    }
}

bool FramePipeline::frameWaiting() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return stopRequested || !queue.empty();
}

bool FramePipeline::popQueued(Queued &item)
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return stopRequested || !queue.empty(); });
    if (stopRequested)
        return false;
    item = std::move(queue.front());
    queue.pop_front();
    changed.notify_all();
    return true;
}

void FramePipeline::fetchOldest(std::deque<FramePtr> &inFlight)
{
    FramePtr frame = std::move(inFlight.front());
    inFlight.pop_front();
    const PipelineSlot slot = pipelineSlot(frame->sequence, boards.unitsPerSession, boards.sessions.size());
    double fps = 0.0;
    waitUntilIdle(boards.sessions[slot.session], slot.unit);
    fetchOutputs(boards.sessions[slot.session], slot.unit, frame->outputs, fps);
    frame->times.fetched = steadyNanoseconds();
    {
        std::lock_guard<std::mutex> lock(mutex);
        reportedFps = fps;
        --inFlightCount;
    }
    inFlight.push_front(std::move(frame)); // handed back to the caller at the front
}

void FramePipeline::finishFrame(FramePtr frame)
{
    if (interpret)
        interpret(*frame);
    frame->times.decoded = steadyNanoseconds();
    if (deliver)
        deliver(frame);
    std::lock_guard<std::mutex> lock(mutex);
    ++delivered;
}

void FramePipeline::boardLoop()
{
    pthread_setname_np(pthread_self(), "vrax-board");
    const std::uint32_t limit = inFlightLimit();
    std::deque<FramePtr> inFlight;
    std::uint64_t submitted = 0;
    bool inputEnded = false;
    std::exception_ptr error;
    try {
        for (;;) {
            bool wantMore = !inputEnded && (frameLimit == 0 || submitted < frameLimit);
            // While no frame waits to be submitted, the oldest on the boards
            // comes back: its result is delivered as soon as the board is
            // done, not when the next picture has been read.
            if (wantMore && !inFlight.empty() && !frameWaiting()) {
                fetchOldest(inFlight);
                FramePtr done = std::move(inFlight.front());
                inFlight.pop_front();
                finishFrame(std::move(done));
                continue;
            }
            // With the boards full the oldest frame is fetched first (it has
            // left the slot the new frame takes, or an earlier one did), so
            // that the frame waiting in the read-ahead queue leaves it when a
            // unit is free for it; the new frame is submitted at once, and
            // the fetched one interpreted while the boards work.
            FramePtr done;
            if (wantMore && inFlight.size() >= limit) {
                fetchOldest(inFlight);
                done = std::move(inFlight.front());
                inFlight.pop_front();
            }
            Queued item;
            if (wantMore && !popQueued(item))
                wantMore = false; // stopped
            if (done && (!wantMore || item.failure || item.end))
                finishFrame(std::move(done)); // the oldest, before those still in flight
            if (wantMore && item.failure) {
                // The frames before the one that could not be read still
                // finish; then the run ends with the reader's failure.
                error = item.failure;
                inputEnded = true;
                continue;
            }
            if (wantMore && item.end) {
                inputEnded = true;
                continue;
            }
            if (!wantMore) {
                if (inFlight.empty())
                    break;
                fetchOldest(inFlight);
                FramePtr oldest = std::move(inFlight.front());
                inFlight.pop_front();
                finishFrame(std::move(oldest));
                continue;
            }

            FramePtr frame = std::move(item.frame);
            frame->times.dequeued = steadyNanoseconds();
            frame->sequence = submitted;
            const PipelineSlot slot = pipelineSlot(submitted, boards.unitsPerSession, boards.sessions.size());
            frame->times.submitted = steadyNanoseconds();
            submitFrame(boards.sessions[slot.session], slot.unit, frame->tensor());
            ++submitted;
            inFlight.push_back(std::move(frame));
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++inFlightCount;
            }
            if (done)
                finishFrame(std::move(done));
        }
    } catch (...) {
        if (!error)
            error = std::current_exception();
        // The units may still hold frames: they are waited for so that the
        // sessions can be used or closed safely; a second failure adds nothing.
        try {
            waitForUnits(boards.sessions, boards.unitsPerSession);
        } catch (...) {
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure)
            failure = error;
        finished = true;
        stopRequested = true; // the reader ends too
        inFlightCount = 0;
        changed.notify_all();
    }
    if (onFinished)
        onFinished();
}
