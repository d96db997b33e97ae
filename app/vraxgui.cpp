#include "app/vraxgui.h"

#include "accel/result_check.h"
#include "app/status_line.h"

#include <QAction>
#include <QCloseEvent>
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
    const std::uint32_t units = modelInfo.single_slot != 0 ? 1 : 4;
    for (RuntimeHandle session : sessions) {
        for (std::uint32_t unit = 0; unit < units; ++unit) {
            std::uint32_t status = 0;
            do {
                checkRuntimeResult(VRAX_GetStatus(session, unit, &status), "GetStatus");
            } while (status == VRAX_STATUS_BUSY);
        }
    }
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
    openPictureAct->setEnabled(descriptionOpen);
    runAct->setEnabled(descriptionOpen && picturesChosen);
    runAutoAct->setEnabled(descriptionOpen && picturesChosen);

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

void VRAXGUI::openBoard()
{
    updateStatus();
}

void VRAXGUI::openDescription()
{
    updateStatus();
}

void VRAXGUI::openPicture()
{
    updateStatus();
}

void VRAXGUI::run()
{
    updateStatus();
}

void VRAXGUI::runAuto()
{
    updateStatus();
}
