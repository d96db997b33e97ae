#include "workbench/run_measurement.h"

#include "measuring/host_cpu.h"

RunMeasurement::RunMeasurement(FirstFrame firstFrame) : firstFrame(firstFrame) {}

void RunMeasurement::descriptionOpened(double openMs)
{
    firstFramePending = true;
    pendingOpenMs = openMs;
}

void RunMeasurement::start(std::int64_t now, std::uint64_t warmupFrames)
{
    warmupLeft = warmupFrames;
    inFlight = 0;
    delivered = 0;
    restartSeries(now);
}

void RunMeasurement::restartSeries(std::int64_t now)
{
    figures.start(now);
    hostCpuAtStart = ::hostCpuSeconds();
    processCpuAtStart = wholeProcessCpuSeconds();
}

void RunMeasurement::addFrame(const StageTimes &times)
{
    if (firstFramePending) {
        firstFramePending = false;
        figures.setFirstFrame(pendingOpenMs, times);
        if (firstFrame == FirstFrame::Apart)
            return;
    }
    if (warmupLeft > 0) {
        if (--warmupLeft == 0)
            restartSeries(times.shown != 0 ? times.shown : times.decoded);
        return;
    }
    figures.addFrame(times);
}

void RunMeasurement::setRunState(std::uint32_t framesInFlight, std::uint64_t framesDelivered, double boardFps)
{
    inFlight = framesInFlight;
    delivered = framesDelivered;
    reportedFps = boardFps;
}

double RunMeasurement::hostCpuSeconds() const
{
    return ::hostCpuSeconds() - hostCpuAtStart;
}

double RunMeasurement::processCpuSeconds() const
{
    return wholeProcessCpuSeconds() - processCpuAtStart;
}
