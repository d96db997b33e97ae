#include "workbench/input_kind.h"

#include <QFileInfo>

#include <sys/stat.h>

QStringList videoSuffixes()
{
    return {QStringLiteral("mp4"),  QStringLiteral("m4v"), QStringLiteral("mkv"), QStringLiteral("avi"),
            QStringLiteral("mov"),  QStringLiteral("webm"), QStringLiteral("mpg"), QStringLiteral("mpeg"),
            QStringLiteral("wmv"),  QStringLiteral("flv"), QStringLiteral("ogv"), QStringLiteral("ts"),
            QStringLiteral("m2ts"), QStringLiteral("3gp"), QStringLiteral("mjpeg"), QStringLiteral("mjpg")};
}

InputKind inputKind(const QString &path)
{
    struct stat status{};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return InputKind::Folder;
        if (S_ISCHR(status.st_mode))
            return InputKind::Camera;
    } else if (path.startsWith(QLatin1String("/dev/video"))) {
        return InputKind::Camera; // unplugged: the camera source says so
    }
    return videoSuffixes().contains(QFileInfo(path).suffix().toLower()) ? InputKind::Video : InputKind::Picture;
}
