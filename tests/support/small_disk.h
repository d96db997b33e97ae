// A small file system of the test's own, for what happens when the disk is
// full: a tmpfs of the size asked, mounted on a temporary folder for the
// object's life. Mounting needs root; where it fails, skipReason() says why
// and the test skips.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <string>

class SmallDisk
{
public:
    explicit SmallDisk(std::uint64_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return isMounted; }
    // Empty when mounted.
    std::string skipReason() const { return reason; }
    QString path() const { return folder.path(); }
    QString filePath(const QString &name) const { return folder.filePath(name); }

    // Fills the disk with a file of its own until only about bytes are left.
    void fillLeaving(std::uint64_t bytes);

private:
    QTemporaryDir folder;
    bool isMounted = false;
    std::string reason;
};
