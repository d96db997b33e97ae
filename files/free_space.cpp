#include "files/free_space.h"

#include <QFile>

#include <sys/statvfs.h>

std::optional<std::uint64_t> availableBytes(const QString &path)
{
    struct statvfs status{};
    if (::statvfs(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return std::uint64_t(status.f_bavail) * std::uint64_t(status.f_frsize);
}

QString sizeText(std::uint64_t bytes)
{
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 1000 * 1000)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1e3, 0, 'f', 0);
    if (bytes < 1000ull * 1000 * 1000)
        return QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(double(bytes) / 1e9, 0, 'f', 1);
}
