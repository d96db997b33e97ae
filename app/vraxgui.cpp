#include "app/vraxgui.h"

#include "accel/board_session.h"
#include "accel/frame_processing.h"
#include "accel/open_board_dialog.h"
#include "accel/result_check.h"
#include "app/status_line.h"
#include "description/description_reader.h"
#include "picture/cloud_net_plus_input.h"
#include "picture/input_depth.h"
#include "picture/picture_preparation.h"
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
#include <QStatusBar>

#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>

VRAXGUI::VRAXGUI()
{
    pictureLabel = new QLabel;
    statusLabel = new QLabel;
    scrollArea = new QScrollArea;
    progressBar = new QProgressBar;

    pictureLabel->setBackgroundRole(QPalette::Base);
    pictureLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    pictureLabel->setScaledContents(true);

    statusBar()->addWidget(statusLabel, 1);

    scrollArea->setBackgroundRole(QPalette::Dark);
    scrollArea->setWidget(pictureLabel);
    scrollArea->setVisible(false);
    setCentralWidget(scrollArea);

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
    fileMenu->addAction(tr("E&xit"), this, [this] { close(); }, QKeySequence(Qt::CTRL + Qt::Key_X));

    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    aboutAct = helpMenu->addAction(tr("About"), this, [this] { showAbout(); });

    resize(QGuiApplication::primaryScreen()->availableSize() * 3 / 5);

    updateStatus();
}

VRAXGUI::~VRAXGUI()
{
    for (RuntimeHandle session : sessions)
        VRAX_Destroy(session);
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
    if (autoRunning) {
        autoRunning = false;
        // Nobody is left to show a failing status query; the window closes
        // all the same and the destructor releases the sessions.
        try {
            waitForAllUnits();
        } catch (const std::exception &) {
        }
    }
    event->accept();
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
    openPictureAct->setEnabled(descriptionOpen && !runAutoActive);
    runAct->setEnabled(descriptionOpen && picturesChosen && !runAutoActive);
    runAutoAct->setEnabled(descriptionOpen && picturesChosen && !runAutoActive);
    // Run Auto works on the sessions, the pictures and the view: nothing may
    // change them while it loops.
    openBoardAct->setEnabled(!runAutoActive);
    openDescriptionAct->setEnabled(!runAutoActive);

    StatusLineState state;
    state.boardType = boardType;
    state.boardIndex = boardIndex;
    state.descriptionPath = descriptionPath;
    state.pictureList = pictureList;
    state.picturePath = picturePath;
    state.frameTime = frameTime;
    state.boardFps = boardFps;
    statusLabel->setText(statusLineText(state));
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
    QMessageBox::warning(nullptr, title, text, QMessageBox::Ok);
}

void VRAXGUI::showWarning(const QString &title, const std::exception &error)
{
    showWarning(title, QString::fromUtf8(error.what()));
}

void VRAXGUI::openBoard()
{
    try {
        OpenBoardDialog dialog;
        if (dialog.chooseBoard(sessions, boardType, boardIndex, parallelCount)) {
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
    descriptionPath.clear();
    pictureList.clear();
    try {
        readDescription(description, fileName.toUtf8().toStdString());
        const BoardChoice choice{boardType, boardIndex, parallelCount};
        const std::string modelPath = description.model;
        runInBackground([this, choice, modelPath] { openBoardSession(choice, modelPath, sessions, modelInfo); });

        ModelDims dims = modelDimsOf(modelInfo);
        if (description.neural_network == NetworkKind::Classifier
            && description.labels.size() != elementCount(dims.outputs.front()))
            throw std::runtime_error("Incorrect number of labels for classification");
        // Refused here rather than when a frame would read past a buffer.
        checkInputFormatFits(description.format, roundedInputDepth(isPlanarBoard(boardType), dims.inputs.front().depth),
                             isPlanarBoard(boardType));
        checkAnchorCount(description, dims.outputs);

        descriptionPath = fileName;
        modelDims = std::move(dims);
        createResultView(resultView, description, modelDims, picture, pictureLabel);
    } catch (const std::exception &error) {
        showWarning(tr("Description Opening Error"), error);
    }
}

void VRAXGUI::openPicture()
{
    const QStringList fileNames = QFileDialog::getOpenFileNames(
        this, tr("Open Picture"), QString(), tr("Picture files (*.bmp *.gif *.jpeg *.jpg *.png)"));
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
        std::printf("%s\n", qPrintable(statusLabel->text()));
    if (errorsPrinted == 0) {
        for (int i = 0; i < pictureList.size() && errorsPrinted == 0; ++i) {
            run();
            std::printf("%s\n", qPrintable(statusLabel->text()));
        }
    }
    std::fflush(stdout);
    checking = false;
    return errorsPrinted == 0;
}

VRAXGUI::LoadedPicture VRAXGUI::readPicture(const QString &path) const
{
    if (modelDims.inputs.empty())
        throw std::runtime_error("No NN description is open");
    const TensorDims &input = modelDims.inputs.front();

    PictureRequest request;
    request.path = path.toUtf8().toStdString();
    request.height = input.height;
    request.width = input.width;
    request.format = description.format;
    request.divider = description.divider;
    request.adder = description.adder;
    request.depth = roundedInputDepth(isPlanarBoard(boardType), input.depth);

    PreparedPicture prepared = preparePicture(request, isPlanarBoard(boardType));
    if (prepared.picture.isNull())
        throw std::runtime_error("Cannot load picture: " + request.path);
    LoadedPicture loaded;
    loaded.picture = prepared.picture.convertToFormat(QImage::Format_RGB32);
    if (path.contains(QLatin1String("cloud_net_plus"))) {
        // The side file overwrites the previous input as far as it reaches,
        // padded with zeros up to what the board reads for the model's input.
        loaded.tensor = inputTensor;
        readCloudNetPlusInput(loaded.tensor, prepared.tensor.size());
    } else {
        loaded.tensor = std::move(prepared.tensor);
    }
    return loaded;
}

void VRAXGUI::adoptPicture(const QString &path, LoadedPicture loaded)
{
    TensorDims &input = modelDims.inputs.front();
    input.depth = roundedInputDepth(isPlanarBoard(boardType), input.depth);
    picture = std::move(loaded.picture);
    inputTensor = std::move(loaded.tensor);
    scrollArea->setVisible(true);
    setWindowFilePath(path);
}

void VRAXGUI::loadPicture(const QString &path)
{
    adoptPicture(path, readPicture(path));
}

void VRAXGUI::showPicture()
{
    pictureLabel->setPixmap(QPixmap::fromImage(picture));
    pictureLabel->adjustSize();
}

void VRAXGUI::run()
{
    try {
        if (!resultView || sessions.empty())
            throw std::runtime_error("No board session is open: open the NN description again");
        OutputBuffers outputs = resultView->createOutputs();

        const std::uint64_t current = nextPicture;
        if (++nextPicture >= std::uint64_t(pictureList.size()))
            nextPicture = 0;
        picturePath = pictureList.at(int(current));
        loadPicture(picturePath);

        const std::int64_t start = ticksNow();
        runInBackground([this, &outputs] { processFrame(sessions, inputTensor, outputs, boardFps); });
        frameTime = ticksToSeconds(ticksNow() - start);

        showPicture();
        if (resultView)
            resultView->showResults(outputs);
        updateStatus();
        QCoreApplication::processEvents();
    } catch (const std::exception &error) {
        showWarning(tr("Frame Processing Error"), error);
    }
}

void VRAXGUI::runAuto()
{
    runAutoActive = true;
    updateStatus();
    try {
        if (!resultView || sessions.empty())
            throw std::runtime_error("No board session is open: open the NN description again");
        OutputBuffers outputs = resultView->createOutputs();
        const std::uint32_t unitsPerSession = modelInfo.single_slot != 0 || parallelCount == 0 ? 1 : 4;
        const std::uint32_t pipelineLength = std::uint32_t(sessions.size()) * unitsPerSession;
        const std::uint64_t pictureCount = std::uint64_t(pictureList.size());

        // The pictures of the frames on the boards, by frame number modulo the
        // pipeline length: the picture of an earlier frame is made current
        // again from here instead of being decoded a second time.
        std::vector<QImage> picturesInFlight(pipelineLength);
        // On the worker: makes the picture of an earlier frame current again,
        // so that the picture shown belongs to the outputs fetched.
        auto makeFrameCurrent = [&, pictureCount](std::uint64_t frame) {
            picturePath = pictureList.at(int(frame % pictureCount));
            picture = picturesInFlight[frame % pipelineLength];
            QMetaObject::invokeMethod(this, [this, path = picturePath] { setWindowFilePath(path); },
                                      Qt::QueuedConnection);
        };

        // The next frame's picture is read on the worker while the boards
        // work on the frames before it, so that a unit freed by a fetch gets
        // its next frame as soon as the result is shown. A picture that
        // cannot be read fails its own frame, as if read in its turn.
        LoadedPicture comingPicture;
        std::exception_ptr comingPictureError;
        auto readNextPicture = [&](std::uint64_t frame) {
            try {
                comingPicture = readPicture(pictureList.at(int(frame % pictureCount)));
            } catch (...) {
                comingPictureError = std::current_exception();
            }
        };

        std::uint64_t frame = 0;
        autoRunning = true;
        const std::int64_t start = ticksNow();
        readNextPicture(0);
        while (autoRunning && isVisible()) {
            picturePath = pictureList.at(int(frame % pictureCount));
            if (comingPictureError)
                std::rethrow_exception(comingPictureError);
            adoptPicture(picturePath, std::move(comingPicture));
            picturesInFlight[frame % pipelineLength] = picture;
            runInBackground([&, frame] {
                processFramePipelined(sessions, inputTensor, outputs, boardFps, unitsPerSession, pipelineLength,
                                      frame, makeFrameCurrent, [&] { readNextPicture(frame + 1); });
            });
            ++frame;
            frameTime = ticksToSeconds(ticksNow() - start) / double(frame);
            showPicture();
            if (resultView && frame >= pipelineLength)
                resultView->showResults(outputs);
            updateStatus();
            QCoreApplication::processEvents();
        }
        autoRunning = false;
        waitForAllUnits();
    } catch (const std::exception &error) {
        showWarning(tr("Frame Processing Error"), error);
    }
    runAutoActive = false;
    updateStatus();
}
