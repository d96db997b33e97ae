#include "runner/input_list.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <stdexcept>

namespace {

QStringList picturesIn(const QString &folder)
{
    QStringList patterns;
    for (const QByteArray &suffix : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(suffix);
    QDir dir(folder);
    QStringList names = dir.entryList(patterns, QDir::Files | QDir::Readable, QDir::NoSort);
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    QStringList paths;
    for (const QString &name : names)
        paths << dir.absoluteFilePath(name);
    return paths;
}

} // namespace

QStringList expandInputs(const QStringList &inputs)
{
    QStringList files;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (!info.exists())
            throw std::runtime_error("No such file or folder: " + input.toStdString());
        if (info.isDir()) {
            const QStringList pictures = picturesIn(input);
            if (pictures.isEmpty())
                throw std::runtime_error("No pictures in the folder: " + input.toStdString());
            files << pictures;
        } else {
            files << info.absoluteFilePath();
        }
    }
    return files;
}
