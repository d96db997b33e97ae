#include "workbench/run_measurement.h"

#include "measuring/host_cpu.h"

RunMeasurement::RunMeasurement(FirstFrame firstFrame) : firstFrame(firstFrame) {}

void RunMeasurement::clear()
{
    figures = RunStatistics();
    firstFramePending = false;
    pendingOpenMs = 0.0;
    warmupLeft = 0;
    inFlight = 0;
    deliveredBefore = deliveredInRun = shown = 0;
    reportedFps = 0.0;
    oneRun = false;
    counting = false;
    hostCpuBefore = processCpuBefore = 0.0;
}

void RunMeasurement::descriptionOpened(double openMs)
{
    firstFramePending = true;
    pendingOpenMs = openMs;
}

void RunMeasurement::start(std::int64_t now, std::uint64_t warmupFrames)
{
    warmupLeft = warmupFrames;
    inFlight = 0;
    restartSeries(now);
    oneRun = true;
}

void RunMeasurement::restartSeries(std::int64_t now)
{
    figures.start(now);
    deliveredBefore = deliveredInRun = shown = 0;
    hostCpuBefore = processCpuBefore = 0.0;
    counting = false;
    startCounting();
}

void RunMeasurement::runStarted()
{
    oneRun = false;
    startCounting();
}

void RunMeasurement::startCounting()
{
    if (counting)
        return;
    counting = true;
    deliveredBefore += deliveredInRun;
    deliveredInRun = 0;
    hostCpuAtStart = ::hostCpuSeconds();
    processCpuAtStart = wholeProcessCpuSeconds();
}

void RunMeasurement::runEnded()
{
    if (!counting)
        return;
    hostCpuBefore = hostCpuSeconds();
    processCpuBefore = processCpuSeconds();
    counting = false;
    inFlight = 0;
}

void RunMeasurement::addFrame(const StageTimes &times)
{
    if (firstFramePending) {
        firstFramePending = false;
        figures.setFirstFrame(pendingOpenMs, times);
        if (firstFrame == FirstFrame::Apart) {
            ++shown;
            return;
        }
    }
    if (warmupLeft > 0) {
        if (--warmupLeft == 0)
            restartSeries(times.shown != 0 ? times.shown : times.decoded);
        return;
    }
    ++shown;
    figures.addFrame(times);
}

void RunMeasurement::setRunState(std::uint32_t framesInFlight, std::uint64_t framesDelivered, double boardFps)
{
    inFlight = framesInFlight;
    deliveredInRun = framesDelivered;
    reportedFps = boardFps;
}

double RunMeasurement::hostCpuSeconds() const
{
    return hostCpuBefore + (counting ? ::hostCpuSeconds() - hostCpuAtStart : 0.0);
}

double RunMeasurement::processCpuSeconds() const
{
    return processCpuBefore + (counting ? wholeProcessCpuSeconds() - processCpuAtStart : 0.0);
}
