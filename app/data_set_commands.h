// File > Evaluate Data Set...: the command, its progress in the status line
// with a Cancel button (the window stays usable meanwhile), and the report
// window each evaluation opens.
#pragma once

#include "evaluation/data_set_report.h"
#include "workbench/data_set_scoring.h"
#include "workbench/evaluation_command.h"

#include <QObject>
#include <QPointer>

#include <memory>

class EvaluationReport;
class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QWidget;
class Workbench;

class DataSetCommands : public QObject
{
    Q_OBJECT

public:
    // Adds the entry to the menu before `before`, the progress to the window's status bar.
    DataSetCommands(Workbench &workbench, QMainWindow *window, QMenu *fileMenu, QAction *before);

    // Evaluates on the choice as the dialog does; false when refused.
    bool evaluate(const DataSetChoice &choice);
    void cancel();
    // The report window opened last, while it is open.
    EvaluationReport *report() const;

signals:
    void reportOpened(EvaluationReport *report);

private:
    void chooseAndEvaluate();
    void showProgress(quint64 done, quint64 total);
    void finished(std::shared_ptr<const DataSetReport> report);
    void updateState();

    Workbench &core;
    QMainWindow *window;
    QAction *action = nullptr;
    QWidget *progressBox = nullptr;
    QLabel *progressText = nullptr;
    QProgressBar *progressBar = nullptr;
    QPushButton *cancelButton = nullptr;
    DataSetChoice lastChoice;
    EvaluationSetting running;
    QPointer<EvaluationReport> lastReport;
};
