// The V4L2 video capture devices of this machine (/dev/video*), with their
// names and the picture sizes they offer.
#pragma once

#include <QSize>
#include <QString>

#include <vector>

struct CameraDevice
{
    QString path;             // "/dev/video0"
    QString name;             // as the driver calls the device
    std::vector<QSize> sizes; // offered picture sizes, largest first; empty when the driver lists none
};

// Whether path is a video device node (a character device of the video
// driver's major number). Only these are opened as cameras: opening another
// device can act on it, and a file or pipe is no camera.
bool isVideoDevice(const QString &path);

// The devices in folder (normally /dev) named video<N> that capture video,
// in the order of N. Nodes that only carry metadata, and nodes that cannot be
// opened or asked, are left out.
std::vector<CameraDevice> listCameras(const QString &folder = QStringLiteral("/dev"));
