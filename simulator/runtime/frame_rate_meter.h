// The frame rate a session reports: frames finished per second of the time
// during which at least one of its units was busy, over its recent frames
// (those finished within 2 seconds of the newest one, at most 32). Idle
// time between frames does not count, so a single Run reports the rate the
// board could sustain, and a full pipeline reports its throughput.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>

class FrameRateMeter
{
public:
    using Clock = std::chrono::steady_clock;

    // A frame starts: returns the session's busy time so far, to be handed
    // back to frameFinished.
    Clock::duration frameStarted();
    void frameFinished(Clock::duration busyAtStart);

    // 0 until a frame has finished.
    double framesPerSecond() const;

    static constexpr std::size_t windowFrames = 32;
    static constexpr std::chrono::seconds windowTime{2};

private:
    struct Finished
    {
        Clock::duration busyAtStart;
        Clock::duration busyAtEnd;
        Clock::time_point end;
    };

    Clock::duration busyTime(Clock::time_point now) const;

    mutable std::mutex mutex;
    int activeFrames = 0;
    Clock::time_point busySince;
    Clock::duration busyBefore{0};
    std::deque<Finished> recent;
};
