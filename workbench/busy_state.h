// What the workbench is doing: the one state that decides every command.
// While it is not idle, a command that would change what the work uses is
// refused with a reason the window shows in its status line; stopping and
// closing are always taken.
#pragma once

#include <QObject>
#include <QString>

enum class Activity {
    Idle,
    OpeningDescription, // reading it, compiling and loading its model
    OpeningReference,   // the same on the simulator, for the comparison
    OpeningInput,       // pictures, a video or a camera
    RunningFrame,       // Run: one frame through the pipeline
    RunningAuto,        // Run Auto
    Stopping,           // Run Auto asked to end; the frames on the boards come back
    Evaluating,         // Evaluate Data Set: every picture of a data set once, scored
};

// "opening the description", "running Run Auto"...
QString activityText(Activity activity);

class BusyState : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    Activity activity() const { return current; }
    bool isIdle() const { return current == Activity::Idle; }

    // Moves to activity (emitting changed() when it differs).
    void set(Activity activity);

    // Null when idle; otherwise why `command` cannot start now, e.g.
    // "Busy opening the description: Open Picture was not started." The
    // command names what the user asked for.
    QString refusal(const QString &command) const;

signals:
    void changed(Activity activity);

private:
    Activity current = Activity::Idle;
};
