// Recording: the video and JSON Lines files written, a writer that cannot
// keep up, files that cannot be written, a disk that fills up; and
// vrax-run --record, the same recorder without a window.
#include "outputs/frame_recorder.h"
#include "workbench/frame_recording.h"

#include "support/command_run.h"
#include "support/failure_message.h"
#include "support/shared_data.h"
#include "support/test_files.h"
#include "support/small_disk.h"
#include "test_videos.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace {

FramePtr pictureFrame(const QImage &picture, std::uint64_t number)
{
    auto frame = std::make_shared<Frame>();
    frame->origin.source = QStringLiteral("clip.avi");
    frame->origin.number = number;
    frame->origin.timeSeconds = double(number) / 10.0;
    frame->picture.picture = picture;
    return frame;
}

QImage framePicture(const Frame &frame)
{
    return frame.picture.picture;
}

QByteArray frameLine(const Frame &frame)
{
    return QStringLiteral("{\"source\": \"%1\", \"frame\": %2}\n").arg(frame.origin.source).arg(frame.origin.number).toUtf8();
}

// Pictures of noise, which no codec compresses well: they fill a disk fast.
std::vector<QImage> noisePictures(int count)
{
    QRandomGenerator random(27);
    std::vector<QImage> pictures;
    for (int i = 0; i < count; ++i) {
        QImage picture(320, 240, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            random.fillRange(reinterpret_cast<quint32 *>(picture.scanLine(y)), picture.width());
        pictures.push_back(picture);
    }
    return pictures;
}

// The lines of a JSON Lines file that are whole JSON objects, ended by their
// line break; -1 when anything else is in the file.
int wholeLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = file.readAll();
    if (!text.isEmpty() && !text.endsWith('\n'))
        return -1;
    int lines = 0;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        if (!QJsonDocument::fromJson(line).isObject())
            return -1;
        ++lines;
    }
    return lines;
}

FrameRecorder::Settings settingsIn(const QString &folder, const QString &name)
{
    FrameRecorder::Settings settings;
    settings.videoPath = QDir(folder).filePath(name);
    settings.recordsPath = FrameRecorder::recordsPathFor(settings.videoPath);
    settings.framesPerSecond = 10.0;
    settings.frameSize = QSize(320, 240);
    return settings;
}

FrameRecorder::Settings settingsIn(const QTemporaryDir &dir, const QString &name)
{
    return settingsIn(dir.path(), name);
}

} // namespace

// Every frame queued before finish() is in both files, pictures of another
// size fitted into the video's; the files are complete without a wait (what
// the lines hold: the window's recording test).
TEST(FrameRecorder, WritesEveryQueuedFrameToBothFiles)
{
    for (const char *name : {"record.avi", "record.mp4"}) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const FrameRecorder::Settings settings = settingsIn(dir, QString::fromLatin1(name));
        EXPECT_EQ(QFileInfo(settings.recordsPath).fileName(), QFileInfo(settings.videoPath).completeBaseName() + ".jsonl");
        const std::vector<QImage> pictures = examplePictures();
        const int frames = 12;
        {
            FrameRecorder recorder(settings, framePicture, frameLine);
            for (int i = 0; i < frames; ++i)
                ASSERT_TRUE(recorder.add(pictureFrame(i == 5 ? pictures[0].scaled(100, 300) : pictures[std::size_t(i) % 3],
                                                      std::uint64_t(i))));
            recorder.finish();
            EXPECT_EQ(recorder.framesWritten(), std::uint64_t(frames));
            EXPECT_EQ(recorder.stopReason(), "");
            EXPECT_FALSE(recorder.add(pictureFrame(pictures[0], 99)));
        }
        QSize size;
        EXPECT_EQ(videoFrameCount(settings.videoPath, &size), frames);
        EXPECT_EQ(size, QSize(320, 240));
        QFile records(settings.recordsPath);
        ASSERT_TRUE(records.open(QIODevice::ReadOnly));
        EXPECT_EQ(records.readAll().count('\n'), frames);
    }
}

// A writer held up fills the queue: recording stops, says why once, and every
// frame it took is still written.
TEST(FrameRecorder, StopsAndSaysSoWhenTheWriterCannotKeepUp)
{
    QTemporaryDir dir;
    FrameRecorder::Settings settings = settingsIn(dir, QStringLiteral("slow.avi"));
    settings.queueCapacity = 3;
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    int told = 0;
    const QImage picture = examplePictures().front();
    FrameRecorder recorder(
        settings,
        [&](const Frame &frame) {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return released; });
            return frame.picture.picture;
        },
        frameLine);
    recorder.onStopped = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        ++told;
        changed.notify_all();
    };
    int accepted = 0;
    while (recorder.add(pictureFrame(picture, std::uint64_t(accepted))))
        ++accepted;
    EXPECT_GE(accepted, 3);
    EXPECT_LE(accepted, 4); // the queue, and the frame the writer holds
    EXPECT_NE(recorder.stopReason().find("does not keep up"), std::string::npos) << recorder.stopReason();
    {
        std::unique_lock<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
        changed.wait(lock, [&] { return told > 0; });
    }
    recorder.finish();
    EXPECT_EQ(told, 1);
    EXPECT_EQ(recorder.framesWritten(), std::uint64_t(accepted));
    EXPECT_EQ(videoFrameCount(settings.videoPath), accepted);
}

TEST(FrameRecorder, FilesThatCannotBeWrittenAreNamed)
{
    QTemporaryDir dir;
    const struct
    {
        const char *video;
        const char *message;
    } cases[] = {
        {"missing/folder/record.avi", "Cannot write the video file"},
        {"record.gif", "recordings are .avi (MJPG) or .mp4 files"},
    };
    for (const auto &c : cases) {
        const FrameRecorder::Settings settings = settingsIn(dir, QString::fromLatin1(c.video));
        const std::string message = failureMessage([&] { FrameRecorder(settings, framePicture, frameLine); });
        EXPECT_NE(message.find(settings.videoPath.toStdString()), std::string::npos) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

// A disk that fills up: recording stops while there is room to close the
// video, which then holds exactly the frames whose lines are in the results,
// every line whole; the reason says so.
TEST(FrameRecorder, StopsBeforeTheDiskIsFullWithFilesThatAgree)
{
    SmallDisk disk(12 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    const std::vector<QImage> pictures = noisePictures(7);
    for (const char *name : {"full.avi", "full.mp4"}) {
        SCOPED_TRACE(name);
        FrameRecorder::Settings settings = settingsIn(disk.path(), QString::fromLatin1(name));
        settings.queueCapacity = 5000; // the disk, not the queue, is what stops it
        std::uint64_t written = 0;
        {
            FrameRecorder recorder(settings, framePicture, frameLine);
            std::uint64_t added = 0;
            while (added < settings.queueCapacity && recorder.add(pictureFrame(pictures[added % pictures.size()], added)))
                ++added;
            recorder.finish();
            written = recorder.framesWritten();
            EXPECT_NE(recorder.stopReason().find("the disk is nearly full"), std::string::npos) << recorder.stopReason();
            EXPECT_EQ(recorder.closingProblem(), "");
            EXPECT_GT(written, 20u);
            EXPECT_LT(written, added);
        }
        EXPECT_EQ(videoFrameCount(settings.videoPath), int(written));
        EXPECT_EQ(wholeLines(settings.recordsPath), int(written));
        QFile::remove(settings.videoPath);
        QFile::remove(settings.recordsPath);
    }
}

// Recording into run.mp4 replaces run.jsonl of an earlier run.avi: the
// window asks about both files first.
TEST(FrameRecorder, NamesTheFilesItWouldReplace)
{
    QTemporaryDir dir;
    const FrameRecorder::Settings mp4 = settingsIn(dir, QStringLiteral("run.mp4"));
    EXPECT_EQ(FrameRecorder::filesReplaced(mp4), QStringList());
    writeTestFile(dir.filePath(QStringLiteral("run.jsonl")), "{}\n");
    EXPECT_EQ(FrameRecorder::filesReplaced(mp4), QStringList{mp4.recordsPath});
    writeTestFile(mp4.videoPath, "old");
    EXPECT_EQ(FrameRecorder::filesReplaced(mp4), (QStringList{mp4.videoPath, mp4.recordsPath}));
}

// Where nothing is live (vrax-run), a full queue waits for the writer:
// every frame is recorded however small the queue.
TEST(FrameRecorder, WaitsForTheWriterWhenAskedTo)
{
    QTemporaryDir dir;
    FrameRecorder::Settings settings = settingsIn(dir, QStringLiteral("waited.avi"));
    settings.frameSize = QSize(64, 48);
    settings.queueCapacity = 1;
    settings.waitWhenFull = true;
    const std::vector<QImage> pictures = examplePictures(64, 48);
    const int frames = 30;
    FrameRecorder recorder(settings, framePicture, frameLine);
    for (int i = 0; i < frames; ++i)
        ASSERT_TRUE(recorder.add(pictureFrame(pictures[std::size_t(i) % 3], std::uint64_t(i)))) << i;
    recorder.finish();
    EXPECT_EQ(recorder.stopReason(), "");
    EXPECT_EQ(videoFrameCount(settings.videoPath), frames);
    EXPECT_EQ(wholeLines(settings.recordsPath), frames);
}

// Another program fills the disk while recording: the recording stops, and
// the video that could not be closed complete is named beside the reason,
// for the window's box.
TEST(FrameRecorder, AVideoThatCouldNotBeClosedIsTold)
{
    SmallDisk disk(4 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    int argc = 1;
    char name[] = "frame_recorder_test";
    char *argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv); // the recording tells its stop through the event loop
    FrameRecorder::Settings settings = settingsIn(disk.path(), QStringLiteral("filled.mp4"));
    settings.queueCapacity = 1;
    settings.waitWhenFull = true;
    FrameRecording recording;
    recording.start(settings, framePicture, frameLine);
    const std::vector<QImage> pictures = noisePictures(3);
    // The writer takes frame 2 only once frame 0 is in the encoder.
    for (std::uint64_t i = 0; i < 3; ++i)
        recording.add(pictureFrame(pictures[i], i));
    disk.fillLeaving(0);
    const FrameRecording::Ending ended = recording.stop();
    EXPECT_TRUE(ended.summary.startsWith("Recorded ")) << ended.summary.toStdString();
    EXPECT_TRUE(ended.problem.contains("the disk is nearly full")) << ended.problem.toStdString();
    EXPECT_TRUE(ended.problem.contains("the video file " + settings.videoPath + " was not closed complete"))
        << ended.problem.toStdString();
    EXPECT_FALSE(recording.isRecording());
}

namespace {

QString classifierExample(const QString &file)
{
    return QString::fromStdString(sourceDir()) + QStringLiteral("/examples/classifier/") + file;
}

CommandRun vraxRun(const QString &arguments)
{
    return runCommand(VRAX_RUN_PATH, arguments.toStdString());
}

} // namespace

// vrax-run --record writes what the window records: every frame in the video,
// at the first picture's size, and the same lines as --results beside it.
TEST(FrameRecorder, VraxRunRecordsEveryFrame)
{
    QTemporaryDir dir;
    const QString video = dir.filePath("run.avi");
    const CommandRun run = vraxRun("--quiet -n 7 --record " + video + " --results " + dir.filePath("results.jsonl")
                                   + " " + classifierExample("shapes_classifier.xml") + " "
                                   + classifierExample("pictures"));
    ASSERT_EQ(run.status, 0) << run.output;
    QSize size;
    EXPECT_EQ(videoFrameCount(video, &size), 7);
    EXPECT_EQ(size, QImage(classifierExample("pictures/circle.png")).size());
    QFile recorded(dir.filePath("run.jsonl"));
    QFile results(dir.filePath("results.jsonl"));
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly) && results.open(QIODevice::ReadOnly));
    const QByteArray lines = recorded.readAll();
    EXPECT_EQ(lines.count('\n'), 7);
    EXPECT_EQ(lines, results.readAll());
}

// vrax-run --record on a disk that fills up: exit status 1, the reason and
// what was kept; the video holds exactly the frames whose lines are whole.
TEST(FrameRecorder, VraxRunStopsRecordingBeforeTheDiskIsFull)
{
    SmallDisk disk(3 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    QTemporaryDir pictures;
    int index = 0;
    for (const QImage &picture : noisePictures(3))
        picture.save(pictures.filePath(QStringLiteral("noise%1.png").arg(index++)));
    const QString video = disk.filePath("full.avi");
    const CommandRun run = vraxRun("--quiet -n 100 --record " + video + " "
                                   + classifierExample("shapes_classifier.xml") + " " + pictures.path());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("Recording stopped: the disk is nearly full"), std::string::npos) << run.output;
    const int frames = videoFrameCount(video);
    EXPECT_GT(frames, 2);
    EXPECT_LT(frames, 100);
    EXPECT_EQ(wholeLines(FrameRecorder::recordsPathFor(video)), frames);
    EXPECT_NE(run.output.find("Recorded " + std::to_string(frames) + " frames to full.avi and full.jsonl."),
              std::string::npos)
        << run.output;
}
