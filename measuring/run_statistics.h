// The figures of a run, frame by frame: how long each stage took, over the
// last 300 frames and since the run started, the whole frame's latency, the
// rate, and the first frame after a description was opened on its own.
//
// Not thread-safe: one thread adds frames and reads the figures (the window's
// GUI thread, the runner's delivering thread).
#pragma once

#include "sources/frame.h"
#include "measuring/latency_series.h"

#include <array>
#include <cstdint>
#include <optional>

// The stages in frame order. Together they cover the whole frame, from the
// start of reading to the moment it is shown, without overlap.
enum class Stage {
    Read,      // read and decode the picture
    Prepare,   // make the input tensor
    ReadAhead, // wait in the read-ahead queue until a unit is free for it
    Queued,    // taken from the queue, wait for the unit
    Board,     // submitted to outputs fetched
    Decode,    // interpret the outputs
    Waiting,   // wait to be drawn
    Draw,      // draw and show (the runner: write the results)
};
constexpr std::size_t stageCount = 8;

// The key of a stage in reports: "read", "prepare", "read_ahead", "queued",
// "board", "decode", "waiting", "draw".
const char *stageKey(Stage stage);
// The name shown to users: "Read and decode picture"...
const char *stageTitle(Stage stage);
// What the stage measures, in a sentence, for tool tips and help texts.
const char *stageDefinition(Stage stage);

// A stage's duration in nanoseconds; nothing when one of its ends was not
// reached (a frame the window did not draw).
std::optional<std::int64_t> stageDuration(const StageTimes &times, Stage stage);
// The frame's latency, to shown (or to interpreted, for a frame that was not
// drawn). A picture or video frame counts from the start of its reading but
// not its wait in the read-ahead queue (it was read ahead so that a unit
// need not wait for it): the other stages add up to it. A camera frame
// counts from its capture, every wait included.
std::optional<std::int64_t> frameLatency(const StageTimes &times);

// The first frame after a description was opened: the model's compile and
// load time, and how long its first frame took.
struct FirstFrameFigures
{
    double openMs = 0.0;
    double latencyMs = 0.0;
    std::array<double, stageCount> stagesMs{};
};

class RunStatistics
{
public:
    static constexpr std::size_t recentCount = 300;

    RunStatistics();

    // Forgets every frame; the measured rate counts from `now` (steady ns).
    void start(std::int64_t now);
    void addFrame(const StageTimes &times);

    // The first frame after opening, kept apart from the series.
    void setFirstFrame(double openMs, const StageTimes &times);
    const std::optional<FirstFrameFigures> &firstFrame() const { return first; }

    std::uint64_t frames() const { return frameCount; }
    LatencySummary recent(Stage stage) const;
    LatencySummary sinceStart(Stage stage) const;
    LatencySummary recentFrame() const;
    LatencySummary sinceStartFrame() const;

    // Frames finished per second since start(), and over the last 300 frames.
    double fpsSinceStart() const;
    double fpsRecent() const;
    // Seconds from start() to the end of the last frame.
    double seconds() const;

private:
    struct Series
    {
        RecentLatencies recent{recentCount};
        LatencyHistogram sinceStart;
    };
    std::array<Series, stageCount> stages;
    Series frame;
    std::array<std::int64_t, recentCount> recentEnds{};
    std::uint64_t frameCount = 0;
    std::int64_t startTime = 0;
    std::int64_t lastEnd = 0;
    std::optional<FirstFrameFigures> first;
};
