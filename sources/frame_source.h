// Where frames come from: a list of pictures, a video, a camera.
#pragma once

#include "sources/frame.h"

class FrameSource
{
public:
    virtual ~FrameSource() = default;

    // Reads the next frame and prepares its tensor: fills frame.origin,
    // frame.picture and times.readStart, read and prepared. Returns false when
    // the source has no more frames. Throws std::runtime_error with a message
    // naming the file or device when a frame cannot be read; the source may
    // be asked again after that.
    virtual bool next(Frame &frame) = 0;

    // Live sources (cameras) go on whether or not they are read: when the
    // boards fall behind, the newest frame wins and older ones are dropped.
    virtual bool isLive() const { return false; }
};
