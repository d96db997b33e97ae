// Videos as frame sources: frame-exact against the same pictures opened as
// pictures, looping, and the files that cannot be read.
#include "sources/video_source.h"

#include "picture/picture_preparation.h"
#include "picture/picture_test_support.h"
#include "support/failure_message.h"
#include "support/test_files.h"
#include "test_videos.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const PictureRequest detectorRequest = makeRequest(160, 160, 4);

std::vector<Frame> readAll(VideoSource &source, std::size_t limit = 1000)
{
    std::vector<Frame> frames;
    Frame frame;
    while (frames.size() < limit && source.next(frame))
        frames.push_back(frame);
    return frames;
}

} // namespace

// Each frame gives the tensor its picture gives when opened as a picture: the
// pictures written for a lossless video, or the decoded frames of a lossy one
// saved as lossless pictures.
TEST(VideoSource, FramesMatchTheSamePicturesOpenedAsPictures)
{
    for (const TestCodec &codec : {ffv1Avi, mjpgAvi, h264Mp4}) {
        SCOPED_TRACE(codec.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("clip") + codec.suffix);
        const std::vector<QImage> pictures = examplePictures();
        if (!writeTestVideo(path, codec, pictures)) {
            std::cout << "[  SKIPPED ] " << codec.name << ": this system's video I/O cannot write it\n";
            continue;
        }
        QStringList expected;
        if (codec.lossless) {
            for (std::size_t i = 0; i < pictures.size(); ++i) {
                expected << dir.filePath(QStringLiteral("picture%1.png").arg(i));
                pictures[i].save(expected.back());
            }
        } else {
            expected = saveDecodedFrames(path, dir.path());
        }
        ASSERT_EQ(expected.size(), int(pictures.size()));

        VideoSource source(path, detectorRequest, false);
        source.setLooping(false);
        EXPECT_EQ(source.frameSize(), QSize(320, 240));
        EXPECT_DOUBLE_EQ(source.framesPerSecond(), 10.0);
        const std::vector<Frame> frames = readAll(source);
        ASSERT_EQ(frames.size(), pictures.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            PictureRequest asPicture = detectorRequest;
            asPicture.path = expected[int(i)].toStdString();
            const PreparedPicture reference = preparePicture(asPicture, false);
            EXPECT_TRUE(sameBits(frames[i].picture.tensor, reference.tensor)) << "frame " << i;
            EXPECT_EQ(frames[i].origin.number, i);
            EXPECT_NEAR(frames[i].origin.timeSeconds, double(i) / 10.0, 1e-6);
            EXPECT_EQ(frames[i].origin.source, QFileInfo(path).fileName());
            EXPECT_GT(frames[i].times.prepared, 0);
        }
    }
}

TEST(VideoSource, LoopsAtTheEndWhileLoopingIsOn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clip.avi"));
    ASSERT_TRUE(writeTestVideo(path, mjpgAvi, examplePictures()));
    VideoSource source(path, detectorRequest, false);
    auto numbers = [&source](std::size_t limit) {
        std::vector<std::uint64_t> read;
        for (const Frame &frame : readAll(source, limit))
            read.push_back(frame.origin.number);
        return read;
    };
    EXPECT_EQ(numbers(7), (std::vector<std::uint64_t>{0, 1, 2, 0, 1, 2, 0}));
    source.setLooping(false);
    EXPECT_EQ(numbers(1000), (std::vector<std::uint64_t>{1, 2}));
    // Asked again after its end, the video starts again.
    EXPECT_EQ(numbers(1), std::vector<std::uint64_t>{0});
}

// Files that are no video, or a damaged one: a message naming the file and
// the problem, when opening or at the frame where reading fails, never a
// crash; the frames before the damage are delivered.
TEST(VideoSource, BadFilesGiveAMessageNamingTheFile)
{
    QTemporaryDir dir;
    std::vector<QImage> many;
    for (int i = 0; i < 20; ++i)
        for (const QImage &picture : examplePictures())
            many.push_back(picture);
    auto contents = [](const QString &path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };
    const QString good = dir.filePath(QStringLiteral("good.avi"));
    ASSERT_TRUE(writeTestVideo(good, mjpgAvi, many));
    const QByteArray bytes = contents(good);
    // Without an H.264 writer the truncated .mp4 is an empty file: no video either.
    const QString goodMp4 = dir.filePath(QStringLiteral("good.mp4"));
    const QByteArray mp4Bytes = writeTestVideo(goodMp4, h264Mp4, many) ? contents(goodMp4) : QByteArray();
    QByteArray corrupt = bytes;
    for (int i = corrupt.size() / 4; i < corrupt.size() * 3 / 4; i += 7)
        corrupt[i] = char(corrupt[i] ^ 0x5a);

    // Two JPEG pictures of different sizes one after the other: an MJPEG
    // stream whose frames change size.
    QByteArray resized;
    QBuffer stream(&resized);
    stream.open(QIODevice::WriteOnly);
    for (const QSize size : {QSize(320, 240), QSize(320, 240), QSize(160, 120)}) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(QColor(30, 200, 10));
        frame.save(&stream, "JPEG");
    }

    struct Case
    {
        const char *name;
        QString file;
        QByteArray contents; // written unless empty with write false
        bool write;
        std::string message;
        std::size_t deliveredBefore = 0; // frames read before the failure, at least
    };
    const Case cases[] = {
        {"missing", "missing.mp4", {}, false, "the file does not exist"},
        {"folder", "folder.avi", {}, false, "it is a folder"},
        {"empty", "empty.avi", QByteArray(), true, "not a video"},
        {"text", "notes.mp4", QByteArray("just some words, no video\n").repeated(100), true, "not a video"},
        {"truncated avi", "truncated.avi", bytes.left(bytes.size() / 2), true, "ends after frame", 20},
        {"truncated mp4", "truncated.mp4", mp4Bytes.left(mp4Bytes.size() / 2), true, "not a video"},
        {"corrupt avi", "corrupt.avi", corrupt, true, "damaged", 10},
        // The decoder scales every frame to the size the stream began with.
        {"frames change size", "resized.mjpeg", resized, true, ""},
    };
    QDir(dir.path()).mkdir(QStringLiteral("folder.avi"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.write)
            writeTestFile(dir.filePath(c.file), c.contents);
        const QString path = dir.filePath(c.file);
        std::size_t delivered = 0;
        const std::string message = failureMessage([&] {
            VideoSource source(path, detectorRequest, false);
            source.setLooping(false);
            Frame frame;
            while (source.next(frame))
                ++delivered;
        });
        if (c.message.empty()) {
            EXPECT_EQ(message, "(no failure)");
            EXPECT_EQ(delivered, 3u);
            continue;
        }
        EXPECT_NE(message.find(path.toStdString()), std::string::npos) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_GE(delivered, c.deliveredBefore);
    }
}
