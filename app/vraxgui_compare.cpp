// View > Compare with Simulator: every frame the window shows is run again on
// the simulator, the CPU reference, and the statistics panel shows how far
// the board's answers are from it. Off at every start: it costs a second run
// of every frame.
#include "app/vraxgui.h"

#include "accel/result_check.h"
#include "app/statistics_dock.h"
#include "measuring/reference_run.h"

#include <QAction>
#include <QMenu>

void VRAXGUI::addCompareAction(QMenu *viewMenu)
{
    compareAct = viewMenu->addAction(tr("Compare with Simulator"));
    compareAct->setCheckable(true);
    connect(compareAct, &QAction::toggled, this, [this](bool on) {
        if (!on) {
            closeReference();
            return;
        }
        // The figures are in the panel: the user turning compare on wants to see them.
        if (!statisticsDock->isVisible()) {
            statisticsDock->setVisible(true);
            statisticsDock->refresh(true);
        }
        openReference();
    });
}

void VRAXGUI::openReference()
{
    closeReference();
    if (!compareAct->isChecked() || descriptionPath.isEmpty())
        return;
    const std::string path = descriptionPath.toUtf8().toStdString();
    try {
        std::unique_ptr<ReferenceRun> opened;
        runInBackground([&opened, &path] {
            opened = std::make_unique<ReferenceRun>(path, BoardChoice{BoardType::Simulator, 0, 0});
        });
        opened->setBoardReading(pictureReading());
        reference = std::move(opened);
        statisticsDock->setReference(reference.get());
    } catch (const std::exception &error) {
        compareAct->setChecked(false);
        showWarning(tr("Compare with Simulator"),
                    tr("Cannot open %1 on the simulator for the comparison: %2")
                        .arg(descriptionPath, QString::fromUtf8(callFailureText(error).c_str())));
    }
}

void VRAXGUI::closeReference()
{
    statisticsDock->setReference(nullptr);
    reference.reset();
}

void VRAXGUI::compareOnReference(const QImage &networkPicture, const std::vector<float> &tensor,
                                 const OutputBuffers &outputs, const FrameResult &result)
{
    if (!reference)
        return;
    try {
        runInBackground([&] { reference->compare(networkPicture, tensor, outputs, result); });
        statisticsDock->refresh(true);
    } catch (const std::exception &error) {
        compareAct->setChecked(false);
        showWarning(tr("Compare with Simulator"), tr("The simulator failed on the comparison: %1")
                                                      .arg(QString::fromUtf8(callFailureText(error).c_str())));
    }
}
