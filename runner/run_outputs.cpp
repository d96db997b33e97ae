#include "runner/run_outputs.h"

#include "files/output_path.h"
#include "files/whole_write.h"
#include "outputs/frame_recorder.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <stdexcept>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void cannotWrite(const QString &path, const QString &reason)
{
    throw std::runtime_error(
        QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason).toStdString());
}

} // namespace

void checkRunOutputs(const RunnerOptions &options)
{
    struct Output
    {
        const char *option;
        QString path;
        const char *meant;
    };
    std::vector<Output> files;
    if (!options.jsonPath.isEmpty())
        files.push_back({"--json", options.jsonPath, "figures file"});
    if (!options.resultsPath.isEmpty())
        files.push_back({"--results", options.resultsPath, "results file"});
    if (!options.recordPath.isEmpty()) {
        files.push_back({"--record", options.recordPath, "video file"});
        files.push_back({"--record", FrameRecorder::recordsPathFor(options.recordPath), "results file"});
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        checkOutputFile(files[i].path, files[i].meant);
        for (std::size_t j = 0; j < i; ++j)
            if (QFileInfo(files[i].path).absoluteFilePath() == QFileInfo(files[j].path).absoluteFilePath())
                throw std::runtime_error(QStringLiteral("%1 and %2 would both write %3")
                                             .arg(QString::fromLatin1(files[j].option),
                                                  QString::fromLatin1(files[i].option),
                                                  QDir::toNativeSeparators(files[i].path))
                                             .toStdString());
    }
    if (!options.saveDir.isEmpty())
        checkOutputFolder(options.saveDir);
}

ResultLines::ResultLines(const QString &path) : file(path)
{
    checkOutputFile(path, "results file");
    // Unbuffered: a write that fails does so at once, with its reason.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        cannotWrite(path, file.errorString());
}

void ResultLines::write(const QByteArray &line)
{
    if (!writeWhole(file, line)) {
        const QString reason = file.errorString();
        // A cut line would be no JSON: the file ends after the last whole one.
        file.resize(whole);
        cannotWrite(file.fileName(), reason);
    }
    whole += line.size();
}

void writeFiguresFile(const QString &path, const QByteArray &json)
{
    checkOutputFile(path, "figures file");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeWhole(file, json) || !file.commit())
        cannotWrite(path, file.errorString());
}
