// Inputs as the window and the command line take them: what a path is, how a
// frame is named, and the cameras.
#include "app/frame_label.h"
#include "app/input_kind.h"
#include "sources/camera_devices.h"
#include "sources/camera_source.h"
#include "picture/picture_test_support.h"

#include "support/test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(VideoInputs, PathsAreTakenByWhatTheyAre)
{
    QTemporaryDir dir;
    const struct
    {
        QString path;
        InputKind kind;
    } cases[] = {
        {dir.path(), InputKind::Folder},
        {writeTestFile(dir.filePath(QStringLiteral("clip.MP4")), "x"), InputKind::Video},
        {dir.filePath(QStringLiteral("missing.webm")), InputKind::Video},
        {writeTestFile(dir.filePath(QStringLiteral("dog.jpg")), "x"), InputKind::Picture},
        {writeTestFile(dir.filePath(QStringLiteral("star.bin")), "x"), InputKind::Picture},
        {QStringLiteral("/dev/null"), InputKind::Camera},
        {QStringLiteral("/dev/video97"), InputKind::Camera},
    };
    for (const auto &c : cases)
        EXPECT_EQ(int(inputKind(c.path)), int(c.kind)) << c.path.toStdString();
}

TEST(VideoInputs, FramesAreNamedBySourceNumberAndTime)
{
    const struct
    {
        FrameOrigin origin;
        const char *label;
    } cases[] = {
        {{"clip.mp4", "/v/clip.mp4", 123, 4.1}, "clip.mp4 #123 00:04.10"},
        {{"clip.mp4", "/v/clip.mp4", 0, 0.0}, "clip.mp4 #0 00:00.00"},
        {{"long.mkv", "/v/long.mkv", 9, 3725.456}, "long.mkv #9 1:02:05.46"},
        {{"/dev/video0", "/dev/video0", 77, 59.999}, "/dev/video0 #77 01:00.00"},
        {{"", "/p/dog.jpg", 3, -1.0}, "dog.jpg"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(frameLabel(c.origin).toStdString(), c.label);
}

TEST(VideoInputs, OnlyCaptureDevicesAreListedAsCameras)
{
    QTemporaryDir dir;
    writeTestFile(dir.filePath(QStringLiteral("video0")), "not a device");
    EXPECT_TRUE(listCameras(dir.path()).empty());
}

// The real V4L2 path, where this machine has a camera.
TEST(VideoInputs, ARealCameraGivesFramesOfItsSize)
{
    const std::vector<CameraDevice> cameras = listCameras();
    if (cameras.empty())
        GTEST_SKIP() << "no V4L2 capture device (/dev/video*) on this machine";
    const PictureRequest request = makeRequest(64, 48, 4);
    for (const CameraDevice &camera : cameras) {
        SCOPED_TRACE(camera.path.toStdString());
        EXPECT_FALSE(camera.name.isEmpty());
        try {
            CameraSource source(camera.path, QSize(), request, false);
            Frame frame;
            for (std::uint64_t i = 0; i < 3; ++i) {
                ASSERT_TRUE(source.next(frame));
                EXPECT_EQ(frame.origin.number, i);
                EXPECT_EQ(frame.picture.picture.size(), QSize(64, 48));
            }
            EXPECT_TRUE(source.isLive());
        } catch (const std::runtime_error &error) {
            // Busy with another program: the message must name the device.
            EXPECT_NE(std::string(error.what()).find(camera.path.toStdString()), std::string::npos);
        }
    }
}
