#include "test_videos.h"

#include "support/shared_data.h"

#include <QDir>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

std::vector<QImage> examplePictures(int width, int height)
{
    const QDir folder(QString::fromStdString(sourceDir() + "/examples/yolo3/pictures"));
    std::vector<QImage> pictures;
    for (const QString &name : folder.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
        pictures.push_back(QImage(folder.filePath(name))
                               .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_RGB32));
    return pictures;
}

bool writeTestVideo(const QString &path, const TestCodec &codec, const std::vector<QImage> &frames, double fps)
{
    if (frames.empty())
        return false;
    const int fourcc = cv::VideoWriter::fourcc(codec.fourcc[0], codec.fourcc[1], codec.fourcc[2], codec.fourcc[3]);
    cv::VideoWriter writer(path.toStdString(), cv::CAP_FFMPEG, fourcc, fps,
                           cv::Size(frames.front().width(), frames.front().height()));
    if (!writer.isOpened())
        return false;
    for (const QImage &frame : frames) {
        QImage rgb32 = frame.convertToFormat(QImage::Format_RGB32);
        const cv::Mat bgra(rgb32.height(), rgb32.width(), CV_8UC4, rgb32.bits(), std::size_t(rgb32.bytesPerLine()));
        cv::Mat bgr;
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
        writer.write(bgr);
    }
    return true;
}

QStringList saveDecodedFrames(const QString &video, const QString &folder)
{
    cv::VideoCapture capture(video.toStdString(), cv::CAP_FFMPEG);
    QStringList paths;
    cv::Mat frame;
    while (capture.read(frame)) {
        cv::Mat rgb;
        cv::cvtColor(frame, rgb, cv::COLOR_BGR2RGB);
        const QImage picture(rgb.data, rgb.cols, rgb.rows, int(rgb.step), QImage::Format_RGB888);
        paths << QDir(folder).filePath(QStringLiteral("frame%1.png").arg(paths.size()));
        picture.save(paths.back());
    }
    return paths;
}

int videoFrameCount(const QString &path, QSize *size)
{
    cv::VideoCapture capture(path.toStdString(), cv::CAP_FFMPEG);
    cv::Mat frame;
    int count = 0;
    for (; capture.read(frame); ++count)
        if (size != nullptr)
            *size = QSize(frame.cols, frame.rows);
    return count;
}
