// Places a program is about to write to, checked before any long work
// starts: an output that cannot be written should fail at once, not after
// a measured run of minutes, and with the system's reason.
#pragma once

#include <QString>

// Throws std::runtime_error "Cannot write PATH: REASON" when a file cannot
// be written at path: it is a folder, a pipe or a device ("it is a named
// pipe, not a results file"), its folder is missing ("No such file or
// directory"), or the file or its folder is not writable ("Permission
// denied", "Read-only file system"). Nothing is created. meant: "results
// file", "video file", ...
void checkOutputFile(const QString &path, const char *meant);

// The same for a folder files will be written into: it may be missing when
// the nearest folder above it that exists is writable (it will be made).
void checkOutputFolder(const QString &path);
