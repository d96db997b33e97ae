#include "evaluation/class_folders.h"
#include "evaluation/native_path.h"

#include "picture/picture_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cstring>
#include <stdexcept>

namespace {

bool holdsPictures(const QString &folder)
{
    QStringList patterns;
    for (const QString &suffix : pictureSuffixes())
        patterns << QStringLiteral("*.") + suffix;
    return !QDir(folder).entryList(patterns, QDir::Files).isEmpty();
}

} // namespace

ClassificationDataSet readClassFolders(const QString &folder)
{
    const QDir dir(folder);
    ClassificationDataSet data;
    data.source = dir.absolutePath();
    if (!dir.exists())
        throw std::runtime_error("The folder " + nativePath(data.source) + " does not exist");
    QStringList classes;
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (holdsPictures(dir.filePath(name)))
            classes << name;
    if (classes.isEmpty())
        throw std::runtime_error("The folder " + nativePath(data.source)
                                 + " has no subfolders of pictures (one per class, named after the class)");
    for (int k = 0; k < classes.size(); ++k) {
        data.classes.push_back({k, classes[k].toStdString()});
        for (const QString &picture : picturesInFolder(dir.filePath(classes[k])))
            data.pictures.push_back({picture, std::size_t(k)});
    }
    return data;
}

SegmentationDataSet readMaskFolder(const QString &folder)
{
    const QDir dir(folder);
    SegmentationDataSet data;
    data.source = dir.absolutePath();
    const QDir masks(dir.filePath("masks"));
    for (const QString &picture : picturesInFolder(dir.filePath("images"))) {
        const QString mask = masks.filePath(QFileInfo(picture).completeBaseName() + ".png");
        if (!QFileInfo(mask).isFile())
            throw std::runtime_error("The picture " + nativePath(picture) + " has no mask " + nativePath(mask));
        data.pictures.push_back({picture, mask});
    }
    return data;
}

std::vector<std::uint8_t> readClassMask(const QString &path, QSize &size)
{
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull())
        throw std::runtime_error("Cannot read mask: " + nativePath(path) + " (" + reader.errorString().toStdString() + ")");
    if (image.format() != QImage::Format_Grayscale8 && image.format() != QImage::Format_Indexed8)
        throw std::runtime_error("The mask " + nativePath(path)
                                 + " holds colours: a mask holds a class index per pixel (8-bit grey or with a "
                                   "colour table)");
    size = image.size();
    std::vector<std::uint8_t> classes(std::size_t(image.width()) * std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(classes.data() + std::size_t(y) * std::size_t(image.width()), image.constScanLine(y),
                    std::size_t(image.width()));
    return classes;
}
