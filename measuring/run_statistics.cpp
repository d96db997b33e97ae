#include "measuring/run_statistics.h"

#include <algorithm>

namespace {

struct StageInfo
{
    const char *key;
    const char *title;
    std::int64_t StageTimes::*begin;
    std::int64_t StageTimes::*end;
    const char *definition;
};

constexpr StageInfo stageInfo[stageCount] = {
    {"read", "Read and decode picture", &StageTimes::readStart, &StageTimes::read,
     "Reading the picture's file (or the video's or camera's frame) and decoding it."},
    {"prepare", "Prepare tensor", &StageTimes::read, &StageTimes::prepared,
     "Making the network's input from the picture: cropping, scaling, colour order and number format."},
    {"read_ahead", "Wait in read-ahead queue", &StageTimes::prepared, &StageTimes::dequeued,
     "The prepared frame waiting in the read-ahead queue until a unit is free for it. Not part of a picture's "
     "or video frame's latency (it was read ahead so that no unit waits for a picture); part of a camera "
     "frame's."},
    {"queued", "Wait for a unit", &StageTimes::dequeued, &StageTimes::submitted,
     "From leaving the read-ahead queue to being handed to the unit."},
    {"board", "Board", &StageTimes::submitted, &StageTimes::fetched,
     "On the board: from handing the input to a unit to having its outputs fetched."},
    {"decode", "Decode results", &StageTimes::fetched, &StageTimes::decoded,
     "Interpreting the outputs: the ranking, the boxes or the class map."},
    {"waiting", "Wait to be drawn", &StageTimes::decoded, &StageTimes::drawStart,
     "The finished frame waiting until the window (or vrax-run's writer) takes it."},
    {"draw", "Draw and show", &StageTimes::drawStart, &StageTimes::shown,
     "Drawing the picture and its result on screen (vrax-run: writing the result lines and pictures)."},
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

const char *stageDefinition(Stage stage)
{
    return stageInfo[std::size_t(stage)].definition;
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
    if (end == 0)
        return std::nullopt;
    if (times.captured != 0)
        return end - times.captured;
    if (times.readStart == 0)
        return std::nullopt;
    if (times.prepared != 0 && times.dequeued != 0)
        return (times.prepared - times.readStart) + (end - times.dequeued);
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
