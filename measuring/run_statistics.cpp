#include "measuring/run_statistics.h"

#include <algorithm>

namespace {

struct StageInfo
{
    const char *key;
    const char *title;
    std::int64_t StageTimes::*begin;
    std::int64_t StageTimes::*end;
};

constexpr StageInfo stageInfo[stageCount] = {
    {"read", "Read and decode picture", &StageTimes::readStart, &StageTimes::read},
    {"prepare", "Prepare tensor", &StageTimes::read, &StageTimes::prepared},
    {"queued", "Wait for a unit", &StageTimes::prepared, &StageTimes::submitted},
    {"board", "Board", &StageTimes::submitted, &StageTimes::fetched},
    {"decode", "Decode results", &StageTimes::fetched, &StageTimes::decoded},
    {"waiting", "Wait to be drawn", &StageTimes::decoded, &StageTimes::drawStart},
    {"draw", "Draw and show", &StageTimes::drawStart, &StageTimes::shown},
};

double toMs(std::int64_t nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

} // namespace

const char *stageKey(Stage stage)
{
    return stageInfo[std::size_t(stage)].key;
}

const char *stageTitle(Stage stage)
{
    return stageInfo[std::size_t(stage)].title;
}

std::optional<std::int64_t> stageDuration(const StageTimes &times, Stage stage)
{
    const StageInfo &info = stageInfo[std::size_t(stage)];
    if (times.*info.begin == 0 || times.*info.end == 0)
        return std::nullopt;
    return times.*info.end - times.*info.begin;
}

std::optional<std::int64_t> frameLatency(const StageTimes &times)
{
    const std::int64_t end = times.shown != 0 ? times.shown : times.decoded;
    if (times.readStart == 0 || end == 0)
        return std::nullopt;
    return end - times.readStart;
}

RunStatistics::RunStatistics() = default;

void RunStatistics::start(std::int64_t now)
{
    for (Series &series : stages) {
        series.recent.clear();
        series.sinceStart.clear();
    }
    frame.recent.clear();
    frame.sinceStart.clear();
    frameCount = 0;
    startTime = now;
    lastEnd = now;
}

void RunStatistics::addFrame(const StageTimes &times)
{
    for (std::size_t i = 0; i < stageCount; ++i) {
        if (const auto duration = stageDuration(times, Stage(i))) {
            stages[i].recent.add(*duration);
            stages[i].sinceStart.add(*duration);
        }
    }
    if (const auto latency = frameLatency(times)) {
        frame.recent.add(*latency);
        frame.sinceStart.add(*latency);
    }
    const std::int64_t end = times.shown != 0 ? times.shown : times.decoded;
    lastEnd = std::max(lastEnd, end);
    recentEnds[frameCount % recentCount] = lastEnd;
    ++frameCount;
}

void RunStatistics::setFirstFrame(double openMs, const StageTimes &times)
{
    FirstFrameFigures figures;
    figures.openMs = openMs;
    figures.latencyMs = toMs(frameLatency(times).value_or(0));
    for (std::size_t i = 0; i < stageCount; ++i)
        figures.stagesMs[i] = toMs(stageDuration(times, Stage(i)).value_or(0));
    first = figures;
}

LatencySummary RunStatistics::recent(Stage stage) const
{
    return stages[std::size_t(stage)].recent.summary();
}

LatencySummary RunStatistics::sinceStart(Stage stage) const
{
    return stages[std::size_t(stage)].sinceStart.summary();
}

LatencySummary RunStatistics::recentFrame() const
{
    return frame.recent.summary();
}

LatencySummary RunStatistics::sinceStartFrame() const
{
    return frame.sinceStart.summary();
}

double RunStatistics::seconds() const
{
    return double(lastEnd - startTime) / 1e9;
}

double RunStatistics::fpsSinceStart() const
{
    const double s = seconds();
    return s > 0.0 ? double(frameCount) / s : 0.0;
}

double RunStatistics::fpsRecent() const
{
    // Between the ends of the oldest and the newest of the last 300 frames.
    if (frameCount < 2)
        return fpsSinceStart();
    const std::uint64_t span = std::min<std::uint64_t>(frameCount, recentCount) - 1;
    const std::int64_t oldest = recentEnds[(frameCount - 1 - span) % recentCount];
    const double s = double(lastEnd - oldest) / 1e9;
    return s > 0.0 ? double(span) / s : 0.0;
}
