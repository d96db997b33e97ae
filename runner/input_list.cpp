#include "runner/input_list.h"

#include "files/regular_file.h"
#include "picture/picture_folder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <stdexcept>


QStringList expandInputs(const QStringList &inputs)
{
    QStringList files;
    for (const QString &input : inputs) {
        // Before the board is opened: a pipe or device is refused by name, a
        // path that cannot be looked at says why.
        checkRegularFile(input, "picture file");
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
