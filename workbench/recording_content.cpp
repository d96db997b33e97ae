#include "workbench/recording_content.h"

#include "outputs/result_picture.h"
#include "results/detection_drawing.h"
#include "results/result_record.h"

FrameRecorder::Annotate recordingAnnotation(const NnDescription &description)
{
    return [labels = description.labels, font = detectionLabelFont()](const Frame &frame) {
        return resultOnOriginal(frame.picture, frame.result, labels, font);
    };
}

FrameRecorder::Describe recordingDescription(const NnDescription &description)
{
    return [description](const Frame &frame) {
        const ResultRecordOrigin origin{frame.origin.source, frame.sequence, frame.origin.number,
                                        frame.origin.timeSeconds};
        return resultRecordLine(origin, frame.result, description, boxToOriginal(frame.picture));
    };
}
