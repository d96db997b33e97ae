// vrax-run as its tests start it, and its output files read back.
#pragma once

#include "support/command_run.h"
#include "support/shared_data.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

// vrax-run as a user runs it: ENTRY=value words first, then the program.
inline CommandRun runVraxRun(const QStringList &arguments, const QStringList &environment = {})
{
    QString quoted;
    for (const QString &argument : arguments)
        quoted += QStringLiteral(" '%1'").arg(argument);
    return runCommand((environment.join(' ') + QStringLiteral(" " VRAX_RUN_PATH)).toStdString(), quoted.toStdString());
}

inline QJsonObject readJson(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The lines of a JSON Lines file; a line that is no JSON object gives an
// empty one, failing the checks.
inline std::vector<QJsonObject> readLines(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<QJsonObject> lines;
    while (!file.atEnd())
        lines.push_back(QJsonDocument::fromJson(file.readLine()).object());
    return lines;
}

inline QString example(const QString &file)
{
    return QString::fromStdString(sourceDir()) + QStringLiteral("/examples/") + file;
}
