#include "workbench/busy_state.h"

#include <QCoreApplication>

QString activityText(Activity activity)
{
    switch (activity) {
    case Activity::Idle:
        return QCoreApplication::translate("Workbench", "idle");
    case Activity::OpeningDescription:
        return QCoreApplication::translate("Workbench", "opening the description");
    case Activity::OpeningReference:
        return QCoreApplication::translate("Workbench", "opening the description on the simulator");
    case Activity::OpeningInput:
        return QCoreApplication::translate("Workbench", "opening the input");
    case Activity::RunningFrame:
        return QCoreApplication::translate("Workbench", "running a frame");
    case Activity::RunningAuto:
        return QCoreApplication::translate("Workbench", "running Run Auto");
    case Activity::Stopping:
        return QCoreApplication::translate("Workbench", "stopping Run Auto");
    case Activity::Evaluating:
        return QCoreApplication::translate("Workbench", "evaluating a data set");
    }
    return QString();
}

void BusyState::set(Activity activity)
{
    if (activity == current)
        return;
    current = activity;
    emit changed(current);
}

QString BusyState::refusal(const QString &command) const
{
    if (isIdle())
        return QString();
    return QCoreApplication::translate("Workbench", "Busy %1: %2 was not started.").arg(activityText(current), command);
}
