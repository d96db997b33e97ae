// The main loop as the user runs it, on a real detector through the simulator:
// Run Auto as the status line shows it, with the default settings (one board
// not opened in parallel, every unit in flight, the screen's pace), on the
// host's cores or on a board of a chosen speed, with the host's CPU per
// frame; Run one frame at a time; the two views; resident memory over a long
// Run Auto. Run it under an X server (xvfb-run) for the figures of a real
// one; without a display it draws off screen. The engine's own forward loop
// to compare with is runtime_throughput_benchmark's raw_forward
// (benchmarks/run_auto_targets.sh runs them side by side).
#include "app/picture_view.h"
#include "app/run_auto_watcher.h"
#include "app/vraxgui.h"
#include "bench_clocks.h"
#include "app/window_view.h"
#include "measuring/host_cpu.h"

#include <benchmark/benchmark.h>
#include <vrax_sim.h>


#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
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

// A yolo-fastest COCO detector ("yolo-fastest-1.1" or "-1.1-xl") as a "yolo3" description.
QString writeDetectorDescription(const QTemporaryDir &dir, const QString &model = "yolo-fastest-1.1")
{
    QFile names(modelPath(model + ".names"));
    names.open(QIODevice::ReadOnly);
    const QString labels = QString::fromUtf8(names.readAll()).trimmed();
    return writeDescription(dir, modelPath(model + ".cfg"),
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

// The window, shown, with a detector and its pictures open on the simulator,
// as a user opens them; the benchmark is skipped when they are missing.
struct DetectorWindow
{
    explicit DetectorWindow(benchmark::State &state, const QString &model = "yolo-fastest-1.1")
    {
        window.show();
        window.openStartupFiles(writeDetectorDescription(dir, model), detectorPictures());
        WindowView{window}.settle();
        opened = window.workbench().hasDescription() && !window.workbench().input().isEmpty();
        if (!opened)
            state.SkipWithError("the detector or its pictures are missing");
    }

    QTemporaryDir dir;
    VRAXGUI window;
    bool opened = false;
};

void BM_RunOneUnit(benchmark::State &state)
{
    DetectorWindow detector(state);
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

// Run Auto as a user starts it on the larger detector, yolo-fastest-1.1-xl:
// the default settings (the simulator not opened in parallel, every unit in
// flight, the newest frame drawn at each screen refresh). range(0): the
// board's time per frame in ms (VRAX_SIM_BOARD_TIME), 0 for the simulator on
// the host's cores. The rate is the status line's; the host's CPU per frame
// is the process's less the simulator's unit threads (measuring/host_cpu.h)
// over the frames delivered.
void BM_RunAutoTargets(benchmark::State &state)
{
    DetectorWindow detector(state, "yolo-fastest-1.1-xl");
    if (!detector.opened)
        return;
    VRAXGUI &window = detector.window;
    const auto boardMs = std::uint32_t(state.range(0));
    if (boardMs > 0)
        VRAX_SIM_SetBoardTime(0, boardMs * 1000);
    measuredRunAuto(window, 12); // every picture once through the engine on every unit
    const Workbench &core = window.workbench();
    for (auto _ : state) {
        const double host0 = hostCpuSeconds();
        const double process0 = processCpuSeconds();
        const RunAutoFigures figures = measuredRunAuto(window, boardMs > 0 ? 300 : 200);
        const auto delivered = double(core.measurement().framesDelivered());
        state.counters["status_fps"] = figures.framesPerSecond;
        state.counters["frames"] = delivered;
        state.counters["in_flight"] = core.runInFlightLimit();
        state.counters["host_cpu_ms_per_frame"] = 1000.0 * (hostCpuSeconds() - host0) / delivered;
        state.counters["process_cpu_ms_per_frame"] = 1000.0 * (processCpuSeconds() - process0) / delivered;
        state.counters["gui_core_share"] = figures.guiCoreShare;
        state.counters["board_fps"] = boardMs > 0 ? 4000.0 / boardMs : 0.0; // every row the same counters (csv)
    }
    VRAX_SIM_ClearInjections();
}

// Run Auto in the window's earlier view, the network's input at actual size,
// against its default, the original picture fitted to a 1280 x 800 window, in
// alternating rounds so that both share the machine's changing load. range(0):
// the board's time per frame in ms, 0 for the simulator on the host's cores.
void BM_RunAutoViews(benchmark::State &state)
{
    DetectorWindow detector(state);
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

BENCHMARK(BM_RunOneUnit)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RunAutoTargets)->Arg(0)->Arg(4)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RunAutoViews)->Arg(0)->Arg(4)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RunAutoResidentMemory)->Arg(5000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv)
{
    // On the X server of DISPLAY when there is one (xvfb-run), else off screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
