// The main window: shows the workbench's state (workbench/workbench.h) and
// forwards the user's commands to it. Menu entries, shortcuts, drops and
// recent files are enabled by the workbench's busy state; what is refused
// meanwhile says why in the status line.
#pragma once

#include "sources/frame.h"
#include "sources/shown_picture.h"
#include "workbench/workbench.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>

class ClassificationResults;
class FramePacer;
class LayersDock;
class PictureView;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTimer;
class StatisticsDock;
class StatusFilesLabel;

class VRAXGUI : public QMainWindow
{
    Q_OBJECT

public:
    VRAXGUI();
    ~VRAXGUI() override;

    // Opens a description on the current board and then the inputs, as if
    // chosen through the menus (the command line's files): pictures and
    // folders of pictures, or one video file or camera device. Without a
    // description, the inputs for the description already open.
    void openStartupFiles(const QString &descriptionFile, const QStringList &inputs);

    // The core the window shows.
    Workbench &workbench() { return core; }

signals:
    // A frame's result is on screen (Run, or Run Auto at the screen's pace).
    void frameShown();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Descriptions, pictures, folders and a video dropped on the window open
    // as through the menus.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Menus and the commands that ask for files first.
    void createFileMenu();
    void createViewMenu();
    void openBoard();
    void openDescription();
    void openPicture();
    void openPictureFolder();
    void openVideo();
    void openCamera();
    void toggleRecording(bool on);
    void showAbout();

    // What the window shows of the workbench.
    void updateStatus();
    void activityChanged(Activity activity);
    void descriptionChanged();
    void showInput();
    void showFailure(const QString &title, const QString &text);
    void showRefusal(const QString &reason);
    // A note on how the window started (a remembered board missing), in the
    // status line until a board or description is chosen.
    void showStartNote(const QString &note);
    void dropStartNote();
    void recordingChanged(bool on, const QString &summary, const QString &reason);
    // The newest finished frame, on screen; nothing when none waits.
    void showArrivedFrame();
    void showFrame(const FramePtr &frame);
    void showTitleOf(const FrameOrigin &origin);

    // The picture area, its menus, results kept and the remembered settings
    // (vraxgui_view.cpp).
    void createPictureArea();
    void addResultActions(QMenu *fileMenu);
    void addViewActions(QMenu *viewMenu);
    void addCompareAction(QMenu *viewMenu);
    void addRecentDescriptions(QMenu *fileMenu, QAction *before);
    // A picture and its result in the picture area, the classifier's table
    // beside the window.
    void showResult(const PreparedPicture &picture, const FrameResult &result);
    // What Run Auto's reader scales pictures for: the fitted picture area.
    DisplayTarget displayTarget() const;
    void updateViewActions();
    // Asks before replacing a file; writes the format the suffix names.
    void saveResultAs();
    void copyResult();
    void openRecentDescription(const QString &fileName);
    void updateRecentMenu();
    void openDroppedFiles(const QStringList &paths);
    void restoreSettings();
    void saveViewSettings() const;
    void rememberDescription(const QString &fileName);
    void rememberFolder(const QString &kind, const QString &file) const;
    QString rememberedFolder(const QString &kind) const;

    Workbench core;
    PictureView *pictureView = nullptr;
    StatusFilesLabel *statusLabel = nullptr;
    QLabel *ratesLabel = nullptr;
    QLabel *zoomLabel = nullptr; // the scale the picture is shown at
    QProgressBar *progressBar = nullptr;
    QTimer *busyDelay = nullptr; // the busy indicator shows once work has taken a while
    StatisticsDock *statisticsDock = nullptr;
    LayersDock *layersDock = nullptr;
    FramePacer *pacer = nullptr;
    std::unique_ptr<ClassificationResults> classificationTable; // while a classifier is open
    QMenu *recentMenu = nullptr;
    QStringList recentDescriptions; // most recent first
    QString startNote;

    QAction *openBoardAct = nullptr;
    QAction *openDescriptionAct = nullptr;
    QAction *openPictureAct = nullptr;
    QAction *openPictureFolderAct = nullptr;
    QAction *openVideoAct = nullptr;
    QAction *openCameraAct = nullptr;
    QAction *runAct = nullptr;
    QAction *runAutoAct = nullptr;
    QAction *recordAct = nullptr;
    QAction *saveResultAct = nullptr;
    QAction *copyResultAct = nullptr;
    QAction *exitAct = nullptr;
    QAction *showEveryFrameAct = nullptr;
    QAction *oneFrameAtATimeAct = nullptr;
    QAction *loopAct = nullptr;
    QAction *compareAct = nullptr;
    QAction *originalPictureAct = nullptr;
    QAction *networkInputAct = nullptr;
    QAction *fitToWindowAct = nullptr;
    QAction *actualSizeAct = nullptr;
    QAction *zoomInAct = nullptr;
    QAction *zoomOutAct = nullptr;
};
