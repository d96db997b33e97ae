#include "app/check_run.h"

#include "app/status_line.h"

#include <QFileInfo>

#include <cstdio>

CheckRun::CheckRun(Workbench &workbench, QString description, QStringList inputs)
    : workbench(workbench), description(std::move(description)), inputs(std::move(inputs))
{
    connect(&workbench, &Workbench::failed, this, [this](const QString &title, const QString &text) {
        ++errors;
        std::fprintf(stderr, "vraxgui: %s: %s\n", qPrintable(title), qPrintable(text));
    });
    connect(&workbench, &Workbench::refused, this, [this](const QString &reason) {
        ++errors;
        std::fprintf(stderr, "vraxgui: %s\n", qPrintable(reason));
    });
    // Without a window, the frames are taken as they come: no drawing.
    connect(&workbench, &Workbench::frameArrived, this, [this] {
        if (FramePtr frame = this->workbench.takeFrame()) {
            frame->times.drawStart = frame->times.shown = steadyNanoseconds();
            this->workbench.frameShown(frame);
        }
    });
    connect(&workbench, &Workbench::activityChanged, this, [this](Activity activity) {
        if (activity != Activity::Idle)
            return;
        // A failure is reported just after the workbench goes idle: the next
        // step is taken once it has been.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (this->workbench.isIdle())
                    nextStep();
            },
            Qt::QueuedConnection);
    });
}

void CheckRun::start(std::function<void(int)> done)
{
    whenDone = std::move(done);
    if (!workbench.openDescription(QFileInfo(description).absoluteFilePath(), inputs))
        finish();
}

void CheckRun::nextStep()
{
    if (finished)
        return;
    if (runsLeft < 0) {
        // Opened: one run per picture (a video or camera counts as one).
        if (errors > 0)
            return finish();
        runsLeft = int(workbench.input().pictures().size());
        if (runsLeft == 0) {
            printStatus();
            return finish();
        }
    } else {
        printStatus();
        if (errors > 0 || --runsLeft == 0)
            return finish();
    }
    if (!workbench.run())
        finish();
}

void CheckRun::printStatus() const
{
    StatusLineState state;
    state.boardType = workbench.board().boardType;
    state.boardIndex = workbench.board().boardIndex;
    state.everyBoardOfType = workbench.board().parallelCount > 0;
    state.descriptionPath = workbench.descriptionPath();
    state.pictureList = workbench.input().pictures();
    state.picturePath = workbench.input().currentPath();
    state.frameTime = workbench.frameTime();
    state.boardFps = workbench.boardFps();
    std::printf("%s\n", qPrintable(statusLineText(state)));
    std::fflush(stdout);
}

void CheckRun::finish()
{
    if (finished)
        return;
    finished = true;
    if (whenDone)
        whenDone(errors == 0 ? 0 : 1);
}
