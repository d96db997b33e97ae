#include "runner/input_list.h"

#include "picture/picture_folder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <stdexcept>


QStringList expandInputs(const QStringList &inputs)
{
    QStringList files;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (!info.exists())
            throw std::runtime_error("No such file or folder: " + input.toStdString());
        if (info.isDir()) {
            files << picturesInFolder(input);
        } else {
            files << info.absoluteFilePath();
        }
    }
    return files;
}
