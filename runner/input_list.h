// The inputs of vrax-run as a list of pictures.
#pragma once

#include <QStringList>

// Absolute paths: a file stays as it is, a folder gives its pictures (no
// subfolders) in natural order ("frame2.png" before "frame10.png"). Throws
// std::runtime_error naming the input when it does not exist, or a folder
// that holds no pictures.
QStringList expandInputs(const QStringList &inputs);
