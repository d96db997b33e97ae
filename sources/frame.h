// One frame on its way through the application: where it came from, the
// picture and tensor made from it, the board's outputs, what they mean, and
// when each stage ended. Results carry their frame, so the picture shown
// always belongs to the outputs drawn over it.
#pragma once

#include "picture/picture_request.h"
#include "results/frame_result.h"
#include "tensor/tensor_shapes.h"

#include <QString>

#include <cstdint>
#include <memory>

// Where a frame came from.
struct FrameOrigin
{
    QString source;            // what the user opened: a picture's or video's file name, a camera's device
    QString path;              // the file (absolute) or device
    std::uint64_t number = 0;  // the picture's index in its list, or the video frame's number
    double timeSeconds = -1.0; // position in a video; negative for still pictures
};

// Moments of a frame's stages, in nanoseconds of the steady clock (0: not reached).
struct StageTimes
{
    std::int64_t readStart = 0;  // the source began reading the picture
    std::int64_t read = 0;       // the picture is decoded
    std::int64_t prepared = 0;   // the input tensor is made: the frame waits in the read-ahead queue
    std::int64_t dequeued = 0;   // taken from the read-ahead queue, a unit free for it
    std::int64_t submitted = 0;  // handed to a processing unit
    std::int64_t fetched = 0;    // the outputs are fetched
    std::int64_t decoded = 0;    // the outputs are interpreted
    std::int64_t drawStart = 0;  // the window began drawing it
    std::int64_t shown = 0;      // the window has shown it
    // When a camera captured the picture (0 for files): a live frame's
    // latency counts from here, the waits before its reading included.
    std::int64_t captured = 0;
};

std::int64_t steadyNanoseconds();

struct Frame
{
    FrameOrigin origin;
    std::uint64_t sequence = 0; // running number of the frame in its run, from 0
    PreparedPicture picture;    // the picture as the network sees it and its tensor
    // The tensor of a picture from the picture cache, shared rather than
    // copied into picture.tensor (which is then empty).
    std::shared_ptr<const std::vector<float>> sharedTensor;
    OutputBuffers outputs;
    FrameResult result;
    FrameResult reference; // what the reference board found in the same input, while comparing
    StageTimes times;

    // The network's input: the shared tensor, or else the picture's own.
    const std::vector<float> &tensor() const { return sharedTensor ? *sharedTensor : picture.tensor; }
};

using FramePtr = std::shared_ptr<Frame>;
