// Hands finished frames from the board thread to the thread that shows them.
//
// Newest wins (the default): put() returns at once and a frame not yet taken
// is replaced by a newer one, so the boards never wait for the screen; every
// frame is still counted and interpreted before it is handed over. Every
// frame: put() waits until the frame before has been taken, so each one is
// shown and the boards go at the pace of the screen.
#pragma once

#include "sources/frame.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class FrameHandOver
{
public:
    explicit FrameHandOver(bool everyFrame = false) : everyFrame(everyFrame) {}

    // Called by put() when a frame arrives and none was waiting: the taker's
    // wake-up. Set before the first put().
    std::function<void()> onArrival;

    void put(FramePtr frame);
    // The waiting frame, or null.
    FramePtr take();
    // Releases a waiting put() and lets every later one return at once.
    void close();
    // Frames replaced before anyone took them.
    std::uint64_t skipped() const;

private:
    const bool everyFrame;
    mutable std::mutex mutex;
    std::condition_variable taken;
    FramePtr waiting;
    bool closed = false;
    std::uint64_t skippedFrames = 0;
};
