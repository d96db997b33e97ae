// The main loop as the user runs it, on a real detector through the simulator:
// Run Auto's throughput against the engine's own forward loop with the same
// number of units, Run Auto against Run, the GUI thread's share of a core,
// and resident memory over a long Run Auto. The second argument of the engine
// loop and of Run Auto, when nonzero, keeps each unit busy that many
// milliseconds longer per frame without using a core: a board that works
// beside the host, so that the figures show what the application itself
// leaves of the board's throughput.
#include "app/picture_view.h"
#include "app/run_auto_watcher.h"
#include "app/vraxgui.h"
#include "bench_clocks.h"
#include "app/window_view.h"

#include <benchmark/benchmark.h>
#include <vrax_sim.h>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

QString sharedDir()
{
    const QByteArray fromEnvironment = qgetenv("VRAX_SHARED_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(VRAX_SOURCE_DIR "/../shared") : QString(fromEnvironment);
}

QString modelPath(const QString &name)
{
    return QDir::cleanPath(sharedDir() + "/models/" + name);
}

QStringList detectorPictures()
{
    QStringList pictures;
    for (const char *name : {"dog.jpg", "person.jpg", "horses.jpg"})
        pictures << QDir::cleanPath(sharedDir() + "/pictures/" + name);
    return pictures;
}

// Writes a description of the model with the given output element into dir.
QString writeDescription(const QTemporaryDir &dir, const QString &model, const QString &output)
{
    const QString path = dir.filePath("description.xml");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("<vrax_nn_description><input><model>%1</model><format>rgb</format><divider>255"
                              "</divider><adder>0</adder></input><output>%2</output></vrax_nn_description>")
                   .arg(model, output)
                   .toUtf8());
    return path;
}

// The yolo-fastest COCO detector as a "yolo3" description.
QString writeDetectorDescription(const QTemporaryDir &dir)
{
    QFile names(modelPath("yolo-fastest-1.1.names"));
    names.open(QIODevice::ReadOnly);
    const QString labels = QString::fromUtf8(names.readAll()).trimmed();
    return writeDescription(dir, modelPath("yolo-fastest-1.1.cfg"),
                            QStringLiteral("<neural_network>yolo3</neural_network><labels>%1</labels>"
                                           "<yolo_anchors>12\n18\n37\n49\n52\n132\n115\n73\n119\n199\n242\n238"
                                           "</yolo_anchors><yolo_confidence_threshold>0.25"
                                           "</yolo_confidence_threshold><yolo_iou_threshold>0.45"
                                           "</yolo_iou_threshold>")
                                .arg(labels));
}

// Runs Run Auto until `frames` pictures were shown; returns the frames per
// second the window measured and the GUI thread's share of a core.
struct RunAutoFigures
{
    double framesPerSecond = 0;
    double guiCoreShare = 0;
};

RunAutoFigures measuredRunAuto(VRAXGUI &window, int frames, const std::function<void(int)> &onFrame = nullptr)
{
    RunAutoWatcher watcher(
        window, frames, [&window] { QTest::keyClick(&window, Qt::Key_Space); }, onFrame);
    const double cpu0 = threadCpuSeconds();
    const double wall0 = wallSeconds();
    const WindowView view{window};
    view.entry(QStringLiteral("Run &Auto (space to abort)"))->trigger();
    view.settle();
    RunAutoFigures figures;
    figures.guiCoreShare = (threadCpuSeconds() - cpu0) / (wallSeconds() - wall0);
    figures.framesPerSecond = 1.0 / window.workbench().frameTime();
    return figures;
}

void showEveryFrame(VRAXGUI &window, bool every)
{
    for (QAction *action : window.findChildren<QAction *>())
        if (action->text() == QLatin1String("Show Every Frame"))
            action->setChecked(every);
}

// The window, shown, with the detector and its pictures open on the
// simulator's units (all of them for a parallelCount of 1); the benchmark is
// skipped when they are missing.
struct DetectorWindow
{
    DetectorWindow(benchmark::State &state, std::uint32_t parallelCount)
    {
        window.show();
        window.workbench().chooseBoard(BoardChoice{BoardType::Simulator, 0, parallelCount});
        window.openStartupFiles(writeDetectorDescription(dir), detectorPictures());
        WindowView{window}.settle();
        opened = window.workbench().hasDescription() && !window.workbench().input().isEmpty();
        if (!opened)
            state.SkipWithError("the detector or its pictures are missing");
    }

    QTemporaryDir dir;
    VRAXGUI window;
    bool opened = false;
};

void BM_RunAutoFourUnits(benchmark::State &state)
{
    DetectorWindow detector(state, 1);
    if (!detector.opened)
        return;
    VRAX_SIM_InjectDelay("frame", std::uint32_t(state.range(0)));
    for (auto _ : state) {
        const RunAutoFigures figures = measuredRunAuto(detector.window, 300);
        state.counters["fps"] = figures.framesPerSecond;
        state.counters["gui_core_share"] = figures.guiCoreShare;
    }
    VRAX_SIM_ClearInjections();
}

void BM_RunOneUnit(benchmark::State &state)
{
    DetectorWindow detector(state, 0);
    if (!detector.opened)
        return;
    const WindowView view{detector.window};
    const int frames = 100;
    for (auto _ : state) {
        const double start = wallSeconds();
        for (int i = 0; i < frames; ++i)
            view.choose("&Run");
        state.counters["fps"] = frames / (wallSeconds() - start);
    }
}

// The engine's own forward loop: one network per thread, as many threads as units.
void BM_EngineForwardLoop(benchmark::State &state)
{
    const int units = int(state.range(0));
    const std::chrono::milliseconds boardTime(state.range(1));
    if (!QFileInfo::exists(modelPath("yolo-fastest-1.1.cfg"))) {
        state.SkipWithError("the detector is missing");
        return;
    }
    const int framesPerUnit = 300 / units;
    for (auto _ : state) {
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        const double start = wallSeconds();
        for (int u = 0; u < units; ++u) {
            threads.emplace_back([&] {
                cv::dnn::Net net = cv::dnn::readNetFromDarknet(modelPath("yolo-fastest-1.1.cfg").toStdString(),
                                                               modelPath("yolo-fastest-1.1.weights").toStdString());
                cv::Mat blob(std::vector<int>{1, 3, 320, 320}, CV_32F);
                cv::randu(blob, 0.0f, 1.0f);
                std::vector<cv::Mat> outputs;
                net.setInput(blob);
                net.forward(outputs, std::vector<cv::String>{"conv_120", "conv_129"});
                ++ready;
                for (int f = 0; f < framesPerUnit; ++f) {
                    net.setInput(blob);
                    net.forward(outputs, std::vector<cv::String>{"conv_120", "conv_129"});
                    if (boardTime.count() > 0)
                        std::this_thread::sleep_for(boardTime);
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        // Network loading is left out by timing from the first warm frame on
        // would need a barrier; the load is a few milliseconds of 300 frames.
        state.counters["fps"] = framesPerUnit * units / (wallSeconds() - start);
    }
}

// A board of a chosen speed (the simulator as four units of range(0) ms a
// frame, answering inputs it has seen without the host's cores) against Run
// Auto at the screen's pace (range(1) 0) or drawing every frame (1). The
// board's own rate is 4 / time; the host's CPU per frame is the whole
// process's CPU time over the measured frames, the engine idle by then.
void BM_RunAutoBoardTime(benchmark::State &state)
{
    DetectorWindow detector(state, 1);
    if (!detector.opened)
        return;
    VRAXGUI &window = detector.window;
    const auto boardMs = std::uint32_t(state.range(0));
    VRAX_SIM_SetBoardTime(0, boardMs * 1000);
    showEveryFrame(window, state.range(1) != 0);
    measuredRunAuto(window, 30); // every picture once through the engine
    for (auto _ : state) {
        const std::uint32_t engine0 = VRAX_SIM_EngineFrameCount();
        const double cpu0 = processCpuSeconds();
        const double wall0 = wallSeconds();
        const RunAutoFigures figures = measuredRunAuto(window, 300); // frames shown: about 5 s at the screen's pace
        const double cpu = processCpuSeconds() - cpu0;
        const double framesRun = figures.framesPerSecond * (wallSeconds() - wall0);
        const double board = 4000.0 / double(boardMs);
        state.counters["fps"] = figures.framesPerSecond;
        state.counters["board_fps"] = board;
        state.counters["ratio"] = figures.framesPerSecond / board;
        state.counters["host_cpu_ms_per_frame"] = 1000.0 * cpu / framesRun;
        state.counters["engine_frames"] = double(VRAX_SIM_EngineFrameCount() - engine0);
    }
    VRAX_SIM_ClearInjections();
}

// Run Auto in the window's earlier view, the network's input at actual size,
// against its default, the original picture fitted to a 1280 x 800 window, in
// alternating rounds so that both share the machine's changing load. range(0):
// the board's time per frame in ms, 0 for the simulator on the host's cores.
void BM_RunAutoViews(benchmark::State &state)
{
    DetectorWindow detector(state, 1);
    if (!detector.opened)
        return;
    VRAXGUI &window = detector.window;
    window.resize(1280, 800);
    const auto boardMs = std::uint32_t(state.range(0));
    if (boardMs > 0)
        VRAX_SIM_SetBoardTime(0, boardMs * 1000);
    PictureView *view = window.findChild<PictureView *>();
    measuredRunAuto(window, 30); // every picture once through the engine
    const int frames = boardMs > 0 ? 300 : 150;
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    for (auto _ : state) {
        std::vector<double> network, original, networkGui, originalGui, networkCpu, originalCpu;
        // Each view goes first in every other round.
        for (int run = 0; run < 10; ++run) {
            const bool inOriginal = (run + run / 2) % 2 == 1;
            view->setSource(inOriginal ? PictureView::Source::Original : PictureView::Source::Network);
            if (inOriginal)
                view->setFitToWindow(true);
            else
                view->setZoom(1.0);
            const double cpu0 = processCpuSeconds();
            const double wall0 = wallSeconds();
            const RunAutoFigures figures = measuredRunAuto(window, frames);
            const double framesRun = figures.framesPerSecond * (wallSeconds() - wall0);
            (inOriginal ? original : network).push_back(figures.framesPerSecond);
            (inOriginal ? originalGui : networkGui).push_back(figures.guiCoreShare);
            (inOriginal ? originalCpu : networkCpu).push_back(1000.0 * (processCpuSeconds() - cpu0) / framesRun);
        }
        state.counters["network_fps"] = median(network);
        state.counters["original_fps"] = median(original);
        state.counters["ratio"] = median(original) / median(network);
        state.counters["network_gui_core_share"] = median(networkGui);
        state.counters["original_gui_core_share"] = median(originalGui);
        state.counters["network_cpu_ms_per_frame"] = median(networkCpu);
        state.counters["original_cpu_ms_per_frame"] = median(originalCpu);
    }
    VRAX_SIM_ClearInjections();
}

// Resident memory of a long Run Auto of the small colour classifier, measured
// after a warm-up and at the end.
void BM_RunAutoResidentMemory(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString description = writeDescription(dir, QStringLiteral(VRAX_SOURCE_DIR "/tests/data/mean_colour.onnx"),
                                                 "<neural_network>classifier</neural_network>"
                                                 "<labels>red\ngreen\nblue</labels>");
    QStringList pictures;
    for (const auto &[name, colour] : {std::pair<const char *, QColor>{"r.png", Qt::red}, {"g.png", Qt::green}}) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        image.save(dir.filePath(name));
        pictures << dir.filePath(name);
    }
    VRAXGUI window;
    window.show();
    window.workbench().chooseBoard(BoardChoice{BoardType::Simulator, 0, 1});
    window.openStartupFiles(description, pictures);
    WindowView{window}.settle();
    showEveryFrame(window, true); // every frame counted by the watcher

    const int frames = int(state.range(0));
    for (auto _ : state) {
        double warm = 0;
        double peak = 0;
        measuredRunAuto(window, frames, [&](int shown) {
            const double now = residentMegabytes();
            if (shown == 200)
                warm = now;
            if (shown > 200 && now > peak)
                peak = now;
        });
        state.counters["rss_after_warmup_mb"] = warm;
        state.counters["rss_growth_mb"] = peak - warm;
    }
}

} // namespace

BENCHMARK(BM_EngineForwardLoop)
    ->Args({1, 0})
    ->Args({4, 0})
    ->Args({4, 40})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(BM_RunOneUnit)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RunAutoFourUnits)->Arg(0)->Arg(40)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RunAutoBoardTime)
    ->Args({4, 0})
    ->Args({4, 1})
    ->Args({40, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(BM_RunAutoViews)->Arg(0)->Arg(4)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RunAutoResidentMemory)->Arg(5000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The runtime runs its units with one engine thread each; the engine's
    // own loop gets the same setting.
    cv::setNumThreads(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
