// The main window's picture area and what goes with it: the View and Edit
// menus, keeping a result, the remembered settings, recent descriptions, and
// files dropped on the window.
#include "app/vraxgui.h"

#include "app/classification_results.h"
#include "app/picture_view.h"
#include "app/remembered_settings.h"
#include "app/statistics_dock.h"
#include "app/status_line.h"
#include "app/replace_question.h"
#include "picture/picture_folder.h"
#include "picture/picture_saving.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QUrl>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int recentDescriptionCount = 8;

// Places the table window beside the main window where the screen has room,
// so that it hides none of the picture.
void placeBeside(QWidget *tool, const QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QRect frame = window->frameGeometry();
    const QSize size = tool->frameGeometry().size().expandedTo(tool->sizeHint());
    constexpr int gap = 8;
    int x = frame.right() + 1 + gap;
    if (x + size.width() > available.right() + 1)
        x = frame.left() - gap - size.width();
    if (x < available.left())
        x = available.right() + 1 - size.width(); // no room on either side: at the screen's edge
    tool->move(x, std::max(frame.top(), available.top()));
}

} // namespace

void VRAXGUI::createPictureArea()
{
    pictureView = new PictureView;
    pictureView->setVisible(false);
    setCentralWidget(pictureView);
    connect(pictureView, &PictureView::viewChanged, this, [this] {
        updateViewActions();
        saveViewSettings();
        core.setDisplayTarget(displayTarget());
    });

    statusLabel = new StatusFilesLabel;
    ratesLabel = new QLabel;
    ratesLabel->setObjectName(QStringLiteral("rates"));
    ratesLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ratesLabel->setTextFormat(Qt::PlainText);
    ratesLabel->setToolTip(QStringLiteral("<p>") + statusLineRatesDefinition().toHtmlEscaped() + QStringLiteral("</p>"));
    zoomLabel = new QLabel;
    zoomLabel->setObjectName(QStringLiteral("zoom"));
    zoomLabel->setToolTip(tr("The scale the picture is shown at: View > Fit to Window, Actual Size, Zoom In and "
                             "Zoom Out change it."));
    connect(pictureView, &PictureView::scaleChanged, this, [this] { updateViewActions(); });
    statusBar()->addWidget(statusLabel, 1);
    statusBar()->addPermanentWidget(zoomLabel, 0);
    statusBar()->addPermanentWidget(ratesLabel, 0); // the line ends with the rates
    setAcceptDrops(true);
}

void VRAXGUI::addResultActions(QMenu *fileMenu)
{
    saveResultAct = fileMenu->addAction(tr("&Save Result As..."), this, [this] { saveResultAs(); },
                                        QKeySequence(Qt::CTRL + Qt::Key_S));
    QMenu *editMenu = menuBar()->addMenu(tr("&Edit"));
    copyResultAct = editMenu->addAction(tr("&Copy"), this, [this] { copyResult(); },
                                        QKeySequence(Qt::CTRL + Qt::Key_C));
}

void VRAXGUI::addViewActions(QMenu *viewMenu)
{
    auto *sources = new QActionGroup(this);
    originalPictureAct = viewMenu->addAction(tr("&Original Picture"), this,
                                             [this] { pictureView->setSource(PictureView::Source::Original); },
                                             QKeySequence(Qt::CTRL + Qt::Key_2));
    networkInputAct = viewMenu->addAction(tr("&Network Input"), this,
                                          [this] { pictureView->setSource(PictureView::Source::Network); },
                                          QKeySequence(Qt::CTRL + Qt::Key_1));
    for (QAction *action : {originalPictureAct, networkInputAct}) {
        action->setCheckable(true);
        sources->addAction(action);
    }
    viewMenu->addSeparator();
    fitToWindowAct = viewMenu->addAction(tr("&Fit to Window"), this,
                                         [this](bool checked) {
                                             if (checked)
                                                 pictureView->setFitToWindow(true);
                                             else
                                                 pictureView->setZoom(pictureView->scale());
                                         });
    fitToWindowAct->setCheckable(true);
    actualSizeAct = viewMenu->addAction(tr("&Actual Size"), this, [this] { pictureView->setZoom(1.0); });
    actualSizeAct->setCheckable(true);
    zoomInAct = viewMenu->addAction(tr("Zoom &In"), this, [this] { pictureView->zoomIn(); });
    zoomInAct->setShortcuts({QKeySequence(Qt::CTRL + Qt::Key_Plus), QKeySequence(Qt::CTRL + Qt::Key_Equal)});
    zoomOutAct = viewMenu->addAction(tr("Zoom &Out"), this, [this] { pictureView->zoomOut(); },
                                     QKeySequence(Qt::CTRL + Qt::Key_Minus));
    updateViewActions();
}

void VRAXGUI::updateViewActions()
{
    const bool original = pictureView->source() == PictureView::Source::Original;
    originalPictureAct->setChecked(original);
    networkInputAct->setChecked(!original);
    fitToWindowAct->setChecked(pictureView->fitsToWindow());
    actualSizeAct->setChecked(!pictureView->fitsToWindow() && pictureView->scale() == 1.0);
    const bool shown = pictureView->hasFrame();
    saveResultAct->setEnabled(shown);
    copyResultAct->setEnabled(shown);
    zoomLabel->setText(shown ? tr("Zoom %1%").arg(qRound(pictureView->scale() * 100.0)) : QString());
}

DisplayTarget VRAXGUI::displayTarget() const
{
    return {pictureView->fittedArea(), pictureView->source() == PictureView::Source::Original};
}

void VRAXGUI::showResult(const PreparedPicture &prepared, const FrameResult &result)
{
    pictureView->setVisible(true);
    pictureView->showFrame(prepared, result);
    // Follows the area's size and the source chosen, from the next frame read.
    core.setDisplayTarget(displayTarget());
    if (classificationTable && !result.ranking.empty()) {
        if (!classificationTable->isVisible())
            placeBeside(classificationTable.get(), this);
        classificationTable->showRanking(result.ranking);
    }
    if (!saveResultAct->isEnabled())
        updateViewActions();
}

void VRAXGUI::saveResultAs()
{
    if (!pictureView->hasFrame())
        return;
    const QString folder = rememberedFolder(QStringLiteral("results"));
    const QString suggested = QFileInfo(core.input().currentPath()).completeBaseName() + QStringLiteral("_result.png");
    // The dialog would ask about the name typed only; the file written may
    // have ".png" added, so the question is asked below.
    const QString chosen = QFileDialog::getSaveFileName(
        this, tr("Save Result As"), folder.isEmpty() ? suggested : QDir(folder).filePath(suggested),
        tr("PNG picture (*.png);;JPEG picture (*.jpg *.jpeg);;BMP picture (*.bmp);;TIFF picture (*.tif *.tiff)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty())
        return;
    const QString fileName = pictureSavePath(chosen);
    if (!mayReplace(this, tr("Save Result As"), {fileName}))
        return;
    try {
        const QImage image = pictureView->resultImage();
        if (image.isNull())
            throw std::runtime_error("No result to save: run the network on a picture first");
        savePicture(image, fileName);
        rememberFolder(QStringLiteral("results"), fileName);
    } catch (const std::exception &error) {
        showFailure(tr("Save Result"), QString::fromUtf8(error.what()));
    }
}

void VRAXGUI::copyResult()
{
    const QImage image = pictureView->resultImage();
    if (!image.isNull())
        QGuiApplication::clipboard()->setImage(image);
}

void VRAXGUI::addRecentDescriptions(QMenu *fileMenu, QAction *before)
{
    recentMenu = new QMenu(tr("Open Rec&ent"), fileMenu);
    fileMenu->insertMenu(before, recentMenu);
    updateRecentMenu();
}

void VRAXGUI::updateRecentMenu()
{
    recentMenu->clear();
    for (int i = 0; i < recentDescriptions.size(); ++i) {
        const QString file = recentDescriptions.at(i);
        QAction *action = recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()),
                                                this, [this, file] { openRecentDescription(file); });
        action->setToolTip(QDir::toNativeSeparators(file));
        action->setStatusTip(QDir::toNativeSeparators(file));
    }
    recentMenu->setEnabled(!recentDescriptions.isEmpty() && core.isIdle());
}

void VRAXGUI::openRecentDescription(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile()) {
        recentDescriptions.removeAll(fileName);
        updateRecentMenu();
        if (settingsEnabled())
            QSettings().setValue(QStringLiteral("recent/descriptions"), recentDescriptions);
        showFailure(tr("Description Opening Error"),
                    tr("The description %1 no longer exists; it was removed from the recent files.")
                        .arg(QDir::toNativeSeparators(fileName)));
        return;
    }
    core.openDescription(fileName);
}

void VRAXGUI::rememberDescription(const QString &fileName)
{
    recentDescriptions.removeAll(fileName);
    recentDescriptions.prepend(fileName);
    while (recentDescriptions.size() > recentDescriptionCount)
        recentDescriptions.removeLast();
    updateRecentMenu();
    rememberFolder(QStringLiteral("descriptions"), fileName);
    if (settingsEnabled())
        QSettings().setValue(QStringLiteral("recent/descriptions"), recentDescriptions);
}

void VRAXGUI::rememberFolder(const QString &kind, const QString &file) const
{
    if (settingsEnabled())
        QSettings().setValue(QStringLiteral("folders/") + kind, QFileInfo(file).absolutePath());
}

QString VRAXGUI::rememberedFolder(const QString &kind) const
{
    return settingsEnabled() ? QSettings().value(QStringLiteral("folders/") + kind).toString() : QString();
}

void VRAXGUI::saveViewSettings() const
{
    if (!settingsEnabled())
        return;
    QSettings settings;
    settings.setValue(QStringLiteral("view/source"), pictureView->source() == PictureView::Source::Original
                                                         ? QStringLiteral("original")
                                                         : QStringLiteral("network"));
    settings.setValue(QStringLiteral("view/fit"), pictureView->fitsToWindow());
    if (!pictureView->fitsToWindow())
        settings.setValue(QStringLiteral("view/zoom"), pictureView->scale());
}

void VRAXGUI::restoreSettings()
{
    if (!settingsEnabled())
        return;
    QSettings settings;
    const QStringList recent = settings.value(QStringLiteral("recent/descriptions")).toStringList();
    recentDescriptions = recent.mid(0, recentDescriptionCount);
    updateRecentMenu();

    QString missing;
    if (const std::optional<BoardChoice> board = attachedRememberedBoard(missing))
        core.chooseBoard(*board);
    if (!missing.isEmpty())
        showStartNote(missing);

    // The view is restored without saving it back on the way.
    const QSignalBlocker blocker(pictureView);
    pictureView->setSource(settings.value(QStringLiteral("view/source")).toString() == QLatin1String("network")
                               ? PictureView::Source::Network
                               : PictureView::Source::Original);
    const double zoom = settings.value(QStringLiteral("view/zoom"), 1.0).toDouble();
    if (!settings.value(QStringLiteral("view/fit"), true).toBool())
        pictureView->setZoom(zoom > 0.0 ? zoom : 1.0);
    updateViewActions();
}

void VRAXGUI::dragEnterEvent(QDragEnterEvent *event)
{
    // Taken also while work goes on: the drop then says why it waits.
    if (!event->mimeData()->hasUrls())
        return;
    for (const QUrl &url : event->mimeData()->urls())
        if (!url.isLocalFile())
            return;
    event->acceptProposedAction();
}

void VRAXGUI::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    event->acceptProposedAction();
    // Opened once the drop has ended, so that the source application is not
    // kept waiting by a board that loads or by an error box.
    QMetaObject::invokeMethod(this, [this, paths] { openDroppedFiles(paths); }, Qt::QueuedConnection);
}

void VRAXGUI::openDroppedFiles(const QStringList &paths)
{
    // A drop while work goes on is not opened inside it.
    if (!core.isIdle())
        return showRefusal(core.busy().refusal(tr("Opening the dropped files")));
    QString descriptionFile;
    QStringList pictures;
    QStringList problems;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            try {
                pictures << picturesInFolder(path);
            } catch (const std::exception &error) {
                problems << QString::fromUtf8(error.what());
            }
        } else if (!info.exists()) {
            problems << tr("%1 does not exist.").arg(QDir::toNativeSeparators(path));
        } else if (info.suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0) {
            if (!descriptionFile.isEmpty())
                problems << tr("Only one description can be open: %1 was left aside.")
                                .arg(QDir::toNativeSeparators(path));
            else
                descriptionFile = path;
        } else {
            pictures << path;
        }
    }
    if (!descriptionFile.isEmpty())
        core.openDescription(descriptionFile, pictures);
    else if (!pictures.isEmpty() && !core.hasDescription())
        problems << tr("Pictures are opened for a description: open an NN description first.");
    else if (!pictures.isEmpty())
        core.openInputs(pictures); // a video or camera opens as one
    if (!problems.isEmpty())
        showFailure(tr("Open Dropped Files"), problems.join(QLatin1Char('\n')));
}

void VRAXGUI::addCompareAction(QMenu *viewMenu)
{
    // View > Compare with Simulator: every frame the window shows is run
    // again on the simulator, the CPU reference. Off at every start: it
    // costs a second run of every frame.
    compareAct = viewMenu->addAction(tr("Compare with Simulator"));
    compareAct->setCheckable(true);
    connect(compareAct, &QAction::triggered, this, [this](bool on) {
        // The figures are in the panel: the user turning compare on wants to see them.
        if (on && !statisticsDock->isVisible())
            statisticsDock->setVisible(true);
        if (!core.setComparing(on))
            compareAct->setChecked(!on);
        statisticsDock->refresh(true);
    });
    connect(&core, &Workbench::comparingChanged, this, [this](bool on) {
        compareAct->setChecked(on);
        statisticsDock->refresh(true);
    });
}
