// Short videos that the tests make from the example pictures.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

struct TestCodec
{
    const char *name;   // for the test's messages
    const char *fourcc;
    const char *suffix; // ".avi"
    bool lossless;
};

inline const TestCodec ffv1Avi{"FFV1 .avi", "FFV1", ".avi", true};
inline const TestCodec mjpgAvi{"MJPG .avi", "MJPG", ".avi", false};
inline const TestCodec h264Mp4{"H.264 .mp4", "avc1", ".mp4", false};

// The example pictures (the detector's), each scaled to width x height in
// 32-bit RGB: the frames the test videos show.
std::vector<QImage> examplePictures(int width = 320, int height = 240);

// Writes the frames (all of one size) into path at fps. False when this
// system's video I/O cannot write the codec.
bool writeTestVideo(const QString &path, const TestCodec &codec, const std::vector<QImage> &frames,
                    double fps = 10.0);

// The number of frames OpenCV decodes from the video; size, when given,
// gets the last one's size.
int videoFrameCount(const QString &path, QSize *size = nullptr);

// Decodes every frame of the video with OpenCV directly and saves each as a
// lossless PNG in folder; returns their paths.
QStringList saveDecodedFrames(const QString &video, const QString &folder);
