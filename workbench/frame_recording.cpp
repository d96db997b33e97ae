#include "workbench/frame_recording.h"

#include <QStringList>

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
    started->onStopped = [this] {
        QMetaObject::invokeMethod(this, [this] { emit stoppedByItself(); }, Qt::QueuedConnection);
    };
    std::lock_guard<std::mutex> lock(mutex);
    recorder = std::move(started);
}

FrameRecording::Ending FrameRecording::stop()
{
    std::shared_ptr<FrameRecorder> stopping;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = std::move(recorder);
        recorder.reset();
    }
    if (!stopping)
        return {};
    // A frame being added on the board thread holds its own reference; the
    // recorder refuses it once finished.
    stopping->finish();
    QStringList problems;
    for (const std::string &problem : {stopping->stopReason(), stopping->closingProblem()})
        if (!problem.empty())
            problems << QString::fromStdString(problem);
    return {stopping->summary(), problems.join(QStringLiteral("; "))};
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
