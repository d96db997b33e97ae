// The workbench through its public interface, on the fake runtime
// (tests/accel/fake_runtime.h): one busy state that refuses commands while
// work goes on, Run as a pipeline of one frame, the frames Run Auto keeps in
// flight, stage timings stamped where each stage happens, failures that end
// the work and leave the workbench usable, and closing during work.
#include "accel/fake_runtime.h"
#include "support/test_files.h"
#include "workbench/workbench.h"

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace {

// A classifier of three classes on 8 x 8 pictures, or a segmentation
// network with a large output, in a temporary folder.
struct Files
{
    QTemporaryDir dir;

    explicit Files(TensorDims output = {1, 1, 3})
    {
        resetFakeRuntime();
        VRAX_ModelInfo &info = fakeRuntime().modelInfo;
        info.input_count = 1;
        info.inputs[0] = {8, 8, 3};
        info.output_count = 1;
        info.outputs[0] = {output.width, output.height, output.depth};
        writeTestFile(dir.filePath("model.onnx"), "an ONNX model the fake compiles");
    }

    QString description(const QString &name, const QString &kind = "classifier")
    {
        const QString labels = kind == "classifier" ? "<labels>a\nb\nc</labels>" : "";
        return writeTestFile(dir.filePath(name),
                             QString("<vrax_nn_description><input><model>model.onnx</model><format>rgb</format>"
                                     "<divider>255</divider><adder>0</adder></input><output><neural_network>%1"
                                     "</neural_network>%2</output></vrax_nn_description>")
                                 .arg(kind, labels)
                                 .toUtf8());
    }

    // A picture of random colours (slow to decode when large).
    QString picture(const QString &name, QSize size = QSize(8, 8))
    {
        QImage image(size, QImage::Format_RGB32);
        quint32 state = 12345;
        for (int y = 0; y < size.height(); ++y) {
            auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                state = state * 1664525u + 1013904223u;
                line[x] = 0xff000000u | (state >> 8);
            }
        }
        const QString path = dir.filePath(name);
        image.save(path);
        return path;
    }

    QStringList pictures()
    {
        return {picture("one.png"), picture("two.png"), picture("three.png")};
    }
};

// Takes the frames the workbench hands over, as the window does, and keeps them.
struct FrameTaker
{
    explicit FrameTaker(Workbench &bench) : bench(bench)
    {
        QObject::connect(&bench, &Workbench::frameArrived, &bench, [this] { take(); });
        QObject::connect(&bench, &Workbench::runFinished, &bench, [this] { take(); });
    }
    void take()
    {
        if (FramePtr frame = bench.takeFrame()) {
            frame->times.drawStart = steadyNanoseconds();
            frame->times.shown = steadyNanoseconds();
            bench.frameShown(frame);
            shown.push_back(frame);
            if (stopAfter != 0 && shown.size() == stopAfter)
                bench.stop();
        }
    }

    Workbench &bench;
    std::vector<FramePtr> shown;
    std::size_t stopAfter = 0;
};

bool becomesIdle(const Workbench &bench)
{
    return QTest::qWaitFor([&bench] { return bench.isIdle(); }, 30000);
}

// Holds the fake compiler until released: an opening that takes its time.
struct HeldCompiler
{
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;

    HeldCompiler()
    {
        fakeRuntime().onCall = [this](const FakeRuntimeCall &call) {
            if (call.function != "VRAX_COMPILER_CompileONNX")
                return;
            std::unique_lock<std::mutex> lock(mutex);
            entered = true;
            changed.notify_all();
            changed.wait(lock, [this] { return released; });
        };
    }
    bool waitUntilEntered()
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [this] { return entered; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
};

// Frames of a stream, counted as they are read.
class CountedStream : public FrameSource
{
public:
    explicit CountedStream(int &reads) : reads(reads) {}
    bool next(Frame &frame) override
    {
        frame.origin.source = frame.origin.path = QStringLiteral("counted");
        frame.origin.number = std::uint64_t(reads++);
        frame.origin.timeSeconds = 0.04 * double(frame.origin.number);
        frame.picture.picture = QImage(8, 8, QImage::Format_RGB32);
        frame.picture.picture.fill(Qt::gray);
        frame.picture.tensor.assign(8 * 8 * 4, 0.5f);
        frame.times.readStart = frame.times.read = frame.times.prepared = steadyNanoseconds();
        return true;
    }

private:
    int &reads;
};

} // namespace

class WorkbenchTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { resetFakeRuntime(); }
    void commandsWhileOpeningAreRefusedNotRunInside();
    void runIsAPipelineOfOneFrame();
    void framesInFlight_data();
    void framesInFlight();
    void stagesGetTheTimeWhereItIsSpent_data();
    void stagesGetTheTimeWhereItIsSpent();
    void failuresEndTheWorkAndLeaveTheWorkbenchUsable_data();
    void failuresEndTheWorkAndLeaveTheWorkbenchUsable();
    void closingStopsTheWorkAndWaitsForIt();
    void aRuntimeWithoutLayersSaysSoAndRunsOn();
    void figuresCountOnlyWhileFramesRun();
    void theReadAheadWaitIsNoPartOfTheLatency();
};

// The fake runtime has no layer extension: the layers watched say why there
// are none, and Run and Run Auto go on as without them.
void WorkbenchTest::aRuntimeWithoutLayersSaysSoAndRunsOn()
{
    Files files;
    Workbench bench;
    FrameTaker taker(bench);
    QSignalSpy failures(&bench, &Workbench::failed);
    QCOMPARE(bench.layers().unavailable(), QString("No NN description is open"));
    bench.layers().setWatching(true);
    QVERIFY(bench.openDescription(files.description("classifier.xml"), files.pictures()));
    QVERIFY(becomesIdle(bench));
    QCOMPARE(bench.layers().unavailable(), QString("This board's runtime gives no layer profile"));
    QVERIFY(bench.run());
    QVERIFY(becomesIdle(bench));
    taker.stopAfter = taker.shown.size() + 3;
    QVERIFY(bench.runAuto());
    QVERIFY(becomesIdle(bench));
    bench.layers().refresh(bench.reference());
    QCOMPARE(bench.layers().unavailable(), QString("This board's runtime gives no layer profile"));
    QVERIFY(bench.layers().profile().layers.empty());
    QVERIFY(taker.shown.size() >= 4);
    QCOMPARE(failures.count(), 0);
}

// A description opened (dropped, chosen from the recent files...) while
// another opens is refused with a reason, not opened inside the first: the
// first opens once, on one session, without a false failure.
void WorkbenchTest::commandsWhileOpeningAreRefusedNotRunInside()
{
    Files files;
    const QString first = files.description("first.xml");
    const QString second = files.description("second.xml");
    const QStringList pictures = files.pictures();
    HeldCompiler compiler;
    Workbench bench;
    QSignalSpy refusals(&bench, &Workbench::refused);
    QSignalSpy failures(&bench, &Workbench::failed);

    QVERIFY(bench.openDescription(first));
    QVERIFY(compiler.waitUntilEntered());
    QCOMPARE(bench.busy().activity(), Activity::OpeningDescription);
    const std::function<bool()> commands[] = {
        [&] { return bench.openDescription(second); },
        [&] { return bench.openPictures(pictures); },
        [&] { return bench.run(); },
        [&] { return bench.runAuto(); },
        [&] { return bench.chooseBoard(BoardChoice{}); },
        [&] { return bench.releaseBoards(); },
        [&] { return bench.setComparing(true); },
    };
    for (const auto &command : commands)
        QVERIFY(!command());
    QCOMPARE(refusals.count(), int(std::size(commands)));
    for (const QList<QVariant> &refusal : refusals)
        QVERIFY2(refusal[0].toString().startsWith("Busy opening the description: "), qPrintable(refusal[0].toString()));

    compiler.release();
    QVERIFY(becomesIdle(bench));
    QCOMPARE(failures.count(), 0);
    QCOMPARE(bench.descriptionPath(), first);
    QCOMPARE(fakeRuntime().callsOf("VRAX_COMPILER_CompileONNX").size(), std::size_t(1));
    QCOMPARE(fakeRuntime().callsOf("VRAX_Create").size(), std::size_t(1));
    QCOMPARE(fakeRuntime().liveHandles.size(), std::size_t(1));
}

// Run takes the pictures in turn, one frame each through the pipeline, and
// reads nothing ahead: a stream's next Run gets the next frame.
void WorkbenchTest::runIsAPipelineOfOneFrame()
{
    Files files;
    const QStringList pictures = files.pictures();
    Workbench bench;
    FrameTaker taker(bench);
    QVERIFY(bench.openDescription(files.description("classifier.xml"), pictures));
    QVERIFY(becomesIdle(bench));

    for (int i = 0; i < 4; ++i) {
        QVERIFY(bench.run());
        QCOMPARE(bench.busy().activity(), Activity::RunningFrame);
        QVERIFY(becomesIdle(bench));
        QCOMPARE(taker.shown.size(), std::size_t(i + 1));
        QCOMPARE(taker.shown.back()->origin.path, pictures[i % 3]);
        QCOMPARE(bench.input().currentPath(), pictures[i % 3]);
        QVERIFY(bench.frameTime() > 0.0);
    }
    const auto processed = fakeRuntime().callsOf("VRAX_Process");
    QCOMPARE(processed.size(), std::size_t(4));
    for (const FakeRuntimeCall &call : processed)
        QCOMPARE(call.unit, 0u);

    int reads = 0;
    QVERIFY(bench.openStream(std::make_unique<CountedStream>(reads), "counted", QSize(8, 8), 25.0));
    for (int i = 1; i <= 3; ++i) {
        QVERIFY(bench.run());
        QVERIFY(becomesIdle(bench));
        QCOMPARE(reads, i);
        QCOMPARE(taker.shown.back()->origin.number, std::uint64_t(i - 1));
    }
}

void WorkbenchTest::framesInFlight_data()
{
    QTest::addColumn<uint>("boards");   // of type 2, all opened in parallel; 0: the simulator alone
    QTest::addColumn<uint>("wanted");   // setFramesInFlight
    QTest::addColumn<uint>("mostInFlight");
    QTest::newRow("one board") << 0u << 0u << 4u;
    QTest::newRow("one board, one frame at a time") << 0u << 1u << 1u;
    QTest::newRow("one board, fewer than its units") << 0u << 3u << 3u;
    QTest::newRow("two boards in parallel") << 2u << 0u << 8u;
}

// Run Auto keeps as many frames on the boards as their units take (one board
// as all boards of a type), or as many as asked for, each frame fetched
// before its unit gets another, until stopped.
void WorkbenchTest::framesInFlight()
{
    QFETCH(uint, boards);
    QFETCH(uint, wanted);
    QFETCH(uint, mostInFlight);
    Files files;
    fakeRuntime().boardCounts[2] = boards;
    Workbench bench;
    FrameTaker taker(bench);
    if (boards != 0)
        QVERIFY(bench.chooseBoard(BoardChoice{BoardType::TK307_04, 0, boards}));
    QVERIFY(bench.openDescription(files.description("classifier.xml"), files.pictures()));
    QVERIFY(becomesIdle(bench));
    bench.setFramesInFlight(wanted);
    // Units that take a moment per frame, so that the reader keeps ahead.
    fakeRuntime().onCall = [](const FakeRuntimeCall &call) {
        if (call.function == "VRAX_GetStatus")
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    taker.stopAfter = 40;
    QVERIFY(bench.runAuto());
    QVERIFY(becomesIdle(bench));

    QVERIFY(taker.shown.size() >= 40);
    QCOMPARE(fakeRuntime().mostFramesInFlight(), std::size_t(mostInFlight));
    QCOMPARE(fakeRuntime().callsOf("VRAX_Process").size(), fakeRuntime().callsOf("VRAX_GetOutput").size());
    QCOMPARE(bench.runInFlightLimit(), mostInFlight);
}

void WorkbenchTest::stagesGetTheTimeWhereItIsSpent_data()
{
    QTest::addColumn<QString>("slow");   // what takes its time
    QTest::addColumn<bool>("autoRun");
    QTest::addColumn<int>("stage");      // where it must show
    for (const bool autoRun : {false, true}) {
        const char *run = autoRun ? ", Run Auto" : ", Run";
        QTest::newRow(qPrintable(QString("a busy board") + run)) << "board" << autoRun << int(Stage::Board);
        QTest::newRow(qPrintable(QString("a large output") + run)) << "output" << autoRun << int(Stage::Decode);
        QTest::newRow(qPrintable(QString("a large picture") + run)) << "picture" << autoRun << int(Stage::Read);
    }
}

// Each stage is stamped where it happens, for Run and Run Auto alike: time
// spent on the board, in decoding the outputs or in reading the picture
// shows in that stage and in no other that does work. (In Run Auto a frame
// also waits for the frames before it, in the read-ahead queue, for a unit
// or to be drawn.)
void WorkbenchTest::stagesGetTheTimeWhereItIsSpent()
{
    QFETCH(QString, slow);
    QFETCH(bool, autoRun);
    QFETCH(int, stage);
    Files files(slow == "output" ? TensorDims{1024, 1024, 3} : TensorDims{1, 1, 3});
    const QString description = files.description("net.xml", slow == "output" ? "unet" : "classifier");
    const QString picture = files.picture("picture.png", slow == "picture" ? QSize(2400, 1600) : QSize(8, 8));
    if (slow == "board") {
        // The unit stays busy 100 ms after each frame is handed to it (two
        // status queries).
        fakeRuntime().onCall = [](const FakeRuntimeCall &call) {
            if (call.function == "VRAX_GetStatus")
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        };
        fakeRuntime().pollsWhileBusy = 1;
    }
    Workbench bench;
    bench.setPictureCacheBudget(0); // every picture read from its file
    // One frame at a time: a frame's board stage then holds no other frame's
    // time on the same unit.
    bench.setFramesInFlight(1);
    FrameTaker taker(bench);
    QVERIFY(bench.openDescription(description, {picture}));
    QVERIFY(becomesIdle(bench));
    if (autoRun) {
        taker.stopAfter = 3;
        QVERIFY(bench.runAuto());
    } else {
        QVERIFY(bench.run());
    }
    QVERIFY(becomesIdle(bench));
    QVERIFY(!taker.shown.empty());

    // In Run Auto a frame's outputs wait on the unit while the frame before
    // is decoded (one thread fetches and decodes), so after the first frame
    // a slow decode shows in the board stage too: the first frame alone
    // tells where the time goes.
    const std::size_t checked = autoRun ? 1 : taker.shown.size();
    for (std::size_t i = 0; i < checked; ++i) {
        const FramePtr &frame = taker.shown[i];
        std::array<std::int64_t, stageCount> stages{};
        for (std::size_t i = 0; i < stageCount; ++i) {
            const auto duration = stageDuration(frame->times, Stage(i));
            QVERIFY2(duration && *duration >= 0, stageKey(Stage(i)));
            stages[i] = *duration;
        }
        if (autoRun)
            stages[std::size_t(Stage::ReadAhead)] = stages[std::size_t(Stage::Queued)] =
                stages[std::size_t(Stage::Waiting)] = 0;
        const auto largest = std::max_element(stages.begin(), stages.end()) - stages.begin();
        QVERIFY2(largest == stage, qPrintable(QString("%1 took longest: %2 ms")
                                                  .arg(stageKey(Stage(largest)))
                                                  .arg(double(stages[std::size_t(largest)]) / 1e6)));
    }
}

void WorkbenchTest::failuresEndTheWorkAndLeaveTheWorkbenchUsable_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("afterCalls");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("title");
    QTest::newRow("opening") << "VRAX_GetModelInfo" << 0 << "open" << "Description Opening Error";
    QTest::newRow("Run") << "VRAX_GetOutput" << 0 << "run" << "Frame Processing Error";
    QTest::newRow("Run Auto") << "VRAX_Process" << 5 << "runAuto" << "Frame Processing Error";
}

void WorkbenchTest::failuresEndTheWorkAndLeaveTheWorkbenchUsable()
{
    QFETCH(QString, function);
    QFETCH(int, afterCalls);
    QFETCH(QString, command);
    QFETCH(QString, title);
    Files files;
    const QString description = files.description("classifier.xml");
    const QStringList pictures = files.pictures();
    Workbench bench;
    FrameTaker taker(bench);
    if (command != "open") {
        QVERIFY(bench.openDescription(description, pictures));
        QVERIFY(becomesIdle(bench));
    }
    QSignalSpy failures(&bench, &Workbench::failed);
    fakeRuntime().failingFunction = function.toStdString();
    fakeRuntime().failAfterCalls = afterCalls;
    fakeRuntime().failureCode = VRAX_RESULT_BOARD_SYNC_ERROR;
    if (command == "open")
        QVERIFY(bench.openDescription(description, pictures));
    else if (command == "run")
        QVERIFY(bench.run());
    else
        QVERIFY(bench.runAuto());
    QVERIFY(becomesIdle(bench));
    QCOMPARE(failures.count(), 1);
    QCOMPARE(failures[0][0].toString(), title);
    QCOMPARE(failures[0][1].toString(), QString("VRAX_RESULT_BOARD_SYNC_ERROR"));
    // The frames before the failure were handed over; none is left on a unit.
    if (command == "runAuto")
        QVERIFY(taker.shown.size() >= 1);
    QCOMPARE(bench.hasDescription(), command != "open");
    QVERIFY(bench.input().isEmpty() == (command == "open"));

    fakeRuntime().failingFunction.clear();
    if (command == "open") {
        QVERIFY(bench.openDescription(description, pictures));
        QVERIFY(becomesIdle(bench));
    }
    const std::size_t before = taker.shown.size();
    QVERIFY(bench.run());
    QVERIFY(becomesIdle(bench));
    QCOMPARE(taker.shown.size(), before + 1);
    QCOMPARE(failures.count(), 1);
}

// Closing waits for the work it stops: Run Auto's frames come back from the
// units, an opening ends, and nothing starts afterwards.
void WorkbenchTest::closingStopsTheWorkAndWaitsForIt()
{
    Files files;
    const QString description = files.description("classifier.xml");
    {
        auto bench = std::make_unique<Workbench>();
        FrameTaker taker(*bench);
        QVERIFY(bench->openDescription(description, files.pictures()));
        QVERIFY(becomesIdle(*bench));
        QVERIFY(bench->runAuto());
        QVERIFY(QTest::qWaitFor([&taker] { return taker.shown.size() >= 3; }, 30000));
        bench->shutdown();
        QCOMPARE(fakeRuntime().callsOf("VRAX_Process").size(), fakeRuntime().callsOf("VRAX_GetOutput").size());
        QVERIFY(!bench->run());
        bench.reset();
        QVERIFY(fakeRuntime().liveHandles.empty());
        QCOMPARE(fakeRuntime().destroyedUnknownHandles, 0);
    }
    {
        HeldCompiler compiler;
        Workbench bench;
        const std::size_t created = fakeRuntime().callsOf("VRAX_Create").size();
        QVERIFY(bench.openDescription(description));
        QVERIFY(compiler.waitUntilEntered());
        std::thread releaser([&compiler] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            compiler.release();
        });
        bench.shutdown(); // returns once the opening has ended
        releaser.join();
        QCOMPARE(fakeRuntime().callsOf("VRAX_Create").size(), created + 1);
        QVERIFY(!bench.hasDescription());
    }
}

// The host CPU per frame is the frames' own: work between Runs (here a
// quarter second of the GUI thread's) is not counted; frames delivered and
// shown are counted by Run as by Run Auto, over the same spans as the CPU.
void WorkbenchTest::figuresCountOnlyWhileFramesRun()
{
    Files files;
    Workbench bench;
    FrameTaker taker(bench);
    QVERIFY(bench.openDescription(files.description("classifier.xml"), files.pictures()));
    QVERIFY(becomesIdle(bench));
    const auto runOnce = [&bench] { return bench.run() && becomesIdle(bench); };
    QVERIFY(runOnce());
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    volatile std::uint64_t spin = 0;
    while (std::chrono::steady_clock::now() < until)
        spin = spin + 1;
    QVERIFY(runOnce());
    QVERIFY(runOnce());

    const RunMeasurement &measured = bench.measurement();
    QCOMPARE(measured.framesDelivered(), std::uint64_t(3));
    QCOMPARE(measured.framesShown(), std::uint64_t(3));
    QCOMPARE(measured.statistics().frames(), std::uint64_t(2)); // the first after opening apart
    QCOMPARE(measured.framesInFlight(), 0u);
    QVERIFY2(measured.hostCpuSeconds() < 0.125, qPrintable(QString::number(measured.hostCpuSeconds())));
    QVERIFY(measured.processCpuSeconds() < 0.125);

    taker.stopAfter = taker.shown.size() + 6;
    QVERIFY(bench.runAuto());
    QVERIFY(becomesIdle(bench));
    QCOMPARE(measured.framesShown(), std::uint64_t(taker.shown.size() - 3));
    QVERIFY(measured.framesDelivered() >= measured.framesShown());
}

// With one frame on a slow board the pictures read ahead wait in the queue
// for it: that wait is a stage of its own, and the frame's latency is about
// the board's time, not a multiple of it.
void WorkbenchTest::theReadAheadWaitIsNoPartOfTheLatency()
{
    Files files;
    fakeRuntime().onCall = [](const FakeRuntimeCall &call) {
        if (call.function == "VRAX_GetStatus")
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
    };
    fakeRuntime().pollsWhileBusy = 1; // each frame 60 ms on the unit
    Workbench bench;
    bench.setFramesInFlight(1); // View > One Frame at a Time
    FrameTaker taker(bench);
    QVERIFY(bench.openDescription(files.description("classifier.xml"), files.pictures()));
    QVERIFY(becomesIdle(bench));
    taker.stopAfter = 5;
    QVERIFY(bench.runAuto());
    QVERIFY(becomesIdle(bench));
    QCOMPARE(bench.runInFlightLimit(), 1u);

    // The first frames found the queue empty; later ones waited in it.
    for (std::size_t i = 3; i < taker.shown.size(); ++i) {
        const StageTimes &times = taker.shown[i]->times;
        const double board = double(*stageDuration(times, Stage::Board));
        const double readAhead = double(*stageDuration(times, Stage::ReadAhead));
        const double unit = double(*stageDuration(times, Stage::Queued));
        const double latency = double(*frameLatency(times));
        QVERIFY2(readAhead > 0.5 * board && unit < 0.5 * board && latency < 1.5 * board,
                 qPrintable(QString("frame %1: read ahead %2 ms, unit %3 ms, board %4 ms, latency %5 ms")
                                .arg(i)
                                .arg(readAhead / 1e6)
                                .arg(unit / 1e6)
                                .arg(board / 1e6)
                                .arg(latency / 1e6)));
    }
}

QTEST_MAIN(WorkbenchTest)
#include "workbench_test.moc"
