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

// The devices in folder (normally /dev) named video<N> that capture video,
// in the order of N. Nodes that only carry metadata, and nodes that cannot be
// opened or asked, are left out.
std::vector<CameraDevice> listCameras(const QString &folder = QStringLiteral("/dev"));
