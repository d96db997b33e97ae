// What a recording holds for each frame: the picture with its result drawn
// over it, and the frame's JSON record. Both run on the recorder's writer
// thread and keep their own copy of the description.
#pragma once

#include "description/nn_description.h"
#include "pipeline/frame_recorder.h"
#include "tensor/tensor_shapes.h"

#include <QSize>

FrameRecorder::Annotate recordingAnnotation(const NnDescription &description, const ModelDims &modelDims);

// originalSize: the size of the source's pictures, which the boxes are given in.
FrameRecorder::Describe recordingDescription(const NnDescription &description, const ModelDims &modelDims,
                                             const QSize &originalSize);
