// The frame rate a session reports: the frames per second its units deliver
// while they work. Over its recent frames (those finished within 2 seconds
// of the newest one, at most 32) it divides the mean number of frames in
// progress, while any was, by the mean time a frame took. Idle time between
// frames does not count, so a single Run reports 1 / frame time, and four
// units kept busy report 4 / frame time: what a board of that speed
// sustains, without the edge of the window (the frames that were already
// running when it opened) pulling the figure down.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>

class FrameRateMeter
{
public:
    using Clock = std::chrono::steady_clock;

    // Where the session's counters stood when a frame started; handed back
    // to frameFinished. Times earlier than one already seen count as that one.
    struct Start
    {
        Clock::time_point at;
        Clock::duration busy{0};  // time with at least one frame running
        Clock::duration load{0};  // frame time summed over the running frames
    };

    Start frameStarted(Clock::time_point now);
    void frameFinished(const Start &start, Clock::time_point now);

    // 0 until a frame has finished.
    double framesPerSecond() const;

    static constexpr std::size_t windowFrames = 32;
    static constexpr std::chrono::seconds windowTime{2};

private:
    struct Finished
    {
        Start start;
        Clock::time_point end;
        Clock::duration busyAtEnd;
        Clock::duration loadAtEnd;
    };

    // Brings the counters up to now (never backwards); returns the time used.
    Clock::time_point advance(Clock::time_point now);

    mutable std::mutex mutex;
    int activeFrames = 0;
    Clock::time_point lastEvent;
    Clock::duration busy{0};
    Clock::duration load{0};
    std::deque<Finished> recent;
};
