// Percentiles on known series, in the window of recent frames and in the
// since-start histogram, and stage durations that add up to the frame.
#include "measuring/run_statistics.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t ms = 1000000;

struct SeriesCase
{
    const char *name;
    std::vector<std::int64_t> values;
    LatencySummary expected; // count, mean, p50, p90, p99, max
};

void PrintTo(const SeriesCase &c, std::ostream *os)
{
    *os << c.name;
}

std::vector<std::int64_t> range(std::int64_t from, std::int64_t to, std::int64_t step)
{
    std::vector<std::int64_t> values;
    for (std::int64_t v = from; v <= to; v += step)
        values.push_back(v);
    return values;
}

const SeriesCase seriesCases[] = {
    {"oneToHundredMs", range(ms, 100 * ms, ms), {100, 50.5, 50, 90, 99, 100}},
    {"single", {7 * ms}, {1, 7, 7, 7, 7, 7}},
    // Ten values: p99 is the largest, p90 the ninth, p50 the fifth.
    {"tenUnsorted", {9 * ms, 2 * ms, 5 * ms, 1 * ms, 10 * ms, 3 * ms, 8 * ms, 4 * ms, 7 * ms, 6 * ms},
     {10, 5.5, 5, 9, 10, 10}},
    // A slow tail: one frame in a hundred takes 250 ms.
    {"tail", [] { auto v = std::vector<std::int64_t>(99, 20 * ms); v.push_back(250 * ms); return v; }(),
     {100, 22.3, 20, 20, 20, 250}},
};

class Percentiles : public ::testing::TestWithParam<SeriesCase>
{
};

void expectSummary(const LatencySummary &got, const LatencySummary &expected, double tolerance)
{
    EXPECT_EQ(got.count, expected.count);
    EXPECT_NEAR(got.mean, expected.mean, 1e-9);
    EXPECT_NEAR(got.p50, expected.p50, tolerance);
    EXPECT_NEAR(got.p90, expected.p90, tolerance);
    EXPECT_NEAR(got.p99, expected.p99, tolerance);
    EXPECT_DOUBLE_EQ(got.max, expected.max);
}

TEST_P(Percentiles, recentAndSinceStartAgreeWithTheNearestRank)
{
    RecentLatencies recent;
    LatencyHistogram histogram;
    for (std::int64_t value : GetParam().values) {
        recent.add(value);
        histogram.add(value);
    }
    expectSummary(recent.summary(), GetParam().expected, 0.0);
    expectSummary(histogram.summary(), GetParam().expected, 0.0);
}

INSTANTIATE_TEST_SUITE_P(KnownSeries, Percentiles, ::testing::ValuesIn(seriesCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Percentiles, histogramIsWithinItsResolutionOfTheExactValue)
{
    // Values off the bucket edges, from microseconds (where a histogram of
    // 0.01 ms buckets read 0.01 beside a mean of 0.0012) to seconds.
    for (const std::int64_t base : {std::int64_t(1100), 3 * ms, 12000 * ms}) {
        RecentLatencies exact(1000);
        LatencyHistogram histogram;
        for (int i = 0; i < 1000; ++i) {
            const std::int64_t value = base + i * (base / 5000 + 1);
            exact.add(value);
            histogram.add(value);
        }
        const LatencySummary e = exact.summary();
        const LatencySummary h = histogram.summary();
        EXPECT_NEAR(h.mean, e.mean, e.mean * 1e-12);
        for (auto [got, want] : {std::pair{h.p50, e.p50}, {h.p90, e.p90}, {h.p99, e.p99}})
            EXPECT_NEAR(got, want, want / 256.0) << "values from " << base << " ns";
        EXPECT_DOUBLE_EQ(h.max, e.max);
    }
}

TEST(Percentiles, millisecondsReadAtTheResolutionTheyWereMeasuredAt)
{
    const std::pair<double, const char *> cases[] = {
        {0.0, "0.00"}, {0.0012, "0.00120"}, {0.01, "0.0100"}, {0.5, "0.500"}, {1.0, "1.00"}, {25.349, "25.35"},
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(millisecondsText(value), text);
}

TEST(Percentiles, recentKeepsOnlyTheLastValues)
{
    RecentLatencies recent(300);
    for (std::int64_t v = 1; v <= 400; ++v)
        recent.add(v * ms);
    const LatencySummary s = recent.summary();
    EXPECT_EQ(s.count, 300u);
    EXPECT_DOUBLE_EQ(s.p50, 250.0);
    EXPECT_DOUBLE_EQ(s.max, 400.0);
    EXPECT_DOUBLE_EQ(s.mean, 250.5);
}

// A frame every 10 ms whose stages take 1, 2, ... 8 ms; its latency leaves
// out the third, the wait in the read-ahead queue.
StageTimes scriptedFrame(std::int64_t readStart)
{
    StageTimes t;
    std::int64_t now = readStart;
    t.readStart = now;
    std::int64_t *ends[] = {&t.read,    &t.prepared, &t.dequeued,  &t.submitted,
                            &t.fetched, &t.decoded,  &t.drawStart, &t.shown};
    for (int i = 0; i < 8; ++i)
        *ends[i] = now += (i + 1) * ms;
    return t;
}

TEST(RunStatistics, stagesCoverTheWholeFrameAndRatesCountFrameEnds)
{
    RunStatistics statistics;
    statistics.start(100 * ms + 36 * ms - 10 * ms); // the first frame ends one period later
    for (int f = 0; f < 500; ++f)
        statistics.addFrame(scriptedFrame(100 * ms + f * 10 * ms));

    double sum = 0.0;
    for (std::size_t i = 0; i < stageCount; ++i) {
        EXPECT_DOUBLE_EQ(statistics.sinceStart(Stage(i)).mean, double(i + 1)) << stageKey(Stage(i));
        EXPECT_DOUBLE_EQ(statistics.recent(Stage(i)).p99, double(i + 1)) << stageKey(Stage(i));
        if (Stage(i) != Stage::ReadAhead)
            sum += statistics.recent(Stage(i)).mean;
    }
    EXPECT_DOUBLE_EQ(statistics.sinceStartFrame().mean, 33.0);
    EXPECT_DOUBLE_EQ(sum, statistics.recentFrame().mean);
    EXPECT_EQ(statistics.recentFrame().count, 300u);
    EXPECT_EQ(statistics.sinceStartFrame().count, 500u);
    EXPECT_EQ(statistics.frames(), 500u);
    EXPECT_NEAR(statistics.fpsRecent(), 100.0, 1e-9);
    EXPECT_NEAR(statistics.fpsSinceStart(), 100.0, 1e-9);
}

// Where a frame's latency starts: a picture or video frame's at its reading,
// without the time it waited in the read-ahead queue; a camera frame's at
// its capture, every wait included.
TEST(RunStatistics, latencyLeavesOutTheReadAheadWaitOfFilesNotOfCameras)
{
    const StageTimes file = scriptedFrame(ms); // read 1 + prepare 2, read ahead 3, then 4 + ... + 8
    StageTimes camera = file;
    camera.captured = file.readStart - 5 * ms; // taken 5 ms before it was there to read
    StageTimes notDrawn = file;
    notDrawn.drawStart = notDrawn.shown = 0;
    const std::pair<const StageTimes *, std::int64_t> cases[] = {
        {&file, 33 * ms}, {&camera, 41 * ms}, {&notDrawn, 18 * ms}};
    for (const auto &[times, latency] : cases)
        EXPECT_EQ(frameLatency(*times), latency);
}

TEST(RunStatistics, aFrameThatWasNotDrawnEndsWhenInterpreted)
{
    StageTimes t = scriptedFrame(ms);
    t.drawStart = 0;
    t.shown = 0;
    EXPECT_FALSE(stageDuration(t, Stage::Draw));
    EXPECT_FALSE(stageDuration(t, Stage::Waiting));
    EXPECT_EQ(frameLatency(t), 18 * ms);

    RunStatistics statistics;
    statistics.start(0);
    statistics.addFrame(t);
    EXPECT_EQ(statistics.recent(Stage::Draw).count, 0u);
    EXPECT_EQ(statistics.recent(Stage::Board).count, 1u);
}

} // namespace
