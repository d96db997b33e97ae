#include "picture/picture_saving.h"

#include "files/regular_file.h"
#include "files/whole_write.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &path, const QString &cause)
{
    throw std::runtime_error(
        QStringLiteral("Cannot save the result to %1: %2").arg(QDir::toNativeSeparators(path), cause).toStdString());
}

} // namespace

QStringList savedPictureSuffixes()
{
    QStringList suffixes;
    for (const QByteArray &format : QImageWriter::supportedImageFormats())
        suffixes << QString::fromLatin1(format).toLower();
    suffixes.removeDuplicates();
    suffixes.sort();
    return suffixes;
}

QString pictureSavePath(const QString &name)
{
    return QFileInfo(name).suffix().isEmpty() ? name + QStringLiteral(".png") : name;
}

void savePicture(const QImage &image, const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QStringList suffixes = savedPictureSuffixes();
    if (!suffixes.contains(suffix))
        fail(path, QStringLiteral("pictures are saved as .%1").arg(suffixes.join(QStringLiteral(", ."))));
    // Replacing a pipe or a device would write into it.
    if (const std::string problem = regularFileProblem(path, "picture file"); !problem.empty())
        fail(path, QString::fromStdString(problem));

    // Encoded in memory first: an encoder failure is told apart from the
    // disk's, and the file is written in one go.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, suffix.toLatin1());
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        writer.setQuality(95);
    if (!writer.write(image))
        fail(path, writer.errorString());

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeWhole(file, encoded))
        fail(path, file.errorString());
    if (!file.commit())
        fail(path, file.errorString());
}
