#include "files/output_path.h"

#include "files/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace {

[[noreturn]] void cannotWrite(const QString &path, const std::string &reason)
{
    throw std::runtime_error("Cannot write " + QDir::toNativeSeparators(path).toStdString() + ": " + reason);
}

std::string systemError(int error)
{
    return std::generic_category().message(error);
}

// Empty when a file may be made or replaced in folder, else why not.
std::string folderProblem(const QString &folder)
{
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return systemError(errno);
    return std::string();
}

} // namespace

void checkOutputFile(const QString &path, const char *meant)
{
    const QFileInfo info(path);
    if (info.isDir())
        cannotWrite(path, std::string("it is a folder, not a ") + meant);
    if (const std::string problem = regularFileProblem(path, meant); !problem.empty())
        cannotWrite(path, problem);
    const QByteArray name = QFile::encodeName(path);
    struct stat status{};
    if (::stat(name.constData(), &status) == 0) {
        if (::access(name.constData(), W_OK) != 0)
            cannotWrite(path, systemError(errno));
        return;
    }
    if (const std::string problem = folderProblem(info.absolutePath()); !problem.empty())
        cannotWrite(path, problem);
}

void checkOutputFolder(const QString &path)
{
    QString folder = QFileInfo(path).absoluteFilePath();
    struct stat status{};
    // The nearest part of the path that exists must be a folder to write in.
    while (::stat(QFile::encodeName(folder).constData(), &status) != 0) {
        const int error = errno;
        if (error != ENOENT)
            cannotWrite(path, systemError(error));
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    if (!S_ISDIR(status.st_mode))
        cannotWrite(path, folder == QFileInfo(path).absoluteFilePath()
                              ? systemError(ENOTDIR)
                              : QDir::toNativeSeparators(folder).toStdString() + ": " + systemError(ENOTDIR));
    if (const std::string problem = folderProblem(folder); !problem.empty())
        cannotWrite(path, problem);
}
