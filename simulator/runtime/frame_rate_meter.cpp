#include "frame_rate_meter.h"

FrameRateMeter::Clock::duration FrameRateMeter::busyTime(Clock::time_point now) const
{
    return activeFrames > 0 ? busyBefore + (now - busySince) : busyBefore;
}

FrameRateMeter::Clock::duration FrameRateMeter::frameStarted()
{
    std::lock_guard<std::mutex> lock(mutex);
    const Clock::time_point now = Clock::now();
    if (activeFrames++ == 0)
        busySince = now;
    return busyTime(now);
}

void FrameRateMeter::frameFinished(Clock::duration busyAtStart)
{
    std::lock_guard<std::mutex> lock(mutex);
    const Clock::time_point now = Clock::now();
    const Clock::duration busyAtEnd = busyTime(now);
    if (--activeFrames == 0)
        busyBefore = busyAtEnd;
    recent.push_back({busyAtStart, busyAtEnd, now});
    while (recent.size() > windowFrames || recent.front().end + windowTime < now)
        recent.pop_front();
}

double FrameRateMeter::framesPerSecond() const
{
    std::lock_guard<std::mutex> lock(mutex);
    if (recent.empty())
        return 0.0;
    // The oldest frame in the window may have started before later ones
    // that finished earlier; the window opens at the earliest start.
    Clock::duration opened = recent.front().busyAtStart;
    for (const Finished &frame : recent) {
        if (frame.busyAtStart < opened)
            opened = frame.busyAtStart;
    }
    const double seconds = std::chrono::duration<double>(recent.back().busyAtEnd - opened).count();
    return seconds > 0.0 ? static_cast<double>(recent.size()) / seconds : 0.0;
}
