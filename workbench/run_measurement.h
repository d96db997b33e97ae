// What is measured of a run, the same for the statistics panel and vrax-run:
// each frame's stages over the last frames and since the start, the first
// frame after a description was opened, the host's CPU per frame, and what
// the pipeline reports while it runs. Not thread-safe: one thread adds the
// frames and reads the figures (the window's GUI thread, the runner's board
// thread).
//
// A series of figures begins at start() (Run Auto, vrax-run) and goes on over
// the Runs after it. The CPU is counted only while frames run (from
// start() or runStarted() to runEnded()), so that opening a description and
// idle time between Runs do not count as the frames' work; frames delivered
// are counted over the same spans, by Run and Run Auto alike.
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

    // The description was closed: every figure goes, the first frame's too.
    void clear();
    // A description was opened in openMs (compile and load): the next frame
    // is reported as its first.
    void descriptionOpened(double openMs);
    // A run starts at `now` (steady ns): the series begin anew, the CPU is
    // counted from here. The first warmupFrames frames are left out; the
    // series then start at the end of the last of them.
    void start(std::int64_t now, std::uint64_t warmupFrames = 0);
    // A Run of one frame starts: the series go on, the CPU is counted again.
    void runStarted();
    // The run has ended, having delivered what setRunState() said last: the
    // CPU is no longer counted.
    void runEnded();
    // A frame with its times complete.
    void addFrame(const StageTimes &times);
    // What the pipeline reports while a run goes on: frames delivered by
    // this run (Run or Run Auto) so far.
    void setRunState(std::uint32_t framesInFlight, std::uint64_t framesDelivered, double boardFps);

    const RunStatistics &statistics() const { return figures; }
    bool isWarmingUp() const { return warmupLeft > 0; }
    std::uint32_t framesInFlight() const { return inFlight; }
    // Frames the boards delivered, and frames shown (the first after
    // opening among them), since the series began.
    std::uint64_t framesDelivered() const { return deliveredBefore + deliveredInRun; }
    std::uint64_t framesShown() const { return shown; }
    double boardFps() const { return reportedFps; }
    // The series is one Run Auto (or vrax-run's run), no Runs after it: its
    // frames' ends are as close as the run made them, their rate means something.
    bool isOneRun() const { return oneRun; }
    // CPU seconds while frames ran since the series began: the application's
    // own threads (measuring/host_cpu.h), and the whole process with the
    // simulator's units.
    double hostCpuSeconds() const;
    double processCpuSeconds() const;

private:
    void restartSeries(std::int64_t now);
    void startCounting();

    const FirstFrame firstFrame;
    RunStatistics figures;
    bool firstFramePending = false;
    double pendingOpenMs = 0.0;
    std::uint64_t warmupLeft = 0;
    std::uint32_t inFlight = 0;
    std::uint64_t deliveredBefore = 0; // by the runs of the series that ended
    std::uint64_t deliveredInRun = 0;
    std::uint64_t shown = 0;
    double reportedFps = 0.0;
    bool oneRun = false;
    // CPU of the ended spans, and where the open one began.
    bool counting = false;
    double hostCpuBefore = 0.0;
    double processCpuBefore = 0.0;
    double hostCpuAtStart = 0.0;
    double processCpuAtStart = 0.0;
};
