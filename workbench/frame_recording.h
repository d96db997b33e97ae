// File > Record...: recording Run Auto's frames. Frames that Run Auto
// delivers go to a FrameRecorder, from the board thread; starting and
// stopping happen on the GUI thread, which is told when recording stops by
// itself.
#pragma once

#include "outputs/frame_recorder.h"

#include <QObject>
#include <QString>

#include <memory>
#include <mutex>

class FrameRecording : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // Stops recording, leaving complete files.
    ~FrameRecording() override;

    // Starts recording into the files of settings. Throws std::runtime_error
    // naming the file when it cannot be written.
    void start(const FrameRecorder::Settings &settings, FrameRecorder::Annotate annotate,
               FrameRecorder::Describe describe);
    struct Ending
    {
        // What was recorded, for the status line ("Recorded 123 frames to
        // a.avi and a.jsonl"); empty when nothing was recording.
        QString summary;
        // Why recording stopped by itself (the disk nearly full, a failed
        // write), and a video that was not closed complete; else empty.
        QString problem;
    };
    // Writes what is queued and closes the files.
    Ending stop();
    bool isRecording() const;

    // Any thread: records the frame while recording.
    void add(const FramePtr &frame);

signals:
    // Recording stopped by itself (the disk did not keep up, a write
    // failed); stop() closes the files and says why. GUI thread.
    void stoppedByItself();

private:
    mutable std::mutex mutex;
    std::shared_ptr<FrameRecorder> recorder;
};
