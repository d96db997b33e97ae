#include "frame_rate_meter.h"

FrameRateMeter::Clock::time_point FrameRateMeter::advance(Clock::time_point now)
{
    if (now < lastEvent)
        now = lastEvent; // stamps taken on other threads may arrive slightly out of order
    if (activeFrames > 0) {
        busy += now - lastEvent;
        load += activeFrames * (now - lastEvent);
    }
    lastEvent = now;
    return now;
}

FrameRateMeter::Start FrameRateMeter::frameStarted(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex);
    const Clock::time_point at = advance(now);
    ++activeFrames;
    return Start{at, busy, load};
}

void FrameRateMeter::frameFinished(const Start &start, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex);
    const Clock::time_point end = advance(now);
    --activeFrames;
    recent.push_back({start, end, busy, load});
    while (recent.size() > windowFrames || recent.front().end + windowTime < end)
        recent.pop_front();
}

double FrameRateMeter::framesPerSecond() const
{
    std::lock_guard<std::mutex> lock(mutex);
    if (recent.empty())
        return 0.0;
    // The window opens at its earliest start: a frame that finished later
    // may have started before the one that finished first.
    const Start *opened = &recent.front().start;
    Clock::duration frameTimes{0};
    for (const Finished &frame : recent) {
        if (frame.start.at < opened->at)
            opened = &frame.start;
        frameTimes += frame.end - frame.start.at;
    }
    using Seconds = std::chrono::duration<double>;
    const double busySeconds = Seconds(recent.back().busyAtEnd - opened->busy).count();
    const double loadSeconds = Seconds(recent.back().loadAtEnd - opened->load).count();
    const double meanFrameSeconds = Seconds(frameTimes).count() / static_cast<double>(recent.size());
    if (busySeconds <= 0.0 || meanFrameSeconds <= 0.0)
        return 0.0;
    return loadSeconds / busySeconds / meanFrameSeconds;
}
