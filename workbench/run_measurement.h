// What is measured of a run, the same for the statistics panel and vrax-run:
// each frame's stages over the last frames and since the start, the first
// frame after a description was opened, the host's CPU per frame, and what
// the pipeline reports while it runs. Not thread-safe: one thread adds the
// frames and reads the figures (the window's GUI thread, the runner's board
// thread).
#pragma once

#include "measuring/run_statistics.h"
#include "sources/frame.h"

#include <cstdint>

class RunMeasurement
{
public:
    // How the first frame after opening counts: kept apart from the series
    // (the window), or reported apart and counted as well (vrax-run, whose
    // --warmup leaves it out).
    enum class FirstFrame { Apart, Counted };

    explicit RunMeasurement(FirstFrame firstFrame = FirstFrame::Apart);

    // A description was opened in openMs (compile and load): the next frame
    // is reported as its first.
    void descriptionOpened(double openMs);
    // A run starts at `now` (steady ns): the series begin anew, the CPU is
    // counted from here. The first warmupFrames frames are left out; the
    // series then start at the end of the last of them.
    void start(std::int64_t now, std::uint64_t warmupFrames = 0);
    // A frame with its times complete.
    void addFrame(const StageTimes &times);
    // What the pipeline reports while a run goes on.
    void setRunState(std::uint32_t framesInFlight, std::uint64_t framesDelivered, double boardFps);

    const RunStatistics &statistics() const { return figures; }
    bool isWarmingUp() const { return warmupLeft > 0; }
    std::uint32_t framesInFlight() const { return inFlight; }
    std::uint64_t framesDelivered() const { return delivered; }
    double boardFps() const { return reportedFps; }
    // CPU seconds since the series started: the application's own threads
    // (measuring/host_cpu.h), and the whole process with the simulator's units.
    double hostCpuSeconds() const;
    double processCpuSeconds() const;

private:
    void restartSeries(std::int64_t now);

    const FirstFrame firstFrame;
    RunStatistics figures;
    bool firstFramePending = false;
    double pendingOpenMs = 0.0;
    std::uint64_t warmupLeft = 0;
    std::uint32_t inFlight = 0;
    std::uint64_t delivered = 0;
    double reportedFps = 0.0;
    double hostCpuAtStart = 0.0;
    double processCpuAtStart = 0.0;
};
