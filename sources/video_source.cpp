#include "sources/video_source.h"

#include "picture/picture_decoding.h"
#include "sources/captured_frame.h"

#include "files/regular_file.h"

#include <QFileInfo>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>
#include <stdexcept>

namespace {

std::string text(const QString &string)
{
    return string.toUtf8().toStdString();
}

std::string sizeText(const QSize &size)
{
    return std::to_string(size.width()) + " x " + std::to_string(size.height());
}

} // namespace

VideoSource::VideoSource(const QString &path, const PictureRequest &request, bool planar)
    : filePath(QFileInfo(path).absoluteFilePath()), request(request), planar(planar)
{
    // A pipe or device would make the decoder wait or read without end.
    if (const std::string problem = regularFileProblem(filePath, "video file"); !problem.empty())
        fail(problem);
    const QFileInfo info(filePath);
    if (!info.exists())
        fail("the file does not exist");
    if (info.isDir())
        fail("it is a folder, not a video file");
    if (!info.isReadable())
        fail("the file cannot be read (no permission)");
    open();
    fps = capture->get(cv::CAP_PROP_FPS);
    if (!std::isfinite(fps) || fps <= 0.0 || fps > 1000.0)
        fps = 0.0;
    const double count = capture->get(cv::CAP_PROP_FRAME_COUNT);
    announcedFrames = std::isfinite(count) && count > 0.0 && count < 1e12 ? std::int64_t(count) : 0;
    // Measured before the first frame is decoded: a huge frame would take
    // gigabytes at once.
    const std::string oversize = oversizeProblem(announcedFrameSize(*capture), request.pixelLimit);
    if (!oversize.empty())
        fail("its frames are " + oversize);
    if (!readFrame(firstPicture))
        fail("no frame can be decoded: it is not a video, or it is empty or damaged");
    size = firstPicture.size();
}

VideoSource::~VideoSource() = default;

void VideoSource::open()
{
    capture = std::make_unique<cv::VideoCapture>();
    // Errors of the decoder come back as a capture that is not open or a
    // failed read; OpenCV may also throw its own exceptions.
    try {
        capture->open(text(filePath), cv::CAP_FFMPEG);
    } catch (const cv::Exception &) {
    }
    if (!capture->isOpened())
        fail("it is not a video, or it is damaged or in a format that cannot be decoded here");
    nextNumber = 0;
}

bool VideoSource::readFrame(QImage &picture)
{
    if (!readCapturedFrame(*capture, picture))
        return false;
    positionMs = capture->get(cv::CAP_PROP_POS_MSEC);
    if (picture.isNull())
        fail("frame " + std::to_string(nextNumber) + " has a pixel type that cannot be shown");
    return true;
}

void VideoSource::fail(const std::string &what) const
{
    throw std::runtime_error("Cannot read the video " + text(filePath) + ": " + what);
}

void VideoSource::setLooping(bool loop)
{
    looping.store(loop);
}

bool VideoSource::isLooping() const
{
    return looping.load();
}

bool VideoSource::next(Frame &frame)
{
    frame.times.readStart = steadyNanoseconds();
    QImage picture;
    if (ended) {
        ended = false;
        open();
        if (!readFrame(picture))
            fail("no frame can be decoded after starting again");
    } else if (!firstPicture.isNull()) {
        picture = std::move(firstPicture);
        firstPicture = QImage();
    } else if (!readFrame(picture)) {
        // A container that announces its frame count and ends well before it
        // is truncated or damaged; a few frames short is within what
        // estimated counts are off by.
        const std::int64_t read = std::int64_t(nextNumber);
        if (announcedFrames > 0 && read < announcedFrames - std::max<std::int64_t>(2, announcedFrames / 50))
            fail("the video ends after frame " + std::to_string(read) + " of "
                 + std::to_string(announcedFrames) + ": the file is truncated or damaged");
        if (!looping.load() || read == 0) {
            ended = read > 0;
            return false;
        }
        open();
        if (!readFrame(picture))
            fail("no frame can be decoded after starting again");
    }
    if (picture.size() != size)
        fail("frame " + std::to_string(nextNumber) + " is " + sizeText(picture.size())
             + " pixels, but the video began at " + sizeText(size));
    frame.times.read = steadyNanoseconds();

    frame.origin.source = QFileInfo(filePath).fileName();
    frame.origin.path = filePath;
    frame.origin.number = nextNumber;
    // The decoder's position follows the frames' own time stamps (variable
    // frame rates); the frame rate stands in where it has none.
    if (std::isfinite(positionMs) && positionMs >= 0.0 && (nextNumber == 0 || positionMs > 0.0))
        frame.origin.timeSeconds = positionMs / 1000.0;
    else
        frame.origin.timeSeconds = fps > 0.0 ? double(nextNumber) / fps : 0.0;
    ++nextNumber;
    prepareCapturedFrame(frame, picture, request, planar);
    return true;
}
