// `vraxgui --check`: the workbench without a window. Opens the description
// and the inputs, runs the network once on each picture (or once on a video
// or camera), prints the status line after each run and ends; errors go to
// standard error instead of message boxes. Each step starts when the
// workbench reports the one before done.
#pragma once

#include "workbench/workbench.h"

#include <QObject>
#include <QString>
#include <QStringList>

class CheckRun : public QObject
{
public:
    CheckRun(Workbench &workbench, QString description, QStringList inputs);

    // Starts; done(exitStatus) follows once everything ran or an error
    // ended it: 0 when everything opened and ran, 1 after an error.
    void start(std::function<void(int exitStatus)> done);

private:
    void nextStep();
    void printStatus() const;
    void finish();

    Workbench &workbench;
    const QString description;
    const QStringList inputs;
    std::function<void(int)> whenDone;
    int errors = 0;
    int runsLeft = -1; // not yet opened
    bool finished = false;
};
