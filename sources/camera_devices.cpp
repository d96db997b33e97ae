#include "sources/camera_devices.h"

#include <QDir>

#include <QFile>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

int ioctlRetrying(int fd, unsigned long request, void *argument)
{
    int result = 0;
    do {
        result = ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

// Every discrete size (and the bounds of stepwise ranges) of every pixel format.
std::vector<QSize> offeredSizes(int fd)
{
    std::vector<QSize> sizes;
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (format.index = 0; format.index < 64 && ioctlRetrying(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
        v4l2_frmsizeenum size{};
        size.pixel_format = format.pixelformat;
        for (size.index = 0; size.index < 256 && ioctlRetrying(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0;
             ++size.index) {
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                sizes.emplace_back(int(size.discrete.width), int(size.discrete.height));
            } else {
                sizes.emplace_back(int(size.stepwise.max_width), int(size.stepwise.max_height));
                sizes.emplace_back(int(size.stepwise.min_width), int(size.stepwise.min_height));
                break;
            }
        }
    }
    std::sort(sizes.begin(), sizes.end(), [](const QSize &a, const QSize &b) {
        const qint64 areaA = qint64(a.width()) * a.height();
        const qint64 areaB = qint64(b.width()) * b.height();
        return areaA != areaB ? areaA > areaB : a.width() > b.width();
    });
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

// The major device number of video4linux nodes (Linux's devices.txt).
constexpr unsigned videoDeviceMajor = 81;

} // namespace

bool isVideoDevice(const QString &path)
{
    struct stat status{};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISCHR(status.st_mode)
           && major(status.st_rdev) == videoDeviceMajor;
}

std::vector<CameraDevice> listCameras(const QString &folder)
{
    QStringList names = QDir(folder).entryList({QStringLiteral("video*")}, QDir::System | QDir::Files);
    // video2 before video10.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });

    std::vector<CameraDevice> cameras;
    for (const QString &name : names) {
        CameraDevice camera;
        camera.path = QDir(folder).filePath(name);
        if (!isVideoDevice(camera.path))
            continue;
        const int fd = ::open(camera.path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        v4l2_capability capability{};
        if (ioctlRetrying(fd, VIDIOC_QUERYCAP, &capability) == 0) {
            const std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
                                           ? capability.device_caps
                                           : capability.capabilities;
            if ((caps & V4L2_CAP_VIDEO_CAPTURE) != 0) {
                camera.name = QString::fromUtf8(reinterpret_cast<const char *>(capability.card),
                                                int(strnlen(reinterpret_cast<const char *>(capability.card),
                                                            sizeof capability.card)));
                camera.sizes = offeredSizes(fd);
                cameras.push_back(std::move(camera));
            }
        }
        ::close(fd);
    }
    return cameras;
}
