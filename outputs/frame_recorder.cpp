#include "outputs/frame_recorder.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

std::string text(const QString &string)
{
    return string.toUtf8().toStdString();
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
    const double fps = config.framesPerSecond > 0.0 ? config.framesPerSecond : 25.0;
    for (int codec : codecs) {
        try {
            video->open(text(config.videoPath), cv::CAP_FFMPEG, codec, fps,
                        cv::Size(config.frameSize.width(), config.frameSize.height()), true);
        } catch (const cv::Exception &) {
        }
        if (video->isOpened())
            break;
    }
    if (!video->isOpened())
        throw std::runtime_error("Cannot write the video file " + text(config.videoPath)
                                 + ": the folder is not writable, or this format cannot be written here");
    records = std::fopen(config.recordsPath.toLocal8Bit().constData(), "wb");
    if (records == nullptr) {
        const std::string error = std::strerror(errno);
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
    std::lock_guard<std::mutex> lock(mutex);
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
    if (!accepting)
        return;
    accepting = false;
    reason = why;
    wake.notify_one();
}

void FrameRecorder::finish()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        accepting = false;
        finishing = true;
        wake.notify_one();
    }
    if (writer.joinable())
        writer.join();
    if (video && video->isOpened())
        video->release();
    if (records != nullptr) {
        std::fclose(records);
        records = nullptr;
    }
}

std::uint64_t FrameRecorder::framesWritten() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return written;
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
    const cv::Mat bgra(picture.height(), picture.width(), CV_8UC4, picture.bits(),
                       std::size_t(picture.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
    video->write(bgr);

    const QByteArray line = describe(frame);
    if (std::fwrite(line.constData(), 1, std::size_t(line.size()), records) != std::size_t(line.size())
        || std::fflush(records) != 0)
        throw std::runtime_error("cannot write the results file " + text(config.recordsPath) + ": "
                                 + std::strerror(errno));
}
