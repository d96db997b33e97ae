#include "engine/frame_hand_over.h"

void FrameHandOver::put(FramePtr frame)
{
    bool wake = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (everyFrame)
            taken.wait(lock, [this] { return closed || !waiting; });
        if (waiting)
            ++skippedFrames;
        wake = !waiting;
        waiting = std::move(frame);
    }
    if (wake && onArrival)
        onArrival();
}

FramePtr FrameHandOver::take()
{
    FramePtr frame;
    {
        std::lock_guard<std::mutex> lock(mutex);
        frame = std::move(waiting);
        waiting.reset();
    }
    taken.notify_all();
    return frame;
}

void FrameHandOver::close()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    taken.notify_all();
}

std::uint64_t FrameHandOver::skipped() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return skippedFrames;
}
