#include "outputs/frame_recorder.h"

#include "files/free_space.h"
#include "files/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

std::string text(const QString &string)
{
    return string.toUtf8().toStdString();
}

std::string systemError(int error)
{
    return std::generic_category().message(error);
}

RecordingRoom::Codec roomCodecOf(int fourcc)
{
    if (fourcc == cv::VideoWriter::fourcc('M', 'J', 'P', 'G'))
        return RecordingRoom::Codec::Mjpg;
    if (fourcc == cv::VideoWriter::fourcc('m', 'p', '4', 'v'))
        return RecordingRoom::Codec::Mpeg4;
    return RecordingRoom::Codec::H264;
}

std::uint64_t fileBytes(const QString &path)
{
    struct stat status{};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? std::uint64_t(status.st_size) : 0;
}

// The codecs to try for a file name, best first.
std::vector<int> codecsFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("avi"))
        return {cv::VideoWriter::fourcc('M', 'J', 'P', 'G')};
    if (suffix == QLatin1String("mp4"))
        return {cv::VideoWriter::fourcc('a', 'v', 'c', '1'), cv::VideoWriter::fourcc('m', 'p', '4', 'v')};
    return {};
}

// The picture fitted into size, keeping its aspect ratio, on black.
QImage fitted(const QImage &picture, const QSize &size)
{
    if (picture.size() == size)
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    const QImage scaled = picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&canvas);
    painter.drawImage((size.width() - scaled.width()) / 2, (size.height() - scaled.height()) / 2, scaled);
    return canvas;
}

} // namespace

QString FrameRecorder::recordsPathFor(const QString &videoPath)
{
    const QFileInfo info(videoPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".jsonl"));
}

QStringList FrameRecorder::filesReplaced(const Settings &settings)
{
    QStringList existing;
    for (const QString &path : {settings.videoPath, settings.recordsPath})
        if (QFileInfo::exists(path))
            existing << path;
    return existing;
}

FrameRecorder::FrameRecorder(Settings settings, Annotate annotate, Describe describe)
    : config(std::move(settings)), annotate(std::move(annotate)), describe(std::move(describe)),
      video(std::make_unique<cv::VideoWriter>())
{
    if (config.frameSize.isEmpty())
        throw std::runtime_error("Cannot record " + text(config.videoPath) + ": the frame size is unknown");
    const std::vector<int> codecs = codecsFor(config.videoPath);
    if (codecs.empty())
        throw std::runtime_error("Cannot record " + text(config.videoPath)
                                 + ": recordings are .avi (MJPG) or .mp4 files");
    // Opening a pipe to write waits for a reader; a device is no file to keep.
    checkRegularFile(config.videoPath, "video file");
    checkRegularFile(config.recordsPath, "results file");
    const double fps = config.framesPerSecond > 0.0 ? config.framesPerSecond : 25.0;
    for (int codec : codecs) {
        try {
            video->open(text(config.videoPath), cv::CAP_FFMPEG, codec, fps,
                        cv::Size(config.frameSize.width(), config.frameSize.height()), true);
        } catch (const cv::Exception &) {
        }
        if (video->isOpened()) {
            room = std::make_unique<RecordingRoom>(config.frameSize, roomCodecOf(codec));
            break;
        }
    }
    if (!video->isOpened())
        throw std::runtime_error("Cannot write the video file " + text(config.videoPath)
                                 + ": the folder is not writable, or this format cannot be written here");
    records = ::open(QFile::encodeName(config.recordsPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                     0666);
    if (records < 0) {
        const std::string error = systemError(errno);
        video->release();
        throw std::runtime_error("Cannot write the results file " + text(config.recordsPath) + ": " + error);
    }
    writer = std::thread([this] { writeLoop(); });
}

FrameRecorder::~FrameRecorder()
{
    finish();
}

bool FrameRecorder::add(FramePtr frame)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (config.waitWhenFull)
        roomMade.wait(lock, [&] { return !accepting || queue.size() < config.queueCapacity; });
    if (!accepting)
        return false;
    if (queue.size() >= config.queueCapacity) {
        stopWith("the recording does not keep up with the frames (encoding them or the disk is slower than the "
                 "boards): recording stopped at frame "
                 + std::to_string(frame->origin.number));
        return false;
    }
    queue.push_back(std::move(frame));
    wake.notify_one();
    return true;
}

void FrameRecorder::stopWith(const std::string &why)
{
    // A failure while the queue is written out after finish() is told too.
    if (!reason.empty())
        return;
    accepting = false;
    reason = why;
    wake.notify_one();
    roomMade.notify_all();
}

void FrameRecorder::finish()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        accepting = false;
        finishing = true;
        wake.notify_one();
        roomMade.notify_all();
    }
    if (writer.joinable())
        writer.join();
    if (video && video->isOpened()) {
        video->release();
        checkClosedVideo();
    }
    if (records >= 0) {
        ::close(records);
        records = -1;
    }
}

void FrameRecorder::checkClosedVideo()
{
    const std::uint64_t frames = framesWritten();
    cv::VideoCapture capture;
    double count = -1.0;
    try {
        if (capture.open(text(config.videoPath), cv::CAP_FFMPEG))
            count = capture.get(cv::CAP_PROP_FRAME_COUNT);
    } catch (const cv::Exception &) {
    }
    if (frames > 0 && count != double(frames)) {
        std::lock_guard<std::mutex> lock(mutex);
        closing = "the video file " + text(config.videoPath) + " was not closed complete ("
                  + (count < 0.0 ? std::string("it cannot be read")
                                 : "it holds " + std::to_string(std::int64_t(count)) + " of the "
                                       + std::to_string(frames) + " frames written")
                  + "): the disk may have filled up";
    }
}

std::string FrameRecorder::closingProblem() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return closing;
}

std::uint64_t FrameRecorder::framesWritten() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return written;
}

QString FrameRecorder::summary() const
{
    return QStringLiteral("Recorded %1 frames to %2 and %3")
        .arg(framesWritten())
        .arg(QFileInfo(config.videoPath).fileName(), QFileInfo(config.recordsPath).fileName());
}

std::string FrameRecorder::stopReason() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return reason;
}

void FrameRecorder::writeLoop()
{
    bool told = false;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return !queue.empty() || finishing || (!reason.empty() && !told); });
        if (queue.empty()) {
            if (!reason.empty() && !told) {
                // Stopped by itself, and everything queued before is written:
                // the count told is final.
                told = true;
                if (onStopped) {
                    lock.unlock();
                    onStopped();
                    lock.lock();
                }
                continue;
            }
            return; // finishing
        }
        FramePtr frame = std::move(queue.front());
        queue.pop_front();
        roomMade.notify_all();
        lock.unlock();
        std::string failure;
        try {
            writeFrame(*frame);
        } catch (const std::exception &error) {
            failure = error.what();
        }
        frame.reset();
        lock.lock();
        if (failure.empty()) {
            ++written;
        } else {
            // The frames behind a failed write cannot be written either.
            queue.clear();
            stopWith(failure);
        }
    }
}

void FrameRecorder::writeFrame(const Frame &frame)
{
    QImage picture = fitted(annotate(frame), config.frameSize);
    if (picture.isNull())
        throw std::runtime_error("frame " + std::to_string(frame.origin.number) + " has no picture to record");
    const QByteArray line = describe(frame);
    checkRoom(frame, std::uint64_t(line.size()));
    // The line first: when it cannot be written whole, the frame goes into
    // neither file.
    writeLine(line);
    const cv::Mat bgra(picture.height(), picture.width(), CV_8UC4, picture.bits(),
                       std::size_t(picture.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
    video->write(bgr);
    room->frameWritten(framesHanded + 1, fileBytes(config.videoPath));
    ++framesHanded;
}

void FrameRecorder::checkRoom(const Frame &frame, std::uint64_t lineBytes) const
{
    const QString folder = QFileInfo(config.videoPath).absolutePath();
    std::optional<std::uint64_t> available = availableBytes(folder);
    if (const auto beside = availableBytes(QFileInfo(config.recordsPath).absolutePath()); beside && available)
        available = std::min(*available, *beside);
    if (!available || *available >= room->neededForNextFrame(lineBytes))
        return;
    throw std::runtime_error("the disk is nearly full (" + text(sizeText(*available)) + " left in "
                             + text(QDir::toNativeSeparators(folder)) + "): recording stopped at frame "
                             + std::to_string(frame.origin.number) + ", while there is room to close the video");
}

void FrameRecorder::writeLine(const QByteArray &line)
{
    const char *data = line.constData();
    std::size_t left = std::size_t(line.size());
    while (left > 0) {
        const ssize_t done = ::write(records, data, left);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            const std::string error = systemError(done < 0 ? errno : ENOSPC);
            // A cut line would be no JSON: the file ends after the last whole one.
            if (::ftruncate(records, off_t(recordsBytes)) == 0)
                ::lseek(records, off_t(recordsBytes), SEEK_SET);
            throw std::runtime_error("cannot write the results file " + text(config.recordsPath) + ": " + error);
        }
        data += done;
        left -= std::size_t(done);
    }
    recordsBytes += std::uint64_t(line.size());
}
