#include "sources/captured_frame.h"

#include "picture/picture_preparation.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <limits>
#include <stdexcept>

QImage capturedFrameToImage(const cv::Mat &frame)
{
    if (frame.empty() || frame.depth() != CV_8U || frame.dims != 2)
        return QImage();
    int conversion = 0;
    switch (frame.channels()) {
    case 1:
        conversion = cv::COLOR_GRAY2BGRA;
        break;
    case 3:
        conversion = cv::COLOR_BGR2BGRA;
        break;
    case 4:
        conversion = -1;
        break;
    default:
        return QImage();
    }
    QImage picture(frame.cols, frame.rows, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    // Format_RGB32 keeps each pixel as the bytes B, G, R, 0xff in memory: the
    // conversion writes straight into the picture's own rows.
    cv::Mat pixels(frame.rows, frame.cols, CV_8UC4, picture.bits(), std::size_t(picture.bytesPerLine()));
    if (conversion < 0) {
        frame.copyTo(pixels);
        // The toolkit takes the fourth byte of an RGB32 pixel to be 0xff.
        const int opaque[] = {0, 3};
        const cv::Mat full(frame.rows, frame.cols, CV_8UC1, cv::Scalar(255));
        cv::mixChannels(&full, 1, &pixels, 1, opaque, 1);
    } else {
        cv::cvtColor(frame, pixels, conversion);
    }
    return picture;
}

QSize announcedFrameSize(cv::VideoCapture &capture)
{
    double width = 0.0;
    double height = 0.0;
    try {
        width = capture.get(cv::CAP_PROP_FRAME_WIDTH);
        height = capture.get(cv::CAP_PROP_FRAME_HEIGHT);
    } catch (const cv::Exception &) {
    }
    const double most = std::numeric_limits<int>::max();
    if (!(width >= 1.0 && width <= most && height >= 1.0 && height <= most))
        return QSize();
    return QSize(int(width), int(height));
}

bool readCapturedFrame(cv::VideoCapture &capture, QImage &picture, std::int64_t *grabbed)
{
    cv::Mat decoded;
    bool ok = false;
    try {
        ok = capture.grab();
        if (grabbed)
            *grabbed = steadyNanoseconds();
        ok = ok && capture.retrieve(decoded);
    } catch (const cv::Exception &) {
        ok = false;
    }
    if (!ok || decoded.empty())
        return false;
    picture = capturedFrameToImage(decoded);
    return true;
}

void prepareCapturedFrame(Frame &frame, const QImage &picture, const PictureRequest &request, bool planar)
{
    frame.picture = prepareDecodedPicture(picture, request, planar);
    if (frame.picture.picture.isNull())
        throw std::runtime_error("Cannot prepare frame " + std::to_string(frame.origin.number) + " of "
                                 + frame.origin.path.toStdString());
    frame.times.prepared = steadyNanoseconds();
}
