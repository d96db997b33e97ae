// The main window: owns every piece of state of the application and routes the
// menu commands.
#pragma once

#include "accel/accelerator.h"
#include "accel/board_type.h"
#include "app/background_runner.h"
#include "description/nn_description.h"
#include "results/nn_results.h"

#include <QImage>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QProgressBar;
class QScrollArea;

class VRAXGUI : public QMainWindow
{
    Q_OBJECT

public:
    VRAXGUI();
    ~VRAXGUI() override;

    // Opens a description on the current board and then the pictures, as if
    // chosen through the menus (the command line's files).
    void openStartupFiles(const QString &descriptionFile, const QStringList &pictureFiles);
    // The command line's --check: opens the files as openStartupFiles() does,
    // runs the network once on each picture and prints the status line after
    // each run; errors go to standard error instead of message boxes. True
    // when everything opened and ran.
    bool checkFiles(const QString &descriptionFile, const QStringList &pictureFiles);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Menu commands.
    void openBoard();
    void openDescription();
    void openPicture();
    void run();
    void runAuto();
    void showAbout();

    // The work of the commands once their files are chosen.
    void openDescriptionFile(const QString &fileName);
    void openPictureFiles(const QStringList &fileNames);

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
    // Shows an error in a message box, or on standard error while checking.
    void showWarning(const QString &title, const QString &text);
    void showWarning(const QString &title, const std::exception &error);

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
    bool autoRunning = false;
    QLabel *pictureLabel = nullptr;
    QLabel *statusLabel = nullptr;
    QScrollArea *scrollArea = nullptr;
    QProgressBar *progressBar = nullptr;
    QAction *openBoardAct = nullptr;
    QAction *openDescriptionAct = nullptr;
    QAction *openPictureAct = nullptr;
    QAction *runAct = nullptr;
    QAction *runAutoAct = nullptr;
    QAction *aboutAct = nullptr;
    std::unique_ptr<NnResults> resultView;
    std::vector<RuntimeHandle> sessions; // one per board in use
    ModelInfo modelInfo{};
    std::uint64_t nextPicture = 0; // index into pictureList of the next Run
    // True while Run Auto loops: the commands that would change what the loop
    // works on are disabled meanwhile.
    bool runAutoActive = false;
    // Set by checkFiles(): errors are printed and counted instead of shown.
    bool checking = false;
    int errorsPrinted = 0;

    friend struct VRAXGUITestAccess;
};
