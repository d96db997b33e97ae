// Lets the Run Auto and real-model tests read and set the main window's
// private state and call its commands directly. Other tests read the window
// as its user does (tests/app/window_view.h).
#pragma once

#include "app/picture_view.h"
#include "app/status_line.h"
#include "app/vraxgui.h"
#include "pipeline/frame_source.h"

struct VRAXGUITestAccess
{
    explicit VRAXGUITestAccess(VRAXGUI &window) : window(window) {}
    VRAXGUI &window;

    NnDescription &description() { return window.description; }
    ModelDims &modelDims() { return window.modelDims; }
    BoardType &boardType() { return window.boardType; }
    std::uint32_t &parallelCount() { return window.parallelCount; }
    QString &descriptionPath() { return window.descriptionPath; }
    QStringList &pictureList() { return window.pictureList; }
    QString &picturePath() { return window.picturePath; }
    QImage &picture() { return window.picture; }
    std::vector<float> &inputTensor() { return window.inputTensor; }
    double &frameTime() { return window.frameTime; }
    double &boardFps() { return window.boardFps; }
    bool &autoRunning() { return window.autoRunning; }
    PictureView *pictureView() { return window.pictureView; }
    QLabel *statusLabel() { return window.statusLabel; }
    QLabel *ratesLabel() { return window.ratesLabel; }
    QAction *openBoardAct() { return window.openBoardAct; }
    QAction *openDescriptionAct() { return window.openDescriptionAct; }
    QAction *openPictureAct() { return window.openPictureAct; }
    QAction *runAct() { return window.runAct; }
    QAction *runAutoAct() { return window.runAutoAct; }
    QAction *aboutAct() { return window.aboutAct; }
    std::unique_ptr<NnResults> &resultView() { return window.resultView; }
    std::vector<RuntimeHandle> &sessions() { return window.sessions; }
    std::uint64_t &nextPicture() { return window.nextPicture; }

    std::unique_ptr<FrameSource> &stream() { return window.stream; }
    QSize &streamFrameSize() { return window.streamFrameSize; }
    std::uint64_t &framesDropped() { return window.framesDropped; }
    QAction *recordAct() { return window.recordAct; }
    QAction *loopAct() { return window.loopAct; }

    void updateStatus() { window.updateStatus(); }
    void waitForAllUnits() { window.waitForAllUnits(); }
    void openDescriptionFile(const QString &fileName) { window.openDescriptionFile(fileName); }
    void openPictureFiles(const QStringList &fileNames) { window.openPictureFiles(fileNames); }
    void openDroppedFiles(const QStringList &paths) { window.openDroppedFiles(paths); }
};
