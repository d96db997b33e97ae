// The main window: owns every piece of state of the application and routes the
// menu commands.
#pragma once

#include "accel/accelerator.h"
#include "accel/board_type.h"
#include "app/background_runner.h"
#include "description/nn_description.h"
#include "sources/display_scaling_source.h"
#include "sources/frame.h"
#include "sources/picture_list_source.h"
#include "app/result_view.h"

#include <QImage>
#include <QMainWindow>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

class FrameHandOver;
class PictureView;
class QMenu;
class StatusFilesLabel;
class FramePipeline;
class FrameRecording;
class FrameSource;
class QAction;
class QLabel;
class QProgressBar;
class QScrollArea;
class StatisticsDock;
class QTimer;
class ReferenceRun;

class VRAXGUI : public QMainWindow
{
    Q_OBJECT

public:
    VRAXGUI();
    ~VRAXGUI() override;

    // Opens a description on the current board and then the inputs, as if
    // chosen through the menus (the command line's files): pictures and
    // folders of pictures, or one video file or camera device.
    void openStartupFiles(const QString &descriptionFile, const QStringList &pictureFiles);
    // The command line's --check: opens the files as openStartupFiles() does,
    // runs the network once on each picture and prints the status line after
    // each run; errors go to standard error instead of message boxes. True
    // when everything opened and ran.
    bool checkFiles(const QString &descriptionFile, const QStringList &pictureFiles);

signals:
    // A frame's result is on screen (Run, or Run Auto at the screen's pace).
    void frameShown();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Descriptions, pictures and folders dropped on the window open as
    // through the menus.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Menu commands.
    void openBoard();
    void openDescription();
    void openPicture();
    void openPictureFolder();
    void openVideo();
    void openCamera();
    void toggleRecording(bool on);
    void run();
    void runAuto();
    void showAbout();

    // The work of the commands once their files are chosen.
    void openDescriptionFile(const QString &fileName);
    // Folders among the files stand for the pictures inside them.
    void openPictureFiles(const QStringList &fileNames);
    void openVideoFile(const QString &fileName);
    void openCameraDevice(const QString &device, const QSize &size);
    // Makes the video or camera the input and shows its first picture.
    void adoptStream(std::unique_ptr<FrameSource> source, const QString &path, const QImage &firstPicture);
    // Back to pictures: forgets the open video or camera.
    void closeStream();
    // Run on the open video or camera: its next frame.
    void runStreamFrame();
    // Recording ends with Run Auto, by the menu, or by itself.
    void stopRecording();

    // Menu states and the status line, derived from the members below.
    void updateStatus();
    // Runs board work on a worker thread; see runInBackground().
    void runInBackground(BackgroundTask task);
    // A picture read from its file at the network input size, and the input
    // tensor made from it.
    struct LoadedPicture
    {
        QImage picture;
        std::vector<float> tensor;
        QImage original; // the picture as given; null for raw binary images
        QRect crop;      // what of it the network sees
    };
    // Reads the file without changing the window; safe on the worker while
    // the GUI thread waits for it.
    LoadedPicture readPicture(const QString &path) const;
    // Makes the loaded picture and its tensor current and shows the file in
    // the title.
    void adoptPicture(const QString &path, LoadedPicture loaded);
    // Makes picture and inputTensor from the file.
    void loadPicture(const QString &path);
    // Puts picture into the picture area.
    void showPicture();
    // Waits until every unit of every session has finished its frame.
    void waitForAllUnits();
    // Shows an error in a message box over the window, or on standard error
    // while checking.
    void showWarning(const QString &title, const QString &text);
    void showWarning(const QString &title, const std::exception &error);
    // How pictures become the network's input on the current board.
    PictureReading pictureReading() const;
    // Run Auto: shows the newest finished frame, at most once per screen
    // refresh unless every frame is to be shown.
    void showArrivedFrame();
    // Makes a finished frame's picture current and shows it with its result.
    void showFrame(Frame &frame);
    // Ends a running Run Auto and waits for its frames; for closing.
    void stopRunAuto();

    // View > Compare with Simulator (vraxgui_compare.cpp): the reference
    // opened for the open description while the action is on, and each
    // frame the window shows run on it, off the GUI thread. A failure says
    // so in a message box and turns compare off.
    void addCompareAction(QMenu *viewMenu);
    void openReference();
    void closeReference();
    void compareOnReference(const QImage &networkPicture, const std::vector<float> &tensor,
                            const OutputBuffers &outputs, const FrameResult &result);

    // The picture area, its menus, results kept and the remembered settings
    // (vraxgui_view.cpp).
    void createPictureArea();
    void addResultActions(QMenu *fileMenu);
    void addViewActions(QMenu *viewMenu);
    void addRecentDescriptions(QMenu *fileMenu, QAction *before);
    // The one way a finished frame reaches the screen: its picture and its
    // result in the picture area, the classifier's table beside the window.
    void showResult(const PreparedPicture &prepared, const FrameResult &result);
    // What Run Auto's reader scales pictures for: the fitted picture area.
    DisplayScalingSource::Target displayTarget() const;
    // The current picture as preparation gave it (without its tensor).
    PreparedPicture currentPicture() const;
    void updateViewActions();
    void saveResultAs();
    // Writes the shown result to the file, in the format its suffix names;
    // throws with the file's name and the reason when it cannot.
    void saveResultFile(const QString &fileName);
    void copyResult();
    void openRecentDescription(const QString &fileName);
    void updateRecentMenu();
    void openDroppedFiles(const QStringList &paths);
    void restoreSettings();
    void saveViewSettings() const;
    void rememberBoard() const;
    void rememberDescription(const QString &fileName);
    void rememberFolder(const QString &kind, const QString &file) const;
    QString rememberedFolder(const QString &kind) const;

    NnDescription description;
    ModelDims modelDims;
    BoardType boardType = BoardType::Simulator;
    std::uint32_t boardIndex = 0;
    std::uint32_t parallelCount = 0; // 0: one board; else all boards of boardType
    QString descriptionPath;         // empty while no description is open
    QStringList pictureList;
    QString picturePath;
    QImage picture;                 // the current picture at the network input size
    std::vector<float> inputTensor; // the network input made from picture
    double frameTime = 0.0;         // seconds
    double boardFps = 0.0;          // as the runtime reports it
    // The user's wish that Run Auto goes on: space, Escape and closing clear it.
    bool autoRunning = false;
    QImage pictureOriginal; // picture as given, before the crop; null for raw binary images
    QRect pictureCrop;      // the crop of pictureOriginal that became picture
    PictureView *pictureView = nullptr;
    StatusFilesLabel *statusLabel = nullptr;
    QLabel *ratesLabel = nullptr;
    QProgressBar *progressBar = nullptr;
    QAction *openBoardAct = nullptr;
    QAction *openDescriptionAct = nullptr;
    QAction *openPictureAct = nullptr;
    QAction *runAct = nullptr;
    QAction *runAutoAct = nullptr;
    QAction *aboutAct = nullptr;
    QAction *exitAct = nullptr;
    QAction *saveResultAct = nullptr;
    QAction *copyResultAct = nullptr;
    QAction *originalPictureAct = nullptr;
    QAction *networkInputAct = nullptr;
    QAction *fitToWindowAct = nullptr;
    QAction *actualSizeAct = nullptr;
    QAction *zoomInAct = nullptr;
    QAction *zoomOutAct = nullptr;
    QMenu *recentMenu = nullptr;
    QStringList recentDescriptions; // most recent first
    std::unique_ptr<NnResults> resultView;
    std::vector<RuntimeHandle> sessions; // one per board in use
    ModelInfo modelInfo{};
    std::uint64_t nextPicture = 0; // index into pictureList of the next Run
    // True from the start of Run Auto until its last frame is in and every
    // unit is idle: the commands that would change what the loop works on
    // are disabled meanwhile. autoRunning may already be false then.
    bool runAutoInProgress = false;
    QAction *showEveryFrameAct = nullptr;
    // Run Auto's pipeline and the hand-over of its frames, while it runs.
    FramePipeline *activePipeline = nullptr;
    FrameHandOver *handOver = nullptr;
    DisplayScalingSource *displayScaling = nullptr;
    std::int64_t runAutoStart = 0;   // steady clock, ns
    std::int64_t lastShown = 0;      // steady clock, ns
    QTimer *paceTimer = nullptr;
    StatisticsDock *statisticsDock = nullptr;
    // Set by checkFiles(): errors are printed and counted instead of shown.
    bool checking = false;
    int errorsPrinted = 0;
    // Pictures decoded once, for the current description and board.
    mutable PictureCache pictureCache; // a cache: reading through it changes no state the window shows
    // The open video or camera; null while the input is pictures. Its path
    // is then pictureList's only entry.
    std::unique_ptr<FrameSource> stream;
    QSize streamFrameSize;
    double streamFps = 0.0;
    std::uint64_t framesDropped = 0; // by the camera's newest-frame-wins queue in the last Run Auto
    QAction *openPictureFolderAct = nullptr;
    QAction *openVideoAct = nullptr;
    QAction *openCameraAct = nullptr;
    QAction *recordAct = nullptr;
    QAction *loopAct = nullptr;
    FrameRecording *recording = nullptr;
    QAction *compareAct = nullptr;
    std::unique_ptr<ReferenceRun> reference; // while compare is on and a description is open

    friend struct VRAXGUITestAccess;
};
