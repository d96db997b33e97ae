// Room left on the file system that holds a path, for writers that must stop
// before the disk is full rather than leave a damaged file.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Bytes an unprivileged writer may still use on the file system of path (a
// file or a folder); nothing when it cannot be asked.
std::optional<std::uint64_t> availableBytes(const QString &path);

// "12.3 MB", "512 KB", "3 bytes": a size for messages.
QString sizeText(std::uint64_t bytes);
