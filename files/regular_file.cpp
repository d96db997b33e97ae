#include "files/regular_file.h"

#include <QFile>

#include <sys/stat.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace {

struct Problem
{
    std::string kind;        // "a named pipe", ...: something is there, but no file
    std::string systemError; // the path cannot be looked at
};

Problem problemOf(const QString &path)
{
    struct stat status{};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        const int error = errno;
        // Missing: the caller's message for a missing file stays as it was.
        return error == ENOENT ? Problem{} : Problem{{}, std::generic_category().message(error)};
    }
    const mode_t mode = status.st_mode;
    if (S_ISREG(mode) || S_ISDIR(mode))
        return {};
    if (S_ISFIFO(mode))
        return {"a named pipe", {}};
    if (S_ISSOCK(mode))
        return {"a socket", {}};
    if (S_ISCHR(mode))
        return {"a character device", {}};
    if (S_ISBLK(mode))
        return {"a block device", {}};
    return {"no regular file", {}};
}

} // namespace

void checkRegularFile(const QString &path, const char *meant)
{
    const Problem problem = problemOf(path);
    if (!problem.kind.empty())
        throw std::runtime_error(path.toStdString() + " is " + problem.kind + ", not a " + meant);
    if (!problem.systemError.empty())
        throw std::runtime_error(path.toStdString() + ": " + problem.systemError);
}

void checkRegularFile(const std::string &path, const char *meant)
{
    checkRegularFile(QString::fromUtf8(path.data(), int(path.size())), meant);
}

std::string regularFileProblem(const QString &path, const char *meant)
{
    const Problem problem = problemOf(path);
    if (!problem.kind.empty())
        return "it is " + problem.kind + ", not a " + meant;
    return problem.systemError;
}
