#include "app/camera_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMessageBox>
#include <QVBoxLayout>

CameraDialog::CameraDialog(std::vector<CameraDevice> cameraList, QWidget *parent)
    : QDialog(parent), cameras(std::move(cameraList))
{
    setWindowTitle(tr("Open Camera"));
    cameraBox = new QComboBox;
    sizeBox = new QComboBox;
    for (const CameraDevice &camera : cameras)
        cameraBox->addItem(tr("%1 (%2)").arg(camera.name.isEmpty() ? tr("Camera") : camera.name, camera.path));

    auto *form = new QFormLayout;
    form->addRow(tr("&Camera:"), cameraBox);
    form->addRow(tr("&Picture size:"), sizeBox);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(cameraBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { listSizes(index); });
    listSizes(cameraBox->currentIndex());
}

void CameraDialog::listSizes(int cameraIndex)
{
    sizeBox->clear();
    sizeBox->addItem(tr("The camera's choice"), QSize());
    if (cameraIndex < 0 || std::size_t(cameraIndex) >= cameras.size())
        return;
    for (const QSize &size : cameras[std::size_t(cameraIndex)].sizes)
        sizeBox->addItem(tr("%1 x %2").arg(size.width()).arg(size.height()), size);
}

QString CameraDialog::device() const
{
    const int index = cameraBox->currentIndex();
    return index >= 0 && std::size_t(index) < cameras.size() ? cameras[std::size_t(index)].path : QString();
}

QSize CameraDialog::pictureSize() const
{
    return sizeBox->currentData().toSize();
}

bool CameraDialog::chooseCamera(QWidget *parent, QString &device, QSize &size)
{
    std::vector<CameraDevice> cameras = listCameras();
    if (cameras.empty()) {
        QMessageBox::information(parent, tr("Open Camera"),
                                 tr("No camera was found: there is no video capture device /dev/video*."));
        return false;
    }
    CameraDialog dialog(std::move(cameras), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    device = dialog.device();
    size = dialog.pictureSize();
    return !device.isEmpty();
}
