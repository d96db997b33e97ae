// The View menu's choices of what the network is fed and what of its
// results is shown: Resize (as the description says, centre crop, stretch,
// letterbox), Thresholds... (a detector's confidence and IoU) and Classes
// (each label shown or hidden). They apply live to what the window draws,
// records and saves. The fit chosen stays for the next description; the
// thresholds and classes start again from each description's own.
#pragma once

#include "description/nn_description.h"

#include <QObject>
#include <QPointer>

#include <optional>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;
class ThresholdDialog;
class Workbench;

class ResultFilterMenu : public QObject
{
    Q_OBJECT

public:
    ResultFilterMenu(Workbench &workbench, QWidget *window, QMenu *viewMenu);

    ThresholdDialog *thresholdDialog() const;

private:
    void descriptionChanged();
    void chooseFit(std::optional<PictureFit> fit);
    void showThresholds();
    void setClassShown(int classIndex, bool shown);
    void updateEnabled();

    Workbench &core;
    QWidget *window;
    QMenu *resizeMenu = nullptr;
    QActionGroup *fits = nullptr;
    QAction *describedFit = nullptr;
    QAction *thresholdsAct = nullptr;
    QMenu *classesMenu = nullptr;
    QPointer<ThresholdDialog> dialog;
};
