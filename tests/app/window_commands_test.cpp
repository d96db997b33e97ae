// The window's commands end to end on the simulator: open a description, open
// pictures, Run and Run Auto, with a tiny classifier whose answer names the
// picture's dominant colour, so every result shown can be checked against
// the picture shown.
#include "app/vraxgui.h"
#include "support/modal_answer.h"
#include "run_auto_watcher.h"
#include "window_fixture.h"
#include "window_view.h"

#include <vrax_sim.h>

#include <QFileInfo>
#include <QMimeData>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

// The name of the dominant colour of the shown picture's centre.
QString shownColour(const WindowView &view)
{
    const QImage shown = view.pictureView()->shownImage();
    if (shown.isNull())
        return QString();
    const QColor colour = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    if (colour.red() > 200 && colour.green() < 50 && colour.blue() < 50)
        return "red";
    if (colour.green() > 200 && colour.red() < 50 && colour.blue() < 50)
        return "green";
    if (colour.blue() > 200 && colour.red() < 50 && colour.green() < 50)
        return "blue";
    return "other";
}

QString topLabel()
{
    QTableWidget *table = WindowView::resultTable();
    return table && table->rowCount() > 0 ? table->item(0, 0)->text() : QString();
}

} // namespace

class WindowCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openDescriptionAndPicturesThroughTheMenus();
    void openingTheSameDescriptionAgainChangesNothing();
    void anotherDescriptionLeavesNothingOfTheOneBefore();
    void failingDescriptionsLeaveNothingOpen_data();
    void failingDescriptionsLeaveNothingOpen();
    void runTakesThePicturesInTurn();
    void badPictureIsReportedInItsTurn_data();
    void badPictureIsReportedInItsTurn();
    void runAutoShowsEachPictureWithItsOwnResult_data();
    void runAutoShowsEachPictureWithItsOwnResult();
    void runAutoStopsOnEscapeAndOnClose();
    void failingBoardCallsReachTheUser_data();
    void failingBoardCallsReachTheUser();
    void aDropWhileADescriptionOpensIsRefused();

private:
    std::unique_ptr<WindowFixture> files;
};

void WindowCommandsTest::init()
{
    files = std::make_unique<WindowFixture>();
}

void WindowCommandsTest::cleanup()
{
    files.reset();
}

void WindowCommandsTest::openDescriptionAndPicturesThroughTheMenus()
{
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    // Nothing open at the start: a board is, and only a description can be opened.
    QVERIFY(view.entry("Open &Board...")->isChecked() && view.entry("Open &Board...")->isEnabled());
    QVERIFY(!view.entry("Open &Description...")->isChecked() && view.entry("Open &Description...")->isEnabled());
    QVERIFY(!view.entry("Open &Picture...")->isChecked() && !view.entry("Open &Picture...")->isEnabled());
    QVERIFY(!view.entry("&Run")->isEnabled() && !view.entry("Run &Auto (space to abort)")->isEnabled());
    QVERIFY(view.entry("About")->isEnabled());
    QVERIFY(window.centralWidget()->isHidden());
    QCOMPARE(view.status(), QString("Board 0 (simulator), no description, no picture. 0.00 (0.00) fps."));
    QVERIFY(window.windowTitle().isEmpty());

    const QString description = files->writeDescription("colours.xml");
    const QString opened =
        QString("Board 0 (simulator), description: %1, no picture. 0.00 (0.00) fps.").arg(description);

    answerNextFileDialog({description});
    QVERIFY(view.choose("Open &Description..."));

    QCOMPARE(view.status(), opened);
    QVERIFY(view.entry("Open &Description...")->isChecked());
    QVERIFY(view.entry("Open &Picture...")->isEnabled());
    QVERIFY(!view.entry("&Run")->isEnabled());
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 1u);
    QVERIFY(!view.busyIndicator()->isVisible());

    // Cancelling the dialog changes nothing; the entry keeps its mark.
    answerNextFileDialog({});
    QVERIFY(view.choose("Open &Description..."));
    QCOMPARE(view.status(), opened);
    QVERIFY(view.entry("Open &Description...")->isChecked());

    const QStringList pictures = files->colourPictures();
    answerNextFileDialog(pictures);
    QVERIFY(view.choose("Open &Picture..."));

    QVERIFY(window.centralWidget()->isVisible());
    QCOMPARE(window.windowFilePath(), pictures[0]);
    QCOMPARE(shownColour(view), QString("red"));
    QVERIFY(view.entry("&Run")->isEnabled());
    QVERIFY(view.entry("Run &Auto (space to abort)")->isEnabled());
    QVERIFY(view.entry("Open &Picture...")->isChecked());
    QVERIFY(view.status().contains("picture: " + pictures[0] + ". 0.00 (0.00) fps."));

    // A file that is no picture: the pictures open before, the picture
    // shown and the title stay, and the title names the status line's picture.
    QVERIFY(view.choose("&Run"));
    const QString status = view.status();
    const QString title = window.windowTitle();
    QCOMPARE(title, QFileInfo(pictures[0]).fileName());
    QString boxTitle, text;
    acceptNextMessageBox(&boxTitle, &text);
    const QString bad = files->writeFile("bad.png", "not a picture");
    answerNextFileDialog({bad});
    QVERIFY(view.choose("Open &Picture..."));
    QCOMPARE(boxTitle, QString("Open Picture"));
    QCOMPARE(text, QString("Cannot read picture: %1 (Unsupported image format)").arg(bad));
    QCOMPARE(view.status(), status);
    QCOMPARE(window.windowTitle(), title);
    QCOMPARE(shownColour(view), QString("red"));
    QVERIFY(view.entry("&Run")->isEnabled() && view.entry("Open &Picture...")->isChecked());
    QVERIFY(view.choose("&Run"));
    QCOMPARE(shownColour(view), QString("green"));
    QVERIFY(view.status().contains("picture: " + pictures[1] + ". "));
    QCOMPARE(window.windowTitle(), QFileInfo(pictures[1]).fileName());
}

void WindowCommandsTest::openingTheSameDescriptionAgainChangesNothing()
{
    VRAXGUI window;
    const WindowView view{window};
    files->openColourClassifier(window);
    const std::uint32_t created = VRAX_SIM_CreatedCount();
    const QString status = view.status();

    window.openStartupFiles(files->writeDescription("colours.xml"), {});
    QVERIFY(view.settle());
    QCOMPARE(VRAX_SIM_CreatedCount(), created);
    QCOMPARE(view.status(), status);

    // Another description of the same kind replaces the session and forgets the pictures.
    window.openStartupFiles(files->writeDescription("again.xml"), {});
    QVERIFY(view.settle());
    QCOMPARE(VRAX_SIM_CreatedCount(), created + 1);
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 1u);
    QVERIFY(view.status().contains("again.xml, no picture."));
}

// Nothing of a description stays when another opens: not its result (the old
// classes under the new labels), not its figures, not the picture's title.
void WindowCommandsTest::anotherDescriptionLeavesNothingOfTheOneBefore()
{
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    const QStringList pictures = files->openColourClassifier(window);
    for (int i = 0; i < 3; ++i)
        QVERIFY(view.choose("&Run"));
    const Workbench &core = window.workbench();
    QVERIFY(core.measurement().statistics().frames() > 0 && core.lastFrame());
    QVERIFY(WindowView::resultTable()->isVisible());

    window.openStartupFiles(files->writeDescription("other.xml", "cyan\nmagenta\nyellow"), {});
    QVERIFY(view.settle());
    QVERIFY(view.status().endsWith("other.xml, no picture. 0.00 (0.00) fps."));
    QVERIFY(!view.pictureView()->hasFrame() && window.centralWidget()->isHidden());
    QVERIFY(window.windowTitle().isEmpty() && window.windowFilePath().isEmpty());
    QVERIFY(!WindowView::resultTable() || !WindowView::resultTable()->isVisible());
    QVERIFY(!core.lastFrame());
    QCOMPARE(core.measurement().statistics().frames(), std::uint64_t(0));
    QCOMPARE(core.measurement().framesDelivered(), std::uint64_t(0));
    QVERIFY(!core.measurement().statistics().firstFrame());

    window.openStartupFiles(QString(), {pictures[2]});
    QVERIFY(view.settle());
    QCOMPARE(window.windowTitle(), QFileInfo(pictures[2]).fileName());
    QVERIFY(view.status().contains("picture: " + pictures[2] + ". "));
    QVERIFY(view.choose("&Run"));
    QCOMPARE(topLabel(), QString("yellow"));
}

void WindowCommandsTest::failingDescriptionsLeaveNothingOpen_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("exactMessage");

    const QByteArray fourLabels = "<vrax_nn_description><input><model>MODEL</model><format>rgb</format>"
                                  "<divider>255</divider><adder>0</adder></input><output>"
                                  "<neural_network>classifier</neural_network><labels>a\nb\nc\nd</labels>"
                                  "</output></vrax_nn_description>";
    QTest::newRow("not XML") << "broken.xml" << QByteArray("<vrax_nn") << "Failed to open VRAX NN descriptions file"
                             << true;
    QTest::newRow("missing model file") << "missing.xml" << QByteArray(fourLabels).replace("MODEL", "nets/none.bin")
                                        << "Unable to open input file: " << false;
    QTest::newRow("model that does not compile")
        << "garbage.xml" << QByteArray(fourLabels).replace("MODEL", "garbage.onnx")
        << "VRAX_COMPILER_RESULT_" << false;
    QTest::newRow("intensity for a colour model")
        << "grey.xml" << QByteArray(fourLabels).replace("a\nb\nc\nd", "r\ng\nb").replace(">rgb<", ">intensity<")
        << "The input format \"intensity\" does not fit the input depth" << false;
}

void WindowCommandsTest::failingDescriptionsLeaveNothingOpen()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, contents);
    QFETCH(QString, message);
    QFETCH(bool, exactMessage);

    files->writeFile("garbage.onnx", QByteArray(300, '\x5a'));
    contents.replace("MODEL", files->meanColourModel().toUtf8());
    const QString path = files->writeFile(fileName, contents);

    VRAXGUI window;
    const WindowView view{window};
    files->openColourClassifier(window);

    QString title, text;
    acceptNextMessageBox(&title, &text);
    answerNextFileDialog({path});
    QVERIFY(view.choose("Open &Description..."));

    QCOMPARE(title, QString("Description Opening Error"));
    if (exactMessage)
        QCOMPARE(text, message);
    else
        QVERIFY2(text.startsWith(message), qPrintable(text));
    QVERIFY(!view.entry("&Run")->isEnabled());
    QVERIFY(!view.entry("Open &Picture...")->isEnabled());
    QVERIFY(view.status().contains("no description, no picture."));
}

void WindowCommandsTest::runTakesThePicturesInTurn()
{
    VRAXGUI window;
    window.setGeometry(20, 40, 400, 300); // room on the screen beside it
    window.show();
    const WindowView view{window};
    const QStringList pictures = files->openColourClassifier(window);
    const QStringList expected = {"red", "green", "blue", "red"};

    for (int i = 0; i < 4; ++i) {
        QVERIFY(view.choose("&Run"));
        QCOMPARE(window.windowFilePath(), pictures[i % 3]);
        QCOMPARE(shownColour(view), expected[i]);
        QCOMPARE(topLabel(), expected[i]);
        // The picture, then both rates measured: neither reads 0.00.
        const QString status = view.status();
        QVERIFY2(status.contains("picture: " + pictures[i % 3] + ". ") && !status.contains(". 0.00 (")
                     && !status.contains("(0.00)"),
                 qPrintable(status));
    }
    QVERIFY(WindowView::resultTable()->isVisible());
    QCOMPARE(WindowView::resultTable()->rowCount(), 3);
    // The table's window stands beside the main window, over none of the picture.
    QVERIFY(!WindowView::resultTable()->window()->frameGeometry().intersects(window.frameGeometry()));
}

void WindowCommandsTest::badPictureIsReportedInItsTurn_data()
{
    QTest::addColumn<bool>("autoRun");
    QTest::addColumn<bool>("oneFrameAtATime");
    QTest::newRow("Run") << false << false;
    QTest::newRow("Run Auto, four frames in flight") << true << false;
    QTest::newRow("Run Auto, one frame at a time") << true << true;
}

void WindowCommandsTest::badPictureIsReportedInItsTurn()
{
    QFETCH(bool, autoRun);
    QFETCH(bool, oneFrameAtATime);

    VRAXGUI window;
    window.show();
    const WindowView view{window};
    view.entry("One Frame at a Time")->setChecked(oneFrameAtATime);
    const QString red = files->writePicture("red.png", Qt::red);
    const QString blue = files->writePicture("blue.png", Qt::blue);
    const QString bad = files->writeFile("bad.png", "not a picture");
    window.openStartupFiles(files->writeDescription("colours.xml"), {red, blue, bad});
    QVERIFY(view.settle());

    QString title, text;
    acceptNextMessageBox(&title, &text);
    QAction *run = view.entry(autoRun ? "Run &Auto (space to abort)" : "&Run");
    for (int i = 0; i < 3 && title.isEmpty(); ++i) {
        run->trigger();
        QVERIFY(view.settle());
    }
    QCOMPARE(title, QString("Frame Processing Error"));
    QCOMPARE(text, QString("Cannot read picture: %1 (Unsupported image format)").arg(bad));
    // Run Auto reads each picture ahead, while the frames before it are on
    // the board; the failure comes in the bad picture's turn, after the
    // frames before it have been shown with their results.
    QCOMPARE(shownColour(view), QString("blue"));
    QCOMPARE(topLabel(), QString("blue"));
    QVERIFY2(view.status().contains("picture: " + blue + ". "), qPrintable(view.status()));

    // The window stays usable: space ends a failed loop, Run goes on to the
    // next picture, and Run Auto over good pictures shows their results.
    QTest::keyClick(&window, Qt::Key_Space);
    if (autoRun) {
        window.openStartupFiles(QString(), {red});
        QVERIFY(view.settle());
        runAutoFor(window, 6);
    } else {
        QVERIFY(view.choose("&Run"));
    }
    QCOMPARE(topLabel(), QString("red"));
}

void WindowCommandsTest::runAutoShowsEachPictureWithItsOwnResult_data()
{
    QTest::addColumn<QByteArray>("boards");
    QTest::addColumn<int>("boardType");
    QTest::addColumn<uint>("parallelCount");
    QTest::addColumn<uint>("sessionCount");
    QTest::addColumn<int>("pipelineLength");
    QTest::addColumn<bool>("everyFrame");      // View > Show Every Frame
    QTest::addColumn<bool>("oneFrameAtATime"); // View > One Frame at a Time

    // One board keeps every unit busy, as all boards of a type do.
    QTest::newRow("simulator") << QByteArray() << 0 << 0u << 1u << 4 << false << false;
    QTest::newRow("simulator, one frame at a time") << QByteArray() << 0 << 0u << 1u << 1 << false << true;
    QTest::newRow("simulator, parallel") << QByteArray() << 0 << 1u << 1u << 4 << false << false;
    QTest::newRow("simulator, every frame") << QByteArray() << 0 << 0u << 1u << 4 << true << false;
    QTest::newRow("two boards in parallel") << QByteArray("2:2") << 2 << 2u << 2u << 8 << false << false;
    QTest::newRow("two boards, one frame at a time") << QByteArray("2:2") << 2 << 2u << 2u << 1 << false << true;
    QTest::newRow("planar board, one slot") << QByteArray("1:2") << 1 << 2u << 2u << 2 << false << false;
}

void WindowCommandsTest::runAutoShowsEachPictureWithItsOwnResult()
{
    QFETCH(QByteArray, boards);
    QFETCH(int, boardType);
    QFETCH(uint, parallelCount);
    QFETCH(uint, sessionCount);
    QFETCH(int, pipelineLength);
    QFETCH(bool, everyFrame);
    QFETCH(bool, oneFrameAtATime);

    if (!boards.isEmpty())
        qputenv("VRAX_BOARDS", boards);
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    window.workbench().chooseBoard(BoardChoice{BoardType(boardType), 0, parallelCount});
    const QStringList pictures = files->openColourClassifier(window);
    QCOMPARE(VRAX_SIM_LiveSessionCount(), sessionCount);
    view.entry("Show Every Frame")->setChecked(everyFrame);
    view.entry("One Frame at a Time")->setChecked(oneFrameAtATime);

    // The entries that would change what Run Auto works on stay disabled
    // while it runs; Exit and About stay enabled.
    const QStringList changers = {"Open &Board...", "Open &Description...", "Open &Picture...", "&Run",
                                  "Run &Auto (space to abort)"};
    bool changersEnabled = false;
    bool keptEnabled = true;
    int resultsChecked = 0;
    int mismatches = 0;
    int titleMismatches = 0;
    const int shown = runAutoFor(window, 30, nullptr, [&](int) {
        for (const QString &changer : changers)
            changersEnabled = changersEnabled || view.entry(changer)->isEnabled();
        keptEnabled = keptEnabled && view.entry("E&xit")->isEnabled() && view.entry("About")->isEnabled();
        // The title names the picture drawn (red.png shows red).
        if (QFileInfo(window.windowTitle()).completeBaseName() != shownColour(view)
            || window.windowFilePath() != view.status().section("picture: ", 1).section(". ", 0, 0))
            ++titleMismatches;
        const QString label = topLabel();
        if (label.isEmpty())
            return;
        ++resultsChecked;
        if (label != shownColour(view))
            ++mismatches;
    });

    QVERIFY2(shown >= 30, qPrintable(QString::number(shown)));
    QCOMPARE(window.workbench().runInFlightLimit(), std::uint32_t(pipelineLength));
    // The first pipelineLength - 1 pictures come before any result.
    QVERIFY(resultsChecked >= shown - pipelineLength);
    QCOMPARE(mismatches, 0);
    QCOMPARE(titleMismatches, 0);
    QVERIFY(!changersEnabled);
    QVERIFY(keptEnabled);
    // Both rates measured: neither reads 0.00.
    const QRegularExpression unmeasured(" 0\\.00 \\(|\\(0\\.00\\)");
    QVERIFY2(!view.status().contains(unmeasured), qPrintable(view.status()));
    for (const QString &changer : changers)
        QVERIFY2(view.entry(changer)->isEnabled(), qPrintable(changer));
    // Run Auto leaves Run's place in the list alone.
    QVERIFY(view.choose("&Run"));
    QCOMPARE(window.windowFilePath(), pictures[0]);
}

void WindowCommandsTest::runAutoStopsOnEscapeAndOnClose()
{
    {
        VRAXGUI window;
        window.show();
        files->openColourClassifier(window);
        // Other keys leave it running.
        const auto pressQ = [&window](int shown) {
            if (shown == 3)
                QTest::keyClick(&window, Qt::Key_Q);
        };
        QVERIFY(runAutoFor(window, 15, [&window] { QTest::keyClick(&window, Qt::Key_Escape); }, pressQ) >= 15);
        QVERIFY(window.isVisible());
    }
    // The close button, then File > Exit: both stop the loop, wait for the
    // units and close, the results' window with them.
    for (const bool byMenu : {false, true}) {
        qputenv("VRAX_BOARDS", "2:2");
        auto window = std::make_unique<VRAXGUI>();
        window->show();
        const WindowView view{*window};
        window->workbench().chooseBoard(BoardChoice{BoardType::TK307_04, 0, 2});
        files->openColourClassifier(*window);
        runAutoFor(*window, 12, [&] {
            if (byMenu)
                view.entry("E&xit")->trigger();
            else
                window->close();
        });
        QVERIFY(!window->isVisible());
        QVERIFY(!WindowView::resultTable() || !WindowView::resultTable()->isVisible());
        window.reset();
        QCOMPARE(VRAX_SIM_LiveSessionCount(), 0u);
    }
}

void WindowCommandsTest::failingBoardCallsReachTheUser_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("autoRun");
    QTest::addColumn<QString>("message");

    QTest::newRow("Run: process") << "VRAX_Process" << 13 << false << "VRAX_RESULT_BOARD_SYNC_ERROR";
    QTest::newRow("Run: status") << "VRAX_GetStatus" << 21 << false << "VRAX_RESULT_UNKNOWN_ERROR";
    QTest::newRow("Run: output") << "VRAX_GetOutput" << 9 << false << "VRAX_RESULT_MEMORY_READ_ERROR";
    // Run Auto with four frames in flight: the failure comes from a frame on
    // the boards or from waiting for the others.
    QTest::newRow("Run Auto: process") << "VRAX_Process" << 13 << true << "VRAX_RESULT_BOARD_SYNC_ERROR";
    QTest::newRow("Run Auto: status") << "VRAX_GetStatus" << 13 << true << "VRAX_RESULT_BOARD_SYNC_ERROR";
    QTest::newRow("Run Auto: output") << "VRAX_GetOutput" << 20 << true << "VRAX_RESULT_INCOMPLETE";
}

void WindowCommandsTest::failingBoardCallsReachTheUser()
{
    QFETCH(QString, function);
    QFETCH(int, code);
    QFETCH(bool, autoRun);
    QFETCH(QString, message);

    VRAXGUI window;
    window.show();
    const WindowView view{window};
    files->openColourClassifier(window);

    VRAX_SIM_InjectFault(function.toUtf8().constData(), code, 3);
    QString title, text;
    acceptNextMessageBox(&title, &text);
    QAction *run = view.entry(autoRun ? "Run &Auto (space to abort)" : "&Run");
    for (int i = 0; i < 4 && title.isEmpty(); ++i) {
        run->trigger();
        QVERIFY(view.settle());
    }
    QCOMPARE(title, QString("Frame Processing Error"));
    QCOMPARE(text, message);
    QVERIFY(view.entry("&Run")->isEnabled());

    // The window stays usable: once the board works again, so does Run.
    VRAX_SIM_ClearInjections();
    QVERIFY(view.choose("&Run"));
    QVERIFY(!topLabel().isEmpty());
}

// A description dropped on the window while another opens is not opened
// inside the first: the status line says it was refused, the first opens
// once, on one session, and no false error appears.
void WindowCommandsTest::aDropWhileADescriptionOpensIsRefused()
{
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    const QString first = files->writeDescription("first.xml");
    const QString second = files->writeDescription("second.xml");
    // Compiling takes a while: the drop comes meanwhile, from the event loop.
    qputenv("VRAX_COMPILER_DELAYS", "VRAX_COMPILER_CompileONNX=400ms");
    const std::uint32_t created = VRAX_SIM_CreatedCount();
    QString title, text;
    acceptNextMessageBox(&title, &text);
    QTimer::singleShot(50, &window, [&view, second] { view.drop({second}); });
    window.openStartupFiles(first, {});
    QTest::qWait(100);
    QVERIFY(view.settle());

    QVERIFY2(title.isEmpty(), qPrintable(title + ": " + text));
    QVERIFY2(view.status().contains("description: " + first + ", "), qPrintable(view.status()));
    QVERIFY2(view.note().startsWith("Busy opening the description: "), qPrintable(view.note()));
    QCOMPARE(VRAX_SIM_CreatedCount(), created + 1);
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 1u);
    QVERIFY(view.entry("Open &Picture...")->isEnabled());
}

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
