#include "sources/camera_source.h"

#include "files/regular_file.h"
#include "picture/picture_decoding.h"
#include "sources/camera_devices.h"
#include "sources/captured_frame.h"

#include <QFileInfo>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>
#include <stdexcept>

CameraSource::CameraSource(const QString &device, const QSize &wanted, const PictureRequest &request,
                           bool planar)
    : devicePath(device), request(request), planar(planar), capture(std::make_unique<cv::VideoCapture>())
{
    if (!QFileInfo::exists(device))
        fail("there is no such device");
    if (!isVideoDevice(device)) {
        const std::string problem = regularFileProblem(device, "camera");
        fail(problem.empty() ? "it is not a camera (no video device)" : problem);
    }
    try {
        capture->open(device.toLocal8Bit().toStdString(), cv::CAP_V4L2);
        if (capture->isOpened() && wanted.isValid() && !wanted.isEmpty()) {
            capture->set(cv::CAP_PROP_FRAME_WIDTH, wanted.width());
            capture->set(cv::CAP_PROP_FRAME_HEIGHT, wanted.height());
        }
    } catch (const cv::Exception &) {
    }
    if (!capture->isOpened())
        fail("it cannot be opened as a camera (in use by another program, no permission, or not a camera)");
    const std::string oversize = oversizeProblem(announcedFrameSize(*capture), request.pixelLimit);
    if (!oversize.empty())
        fail("its pictures are " + oversize);
    fps = capture->get(cv::CAP_PROP_FPS);
    if (!std::isfinite(fps) || fps <= 0.0 || fps > 1000.0)
        fps = 0.0;
    if (!readFrame(firstPicture))
        fail("it gives no picture");
    size = firstPicture.size();
    firstFrameNs = steadyNanoseconds();
}

CameraSource::~CameraSource() = default;

bool CameraSource::readFrame(QImage &picture, std::int64_t *grabbed, std::int64_t *captured)
{
    std::int64_t there = 0;
    if (!readCapturedFrame(*capture, picture, &there) || picture.isNull())
        return false;
    if (grabbed)
        *grabbed = there;
    if (captured) {
        // V4L2 stamps its buffers on the monotonic clock, the steady clock's;
        // a stamp of another clock, or none, leaves the moment of grabbing.
        double stampMs = 0.0;
        try {
            stampMs = capture->get(cv::CAP_PROP_POS_MSEC);
        } catch (const cv::Exception &) {
        }
        const auto stamp = std::isfinite(stampMs) ? std::int64_t(stampMs * 1e6) : 0;
        *captured = stamp <= there && stamp > there - std::int64_t(1000000000) ? stamp : there;
    }
    return true;
}

void CameraSource::fail(const std::string &what) const
{
    throw std::runtime_error("Camera " + devicePath.toStdString() + ": " + what);
}

bool CameraSource::next(Frame &frame)
{
    QImage picture;
    if (!firstPicture.isNull()) {
        // Taken when the camera opened, shown until now: its latency counts from here.
        picture = std::move(firstPicture);
        firstPicture = QImage();
        frame.times.readStart = frame.times.captured = steadyNanoseconds();
    } else if (!readFrame(picture, &frame.times.readStart, &frame.times.captured)) {
        fail("it stopped giving pictures after frame " + std::to_string(nextNumber)
             + " (unplugged, or taken by another program?)");
    }
    if (picture.size() != size)
        fail("the picture size changed from " + std::to_string(size.width()) + " x "
             + std::to_string(size.height()) + " to " + std::to_string(picture.width()) + " x "
             + std::to_string(picture.height()));
    frame.times.read = steadyNanoseconds();
    frame.origin.source = devicePath;
    frame.origin.path = devicePath;
    frame.origin.number = nextNumber++;
    frame.origin.timeSeconds = double(frame.times.read - firstFrameNs) / 1e9;
    if (frame.origin.number == 0)
        frame.origin.timeSeconds = 0.0;
    prepareCapturedFrame(frame, picture, request, planar);
    return true;
}
