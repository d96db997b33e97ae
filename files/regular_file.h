// What a path names, told before anything opens it: opening a named pipe
// waits for a writer without end, a device reads without end or acts on the
// hardware, and a socket cannot be read at all. Every file the application
// reads or writes by name passes here first.
#pragma once

#include <QString>

#include <string>

// Throws std::runtime_error when path exists and is neither a regular file
// nor a folder (links followed), naming it and what it was meant to be:
//   "/tmp/p.png is a named pipe, not a picture file"
// and when the path cannot be looked at, with the system's reason:
//   "/tmp/loop.png: Too many levels of symbolic links"
// A path that does not exist, and a folder, pass: the caller's own opening
// says so in its words. meant: "picture file", "video file", ...
void checkRegularFile(const QString &path, const char *meant);
void checkRegularFile(const std::string &path, const char *meant); // UTF-8

// The same problem for a message that names the file itself: "it is a named
// pipe, not a video file", "Too many levels of symbolic links"; empty when
// checkRegularFile would pass.
std::string regularFileProblem(const QString &path, const char *meant);
