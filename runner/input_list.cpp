#include "runner/input_list.h"

#include "files/regular_file.h"
#include "picture/picture_folder.h"
#include "sources/camera_source.h"
#include "sources/video_source.h"
#include "workbench/input_kind.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <stdexcept>

QStringList expandInputs(const QStringList &inputs)
{
    QStringList files;
    for (const QString &input : inputs) {
        // Before the board is opened: a pipe or device is refused by name, a
        // path that cannot be looked at says why.
        checkRegularFile(input, "picture file");
        const QFileInfo info(input);
        if (!info.exists())
            throw std::runtime_error("No such file or folder: " + input.toStdString());
        if (info.isDir()) {
            files << picturesInFolder(input);
        } else {
            files << info.absoluteFilePath();
        }
    }
    return files;
}

QString streamInput(const QStringList &inputs)
{
    QStringList streams;
    for (const QString &input : inputs) {
        const InputKind kind = inputKind(input);
        if (kind == InputKind::Video)
            streams << QFileInfo(input).absoluteFilePath();
        else if (kind == InputKind::Camera)
            streams << input;
    }
    if (streams.isEmpty())
        return QString();
    if (inputs.size() > 1)
        throw std::runtime_error("A video or camera is run on its own, without other inputs: "
                                 + inputs.join(QLatin1String(", ")).toStdString());
    return streams.front();
}

std::unique_ptr<FrameSource> openStreamInput(const QString &path, const PictureReading &reading, bool loop)
{
    if (inputKind(path) == InputKind::Camera)
        return std::make_unique<CameraSource>(path, QSize(), reading.request, reading.planar);
    auto video = std::make_unique<VideoSource>(path, reading.request, reading.planar);
    video->setLooping(loop);
    return video;
}
