// The inputs of vrax-run: a list of pictures, or one video file or camera.
#pragma once

#include "picture/picture_request.h"
#include "sources/frame_source.h"
#include "sources/picture_list_source.h"

#include <QStringList>

#include <memory>

// Absolute paths: a file stays as it is, a folder gives its pictures (no
// subfolders) in natural order ("frame2.png" before "frame10.png"). Throws
// std::runtime_error naming the input when it does not exist, or a folder
// that holds no pictures.
QStringList expandInputs(const QStringList &inputs);

// The video file (absolute) or camera device when the inputs are one, as the
// window takes them; empty for pictures and folders. Throws
// std::runtime_error when a video or camera comes with other inputs.
QString streamInput(const QStringList &inputs);

// The video or camera as a source of frames read for the network, as the
// window reads them. A video ends after its last frame unless it loops.
// Throws std::runtime_error naming the file or device.
std::unique_ptr<FrameSource> openStreamInput(const QString &path, const PictureReading &reading, bool loop);
