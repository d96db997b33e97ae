// What vrax-run writes of a frame besides its figures: boxes in the
// original picture's pixels, and the picture with its result drawn.
#pragma once

#include "pipeline/frame.h"
#include "pipeline/result_picture.h"

#include <QImage>

// The picture with the result drawn as the window draws it: boxes and
// labels, the segmentation overlay, or the most probable class.
QImage annotatedPicture(const Frame &frame, const NnDescription &description, const ModelDims &modelDims);
