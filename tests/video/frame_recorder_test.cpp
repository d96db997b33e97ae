// Recording: the video and JSON Lines files written, a writer that cannot
// keep up, and files that cannot be written.
#include "outputs/frame_recorder.h"

#include "support/failure_message.h"
#include "test_videos.h"

#include <QFile>
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

FrameRecorder::Settings settingsIn(const QTemporaryDir &dir, const QString &name)
{
    FrameRecorder::Settings settings;
    settings.videoPath = dir.filePath(name);
    settings.recordsPath = FrameRecorder::recordsPathFor(settings.videoPath);
    settings.framesPerSecond = 10.0;
    settings.frameSize = QSize(320, 240);
    return settings;
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
