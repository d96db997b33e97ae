// Records what Run Auto shows: each frame's annotated picture into a video
// file and its results as one line of a JSON Lines file beside it. A writer
// thread does the work from a bounded queue, so that recording never makes
// the loop wait; when encoding or the disk cannot keep up, recording stops
// and says so instead of dropping frames unnoticed. Recording also stops
// before the disk is full, while there is room to close the video: the
// files then hold the same frames, every line whole.
#pragma once

#include "outputs/recording_room.h"
#include "sources/frame.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdint>
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
        // A full queue makes add() wait for the writer instead of stopping
        // the recording: for runs where nothing is live (vrax-run).
        bool waitWhenFull = false;
    };

    // Creates both files, replacing files of those names. Throws
    // std::runtime_error naming the file when one cannot be created, is no
    // regular file (a pipe, a device), or the video format cannot be written
    // here.
    FrameRecorder(Settings settings, Annotate annotate, Describe describe);
    FrameRecorder(const FrameRecorder &) = delete;
    FrameRecorder &operator=(const FrameRecorder &) = delete;
    // finish()
    ~FrameRecorder();

    // Queues the frame for writing; never waits, unless waitWhenFull. Returns
    // false once recording has stopped: by finish(), a full queue (encoding or
    // the disk does not keep up), a disk nearly full or a failed write;
    // stopReason() then tells why.
    bool add(FramePtr frame);

    // Writes the frames still queued and closes the files, leaving a
    // playable video, and reads the video's frame count back: when the video
    // does not hold the frames written (the disk filled up by another
    // writer), closingProblem() says so. Any thread but the writer; further
    // calls do nothing.
    void finish();

    // Called on the writer thread when recording stops by itself (a full
    // queue or a failed write). Set before the first add().
    std::function<void()> onStopped;

    std::uint64_t framesWritten() const;
    // Empty unless recording stopped by itself.
    std::string stopReason() const;
    // Empty unless the video, once closed, is not what was written.
    std::string closingProblem() const;
    const Settings &settings() const { return config; }
    // What was kept: "Recorded 211 frames to run.avi and run.jsonl".
    QString summary() const;

    // The JSON Lines file that goes with a video file: same name, ".jsonl".
    static QString recordsPathFor(const QString &videoPath);
    // The files of settings that exist already and that recording would
    // replace: the video, and the results of an earlier recording of the
    // same name (run.jsonl of run.avi, when recording run.mp4).
    static QStringList filesReplaced(const Settings &settings);

private:
    void writeLoop();
    void writeFrame(const Frame &frame);
    void checkRoom(const Frame &frame, std::uint64_t lineBytes) const;
    void writeLine(const QByteArray &line);
    void checkClosedVideo();
    void stopWith(const std::string &reason); // mutex held

    const Settings config;
    const Annotate annotate;
    const Describe describe;
    std::unique_ptr<cv::VideoWriter> video;
    std::unique_ptr<RecordingRoom> room; // writer thread
    int records = -1;                    // file descriptor
    std::uint64_t recordsBytes = 0;      // whole lines written
    std::uint64_t framesHanded = 0;      // to the encoder; writer thread

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable roomMade; // the queue shrank, or recording stopped
    std::deque<FramePtr> queue;
    bool accepting = true;  // add() still takes frames
    bool finishing = false; // the writer ends once the queue is empty
    std::uint64_t written = 0;
    std::string reason;
    std::string closing;
    std::thread writer;
};
