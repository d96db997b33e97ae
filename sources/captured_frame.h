// Frames that OpenCV's video I/O decodes, made into the application's
// pictures and tensors: the video and camera sources share this.
#pragma once

#include "picture/picture_request.h"
#include "sources/frame.h"

#include <QImage>
#include <QSize>

#include <cstdint>

namespace cv {
class Mat;
class VideoCapture;
}

// Reads the capture's next frame into picture (see capturedFrameToImage).
// False when there is none: the video's end, a device that gives nothing, or
// a decoder failure, OpenCV's exceptions included. A frame of a pixel type
// that cannot be shown gives true and a null picture. grabbed, when given,
// gets the moment the frame was there to decode (steady ns).
bool readCapturedFrame(cv::VideoCapture &capture, QImage &picture, std::int64_t *grabbed = nullptr);

// The frame size the capture announces before its first frame is decoded;
// invalid when it announces none.
QSize announcedFrameSize(cv::VideoCapture &capture);

// The frame as a 32-bit RGB picture, the format the picture preparation
// reads fastest. Takes 8-bit grey, BGR and BGRA frames; null for others.
QImage capturedFrameToImage(const cv::Mat &frame);

// Prepares the frame's tensor from its picture and stamps times.prepared.
// Throws std::runtime_error naming source when no picture can be made.
void prepareCapturedFrame(Frame &frame, const QImage &picture, const PictureRequest &request, bool planar);
