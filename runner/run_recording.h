// vrax-run --record: every frame's picture with its result drawn into a
// video and its result line into the JSON Lines file beside it, through the
// recorder File > Record... uses. The run waits for the recorder rather
// than lose frames: nothing is live in a batch.
#pragma once

#include "engine/model_session.h"
#include "outputs/frame_recorder.h"

#include <QString>
#include <QStringList>

#include <memory>

class RunRecording
{
public:
    // Sized by the first picture (else the network's input), ten frames a
    // second as the window records pictures. Needs the graphical
    // application (fonts). Throws std::runtime_error naming the file.
    RunRecording(const QString &videoPath, const QStringList &pictures, const OpenedModel &model);

    // Records the frame, waiting while the recorder's queue is full; false
    // once recording has stopped by itself (the disk nearly full, a failed
    // write).
    bool add(const FramePtr &frame);

    // Writes what is queued and closes the files. Throws std::runtime_error
    // saying why when recording had to stop or the video was not closed
    // complete, with what was kept: "Recording stopped: the disk is nearly
    // full (…). Recorded 211 frames to run.avi and run.jsonl."
    void finish();

private:
    std::unique_ptr<FrameRecorder> recorder;
};
