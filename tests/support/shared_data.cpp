#include "support/shared_data.h"

#include <QDir>
#include <QFileInfo>

namespace {

std::string existingDir(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() ? info.canonicalFilePath().toStdString() : std::string();
}

QString sharedRoot()
{
    const QByteArray fromEnvironment = qgetenv("VRAX_SHARED_DIR");
    if (!fromEnvironment.isEmpty())
        return QString::fromLocal8Bit(fromEnvironment);
    return QStringLiteral(VRAX_SOURCE_DIR "/../shared");
}

} // namespace

std::string sourceDir()
{
    return VRAX_SOURCE_DIR;
}

std::string sharedModelsDir()
{
    return existingDir(sharedRoot() + QStringLiteral("/models"));
}

std::string sharedPicturesDir()
{
    return existingDir(sharedRoot() + QStringLiteral("/pictures"));
}

std::string sharedDataMissingReason()
{
    return "the real models folder " + QDir::cleanPath(sharedRoot()).toStdString()
           + "/models is missing (set VRAX_SHARED_DIR to use another place)";
}
