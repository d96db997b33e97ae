#include "workbench/frame_recording.h"

#include <QFileInfo>

FrameRecording::~FrameRecording()
{
    stop();
}

void FrameRecording::start(const FrameRecorder::Settings &settings, FrameRecorder::Annotate annotate,
                           FrameRecorder::Describe describe)
{
    stop();
    auto started = std::make_shared<FrameRecorder>(settings, std::move(annotate), std::move(describe));
    // The recorder tells from its writer thread; the window hears it on its own.
    FrameRecorder *raw = started.get();
    started->onStopped = [this, raw] {
        const QString reason = QString::fromStdString(raw->stopReason());
        QMetaObject::invokeMethod(this, [this, reason] { emit stoppedByItself(reason); }, Qt::QueuedConnection);
    };
    std::lock_guard<std::mutex> lock(mutex);
    recorder = std::move(started);
}

QString FrameRecording::stop()
{
    std::shared_ptr<FrameRecorder> stopping;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = std::move(recorder);
        recorder.reset();
    }
    if (!stopping)
        return QString();
    // A frame being added on the board thread holds its own reference; the
    // recorder refuses it once finished.
    stopping->finish();
    const FrameRecorder::Settings &settings = stopping->settings();
    return tr("Recorded %1 frames to %2 and %3")
        .arg(stopping->framesWritten())
        .arg(QFileInfo(settings.videoPath).fileName(), QFileInfo(settings.recordsPath).fileName());
}

bool FrameRecording::isRecording() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return recorder != nullptr;
}

void FrameRecording::add(const FramePtr &frame)
{
    std::shared_ptr<FrameRecorder> current;
    {
        std::lock_guard<std::mutex> lock(mutex);
        current = recorder;
    }
    if (current)
        current->add(frame);
}
