// The files vrax-run writes besides its table: checked all together before
// the board is opened, so that a run of minutes is not lost to an output
// that cannot be written; and written so that a full disk says so.
#pragma once

#include "runner/runner_options.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

// Throws std::runtime_error naming the first output (--json, --results,
// --save, --record and the JSON Lines file beside its video) that cannot be
// written, or two options that would write the same file. Nothing is
// created.
void checkRunOutputs(const RunnerOptions &options);

// The --results file: one whole line per frame, written as it comes.
class ResultLines
{
public:
    // Creates or empties the file; throws std::runtime_error naming it.
    explicit ResultLines(const QString &path);
    // Writes the line; on failure the file ends after the last whole line
    // and the error names the file and the system's reason ("No space left
    // on device"). Throws std::runtime_error.
    void write(const QByteArray &line);

private:
    QFile file;
    qint64 whole = 0; // bytes of whole lines
};

// Writes the --json figures through a temporary file that replaces an older
// file only once complete. Throws std::runtime_error naming the file and the
// system's reason.
void writeFiguresFile(const QString &path, const QByteArray &json);
