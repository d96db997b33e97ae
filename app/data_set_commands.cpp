#include "app/data_set_commands.h"

#include "app/evaluation_dialog.h"
#include "app/evaluation_report.h"
#include "app/remembered_settings.h"
#include "workbench/workbench.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>

DataSetCommands::DataSetCommands(Workbench &workbench, QMainWindow *parentWindow, QMenu *fileMenu, QAction *before)
    : QObject(parentWindow), core(workbench), window(parentWindow)
{
    action = new QAction(tr("&Evaluate Data Set..."), this);
    action->setStatusTip(tr("Run every picture of a labelled data set once and report the accuracy"));
    connect(action, &QAction::triggered, this, [this] { chooseAndEvaluate(); });
    fileMenu->insertAction(before, action);

    progressBox = new QWidget;
    progressBox->setObjectName(QStringLiteral("evaluation_progress"));
    auto *row = new QHBoxLayout(progressBox);
    row->setContentsMargins(0, 0, 0, 0);
    progressText = new QLabel;
    progressBar = new QProgressBar;
    progressBar->setMaximumWidth(200);
    cancelButton = new QPushButton(tr("Cancel"));
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
    row->addWidget(progressText);
    row->addWidget(progressBar);
    row->addWidget(cancelButton);
    progressBox->setVisible(false);
    window->statusBar()->addPermanentWidget(progressBox);

    if (settingsEnabled())
        lastChoice.path = QSettings().value(QStringLiteral("evaluation/data_set")).toString();
    connect(&core, &Workbench::evaluationProgress, this, &DataSetCommands::showProgress);
    connect(&core, &Workbench::evaluationFinished, this, &DataSetCommands::finished);
    connect(&core, &Workbench::activityChanged, this, [this] { updateState(); });
    connect(&core, &Workbench::descriptionChanged, this, [this] { updateState(); });
    updateState();
}

EvaluationReport *DataSetCommands::report() const
{
    return lastReport;
}

void DataSetCommands::updateState()
{
    const bool evaluating = core.busy().activity() == Activity::Evaluating;
    action->setEnabled(core.isIdle() && core.hasDescription());
    progressBox->setVisible(evaluating);
    if (evaluating)
        cancelButton->setEnabled(true);
}

void DataSetCommands::chooseAndEvaluate()
{
    if (!core.isIdle())
        return window->statusBar()->showMessage(core.busy().refusal(tr("Evaluate Data Set")), 5000);
    EvaluationDialog dialog(core.hasDescription() && isDetector(core.description().neural_network), window);
    dialog.setChoice(lastChoice);
    if (dialog.exec() != QDialog::Accepted)
        return;
    evaluate(dialog.choice());
}

bool DataSetCommands::evaluate(const DataSetChoice &choice)
{
    lastChoice = choice;
    if (settingsEnabled())
        QSettings().setValue(QStringLiteral("evaluation/data_set"), choice.path);
    running = EvaluationSetting();
    running.description = core.descriptionPath();
    running.board = core.board();
    running.comparing = core.isComparing() && core.reference();
    running.choice = choice;
    running.fit = core.pictureFitChosen();
    progressText->setText(tr("Reading %1").arg(choice.path));
    progressBar->setRange(0, 0);
    return core.evaluateDataSet(choice);
}

void DataSetCommands::cancel()
{
    cancelButton->setEnabled(false);
    progressText->setText(tr("Cancelling"));
    core.cancelEvaluation();
    window->statusBar()->showMessage(tr("Evaluation cancelled."), 5000);
}

void DataSetCommands::showProgress(quint64 done, quint64 total)
{
    if (core.busy().activity() != Activity::Evaluating)
        return;
    if (total == 0) {
        progressBar->setRange(0, 0);
        return;
    }
    if (progressBar->maximum() != int(total))
        progressBar->setRange(0, int(total));
    progressBar->setValue(int(done));
    if (cancelButton->isEnabled())
        progressText->setText(tr("Evaluating: %1 of %2 pictures").arg(done).arg(total));
}

void DataSetCommands::finished(std::shared_ptr<const DataSetReport> report)
{
    const auto [name, value] = headlineFigure(report->accuracy);
    window->statusBar()->showMessage(tr("Evaluated %1 pictures: %2 %3.")
                                         .arg(report->pictures)
                                         .arg(QString::fromStdString(name))
                                         .arg(value, 0, 'f', 3),
                                     15000);
    auto *shown = new EvaluationReport(std::move(report), running, window);
    shown->show();
    lastReport = shown;
    emit reportOpened(shown);
}
