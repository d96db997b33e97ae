// Lets tests read and set the main window's private state and call its
// commands directly, as the menus would.
#pragma once

#include "app/picture_view.h"
#include "app/status_line.h"
#include "app/vraxgui.h"

struct VRAXGUITestAccess
{
    explicit VRAXGUITestAccess(VRAXGUI &window) : window(window) {}
    VRAXGUI &window;

    NnDescription &description() { return window.description; }
    ModelDims &modelDims() { return window.modelDims; }
    BoardType &boardType() { return window.boardType; }
    std::uint32_t &boardIndex() { return window.boardIndex; }
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
    // The whole status line, as the status bar's tool tip holds it.
    QString statusText() { return window.statusLabel->toolTip(); }
    QProgressBar *progressBar() { return window.progressBar; }
    QAction *openBoardAct() { return window.openBoardAct; }
    QAction *openDescriptionAct() { return window.openDescriptionAct; }
    QAction *openPictureAct() { return window.openPictureAct; }
    QAction *runAct() { return window.runAct; }
    QAction *runAutoAct() { return window.runAutoAct; }
    QAction *aboutAct() { return window.aboutAct; }
    std::unique_ptr<NnResults> &resultView() { return window.resultView; }
    std::vector<RuntimeHandle> &sessions() { return window.sessions; }
    ModelInfo &modelInfo() { return window.modelInfo; }
    std::uint64_t &nextPicture() { return window.nextPicture; }

    void updateStatus() { window.updateStatus(); }
    void waitForAllUnits() { window.waitForAllUnits(); }
    void openDescriptionFile(const QString &fileName) { window.openDescriptionFile(fileName); }
    void openPictureFiles(const QStringList &fileNames) { window.openPictureFiles(fileNames); }
    void loadPicture(const QString &path) { window.loadPicture(path); }
    void runInBackground(BackgroundTask task) { window.runInBackground(std::move(task)); }
    void saveResultFile(const QString &fileName) { window.saveResultFile(fileName); }
    void openDroppedFiles(const QStringList &paths) { window.openDroppedFiles(paths); }
    QStringList &recentDescriptions() { return window.recentDescriptions; }
};
