// vrax-eval: scores a results file in the reference format against a COCO
// annotation file and prints (and writes) the figures.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

enum EvalExitStatus { EvalSuccess = 0, EvalFailed = 1, EvalUsageFault = 2 };

// Runs the command on its arguments (without the program name), writing
// the table to out and messages to err.
int runEvalCommand(const QStringList &arguments, std::FILE *out, std::FILE *err);

QString evalUsage();
