// Writing a file to its end, or knowing why not. QFileDevice::write reports a
// write cut short by a full disk as a success of fewer bytes, and its error
// string then says "Unknown error"; writing the rest fails with the system's
// reason ("No space left on device").
#pragma once

#include <QByteArray>
#include <QFileDevice>

// Writes all of data; false when that fails, file.errorString() then telling
// why. Open the file Unbuffered: a buffered file fails only later, when the
// reason is lost.
bool writeWhole(QFileDevice &file, const QByteArray &data);
