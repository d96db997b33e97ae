#include "support/small_disk.h"

#include <QFile>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

SmallDisk::SmallDisk(std::uint64_t bytes)
{
    if (::geteuid() != 0) {
        reason = "a small file system is mounted only as root";
        return;
    }
    const std::string options = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.c_str())
        != 0) {
        reason = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        return;
    }
    isMounted = true;
}

SmallDisk::~SmallDisk()
{
    if (isMounted)
        ::umount2(QFile::encodeName(folder.path()).constData(), MNT_DETACH);
}

void SmallDisk::fillLeaving(std::uint64_t bytes)
{
    struct statvfs status{};
    if (::statvfs(QFile::encodeName(folder.path()).constData(), &status) != 0)
        return;
    const std::uint64_t available = std::uint64_t(status.f_bavail) * status.f_frsize;
    QFile filler(folder.filePath(QStringLiteral("filler")));
    if (available <= bytes || !filler.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const std::vector<char> block(1 << 16, 'x');
    for (std::uint64_t left = available - bytes; left > 0;) {
        const qint64 size = qint64(std::min<std::uint64_t>(left, block.size()));
        if (filler.write(block.data(), size) != size)
            return;
        left -= std::uint64_t(size);
    }
}
