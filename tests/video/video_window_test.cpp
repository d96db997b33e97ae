// Videos and cameras in the window, on the simulator with the colour
// classifier and the shape detector: Run Auto over a video's frames and
// recording it, a camera that the boards cannot keep up with, bad input and
// Run after it.
#include "app/vraxgui.h"
#include "picture/picture_preparation.h"
#include "picture/picture_test_support.h"
#include "outputs/frame_recorder.h"
#include "support/command_run.h"
#include "support/modal_answer.h"
#include "support/shared_data.h"
#include "support/small_disk.h"
#include "support/test_files.h"
#include "app/run_auto_watcher.h"
#include "app/window_fixture.h"
#include "app/window_view.h"
#include "test_videos.h"

#include <vrax_sim.h>

#include <QAction>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QtTest>

#include <chrono>
#include <thread>

namespace {

QString detector()
{
    return QString::fromStdString(sourceDir()) + "/examples/yolo3/shapes_yolo3.xml";
}

std::vector<QJsonObject> records(const QString &path)
{
    std::vector<QJsonObject> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd())
        lines.push_back(QJsonDocument::fromJson(file.readLine()).object());
    return lines;
}

// A camera faster than the boards: a new red frame every two milliseconds.
class FastCamera : public FrameSource
{
public:
    explicit FastCamera(PictureRequest request) : request(std::move(request)) {}
    bool next(Frame &frame) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::red);
        frame.origin.source = frame.origin.path = QStringLiteral("/dev/video-test");
        frame.origin.number = number++;
        frame.origin.timeSeconds = double(frame.origin.number) * 0.002;
        frame.picture = prepareDecodedPicture(picture, request, false);
        return true;
    }
    bool isLive() const override { return true; }

private:
    PictureRequest request;
    std::uint64_t number = 0;
};

} // namespace

class VideoWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { files = std::make_unique<WindowFixture>(); }
    void cleanup() { files.reset(); }
    void runAutoRecordsEveryDeliveredFrame_data();
    void runAutoRecordsEveryDeliveredFrame();
    void aCameraFasterThanTheBoardsDropsOlderFrames();
    void badInputsAreNamedAndTheWindowStaysUsable_data();
    void badInputsAreNamedAndTheWindowStaysUsable();
    void recordingAsksBeforeReplacingEitherFile();
    void recordingOntoAFullDiskSaysWhyItStopped();
    void aDroppedVideoOpensAsAVideo();

private:
    std::unique_ptr<WindowFixture> files;
    QTemporaryDir dir;
};

void VideoWindowTest::runAutoRecordsEveryDeliveredFrame_data()
{
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("close"); // the window while recording, else space stops
    QTest::newRow("looping") << true << false;
    QTest::newRow("to the end") << false << false;
    QTest::newRow("closing the window") << true << true;
}

// Every frame Run Auto delivers is in the video, at the video's own size,
// and in the JSON Lines file, in order, with the detections vrax-run finds
// in the same frames; with Loop off the run ends by itself at the end.
// Closing the window leaves complete files too.
void VideoWindowTest::runAutoRecordsEveryDeliveredFrame()
{
    QFETCH(bool, loop);
    QFETCH(bool, close);
    const QString video = dir.filePath("shapes.avi");
    QVERIFY(writeTestVideo(video, mjpgAvi, examplePictures()));
    const QString expected = dir.filePath("expected.jsonl");
    const CommandRun run = runCommand(VRAX_RUN_PATH, (detector() + " " + saveDecodedFrames(video, dir.path()).join(' ')
                                                      + " --quiet --results " + expected).toStdString());
    QVERIFY2(run.status == 0, run.output.c_str());
    const std::vector<QJsonObject> found = records(expected);
    QCOMPARE(found.size(), std::size_t(3));

    VRAXGUI window;
    window.show();
    const WindowView view{window};
    window.openStartupFiles(detector(), {video});
    QVERIFY(view.settle());
    view.entry("&Loop")->setChecked(loop);
    // Boards slower than the writer, so that recording keeps up.
    VRAX_SIM_InjectDelay("frame", 5);
    const QString recorded = dir.filePath(QString(QTest::currentDataTag()) + ".avi");
    answerNextFileDialog({recorded});
    QAction *record = view.entry("Rec&ord...");
    record->trigger();
    QVERIFY(record->isChecked());
    RunAutoWatcher watcher(window, 8, [&] { close ? void(window.close()) : QTest::keyClick(&window, Qt::Key_Space); });
    view.entry("Run &Auto (space to abort)")->trigger();
    QVERIFY(view.settle());
    QVERIFY(!record->isChecked());

    const std::vector<QJsonObject> lines = records(FrameRecorder::recordsPathFor(recorded));
    QVERIFY(loop ? lines.size() >= 3 : lines.size() == 3);
    QSize size;
    QCOMPARE(videoFrameCount(recorded, &size), int(lines.size()));
    QCOMPARE(size, examplePictures().front().size());
    int boxes = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        QCOMPARE(lines[i].value("source").toString(), QString("shapes.avi"));
        QCOMPARE(lines[i].value("source_index").toInt(-1), int(i % 3));
        QVERIFY(i == 0 || lines[i].value("frame").toInt(-1) > lines[i - 1].value("frame").toInt(-1));
        QCOMPARE(lines[i].value("time_s").toDouble(-1), double(i % 3) / 10.0);
        QCOMPARE(lines[i].value("detections"), found[i % 3].value("detections"));
        boxes += lines[i].value("detections").toArray().size();
    }
    QVERIFY(boxes > 0);
    QVERIFY(close || window.statusBar()->currentMessage().contains(QString("Recorded %1 frames").arg(lines.size())));
}

// Newest frame wins: with each unit busy 20 ms a frame, most camera frames
// are dropped and counted; those shown still come in order.
void VideoWindowTest::aCameraFasterThanTheBoardsDropsOlderFrames()
{
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    files->openColourClassifier(window);
    Workbench &core = window.workbench();
    // The picture shown and its tensor are at the network's input size.
    const PreparedPicture &shown = *core.input().currentPicture();
    const auto width = std::uint32_t(shown.picture.width());
    const auto height = std::uint32_t(shown.picture.height());
    QVERIFY(core.openStream(std::make_unique<FastCamera>(makeRequest(
                                width, height, std::uint32_t(shown.tensor.size()) / (width * height))),
                            "/dev/video-test", QSize(64, 48), 500.0));
    VRAX_SIM_InjectDelay("frame", 20);

    std::vector<QString> titles;
    RunAutoWatcher watcher(
        window, 15, [&window] { QTest::keyClick(&window, Qt::Key_Space); },
        [&](int) { titles.push_back(window.windowTitle()); });
    view.entry("Run &Auto (space to abort)")->trigger();
    QVERIFY(view.settle());
    QVERIFY(core.framesDropped() > 0);
    const QString rates = view.rates();
    QVERIFY2(rates.contains(QString(" Dropped %1.").arg(core.framesDropped())), qPrintable(rates));
    long previous = -1;
    for (const QString &title : titles) {
        if (!title.contains('#'))
            continue; // the picture shown before the camera's first frame
        const long number = title.section('#', 1).section(' ', 0, 0).toLong();
        QVERIFY2(number > previous, qPrintable(title));
        previous = number;
    }
}

void VideoWindowTest::badInputsAreNamedAndTheWindowStaysUsable_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    // What makes a file no video is the video source's test.
    QTest::newRow("missing video") << dir.filePath("missing.avi") << "Open Video" << "the file does not exist";
    QDir(dir.path()).mkpath("empty-folder");
    QTest::newRow("folder without pictures") << dir.filePath("empty-folder") << "Open Picture"
                                             << "holds no pictures";
    QTest::newRow("unplugged camera") << QString("/dev/video97") << "Open Camera" << "no such device";
}

void VideoWindowTest::badInputsAreNamedAndTheWindowStaysUsable()
{
    QFETCH(QString, input);
    QFETCH(QString, title);
    QFETCH(QString, message);
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    const InputSet &opened = window.workbench().input();
    QString shownTitle;
    QString shownText;
    acceptNextMessageBox(&shownTitle, &shownText);
    window.openStartupFiles(files->writeDescription("colours.xml"), {input});
    QVERIFY(view.settle());
    QCOMPARE(shownTitle, title);
    QVERIFY2(shownText.contains(input) && shownText.contains(message), qPrintable(shownText));
    QVERIFY(!opened.isStream());
    QVERIFY(opened.isEmpty());

    // Still usable: a video opens, and Run takes its frames in turn, the
    // first again after the last.
    const QString video = dir.filePath("shapes.avi");
    QVERIFY(writeTestVideo(video, mjpgAvi, examplePictures()));
    window.openStartupFiles(QString(), {video});
    QVERIFY(view.settle());
    QVERIFY(opened.isStream());
    for (const char *frame : {"#0 00:00.00", "#1 00:00.10", "#2 00:00.20", "#0 00:00.00"}) {
        QVERIFY(view.choose("&Run"));
        QCOMPARE(window.windowTitle(), QString("shapes.avi ") + frame);
    }
}

// Recording into okrec.mp4 would replace okrec.jsonl of an earlier
// okrec.avi: the window asks first, naming it, and leaves it when told no.
void VideoWindowTest::recordingAsksBeforeReplacingEitherFile()
{
    const QString video = dir.filePath("shapes.avi");
    QVERIFY(writeTestVideo(video, mjpgAvi, examplePictures()));
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    window.openStartupFiles(detector(), {video});
    QVERIFY(view.settle());
    const QString earlier = writeTestFile(dir.filePath("okrec.jsonl"), "{\"frame\": 0}\n");
    QAction *record = view.entry("Rec&ord...");
    for (const bool replace : {false, true}) {
        QString question;
        answerNextFileDialog({dir.filePath("okrec.mp4")});
        answerNextMessageBox(replace ? QMessageBox::Yes : QMessageBox::No, &question);
        record->trigger();
        QVERIFY2(question.contains(earlier) && !question.contains("okrec.mp4"), qPrintable(question));
        QCOMPARE(record->isChecked(), replace);
        QCOMPARE(window.workbench().isRecording(), replace);
    }
    QFile kept(earlier);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.size(), qint64(0)); // replaced, once agreed
    record->trigger();
    QVERIFY(!window.workbench().isRecording());
}

// A recording stopped by a disk that fills up says why in its box, with
// the frames kept, which both files hold.
void VideoWindowTest::recordingOntoAFullDiskSaysWhyItStopped()
{
    SmallDisk disk(6 << 20);
    if (!disk.mounted())
        QSKIP(disk.skipReason().c_str());
    const QString video = dir.filePath("shapes.avi");
    QVERIFY(writeTestVideo(video, mjpgAvi, examplePictures()));
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    window.openStartupFiles(detector(), {video});
    QVERIFY(view.settle());
    VRAX_SIM_InjectDelay("frame", 5); // the disk, not the writer's pace, stops it
    const QString recorded = disk.filePath("full.avi");
    answerNextFileDialog({recorded});
    view.entry("Rec&ord...")->trigger();
    QVERIFY(window.workbench().isRecording());
    disk.fillLeaving(3 << 20); // room for a few frames beyond what closing the files takes
    QString title, text;
    acceptNextMessageBox(&title, &text);
    view.entry("Run &Auto (space to abort)")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!title.isEmpty(), 60000);
    QTest::keyClick(&window, Qt::Key_Space);
    QVERIFY(view.settle());
    QCOMPARE(title, QString("Recording Stopped"));
    QVERIFY2(text.contains("the disk is nearly full"), qPrintable(text));
    const int frames = videoFrameCount(recorded);
    QVERIFY2(frames > 2, qPrintable(QString::number(frames) + ": " + text));
    QVERIFY2(text.contains(QString("Recorded %1 frames to full.avi and full.jsonl.").arg(frames)), qPrintable(text));
    QCOMPARE(int(records(FrameRecorder::recordsPathFor(recorded)).size()), frames);
}

// A video dropped on the window opens as a video, alone or with its
// description, as File > Open Video does.
void VideoWindowTest::aDroppedVideoOpensAsAVideo()
{
    const QString video = dir.filePath("dropped.avi");
    QVERIFY(writeTestVideo(video, mjpgAvi, examplePictures()));
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    QString failure;
    acceptNextMessageBox(nullptr, &failure);
    for (const QStringList &dropped : {QStringList{detector(), video}, QStringList{video}}) {
        window.openStartupFiles(detector(), {});
        QVERIFY(view.settle());
        view.drop(dropped);
        QVERIFY(view.settle());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY(window.workbench().input().isStream());
        QCOMPARE(window.workbench().input().pictures(), QStringList{video});
        QVERIFY(view.choose("&Run"));
        QCOMPARE(window.windowTitle(), QString("dropped.avi #0 00:00.00"));
    }
}

QTEST_MAIN(VideoWindowTest)
#include "video_window_test.moc"
