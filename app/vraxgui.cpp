#include "app/vraxgui.h"

#include "accel/result_check.h"
#include "app/camera_dialog.h"
#include "app/classification_results.h"
#include "app/data_set_commands.h"
#include "app/frame_label.h"
#include "app/frame_pacer.h"
#include "app/open_board_dialog.h"
#include "app/picture_view.h"
#include "app/remembered_settings.h"
#include "app/result_filter_menu.h"
#include "app/layers_dock.h"
#include "app/replace_question.h"
#include "app/statistics_dock.h"
#include "app/status_line.h"
#include "workbench/input_kind.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

// Delay after which the busy indicator appears, in milliseconds.
constexpr int busyIndicatorDelayMs = 251;

// The example networks: installed in share/vraxgui/examples beside the
// binary's folder; the build links the source tree's examples there.
QString exampleFolder()
{
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/vraxgui/examples"));
    return folder.exists() ? folder.canonicalPath() : QString();
}

} // namespace

VRAXGUI::VRAXGUI()
{
    progressBar = new QProgressBar;
    createPictureArea();
    progressBar->setRange(0, 0);
    progressBar->setTextVisible(false);
    progressBar->setVisible(false);
    statusBar()->addPermanentWidget(progressBar, 0);
    busyDelay = new QTimer(this);
    busyDelay->setSingleShot(true);
    busyDelay->setTimerType(Qt::PreciseTimer);
    connect(busyDelay, &QTimer::timeout, progressBar, [this] { progressBar->setVisible(true); });

    createFileMenu();
    createViewMenu();
    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(tr("About"), this, [this] { showAbout(); });

    core.setPictureCacheBudget(pictureCacheBudget());
    core.setPixelLimit(picturePixelLimit());

    pacer = new FramePacer(this, [this] { showArrivedFrame(); });
    connect(&core, &Workbench::activityChanged, this, &VRAXGUI::activityChanged);
    connect(&core, &Workbench::refused, this, &VRAXGUI::showRefusal);
    connect(&core, &Workbench::failed, this, &VRAXGUI::showFailure);
    connect(&core, &Workbench::boardChanged, this, [this] {
        dropStartNote();
        updateStatus();
    });
    connect(&core, &Workbench::descriptionChanged, this, &VRAXGUI::descriptionChanged);
    connect(&core, &Workbench::inputChanged, this, &VRAXGUI::showInput);
    connect(&core, &Workbench::frameArrived, this, [this] {
        if (core.busy().activity() == Activity::RunningFrame)
            showArrivedFrame();
        else
            pacer->frameArrived(showEveryFrameAct->isChecked());
    });
    // The last frame in is the one left on screen.
    connect(&core, &Workbench::runFinished, this, [this] {
        pacer->stop();
        showArrivedFrame();
        statisticsDock->refresh(true);
    });
    connect(&core, &Workbench::recordingChanged, this, &VRAXGUI::recordingChanged);
    // View > Thresholds and Classes: the frame shown is drawn again as filtered.
    connect(&core, &Workbench::resultFilterChanged, this, [this] {
        if (const FramePtr &frame = core.lastFrame())
            showResult(frame->picture, core.filteredResult());
    });

    resize(QGuiApplication::primaryScreen()->availableSize() * 3 / 5);
    restoreSettings();
    updateStatus();
}

VRAXGUI::~VRAXGUI()
{
    core.shutdown();
}

void VRAXGUI::createFileMenu()
{
    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    openBoardAct = fileMenu->addAction(tr("Open &Board..."), this, [this] { openBoard(); },
                                       QKeySequence(Qt::CTRL + Qt::Key_B));
    openBoardAct->setCheckable(true);
    openDescriptionAct = fileMenu->addAction(tr("Open &Description..."), this, [this] { openDescription(); },
                                             QKeySequence(Qt::CTRL + Qt::Key_D));
    openDescriptionAct->setCheckable(true);
    openPictureAct = fileMenu->addAction(tr("Open &Picture..."), this, [this] { openPicture(); },
                                         QKeySequence(Qt::CTRL + Qt::Key_P));
    openPictureAct->setCheckable(true);
    openPictureFolderAct = fileMenu->addAction(tr("Open Picture &Folder..."), this, [this] { openPictureFolder(); });
    openVideoAct = fileMenu->addAction(tr("Open &Video..."), this, [this] { openVideo(); });
    openCameraAct = fileMenu->addAction(tr("Open &Camera..."), this, [this] { openCamera(); });
    fileMenu->addSeparator();
    runAct = fileMenu->addAction(tr("&Run"), this, [this] { core.run(); }, QKeySequence(Qt::CTRL + Qt::Key_R));
    runAutoAct = fileMenu->addAction(tr("Run &Auto (space to abort)"), this, [this] { core.runAuto(); },
                                     QKeySequence(Qt::CTRL + Qt::Key_A));
    recordAct = fileMenu->addAction(tr("Rec&ord..."));
    recordAct->setCheckable(true);
    connect(recordAct, &QAction::triggered, this, [this](bool on) { toggleRecording(on); });
    new DataSetCommands(core, this, fileMenu, nullptr);
    fileMenu->addSeparator();
    addResultActions(fileMenu);
    fileMenu->addSeparator();
    exitAct = fileMenu->addAction(tr("E&xit"), this, [this] { close(); }, QKeySequence(Qt::CTRL + Qt::Key_X));
    // Also on the window itself: the shortcut works whatever the menus show.
    addAction(exitAct);
    addRecentDescriptions(fileMenu, openPictureAct);
}

void VRAXGUI::createViewMenu()
{
    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    showEveryFrameAct = viewMenu->addAction(tr("Show Every Frame"));
    showEveryFrameAct->setCheckable(true);
    connect(showEveryFrameAct, &QAction::toggled, this, [this](bool on) { core.setShowEveryFrame(on); });
    // Run Auto keeps every unit busy; one frame at a time gives each frame's
    // least latency instead. Remembered.
    oneFrameAtATimeAct = viewMenu->addAction(tr("One Frame at a Time"));
    oneFrameAtATimeAct->setCheckable(true);
    oneFrameAtATimeAct->setChecked(rememberedOneFrameAtATime());
    core.setFramesInFlight(oneFrameAtATimeAct->isChecked() ? 1 : 0);
    connect(oneFrameAtATimeAct, &QAction::toggled, this, [this](bool on) {
        core.setFramesInFlight(on ? 1 : 0);
        rememberOneFrameAtATime(on);
    });
    loopAct = viewMenu->addAction(tr("&Loop"));
    loopAct->setCheckable(true);
    loopAct->setChecked(true);
    connect(loopAct, &QAction::toggled, this, [this](bool on) { core.setLooping(on); });

    statisticsDock = new StatisticsDock(core, this);
    addDockWidget(Qt::RightDockWidgetArea, statisticsDock);
    statisticsDock->setVisible(QSettings().value(QStringLiteral("view/statistics"), false).toBool());
    QAction *statisticsAct = statisticsDock->toggleViewAction();
    statisticsAct->setText(tr("Statistics"));
    // Remembered when the user chooses, not when the dock goes with the window.
    connect(statisticsAct, &QAction::triggered, this, [this](bool on) {
        QSettings().setValue(QStringLiteral("view/statistics"), on);
        statisticsDock->refresh(true);
    });
    viewMenu->addAction(statisticsAct);
    connect(&core, &Workbench::statisticsChanged, statisticsDock, [this] { statisticsDock->refresh(); });
    layersDock = new LayersDock(core, this);
    addDockWidget(Qt::BottomDockWidgetArea, layersDock);
    layersDock->setVisible(QSettings().value(QStringLiteral("view/layers"), false).toBool());
    QAction *layersAct = layersDock->toggleViewAction();
    layersAct->setText(tr("Layers"));
    connect(layersAct, &QAction::triggered, this, [](bool on) { QSettings().setValue(QStringLiteral("view/layers"), on); });
    viewMenu->addAction(layersAct);
    addCompareAction(viewMenu);
    new ResultFilterMenu(core, this, viewMenu);
    viewMenu->addSeparator();
    addViewActions(viewMenu);
}

void VRAXGUI::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape)
        core.stop();
    if (event->key() == Qt::Key_F11) {
        if (windowState() & Qt::WindowFullScreen)
            showNormal();
        else
            showFullScreen();
    }
    event->accept();
}

void VRAXGUI::closeEvent(QCloseEvent *event)
{
    classificationTable.reset();
    // Stops Run Auto, waits for the units and the worker; the recording's
    // files are closed complete, whatever ends the window.
    core.shutdown();
    event->accept();
}

void VRAXGUI::showAbout()
{
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    VRAX_GetLibVersion(&major, &minor, &patch);
    QMessageBox::about(this, QStringLiteral("VRAX GUI"),
                       tr("VRAX version: ") + QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch));
}

void VRAXGUI::updateStatus()
{
    const bool idle = core.isIdle();
    const bool descriptionOpen = core.hasDescription();
    const InputSet &input = core.input();
    const bool picturesChosen = !input.isEmpty();

    openBoardAct->setChecked(true);
    openDescriptionAct->setChecked(descriptionOpen);
    openPictureAct->setChecked(picturesChosen);
    // Nothing may change what a run or an opening works on until it ends.
    openBoardAct->setEnabled(idle);
    openDescriptionAct->setEnabled(idle);
    for (QAction *action : {openPictureAct, openPictureFolderAct, openVideoAct, openCameraAct})
        action->setEnabled(idle && descriptionOpen);
    runAct->setEnabled(idle && descriptionOpen && picturesChosen);
    runAutoAct->setEnabled(idle && descriptionOpen && picturesChosen);
    recordAct->setEnabled(descriptionOpen && picturesChosen);
    recordAct->setChecked(core.isRecording());
    compareAct->setEnabled(idle);
    recentMenu->setEnabled(idle && !recentDescriptions.isEmpty());

    StatusLineState state;
    state.boardType = core.board().boardType;
    state.boardIndex = core.board().boardIndex;
    state.everyBoardOfType = core.board().parallelCount > 0;
    state.descriptionPath = core.descriptionPath();
    state.pictureList = input.pictures();
    state.picturePath = input.currentPath();
    state.frameTime = core.frameTime();
    state.boardFps = core.boardFps();
    statusLabel->setState(state);
    QString rates = statusLineRates(state);
    if (input.isLive())
        rates += tr(" Dropped %1.").arg(core.framesDropped());
    if (core.isRecording())
        rates += tr(" Recording.");
    ratesLabel->setText(rates);
}

void VRAXGUI::activityChanged(Activity activity)
{
    updateStatus();
    // Run Auto shows its frames; other work shows the busy indicator once
    // it has taken a moment.
    // Evaluate Data Set shows a progress bar of its own.
    if (activity == Activity::Idle || activity == Activity::RunningAuto || activity == Activity::Evaluating) {
        busyDelay->stop();
        progressBar->setVisible(false);
    } else if (!busyDelay->isActive() && !progressBar->isVisible()) {
        busyDelay->start(busyIndicatorDelayMs);
    }
}

void VRAXGUI::descriptionChanged()
{
    classificationTable.reset();
    if (core.hasDescription()) {
        dropStartNote();
        pictureView->setLabels(core.description().labels);
        if (core.description().neural_network == NetworkKind::Classifier) {
            classificationTable = std::make_unique<ClassificationResults>(core.description().labels);
            // Where a window manager gives it the keyboard all the same, the
            // window's shortcuts work there too.
            for (QAction *action : findChildren<QAction *>())
                if (!action->shortcut().isEmpty())
                    classificationTable->addAction(action);
        }
        rememberDescription(core.descriptionPath());
    }
    updateStatus();
}

void VRAXGUI::showInput()
{
    const InputSet &input = core.input();
    if (!input.isEmpty() && input.currentPicture()) {
        showResult(*input.currentPicture(), FrameResult());
        setWindowTitle(QFileInfo(input.currentPath()).fileName());
        setWindowFilePath(input.currentPath());
    } else if (input.isEmpty()) {
        // Another description, or a camera given up: no picture, no result,
        // and the title names none, as the status line does.
        pictureView->clear();
        pictureView->setVisible(false);
        setWindowTitle(QString());
        setWindowFilePath(QString());
        updateViewActions();
    }
    updateStatus();
}

void VRAXGUI::showFailure(const QString &title, const QString &text)
{
    QMessageBox::warning(this, title, text, QMessageBox::Ok);
}

void VRAXGUI::showRefusal(const QString &reason)
{
    statusBar()->showMessage(reason, 5000);
}

void VRAXGUI::showStartNote(const QString &note)
{
    startNote = note;
    statusBar()->showMessage(note);
}

void VRAXGUI::dropStartNote()
{
    if (!startNote.isEmpty() && statusBar()->currentMessage() == startNote)
        statusBar()->clearMessage();
    startNote.clear();
}

void VRAXGUI::recordingChanged(bool on, const QString &summary, const QString &reason)
{
    updateStatus();
    if (on || summary.isEmpty())
        return;
    if (reason.isEmpty())
        statusBar()->showMessage(summary + QLatin1Char('.'), 15000);
    else
        QMessageBox::warning(this, tr("Recording Stopped"), reason + QStringLiteral("\n\n") + summary + QLatin1Char('.'));
}

void VRAXGUI::showArrivedFrame()
{
    if (FramePtr frame = core.takeFrame())
        showFrame(frame);
}

void VRAXGUI::showFrame(const FramePtr &frame)
{
    frame->times.drawStart = steadyNanoseconds();
    showResult(frame->picture, frame->result);
    frame->times.shown = steadyNanoseconds();
    core.frameShown(frame);
    showTitleOf(frame->origin);
    updateStatus();
    emit frameShown();
}

void VRAXGUI::showTitleOf(const FrameOrigin &origin)
{
    // The frame drawn names the title, set once: video and camera frames
    // with their number and time, pictures with their file name.
    const QString title = frameLabel(origin);
    if (title != windowTitle())
        setWindowTitle(title);
    setWindowFilePath(origin.path);
}

void VRAXGUI::openStartupFiles(const QString &descriptionFile, const QStringList &inputs)
{
    if (!descriptionFile.isEmpty())
        core.openDescription(QFileInfo(descriptionFile).absoluteFilePath(), inputs);
    else if (!inputs.isEmpty() && core.hasDescription())
        core.openInputs(inputs);
}

void VRAXGUI::openBoard()
{
    if (!core.isIdle())
        return showRefusal(core.busy().refusal(tr("Open Board")));
    try {
        OpenBoardDialog dialog;
        dialog.setParent(this, dialog.windowFlags()); // over the window, not anywhere
        BoardChoice choice = core.board();
        if (dialog.chooseBoard(choice, core.boardsOpen(), [this] { core.releaseBoards(); })) {
            core.chooseBoard(choice);
            rememberBoard(choice);
        }
    } catch (const std::exception &error) {
        // A failed Blink has closed the sessions, and with them the description.
        showFailure(tr("Board Opening Error"), QString::fromUtf8(error.what()));
    }
    updateStatus();
}

void VRAXGUI::openDescription()
{
    // The first dialog starts among the examples; later ones where the last ended.
    const QString folder = core.hasDescription() ? QString() : exampleFolder();
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open NN description File"), folder,
                                                          tr("XML Files (*.xml)"));
    if (!fileName.isEmpty())
        core.openDescription(fileName);
    updateStatus(); // the entry's mark shows what is open, not the click
}

void VRAXGUI::openPicture()
{
    const QStringList fileNames = QFileDialog::getOpenFileNames(
        this, tr("Open Picture"), rememberedFolder(QStringLiteral("pictures")),
        tr("Picture files (*.bmp *.gif *.jpeg *.jpg *.png)"));
    if (!fileNames.isEmpty()) {
        rememberFolder(QStringLiteral("pictures"), fileNames.front());
        core.openPictures(fileNames);
    }
    updateStatus();
}

void VRAXGUI::openPictureFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Open Picture Folder"));
    if (!folder.isEmpty())
        core.openPictures({folder});
    updateStatus();
}

void VRAXGUI::openVideo()
{
    QStringList patterns;
    for (const QString &suffix : videoSuffixes())
        patterns << QStringLiteral("*.") + suffix;
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Open Video"), QString(),
        tr("Video files (%1);;All files (*)").arg(patterns.join(QLatin1Char(' '))));
    if (!fileName.isEmpty())
        core.openVideo(fileName);
    updateStatus();
}

void VRAXGUI::openCamera()
{
    QString device;
    QSize size;
    if (CameraDialog::chooseCamera(this, device, size))
        core.openCamera(device, size);
    updateStatus();
}

void VRAXGUI::toggleRecording(bool on)
{
    if (!on) {
        core.stopRecording();
        return;
    }
    recordAct->setChecked(false);
    const QFileInfo source(core.input().currentPath());
    const QString suggested =
        source.dir().filePath(source.completeBaseName().replace(QLatin1Char('/'), QLatin1Char('_'))
                              + QStringLiteral("-recorded.avi"));
    // Asked below about both files, once the name is final.
    QString fileName = QFileDialog::getSaveFileName(this, tr("Record"), suggested,
                                                    tr("MJPG video (*.avi);;MP4 video (*.mp4)"), nullptr,
                                                    QFileDialog::DontConfirmOverwrite);
    if (fileName.isEmpty())
        return;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix != QLatin1String("avi") && suffix != QLatin1String("mp4"))
        fileName += QStringLiteral(".avi");
    if (!mayReplace(this, tr("Record"), {fileName, FrameRecorder::recordsPathFor(fileName)}))
        return;
    try {
        core.startRecording(fileName);
    } catch (const std::exception &error) {
        showFailure(tr("Record"), QString::fromUtf8(error.what()));
    }
    updateStatus();
}
