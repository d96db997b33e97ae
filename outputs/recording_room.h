// The disk a recording still needs to close its video complete. A video
// writer says nothing when the disk fills: it leaves a file whose index was
// never written, which nothing can play. So the recorder asks, before each
// frame, for the room the frames not yet in the file, the container's index
// and the frame's line take, and stops while there is still room to close.
#pragma once

#include <QSize>

#include <cstdint>

class RecordingRoom
{
public:
    enum class Codec { Mjpg, Mpeg4, H264 };

    RecordingRoom(const QSize &frameSize, Codec codec);

    // After each frame handed to the encoder: the frames handed so far and
    // the bytes the video file holds now.
    void frameWritten(std::uint64_t framesHanded, std::uint64_t fileBytes);

    // Free bytes needed before the next frame, whose results line has
    // lineBytes, may be written.
    std::uint64_t neededForNextFrame(std::uint64_t lineBytes) const;

private:
    // An encoded frame's size at most, as far as can be told from the file.
    double frameBytesAtMost() const;

    const double rawFrameBytes;
    const std::uint64_t encoderDelay; // frames an encoder may hold before any reaches the file
    std::uint64_t frames = 0;
    std::uint64_t landed = 0; // bytes in the file
};
