// File > Open Camera...: lists the cameras with their names and the picture
// sizes they offer, and lets the user pick one.
#pragma once

#include "sources/camera_devices.h"

#include <QDialog>
#include <QSize>
#include <QString>

#include <vector>

class QComboBox;

class CameraDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CameraDialog(std::vector<CameraDevice> cameras, QWidget *parent = nullptr);

    QString device() const;
    // The chosen picture size; invalid for the camera's own choice.
    QSize pictureSize() const;

    // Asks for a camera among those of this machine. Returns false when the
    // user cancels, or when there is none (after saying so).
    static bool chooseCamera(QWidget *parent, QString &device, QSize &size);

private:
    void listSizes(int cameraIndex);

    const std::vector<CameraDevice> cameras;
    QComboBox *cameraBox = nullptr;
    QComboBox *sizeBox = nullptr;
};
