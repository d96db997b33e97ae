#include "app/result_filter_menu.h"

#include "app/threshold_dialog.h"
#include "description/picture_fit.h"
#include "workbench/workbench.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace {

QString fitText(PictureFit fit)
{
    switch (fit) {
    case PictureFit::CentreCrop:
        return QObject::tr("Centre Crop");
    case PictureFit::Stretch:
        return QObject::tr("Stretch");
    case PictureFit::Letterbox:
        return QObject::tr("Letterbox");
    }
    return QString();
}

} // namespace

ResultFilterMenu::ResultFilterMenu(Workbench &workbench, QWidget *parentWindow, QMenu *viewMenu)
    : QObject(parentWindow), core(workbench), window(parentWindow)
{
    resizeMenu = viewMenu->addMenu(tr("&Resize"));
    fits = new QActionGroup(this);
    describedFit = resizeMenu->addAction(tr("As the Description Says"), this, [this] { chooseFit(std::nullopt); });
    describedFit->setCheckable(true);
    describedFit->setChecked(true);
    fits->addAction(describedFit);
    resizeMenu->addSeparator();
    for (PictureFit fit : {PictureFit::CentreCrop, PictureFit::Stretch, PictureFit::Letterbox}) {
        QAction *action = resizeMenu->addAction(fitText(fit), this, [this, fit] { chooseFit(fit); });
        action->setCheckable(true);
        action->setData(int(fit));
        fits->addAction(action);
    }
    thresholdsAct = viewMenu->addAction(tr("&Thresholds..."), this, [this] { showThresholds(); });
    classesMenu = viewMenu->addMenu(tr("Cla&sses"));

    connect(&core, &Workbench::descriptionChanged, this, [this] { descriptionChanged(); });
    connect(&core, &Workbench::activityChanged, this, [this] { updateEnabled(); });
    descriptionChanged();
}

ThresholdDialog *ResultFilterMenu::thresholdDialog() const
{
    return dialog;
}

void ResultFilterMenu::descriptionChanged()
{
    // The thresholds and classes of another description do not carry over.
    if (!core.resultFilter().isNeutral())
        core.setResultFilter(ResultFilter());
    const bool open = core.hasDescription();
    const NnDescription &description = core.description();
    describedFit->setText(open ? tr("As the Description Says (%1)").arg(fitText(description.resize))
                               : tr("As the Description Says"));
    classesMenu->clear();
    std::vector<std::string> names = open ? description.labels : std::vector<std::string>();
    const bool segmentation = open && description.neural_network == NetworkKind::Unet;
    // A segmentation network's class 0 is the background, shown as it is.
    if (segmentation && names.empty() && !core.modelDims().outputs.empty())
        for (std::uint32_t k = 0; k < std::max<std::uint32_t>(core.modelDims().outputs[0].depth, 2); ++k)
            names.push_back(k == 0 ? "background" : "class " + std::to_string(k));
    QAction *all = classesMenu->addAction(tr("Show All"), this, [this] {
        ResultFilter filter = core.resultFilter();
        filter.hidden.clear();
        core.setResultFilter(filter);
        for (QAction *action : classesMenu->actions()) {
            const QSignalBlocker blocker(action);
            action->setChecked(true);
        }
    });
    all->setEnabled(!names.empty());
    classesMenu->addSeparator();
    for (std::size_t k = segmentation ? 1 : 0; k < names.size(); ++k) {
        QAction *action = classesMenu->addAction(QString::fromStdString(names[k]));
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, this, [this, k](bool shown) { setClassShown(int(k), shown); });
    }
    if (dialog)
        dialog->setThresholds(description.yolo_confidence_threshold, description.yolo_iou_threshold, std::nullopt,
                              std::nullopt);
    updateEnabled();
}

void ResultFilterMenu::updateEnabled()
{
    const bool open = core.hasDescription();
    const bool detector = open && isDetector(core.description().neural_network);
    resizeMenu->setEnabled(core.isIdle());
    thresholdsAct->setEnabled(detector);
    classesMenu->setEnabled(open);
    if (dialog && !detector)
        dialog->close();
}

void ResultFilterMenu::chooseFit(std::optional<PictureFit> fit)
{
    if (core.setPictureFit(fit))
        return;
    // Refused while busy: the mark goes back to the fit in use.
    const std::optional<PictureFit> chosen = core.pictureFitChosen();
    for (QAction *action : fits->actions())
        action->setChecked(action == describedFit ? !chosen : chosen && action->data().toInt() == int(*chosen));
}

void ResultFilterMenu::showThresholds()
{
    if (!dialog) {
        dialog = new ThresholdDialog(window, [this](std::optional<double> confidence, std::optional<double> iou) {
            ResultFilter filter = core.resultFilter();
            filter.confidence = confidence;
            filter.iou = iou;
            core.setResultFilter(filter);
        });
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    const ResultFilter filter = core.resultFilter();
    dialog->setThresholds(core.description().yolo_confidence_threshold, core.description().yolo_iou_threshold,
                          filter.confidence, filter.iou);
    dialog->show();
    dialog->raise();
}

void ResultFilterMenu::setClassShown(int classIndex, bool shown)
{
    ResultFilter filter = core.resultFilter();
    if (filter.hidden.size() <= std::size_t(classIndex))
        filter.hidden.resize(std::size_t(classIndex) + 1, false);
    filter.hidden[std::size_t(classIndex)] = !shown;
    core.setResultFilter(filter);
}
