#include "outputs/recording_room.h"

#include <algorithm>

namespace {

// What the file's writer buffers before the bytes reach the disk (256 KiB
// seen), with room to spare.
constexpr double writeBuffer = 1 << 20;
// Headers and the fixed part of the index written at the end.
constexpr double indexBase = 256 << 10;
// Per frame, the index takes 16 to 32 bytes (AVI's idx1 and OpenDML index;
// MP4's sample sizes, offsets, times and key frames).
constexpr double indexPerFrame = 64;
// Kept free on top, for the file system's own bookkeeping.
constexpr double margin = 1 << 20;

std::uint64_t delayOf(RecordingRoom::Codec codec)
{
    switch (codec) {
    case RecordingRoom::Codec::Mjpg:
        return 1; // each frame is encoded on its own
    case RecordingRoom::Codec::Mpeg4:
        return 8;
    case RecordingRoom::Codec::H264:
        break;
    }
    // The H.264 encoder looks ahead (40 frames by default) and keeps frames
    // for its threads and B-frames: about 50 on two cores, more on many.
    return 128;
}

} // namespace

RecordingRoom::RecordingRoom(const QSize &frameSize, Codec codec)
    : rawFrameBytes(3.0 * std::max(frameSize.width(), 1) * std::max(frameSize.height(), 1)),
      encoderDelay(delayOf(codec))
{
}

void RecordingRoom::frameWritten(std::uint64_t framesHanded, std::uint64_t fileBytes)
{
    frames = framesHanded;
    landed = fileBytes;
}

double RecordingRoom::frameBytesAtMost() const
{
    // Half the raw size bounds a compressed frame, even of noise, until the
    // file tells better: the frames that have left the encoder take at most
    // what has landed plus what is buffered; twice their mean allows for
    // frames that compress worse than those before.
    const double bound = rawFrameBytes / 2.0;
    if (frames <= encoderDelay || landed == 0)
        return bound;
    const double mean = (double(landed) + writeBuffer) / double(frames - encoderDelay);
    return std::min(bound, 2.0 * mean);
}

std::uint64_t RecordingRoom::neededForNextFrame(std::uint64_t lineBytes) const
{
    const double frame = frameBytesAtMost();
    const double held = writeBuffer + double(std::min(frames, encoderDelay)) * frame;
    const double index = indexBase + double(frames + 1) * indexPerFrame;
    return std::uint64_t(held + frame + index + double(lineBytes) + margin);
}
