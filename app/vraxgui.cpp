#include "app/vraxgui.h"

#include "accel/board_session.h"
#include "accel/frame_processing.h"
#include "accel/open_board_dialog.h"
#include "accel/result_check.h"
#include "app/picture_view.h"
#include "app/statistics_dock.h"
#include "app/status_line.h"
#include "description/description_reader.h"
#include "pipeline/model_session.h"
#include "picture/input_depth.h"
#include "picture/picture_preparation.h"
#include "pipeline/frame_hand_over.h"
#include "pipeline/frame_pipeline.h"
#include "results/yolo_decoder.h"

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
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>

VRAXGUI::VRAXGUI()
{
    progressBar = new QProgressBar;
    createPictureArea();

    progressBar->setRange(0, 0);
    progressBar->setTextVisible(false);
    progressBar->setVisible(false);
    statusBar()->addPermanentWidget(progressBar, 0);

    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    openBoardAct = fileMenu->addAction(tr("Open &Board..."), this, [this] { openBoard(); },
                                       QKeySequence(Qt::CTRL + Qt::Key_B));
    openBoardAct->setCheckable(true);
    openBoardAct->setChecked(true);
    openDescriptionAct = fileMenu->addAction(tr("Open &Description..."), this, [this] { openDescription(); },
                                             QKeySequence(Qt::CTRL + Qt::Key_D));
    openDescriptionAct->setCheckable(true);
    openPictureAct = fileMenu->addAction(tr("Open &Picture..."), this, [this] { openPicture(); },
                                         QKeySequence(Qt::CTRL + Qt::Key_P));
    openPictureAct->setCheckable(true);
    openPictureAct->setEnabled(false);
    fileMenu->addSeparator();
    runAct = fileMenu->addAction(tr("&Run"), this, [this] { run(); }, QKeySequence(Qt::CTRL + Qt::Key_R));
    runAct->setEnabled(false);
    runAutoAct = fileMenu->addAction(tr("Run &Auto (space to abort)"), this, [this] { runAuto(); },
                                     QKeySequence(Qt::CTRL + Qt::Key_A));
    runAutoAct->setEnabled(false);
    fileMenu->addSeparator();
    addResultActions(fileMenu);
    fileMenu->addSeparator();
    exitAct = fileMenu->addAction(tr("E&xit"), this, [this] { close(); }, QKeySequence(Qt::CTRL + Qt::Key_X));
    // Also on the window itself: the shortcut works while the menu bar is
    // disabled for board work.
    addAction(exitAct);
    addRecentDescriptions(fileMenu, openPictureAct);

    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    showEveryFrameAct = viewMenu->addAction(tr("Show Every Frame"));
    showEveryFrameAct->setCheckable(true);
    statisticsDock = new StatisticsDock(this);
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
    viewMenu->addSeparator();
    addViewActions(viewMenu);

    const int cacheMegabytes = QSettings().value(QStringLiteral("performance/pictureCacheMegabytes"), 256).toInt();
    pictureCache.setBudget(std::size_t(std::max(cacheMegabytes, 0)) << 20);

    paceTimer = new QTimer(this);
    paceTimer->setSingleShot(true);
    paceTimer->setTimerType(Qt::PreciseTimer);
    connect(paceTimer, &QTimer::timeout, this, [this] { showArrivedFrame(); });

    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    aboutAct = helpMenu->addAction(tr("About"), this, [this] { showAbout(); });

    resize(QGuiApplication::primaryScreen()->availableSize() * 3 / 5);

    restoreSettings();
    updateStatus();
}

VRAXGUI::~VRAXGUI()
{
    destroySessions(sessions);
    resultView.reset();
}

void VRAXGUI::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape)
        autoRunning = false;
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
    resultView.reset();
    if (autoRunning || runAutoInProgress)
        stopRunAuto();
    event->accept();
}

void VRAXGUI::stopRunAuto()
{
    autoRunning = false;
    if (handOver)
        handOver->close();
    // Nobody is left to show a failure; the window closes all the same and
    // the destructor releases the sessions.
    try {
        if (activePipeline) {
            activePipeline->stop();
            activePipeline->wait();
        }
    } catch (const std::exception &) {
    }
    try {
        waitForAllUnits();
    } catch (const std::exception &) {
    }
}

void VRAXGUI::waitForAllUnits()
{
    waitForUnits(sessions, modelInfo.single_slot != 0 ? 1 : 4);
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
    const bool descriptionOpen = !descriptionPath.isEmpty();
    const bool picturesChosen = !pictureList.isEmpty();

    openBoardAct->setChecked(true);
    openDescriptionAct->setChecked(descriptionOpen);
    openPictureAct->setChecked(picturesChosen);
    openPictureAct->setEnabled(descriptionOpen && !runAutoInProgress);
    runAct->setEnabled(descriptionOpen && picturesChosen && !runAutoInProgress);
    runAutoAct->setEnabled(descriptionOpen && picturesChosen && !runAutoInProgress);
    // Run Auto works on the sessions, the pictures and the view: nothing may
    // change them while it loops.
    openBoardAct->setEnabled(!runAutoInProgress);
    openDescriptionAct->setEnabled(!runAutoInProgress);
    recentMenu->setEnabled(!recentDescriptions.isEmpty() && !runAutoInProgress);

    StatusLineState state;
    state.boardType = boardType;
    state.boardIndex = boardIndex;
    state.descriptionPath = descriptionPath;
    state.pictureList = pictureList;
    state.picturePath = picturePath;
    state.frameTime = frameTime;
    state.boardFps = boardFps;
    statusLabel->setState(state);
    ratesLabel->setText(statusLineRates(state));
}

void VRAXGUI::runInBackground(BackgroundTask task)
{
    ::runInBackground(std::move(task), menuBar(), progressBar);
}

namespace {

// Measured times are in ticks of 100 nanoseconds, as the status line's rates
// expect; a steady clock keeps them right when the wall clock is adjusted.
std::int64_t ticksNow()
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double ticksToSeconds(std::int64_t ticks)
{
    return double(ticks) / 10000000.0;
}

// The example networks: installed in share/vraxgui/examples beside the
// binary's folder; the build links the source tree's examples there.
QString exampleFolder()
{
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/vraxgui/examples"));
    return folder.exists() ? folder.canonicalPath() : QString();
}

} // namespace

void VRAXGUI::showWarning(const QString &title, const QString &text)
{
    if (checking) {
        ++errorsPrinted;
        std::fprintf(stderr, "vraxgui: %s: %s\n", qPrintable(title), qPrintable(text));
        return;
    }
    QMessageBox::warning(this, title, text, QMessageBox::Ok);
}

void VRAXGUI::showWarning(const QString &title, const std::exception &error)
{
    showWarning(title, QString::fromUtf8(error.what()));
}

void VRAXGUI::openBoard()
{
    try {
        OpenBoardDialog dialog;
        dialog.setParent(this, dialog.windowFlags()); // over the window, not anywhere
        if (dialog.chooseBoard(sessions, boardType, boardIndex, parallelCount)) {
            rememberBoard();
            pictureCache.clear();
            descriptionPath.clear();
            pictureList.clear();
        }
        updateStatus();
    } catch (const BlinkError &error) {
        // The failed Blink has closed the sessions: the description they held
        // is no longer loaded anywhere, so it counts as closed.
        descriptionPath.clear();
        pictureList.clear();
        updateStatus();
        showWarning(tr("Board Opening Error"), error);
    } catch (const std::exception &error) {
        showWarning(tr("Board Opening Error"), error);
    }
}

void VRAXGUI::openDescription()
{
    // The first dialog starts among the examples; later ones where the last ended.
    const QString folder = descriptionPath.isEmpty() ? exampleFolder() : QString();
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open NN description File"), folder,
                                                          tr("XML Files (*.xml)"));
    if (!fileName.isEmpty())
        openDescriptionFile(fileName);
    updateStatus();
}

void VRAXGUI::openDescriptionFile(const QString &fileName)
{
    if (fileName == descriptionPath)
        return;
    pictureCache.clear();
    descriptionPath.clear();
    pictureList.clear();
    try {
        readDescription(description, fileName.toUtf8().toStdString());
        const BoardChoice choice{boardType, boardIndex, parallelCount};
        const std::string modelPath = description.model;
        const std::int64_t openStart = steadyNanoseconds();
        runInBackground([this, choice, modelPath] { openBoardSession(choice, modelPath, sessions, modelInfo); });
        const double openMs = double(steadyNanoseconds() - openStart) / 1e6;

        ModelDims dims = modelDimsOf(modelInfo);
        checkModelFitsDescription(description, dims, boardType);

        descriptionPath = fileName;
        modelDims = std::move(dims);
        createResultView(resultView, description, modelDims, picture, noPictureLabel);
        pictureView->setLabels(description.labels);
        rememberDescription(fileName);
        statisticsDock->descriptionOpened(openMs);
    } catch (const std::exception &error) {
        showWarning(tr("Description Opening Error"), error);
    }
}

void VRAXGUI::openPicture()
{
    const QStringList fileNames = QFileDialog::getOpenFileNames(
        this, tr("Open Picture"), rememberedFolder(QStringLiteral("pictures")),
        tr("Picture files (*.bmp *.gif *.jpeg *.jpg *.png)"));
    if (!fileNames.isEmpty())
        rememberFolder(QStringLiteral("pictures"), fileNames.front());
    openPictureFiles(fileNames);
    updateStatus();
}

void VRAXGUI::openPictureFiles(const QStringList &fileNames)
{
    if (fileNames.isEmpty() || fileNames == pictureList)
        return;
    pictureList.clear();
    try {
        loadPicture(fileNames.front());
        showPicture();
        pictureList = fileNames;
        picturePath = fileNames.front();
        nextPicture = 0;
    } catch (const std::exception &error) {
        showWarning(tr("Open Picture"), error);
    }
}

void VRAXGUI::openStartupFiles(const QString &descriptionFile, const QStringList &pictureFiles)
{
    if (!descriptionFile.isEmpty())
        openDescriptionFile(QFileInfo(descriptionFile).absoluteFilePath());
    if (!descriptionPath.isEmpty() && !pictureFiles.isEmpty()) {
        QStringList absolute;
        for (const QString &file : pictureFiles)
            absolute << QFileInfo(file).absoluteFilePath();
        openPictureFiles(absolute);
    }
    updateStatus();
}

bool VRAXGUI::checkFiles(const QString &descriptionFile, const QStringList &pictureFiles)
{
    checking = true;
    errorsPrinted = 0;
    openStartupFiles(descriptionFile, pictureFiles);
    if (errorsPrinted == 0 && pictureList.isEmpty())
        std::printf("%s\n", qPrintable(statusLabel->toolTip()));
    if (errorsPrinted == 0) {
        for (int i = 0; i < pictureList.size() && errorsPrinted == 0; ++i) {
            run();
            std::printf("%s\n", qPrintable(statusLabel->toolTip()));
        }
    }
    std::fflush(stdout);
    checking = false;
    return errorsPrinted == 0;
}

PictureReading VRAXGUI::pictureReading() const
{
    if (modelDims.inputs.empty())
        throw std::runtime_error("No NN description is open");
    const TensorDims &input = modelDims.inputs.front();
    PictureReading reading;
    reading.request.height = input.height;
    reading.request.width = input.width;
    reading.request.format = description.format;
    reading.request.divider = description.divider;
    reading.request.adder = description.adder;
    reading.request.depth = roundedInputDepth(isPlanarBoard(boardType), input.depth);
    reading.planar = isPlanarBoard(boardType);
    return reading;
}

VRAXGUI::LoadedPicture VRAXGUI::readPicture(const QString &path) const
{
    PreparedPicture prepared = readPictureFile(path, pictureReading(), inputTensor, nullptr, &pictureCache);
    LoadedPicture loaded;
    loaded.picture = std::move(prepared.picture);
    loaded.tensor = std::move(prepared.tensor);
    loaded.original = std::move(prepared.original);
    loaded.crop = prepared.crop;
    return loaded;
}

void VRAXGUI::adoptPicture(const QString &path, LoadedPicture loaded)
{
    TensorDims &input = modelDims.inputs.front();
    input.depth = roundedInputDepth(isPlanarBoard(boardType), input.depth);
    picture = std::move(loaded.picture);
    inputTensor = std::move(loaded.tensor);
    pictureOriginal = std::move(loaded.original);
    pictureCrop = loaded.crop;
    pictureView->setVisible(true);
    setWindowFilePath(path);
}

void VRAXGUI::loadPicture(const QString &path)
{
    adoptPicture(path, readPicture(path));
}

void VRAXGUI::showPicture()
{
    showResult(currentPicture(), FrameResult());
}

void VRAXGUI::run()
{
    try {
        if (!resultView || sessions.empty())
            throw std::runtime_error(noSessionMessage);
        OutputBuffers outputs = resultView->createOutputs();

        const std::uint64_t current = nextPicture;
        if (++nextPicture >= std::uint64_t(pictureList.size()))
            nextPicture = 0;
        picturePath = pictureList.at(int(current));
        StageTimes times;
        times.readStart = steadyNanoseconds();
        loadPicture(picturePath);
        times.read = times.prepared = steadyNanoseconds();

        const std::int64_t start = ticksNow();
        times.submitted = steadyNanoseconds();
        runInBackground([this, &outputs] { processFrame(sessions, inputTensor, outputs, boardFps); });
        times.fetched = times.decoded = times.drawStart = steadyNanoseconds();
        frameTime = ticksToSeconds(ticksNow() - start);

        showResult(currentPicture(), decodeFrameResult(outputs, modelDims, description));
        updateStatus();
        times.shown = steadyNanoseconds();
        statisticsDock->addFrame(times);
        emit frameShown();
        QCoreApplication::processEvents();
    } catch (const std::exception &error) {
        showWarning(tr("Frame Processing Error"), error);
    }
}

void VRAXGUI::runAuto()
{
    runAutoInProgress = true;
    updateStatus();
    try {
        if (!resultView || sessions.empty())
            throw std::runtime_error(noSessionMessage);
        resultView->createOutputs(); // refuses outputs too large to allocate, before anything runs

        FramePipeline::Boards boards;
        boards.sessions = sessions;
        boards.unitsPerSession = modelInfo.single_slot != 0 || parallelCount == 0 ? 1 : 4;
        PictureListSource source(pictureList, pictureReading(), inputTensor, &pictureCache);
        FrameHandOver frames(showEveryFrameAct->isChecked());
        frames.onArrival = [this] {
            QMetaObject::invokeMethod(this, [this] { showArrivedFrame(); }, Qt::QueuedConnection);
        };
        // Each frame's outputs are interpreted on the board thread, off the GUI's.
        auto interpret = [dims = modelDims, network = description](Frame &frame) {
            frame.result = decodeFrameResult(frame.outputs, dims, network);
        };
        FramePipeline pipeline(boards, source, modelDims, interpret, [&frames](FramePtr frame) {
            frames.put(std::move(frame));
        });
        // Wakes the loop below when the run ends by itself (a failure, the end).
        pipeline.onFinished = [this] { QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection); };

        handOver = &frames;
        activePipeline = &pipeline;
        autoRunning = true;
        runAutoStart = steadyNanoseconds();
        statisticsDock->startRun();
        lastShown = 0;
        std::exception_ptr failure;
        try {
            pipeline.start();
            while (!pipeline.isFinished()) {
                if (!autoRunning || !isVisible())
                    pipeline.stop();
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            pipeline.wait();
        } catch (...) {
            failure = std::current_exception();
        }
        paceTimer->stop();
        statisticsDock->refresh(true);
        handOver = nullptr;
        activePipeline = nullptr;
        // The last frame in is the one left on screen.
        if (FramePtr last = frames.take(); last && isVisible())
            showFrame(*last);
        if (!picture.isNull())
            setWindowFilePath(picturePath);
        if (failure)
            std::rethrow_exception(failure);
        autoRunning = false;
        waitForAllUnits();
    } catch (const std::exception &error) {
        autoRunning = false;
        showWarning(tr("Frame Processing Error"), error);
    }
    runAutoInProgress = false;
    updateStatus();
}

void VRAXGUI::showArrivedFrame()
{
    if (!handOver || !activePipeline)
        return;
    if (!showEveryFrameAct->isChecked()) {
        // One frame per screen refresh: the newest one; those that arrive in
        // between are counted but not drawn.
        const QScreen *screen = this->screen();
        const double refresh = screen && screen->refreshRate() > 1.0 ? screen->refreshRate() : 60.0;
        const auto interval = std::int64_t(1e9 / refresh);
        const std::int64_t now = steadyNanoseconds();
        if (now - lastShown < interval) {
            if (!paceTimer->isActive())
                paceTimer->start(int((interval - (now - lastShown)) / 1000000) + 1);
            return;
        }
    }
    FramePtr frame = handOver->take();
    if (!frame)
        return;
    const std::uint64_t done = activePipeline->framesDelivered();
    frameTime = done > 0 ? double(steadyNanoseconds() - runAutoStart) / 1e9 / double(done) : 0.0;
    boardFps = activePipeline->boardFps();
    showFrame(*frame);
    statisticsDock->setRunState(activePipeline->framesInFlight(), done, boardFps);
    statisticsDock->addFrame(frame->times);
    lastShown = steadyNanoseconds();
}

void VRAXGUI::showFrame(Frame &frame)
{
    frame.times.drawStart = steadyNanoseconds();
    picturePath = frame.origin.path;
    picture = frame.picture.picture;
    pictureOriginal = frame.picture.original;
    pictureCrop = frame.picture.crop;
    setWindowFilePath(picturePath);
    showResult(frame.picture, frame.result);
    updateStatus();
    frame.times.shown = steadyNanoseconds();
    emit frameShown();
}
