// The pictures a folder holds, for opening a folder as a list of pictures.
#pragma once

#include <QString>
#include <QStringList>

// The suffixes of the picture formats the toolkit reads here, lower case.
QStringList pictureSuffixes();

// Absolute paths of the pictures directly inside the folder (no subfolders),
// in natural order: "frame2.png" before "frame10.png", case ignored. Throws
// std::runtime_error naming the folder when it cannot be read or holds no
// pictures.
QStringList picturesInFolder(const QString &folder);
