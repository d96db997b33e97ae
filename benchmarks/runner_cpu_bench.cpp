// How much of a core the GUI thread uses while a background task waits on the
// board: the event-driven runner against a pump that spins on processEvents.
#include "bench_clocks.h"
#include "app/background_runner.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMenuBar>
#include <QProgressBar>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// The board's work, as far as the GUI thread can tell: a wait.
void boardWork()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

// A runner that pumps events without ever sleeping.
void runSpinning(const BackgroundTask &task, QWidget *menuBar, QWidget *indicator)
{
    std::atomic<bool> running{true};
    menuBar->setEnabled(false);
    std::thread worker([&] {
        task();
        running.store(false);
    });
    while (running.load())
        QCoreApplication::processEvents();
    indicator->setVisible(false);
    menuBar->setEnabled(true);
    worker.join();
}

template <typename Runner>
void measure(benchmark::State &state, Runner runner)
{
    QMenuBar menuBar;
    QProgressBar indicator;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu0 = threadCpuSeconds();
        const double wall0 = wallSeconds();
        runner(boardWork, &menuBar, &indicator);
        cpu += threadCpuSeconds() - cpu0;
        wall += wallSeconds() - wall0;
    }
    state.counters["gui_thread_core_share"] = cpu / wall;
}

void BM_EventDrivenRunner(benchmark::State &state)
{
    measure(state, [](const BackgroundTask &task, QWidget *menuBar, QWidget *indicator) {
        runInBackground(task, menuBar, indicator);
    });
}

void BM_SpinningPump(benchmark::State &state)
{
    measure(state, runSpinning);
}

} // namespace

BENCHMARK(BM_EventDrivenRunner)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpinningPump)->Iterations(10)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
