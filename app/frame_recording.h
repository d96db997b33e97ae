// File > Record...: the window's side of recording. Frames that Run Auto
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
    // Writes what is queued and closes the files. Returns what was recorded,
    // for the status line ("Recorded 123 frames to a.avi and a.jsonl"), or
    // empty when nothing was recording.
    QString stop();
    bool isRecording() const;

    // Any thread: records the frame while recording.
    void add(const FramePtr &frame);

signals:
    // Recording stopped by itself (the disk did not keep up, a write
    // failed): reason says why; call stop() to close the files. GUI thread.
    void stoppedByItself(const QString &reason);

private:
    mutable std::mutex mutex;
    std::shared_ptr<FrameRecorder> recorder;
};
