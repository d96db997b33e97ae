#include "runner/run_recording.h"

#include "workbench/recording_content.h"

#include <QImageReader>

#include <algorithm>
#include <stdexcept>

RunRecording::RunRecording(const QString &videoPath, const QStringList &pictures, const OpenedModel &model)
{
    FrameRecorder::Settings settings;
    settings.videoPath = videoPath;
    settings.recordsPath = FrameRecorder::recordsPathFor(videoPath);
    settings.framesPerSecond = 10.0;
    settings.frameSize = QImageReader(pictures.value(0)).size();
    if ((!settings.frameSize.isValid() || settings.frameSize.isEmpty()) && !model.modelDims.inputs.empty()) {
        const TensorDims &input = model.modelDims.inputs.front();
        settings.frameSize = QSize(int(input.width), int(input.height)); // a raw binary picture
    }
    // A few frames queued, within about 256 MB (each holds its pictures).
    const double frameBytes = 2.0 * 4.0 * settings.frameSize.width() * settings.frameSize.height() + 1e5;
    settings.queueCapacity = std::size_t(std::clamp(256e6 / frameBytes, 4.0, 64.0));
    settings.waitWhenFull = true;
    recorder = std::make_unique<FrameRecorder>(settings, recordingAnnotation(model.description),
                                               recordingDescription(model.description));
}

bool RunRecording::add(const FramePtr &frame)
{
    return recorder->add(frame);
}

void RunRecording::finish()
{
    recorder->finish();
    std::string problem = recorder->stopReason();
    if (const std::string closing = recorder->closingProblem(); !closing.empty())
        problem += (problem.empty() ? "" : "; ") + closing;
    if (!problem.empty())
        throw std::runtime_error("Recording stopped: " + problem + ". " + recorder->summary().toStdString() + ".");
}
