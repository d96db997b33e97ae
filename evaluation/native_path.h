// A path as messages show it: with the system's own separators.
#pragma once

#include <QDir>
#include <QString>

#include <string>

inline std::string nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdString();
}
