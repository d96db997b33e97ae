#include "picture/picture_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <stdexcept>

namespace {

// Compares names piece by piece: runs of digits by their number, the text
// between them without regard to case ("frame2" < "Frame10"). The toolkit's
// collator does this only where it is built with ICU.
int naturalCompare(const QString &a, const QString &b)
{
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            int endA = i;
            int endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            // Leading zeros do not count; then the longer number is larger.
            int startA = i;
            int startB = j;
            while (startA + 1 < endA && a[startA].digitValue() == 0)
                ++startA;
            while (startB + 1 < endB && b[startB].digitValue() == 0)
                ++startB;
            if (endA - startA != endB - startB)
                return (endA - startA) - (endB - startB);
            for (int k = 0; k < endA - startA; ++k)
                if (a[startA + k].digitValue() != b[startB + k].digitValue())
                    return a[startA + k].digitValue() - b[startB + k].digitValue();
            i = endA;
            j = endB;
            continue;
        }
        const QChar x = a[i].toCaseFolded();
        const QChar y = b[j].toCaseFolded();
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    return (a.size() - i) - (b.size() - j);
}

} // namespace

QStringList pictureSuffixes()
{
    QStringList suffixes;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        suffixes << QString::fromLatin1(format).toLower();
    suffixes.removeDuplicates();
    return suffixes;
}

QStringList picturesInFolder(const QString &folder)
{
    const QDir dir(folder);
    const std::string name = QDir::toNativeSeparators(dir.absolutePath()).toStdString();
    if (!dir.exists())
        throw std::runtime_error("The folder " + name + " does not exist");
    if (!dir.isReadable())
        throw std::runtime_error("The folder " + name + " cannot be read (no permission)");

    QStringList patterns;
    for (const QString &suffix : pictureSuffixes())
        patterns << QStringLiteral("*.") + suffix;
    const QFileInfoList entries = dir.entryInfoList(patterns, QDir::Files | QDir::Readable, QDir::NoSort);

    QStringList pictures;
    for (const QFileInfo &entry : entries)
        pictures << entry.absoluteFilePath();
    std::sort(pictures.begin(), pictures.end(), [](const QString &a, const QString &b) {
        const int order = naturalCompare(QFileInfo(a).fileName(), QFileInfo(b).fileName());
        return order != 0 ? order < 0 : a < b;
    });
    if (pictures.isEmpty())
        throw std::runtime_error("The folder " + name + " holds no pictures");
    return pictures;
}
