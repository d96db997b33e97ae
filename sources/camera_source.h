// Frames of a V4L2 camera, read through OpenCV's video I/O. The camera goes on
// whether or not its frames are taken: the pipeline keeps the newest.
#pragma once

#include "picture/picture_request.h"
#include "sources/frame_source.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

namespace cv {
class VideoCapture;
}

class CameraSource : public FrameSource
{
public:
    // Opens the device ("/dev/video0") and asks for the picture size when it
    // is valid (the camera may choose another). Throws std::runtime_error
    // naming the device when it cannot be opened or gives no frame.
    CameraSource(const QString &device, const QSize &wanted, const PictureRequest &request, bool planar);
    ~CameraSource() override;

    // Waits for the camera's next frame. Frames are numbered from 0 since the
    // camera was opened, timeSeconds counts from its first frame; reading
    // starts when the frame is there, times.captured is when it was taken. Throws
    // std::runtime_error naming the device when it stops giving frames
    // (unplugged) or changes the frame size.
    bool next(Frame &frame) override;
    bool isLive() const override { return true; }

    QString device() const { return devicePath; }
    double framesPerSecond() const { return fps; }
    QSize frameSize() const { return size; }
    // The first frame's picture until next() has given it; null after.
    QImage upcomingPicture() const { return firstPicture; }

private:
    // grabbed: when the frame was there to decode; captured: when the
    // camera took it, as its driver stamped it where that can be trusted.
    bool readFrame(QImage &picture, std::int64_t *grabbed = nullptr, std::int64_t *captured = nullptr);
    [[noreturn]] void fail(const std::string &what) const;

    const QString devicePath;
    const PictureRequest request;
    const bool planar;
    std::unique_ptr<cv::VideoCapture> capture;
    double fps = 0.0;
    QSize size;
    std::uint64_t nextNumber = 0;
    std::int64_t firstFrameNs = 0;
    QImage firstPicture;
};
