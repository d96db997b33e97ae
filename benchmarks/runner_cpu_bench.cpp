// How much of a core the GUI thread uses while long work waits on the board:
// the workbench's background job, whose end arrives as an event, against a
// pump that spins on processEvents.
#include "bench_clocks.h"
#include "workbench/background_job.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// The board's work, as far as the GUI thread can tell: a wait.
void boardWork()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

// The job started, then the GUI thread's event loop until it reports its end
// (as the application's own loop runs meanwhile).
void runAsJob()
{
    QObject owner;
    BackgroundJob job(&owner);
    QEventLoop loop;
    job.start(boardWork, [&loop](std::exception_ptr) { loop.quit(); });
    loop.exec();
}

// A pump that processes events without ever sleeping.
void runSpinning()
{
    std::atomic<bool> running{true};
    std::thread worker([&] {
        boardWork();
        running.store(false);
    });
    while (running.load())
        QCoreApplication::processEvents();
    worker.join();
}

template <typename Runner>
void measure(benchmark::State &state, Runner runner)
{
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu0 = threadCpuSeconds();
        const double wall0 = wallSeconds();
        runner();
        cpu += threadCpuSeconds() - cpu0;
        wall += wallSeconds() - wall0;
    }
    state.counters["gui_thread_core_share"] = cpu / wall;
}

void BM_BackgroundJob(benchmark::State &state)
{
    measure(state, runAsJob);
}

void BM_SpinningPump(benchmark::State &state)
{
    measure(state, runSpinning);
}

} // namespace

BENCHMARK(BM_BackgroundJob)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpinningPump)->Iterations(10)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
