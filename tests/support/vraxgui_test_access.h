// Lets tests set the main window's board choice and the state no menu
// reaches, and read what its user cannot see. Where they can, tests read the
// window as its user does (tests/app/window_view.h).
#pragma once

#include "app/status_line.h"
#include "app/vraxgui.h"
#include "sources/frame_source.h"

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
    QImage &picture() { return window.picture; }
    std::vector<float> &inputTensor() { return window.inputTensor; }
    double &frameTime() { return window.frameTime; }
    bool &autoRunning() { return window.autoRunning; }
    QLabel *ratesLabel() { return window.ratesLabel; }
    QAction *runAct() { return window.runAct; }
    QAction *runAutoAct() { return window.runAutoAct; }
    std::unique_ptr<NnResults> &resultView() { return window.resultView; }
    std::vector<RuntimeHandle> &sessions() { return window.sessions; }

    std::unique_ptr<FrameSource> &stream() { return window.stream; }
    QSize &streamFrameSize() { return window.streamFrameSize; }
    std::uint64_t &framesDropped() { return window.framesDropped; }
    QAction *recordAct() { return window.recordAct; }
    QAction *loopAct() { return window.loopAct; }

    void openDescriptionFile(const QString &fileName) { window.openDescriptionFile(fileName); }
    void openPictureFiles(const QStringList &fileNames) { window.openPictureFiles(fileNames); }
    void openDroppedFiles(const QStringList &paths) { window.openDroppedFiles(paths); }
};
