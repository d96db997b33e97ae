// What collecting the run figures costs: one frame added to the statistics
// (every frame pays it), and the summaries a statistics panel asks for on
// each refresh (a few times a second, not per frame).
#include "measuring/run_statistics.h"

#include <benchmark/benchmark.h>

namespace {

StageTimes frameAt(std::int64_t start, std::uint64_t n)
{
    // Stages of a few milliseconds with some spread, so that the histogram
    // fills several pages like a real run.
    const std::int64_t spread = std::int64_t(n * 7919 % 5000) * 1000;
    StageTimes t;
    t.readStart = start;
    t.read = t.readStart + 400000 + spread / 10;
    t.prepared = t.read + 300000;
    t.submitted = t.prepared + 2000000 + spread;
    t.fetched = t.submitted + 13000000 + spread;
    t.decoded = t.fetched + 100000;
    t.drawStart = t.decoded + 50000;
    t.shown = t.drawStart + 2000000;
    return t;
}

void BM_AddFrame(benchmark::State &state)
{
    RunStatistics statistics;
    statistics.start(0);
    std::uint64_t n = 0;
    for (auto _ : state) {
        statistics.addFrame(frameAt(std::int64_t(n) * 10000000, n));
        ++n;
    }
    benchmark::DoNotOptimize(statistics.frames());
}
BENCHMARK(BM_AddFrame);

void BM_PanelSummaries(benchmark::State &state)
{
    RunStatistics statistics;
    statistics.start(0);
    for (std::uint64_t n = 0; n < std::uint64_t(state.range(0)); ++n)
        statistics.addFrame(frameAt(std::int64_t(n) * 10000000, n));
    for (auto _ : state) {
        for (std::size_t i = 0; i < stageCount; ++i) {
            benchmark::DoNotOptimize(statistics.recent(Stage(i)));
            benchmark::DoNotOptimize(statistics.sinceStart(Stage(i)));
        }
        benchmark::DoNotOptimize(statistics.recentFrame());
        benchmark::DoNotOptimize(statistics.sinceStartFrame());
    }
}
BENCHMARK(BM_PanelSummaries)->Arg(300)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
