// What a recording holds for each frame: the original picture with its
// result drawn as File > Save Result As draws it, and the frame's line in
// the result files' JSON Lines format. Both run on the recorder's writer
// thread and keep their own copy of the description.
#pragma once

#include "description/nn_description.h"
#include "outputs/frame_recorder.h"

// Call on the GUI thread (it picks the label font there).
FrameRecorder::Annotate recordingAnnotation(const NnDescription &description);

FrameRecorder::Describe recordingDescription(const NnDescription &description);
