// Frames of a video file, decoded by OpenCV's video I/O (FFmpeg): whatever it
// reads, such as mp4, mkv, avi, mov and webm files with H.264, MJPG or VP9.
#pragma once

#include "picture/picture_request.h"
#include "sources/frame_source.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

namespace cv {
class VideoCapture;
}

class VideoSource : public FrameSource
{
public:
    // Opens the file and decodes its first frame. Throws std::runtime_error
    // naming the file when it is missing, not a video, or has no frame that
    // can be decoded.
    VideoSource(const QString &path, const PictureRequest &request, bool planar);
    ~VideoSource() override;

    // Frames are numbered from 0 in the file; timeSeconds is the frame's
    // position in the video. At the end the video starts again while looping
    // is on; otherwise next() returns false once, and the call after that
    // starts the video again. Throws std::runtime_error naming the file and the frame when a
    // frame changes size, or when the video ends well before the frame count
    // its container announced (a truncated or damaged file).
    bool next(Frame &frame) override;

    // Whether the video starts again at its end; any thread, takes effect at
    // the end. On by default.
    void setLooping(bool loop);
    bool isLooping() const;

    QString path() const { return filePath; }
    // The picture of the frame the next call of next() gives, when it is
    // decoded already (the first frame after opening); null otherwise.
    QImage upcomingPicture() const { return firstPicture; }
    double framesPerSecond() const { return fps; }
    QSize frameSize() const { return size; }
    // As the container announces it; 0 when it does not.
    std::int64_t announcedFrameCount() const { return announcedFrames; }

private:
    void open();
    bool readFrame(QImage &picture);
    [[noreturn]] void fail(const std::string &what) const;

    const QString filePath;
    const PictureRequest request;
    const bool planar;
    std::unique_ptr<cv::VideoCapture> capture;
    std::atomic<bool> looping{true};
    double fps = 0.0;
    QSize size;
    std::int64_t announcedFrames = 0;
    std::uint64_t nextNumber = 0;  // of the frame the next read gives
    bool ended = false;            // next() has returned false
    double positionMs = -1.0;      // of the frame read last, as the decoder reports it
    QImage firstPicture;           // decoded when opening, handed out by the first next()
};
