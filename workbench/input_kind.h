// What a path given as input is: a picture, a folder of pictures, a video
// file or a camera device. Decided by what is there and by the file suffix,
// without reading the file.
#pragma once

#include <QString>
#include <QStringList>

enum class InputKind { Picture, Folder, Video, Camera };

InputKind inputKind(const QString &path);

// The suffixes taken as video files, lower case ("mp4", "avi", ...).
QStringList videoSuffixes();
