// Records what Run Auto shows: each frame's annotated picture into a video
// file and its results as one line of a JSON Lines file beside it. A writer
// thread does the work from a bounded queue, so that recording never makes
// the loop wait; when encoding or the disk cannot keep up, recording stops
// and says so instead of dropping frames unnoticed.
#pragma once

#include "sources/frame.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace cv {
class VideoWriter;
}

class FrameRecorder
{
public:
    // The picture to record for a frame; runs on the writer thread.
    using Annotate = std::function<QImage(const Frame &frame)>;
    // The frame's JSON record, one line ending in its line break; runs on the
    // writer thread.
    using Describe = std::function<QByteArray(const Frame &frame)>;

    struct Settings
    {
        QString videoPath;   // ".avi" (MJPG) or ".mp4" (H.264, else MPEG-4 Part 2)
        QString recordsPath; // JSON Lines
        double framesPerSecond = 25.0;
        QSize frameSize;     // of the recorded video; other pictures are fitted into it
        std::size_t queueCapacity = 64;
    };

    // Creates both files. Throws std::runtime_error naming the file when one
    // cannot be created or the video format cannot be written here.
    FrameRecorder(Settings settings, Annotate annotate, Describe describe);
    FrameRecorder(const FrameRecorder &) = delete;
    FrameRecorder &operator=(const FrameRecorder &) = delete;
    // finish()
    ~FrameRecorder();

    // Queues the frame for writing; never waits. Returns false once recording
    // has stopped: by finish(), a full queue (encoding or the disk does not keep up) or a
    // failed write; stopReason() then tells why.
    bool add(FramePtr frame);

    // Writes the frames still queued and closes the files, leaving a
    // playable video. Any thread but the writer; further calls do nothing.
    void finish();

    // Called on the writer thread when recording stops by itself (a full
    // queue or a failed write). Set before the first add().
    std::function<void()> onStopped;

    std::uint64_t framesWritten() const;
    // Empty unless recording stopped by itself.
    std::string stopReason() const;
    const Settings &settings() const { return config; }

    // The JSON Lines file that goes with a video file: same name, ".jsonl".
    static QString recordsPathFor(const QString &videoPath);

private:
    void writeLoop();
    void writeFrame(const Frame &frame);
    void stopWith(const std::string &reason); // mutex held

    const Settings config;
    const Annotate annotate;
    const Describe describe;
    std::unique_ptr<cv::VideoWriter> video;
    std::FILE *records = nullptr;

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<FramePtr> queue;
    bool accepting = true;  // add() still takes frames
    bool finishing = false; // the writer ends once the queue is empty
    std::uint64_t written = 0;
    std::string reason;
    std::thread writer;
};
