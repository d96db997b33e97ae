// Pictures saved where the user asks (File > Save Result As): in the format
// the file's suffix names, through a temporary file that replaces an older
// file of that name only once the new one is complete, so that a full disk
// or a failed encoder never leaves the old file destroyed or a broken one.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// The suffixes of the formats pictures are saved in here, lower case, sorted:
// "bmp", "jpeg", "jpg", "png", "tif", "tiff", ... (TIFF and others through the
// system's image format plugins).
QStringList savedPictureSuffixes();

// The file a picture chosen as name is saved to: name itself, or name with
// ".png" added when it has no suffix.
QString pictureSavePath(const QString &name);

// Writes image to path in the format its suffix names (JPEG at quality 95).
// Throws std::runtime_error naming the file and the cause ("Cannot save the
// result to /p/r.png: No space left on device"), or for a suffix that names no
// format saved here, the suffixes that do; the file that was there before
// stays as it was.
void savePicture(const QImage &image, const QString &path);
