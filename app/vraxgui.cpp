#include "app/vraxgui.h"

#include "accel/board_session.h"
#include "accel/frame_processing.h"
#include "app/open_board_dialog.h"
#include "accel/result_check.h"
#include "app/camera_dialog.h"
#include "app/frame_label.h"
#include "app/frame_recording.h"
#include "app/input_kind.h"
#include "app/recording_content.h"
#include "app/picture_view.h"
#include "app/statistics_dock.h"
#include "app/status_line.h"
#include "description/description_reader.h"
#include "engine/model_session.h"
#include "picture/input_depth.h"
#include "picture/picture_folder.h"
#include "picture/picture_preparation.h"
#include "engine/frame_hand_over.h"
#include "sources/camera_source.h"
#include "sources/display_scaling_source.h"
#include "engine/frame_pipeline.h"
#include "measuring/reference_run.h"
#include "sources/video_source.h"
#include "results/yolo_decoder.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
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
#include <future>
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
    openPictureFolderAct = fileMenu->addAction(tr("Open Picture &Folder..."), this, [this] { openPictureFolder(); });
    openPictureFolderAct->setEnabled(false);
    openVideoAct = fileMenu->addAction(tr("Open &Video..."), this, [this] { openVideo(); });
    openVideoAct->setEnabled(false);
    openCameraAct = fileMenu->addAction(tr("Open &Camera..."), this, [this] { openCamera(); });
    openCameraAct->setEnabled(false);
    fileMenu->addSeparator();
    runAct = fileMenu->addAction(tr("&Run"), this, [this] { run(); }, QKeySequence(Qt::CTRL + Qt::Key_R));
    runAct->setEnabled(false);
    runAutoAct = fileMenu->addAction(tr("Run &Auto (space to abort)"), this, [this] { runAuto(); },
                                     QKeySequence(Qt::CTRL + Qt::Key_A));
    runAutoAct->setEnabled(false);
    recordAct = fileMenu->addAction(tr("Rec&ord..."));
    recordAct->setCheckable(true);
    recordAct->setEnabled(false);
    connect(recordAct, &QAction::triggered, this, [this](bool on) { toggleRecording(on); });
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
    loopAct = viewMenu->addAction(tr("&Loop"));
    loopAct->setCheckable(true);
    loopAct->setChecked(true);
    connect(loopAct, &QAction::toggled, this, [this](bool on) {
        if (auto *video = dynamic_cast<VideoSource *>(stream.get()))
            video->setLooping(on);
    });

    recording = new FrameRecording(this);
    connect(recording, &FrameRecording::stoppedByItself, this, [this](const QString &reason) {
        const QString summary = recording->stop();
        recordAct->setChecked(false);
        QMessageBox::warning(this, tr("Recording Stopped"), reason + QStringLiteral("\n\n") + summary + QLatin1Char('.'));
        updateStatus();
    });
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
    addCompareAction(viewMenu);
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
    closeReference();
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
    // The recording's files are closed complete, whatever ends the window.
    recording->stop();
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
    openPictureFolderAct->setEnabled(descriptionOpen && !runAutoInProgress);
    openVideoAct->setEnabled(descriptionOpen && !runAutoInProgress);
    openCameraAct->setEnabled(descriptionOpen && !runAutoInProgress);
    openVideoAct->setChecked(false);
    recordAct->setEnabled(descriptionOpen && picturesChosen);
    recordAct->setChecked(recording->isRecording());
    runAct->setEnabled(descriptionOpen && picturesChosen && !runAutoInProgress);
    runAutoAct->setEnabled(descriptionOpen && picturesChosen && !runAutoInProgress);
    // Run Auto works on the sessions, the pictures and the view: nothing may
    // change them while it loops.
    openBoardAct->setEnabled(!runAutoInProgress);
    openDescriptionAct->setEnabled(!runAutoInProgress);
    // Run Auto's board thread uses the reference until the run has ended.
    compareAct->setEnabled(!runAutoInProgress);
    recentMenu->setEnabled(!recentDescriptions.isEmpty() && !runAutoInProgress);

    StatusLineState state;
    state.boardType = boardType;
    state.boardIndex = boardIndex;
    state.everyBoardOfType = parallelCount > 0;
    state.descriptionPath = descriptionPath;
    state.pictureList = pictureList;
    state.picturePath = picturePath;
    state.frameTime = frameTime;
    state.boardFps = boardFps;
    statusLabel->setState(state);
    QString rates = statusLineRates(state);
    if (stream && stream->isLive())
        rates += tr(" Dropped %1.").arg(framesDropped);
    if (recording->isRecording())
        rates += tr(" Recording.");
    ratesLabel->setText(rates);
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
            closeStream();
            closeReference();
        }
        updateStatus();
    } catch (const BlinkError &error) {
        // The failed Blink has closed the sessions: the description they held
        // is no longer loaded anywhere, so it counts as closed.
        descriptionPath.clear();
        pictureList.clear();
        closeStream();
        closeReference();
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
    closeStream();
    closeReference();
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
        createResultView(resultView, description, modelDims);
        pictureView->setLabels(description.labels);
        rememberDescription(fileName);
        statisticsDock->descriptionOpened(openMs);
    } catch (const std::exception &error) {
        showWarning(tr("Description Opening Error"), error);
        return;
    }
    openReference();
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

void VRAXGUI::openPictureFiles(const QStringList &chosen)
{
    if (chosen.isEmpty() || (chosen == pictureList && !stream))
        return;
    try {
        QStringList fileNames;
        for (const QString &file : chosen) {
            if (QFileInfo(file).isDir())
                fileNames << picturesInFolder(file);
            else
                fileNames << file;
        }
        pictureList.clear();
        closeStream();
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
        QStringList pictures;
        QStringList streams;
        for (const QString &file : pictureFiles) {
            const InputKind kind = inputKind(file);
            if (kind == InputKind::Camera)
                streams << file;
            else if (kind == InputKind::Video)
                streams << QFileInfo(file).absoluteFilePath();
            else
                pictures << QFileInfo(file).absoluteFilePath();
        }
        if (streams.size() == 1 && pictures.isEmpty()) {
            if (inputKind(streams.front()) == InputKind::Camera)
                openCameraDevice(streams.front(), QSize());
            else
                openVideoFile(streams.front());
        } else if (!streams.isEmpty()) {
            showWarning(tr("Open Video"), tr("A video or camera is opened on its own, without other inputs: %1")
                                              .arg(pictureFiles.join(QLatin1String(", "))));
        } else {
            openPictureFiles(pictures);
        }
    }
    updateStatus();
}

void VRAXGUI::openPictureFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Open Picture Folder"));
    if (!folder.isEmpty())
        openPictureFiles({folder});
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
        openVideoFile(fileName);
    updateStatus();
}

void VRAXGUI::openCamera()
{
    QString device;
    QSize size;
    if (CameraDialog::chooseCamera(this, device, size))
        openCameraDevice(device, size);
    updateStatus();
}

void VRAXGUI::openVideoFile(const QString &fileName)
{
    try {
        const PictureReading reading = pictureReading();
        std::unique_ptr<VideoSource> video;
        runInBackground([&] { video = std::make_unique<VideoSource>(fileName, reading.request, reading.planar); });
        video->setLooping(loopAct->isChecked());
        streamFps = video->framesPerSecond();
        streamFrameSize = video->frameSize();
        const QString path = video->path();
        const QImage first = video->upcomingPicture();
        adoptStream(std::move(video), path, first);
    } catch (const std::exception &error) {
        showWarning(tr("Open Video"), error);
    }
}

void VRAXGUI::openCameraDevice(const QString &device, const QSize &size)
{
    try {
        const PictureReading reading = pictureReading();
        std::unique_ptr<CameraSource> camera;
        runInBackground(
            [&] { camera = std::make_unique<CameraSource>(device, size, reading.request, reading.planar); });
        streamFps = camera->framesPerSecond();
        streamFrameSize = camera->frameSize();
        const QImage first = camera->upcomingPicture();
        adoptStream(std::move(camera), device, first);
    } catch (const std::exception &error) {
        showWarning(tr("Open Camera"), error);
    }
}

void VRAXGUI::adoptStream(std::unique_ptr<FrameSource> source, const QString &path, const QImage &firstPicture)
{
    const PictureReading reading = pictureReading();
    PreparedPicture prepared = prepareDecodedPicture(firstPicture, reading.request, reading.planar);
    pictureList = QStringList{path};
    picturePath = path;
    nextPicture = 0;
    framesDropped = 0;
    stream = std::move(source);
    adoptPicture(path, LoadedPicture{std::move(prepared.picture), std::move(prepared.tensor),
                                     std::move(prepared.original), prepared.crop});
    showPicture();
}

void VRAXGUI::closeStream()
{
    stream.reset();
    streamFrameSize = QSize();
    streamFps = 0.0;
    setWindowTitle(QString());
    const QString path = windowFilePath();
    setWindowFilePath(QString());
    setWindowFilePath(path);
}

void VRAXGUI::toggleRecording(bool on)
{
    if (!on) {
        stopRecording();
        return;
    }
    recordAct->setChecked(false);
    const QFileInfo source(picturePath);
    const QString suggested =
        source.dir().filePath(source.completeBaseName().replace(QLatin1Char('/'), QLatin1Char('_'))
                              + QStringLiteral("-recorded.avi"));
    QString fileName = QFileDialog::getSaveFileName(this, tr("Record"), suggested,
                                                    tr("MJPG video (*.avi);;MP4 video (*.mp4)"));
    if (fileName.isEmpty())
        return;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix != QLatin1String("avi") && suffix != QLatin1String("mp4"))
        fileName += QStringLiteral(".avi");
    try {
        FrameRecorder::Settings settings;
        settings.videoPath = fileName;
        settings.recordsPath = FrameRecorder::recordsPathFor(fileName);
        if (stream) {
            settings.frameSize = streamFrameSize;
            settings.framesPerSecond = streamFps > 0.0 ? streamFps : 25.0;
        } else {
            // Pictures have no frame rate; each is one tenth of a second.
            settings.frameSize = QImageReader(pictureList.value(0)).size();
            settings.framesPerSecond = 10.0;
        }
        if (!settings.frameSize.isValid() || settings.frameSize.isEmpty())
            settings.frameSize = picture.size();
        // Room for a few seconds of frames (each holds its pictures and
        // tensor) within about 256 MB, for bursts the writer catches up on.
        const double frameBytes = 2.0 * 4.0 * settings.frameSize.width() * settings.frameSize.height() + 1e5;
        settings.queueCapacity = std::size_t(std::clamp(256e6 / frameBytes, 16.0, 512.0));
        recording->start(settings, recordingAnnotation(description), recordingDescription(description));
        recordAct->setChecked(true);
    } catch (const std::exception &error) {
        showWarning(tr("Record"), error);
    }
    updateStatus();
}

void VRAXGUI::stopRecording()
{
    const QString summary = recording->stop();
    recordAct->setChecked(false);
    if (!summary.isEmpty())
        statusBar()->showMessage(summary + QLatin1Char('.'), 15000);
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
    return pictureReadingOf(description, modelDims, boardType);
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
    if (stream) {
        runStreamFrame();
        return;
    }
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
        // Scaled for the picture area beside the board's work, off the GUI thread.
        PreparedPicture prepared = currentPicture();
        auto scaling = std::async(std::launch::async,
                                  [&prepared, target = displayTarget()] { scaleAhead(prepared, target); });

        const std::int64_t start = ticksNow();
        times.submitted = steadyNanoseconds();
        runInBackground([this, &outputs] { processFrame(sessions, inputTensor, outputs, boardFps); });
        times.fetched = times.decoded = times.drawStart = steadyNanoseconds();
        frameTime = ticksToSeconds(ticksNow() - start);

        const FrameResult result = decodeFrameResult(outputs, modelDims, description);
        scaling.get();
        showResult(prepared, result);
        updateStatus();
        times.shown = steadyNanoseconds();
        statisticsDock->addFrame(times);
        compareOnReference(picture, inputTensor, outputs, result);
        emit frameShown();
        QCoreApplication::processEvents();
    } catch (const std::exception &error) {
        showWarning(tr("Frame Processing Error"), error);
    }
}

void VRAXGUI::runStreamFrame()
{
    try {
        if (!resultView || sessions.empty())
            throw std::runtime_error(noSessionMessage);
        Frame frame;
        frame.outputs = resultView->createOutputs();
        const std::int64_t start = ticksNow();
        // A video at its end (Loop off) starts again.
        runInBackground([this, &frame] {
            if (!stream->next(frame) && !stream->next(frame))
                throw std::runtime_error("No frame can be read from " + picturePath.toStdString());
            processFrame(sessions, frame.picture.tensor, frame.outputs, boardFps);
        });
        frameTime = ticksToSeconds(ticksNow() - start);
        inputTensor = frame.picture.tensor;
        frame.result = decodeFrameResult(frame.outputs, modelDims, description);
        showFrame(frame);
        compareOnReference(frame.picture.picture, frame.picture.tensor, frame.outputs, frame.result);
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
        // The open video or camera goes on from where it is; pictures start
        // from the first.
        std::unique_ptr<PictureListSource> pictures;
        FrameSource *source = stream.get();
        if (!source) {
            pictures = std::make_unique<PictureListSource>(pictureList, pictureReading(), inputTensor,
                                                           &pictureCache, 0,
                                                           loopAct->isChecked());
            source = pictures.get();
        }
        framesDropped = 0;
        FrameHandOver frames(showEveryFrameAct->isChecked());
        frames.onArrival = [this] {
            QMetaObject::invokeMethod(this, [this] { showArrivedFrame(); }, Qt::QueuedConnection);
        };
        // Each frame's outputs are interpreted on the board thread, off the GUI's.
        auto interpret = [dims = modelDims, network = description](Frame &frame) {
            frame.result = decodeFrameResult(frame.outputs, dims, network);
        };
        // The reader thread scales each picture for the picture area too.
        DisplayScalingSource scaling(*source);
        scaling.setTarget(displayTarget());
        // The reference runs each frame on the board thread before the frame
        // is handed over, as in vrax-run.
        if (reference) {
            reference->setBoardReading(pictureReading());
            reference->restart();
        }
        FramePipeline pipeline(boards, scaling, modelDims, interpret,
                               [this, &frames, compared = reference.get()](FramePtr frame) {
            if (compared) {
                try {
                    compared->compare(frame->picture.picture, frame->picture.tensor, frame->outputs,
                                      frame->result);
                } catch (const std::exception &error) {
                    throw std::runtime_error("The simulator failed on the comparison: "
                                             + callFailureText(error));
                }
            }
            recording->add(frame);
            frames.put(std::move(frame));
        });
        // Wakes the loop below when the run ends by itself (a failure, the end).
        pipeline.onFinished = [this] { QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection); };

        handOver = &frames;
        activePipeline = &pipeline;
        displayScaling = &scaling;
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
        framesDropped = pipeline.framesDropped();
        statisticsDock->refresh(true);
        handOver = nullptr;
        activePipeline = nullptr;
        displayScaling = nullptr;
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
    // A recording covers one Run Auto: its files are complete from here on.
    stopRecording();
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
    framesDropped = activePipeline->framesDropped();
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
    // Video and camera frames are named with their number and time. The
    // file path is set anew after the title: setting the same path again
    // would not bring the file name back into an emptied title.
    setWindowTitle(frame.origin.timeSeconds >= 0.0 ? frameLabel(frame.origin) : QString());
    pictureOriginal = frame.picture.original;
    pictureCrop = frame.picture.crop;
    setWindowFilePath(QString());
    setWindowFilePath(picturePath);
    showResult(frame.picture, frame.result);
    updateStatus();
    frame.times.shown = steadyNanoseconds();
    emit frameShown();
}
