// The main window's own behaviour: the status line's text, F11 and About,
// the board it starts on, the results table beside it and the statistics
// panel's room.
#include "app/classification_results.h"
#include "app/statistics_dock.h"
#include "app/status_line.h"
#include "app/vraxgui.h"
#include "support/modal_answer.h"
#include "window_fixture.h"
#include "window_view.h"

#include <QDockWidget>
#include <QHeaderView>
#include <QScrollBar>
#include <QSettings>
#include <QtTest>

#include <limits>
#include <tuple>

Q_DECLARE_METATYPE(StatusLineState)

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void statusLineText_data();
    void statusLineText();
    void statusLineShortensFoldersNeverFileNames_data();
    void statusLineShortensFoldersNeverFileNames();
    void f11TogglesFullScreen();
    void aboutShowsTheRuntimeVersion();
    void aRememberedBoardNoLongerThereGivesTheSimulator_data();
    void aRememberedBoardNoLongerThereGivesTheSimulator();
    void theResultsTableLeavesTheKeyboardToTheWindow();
    void theStatisticsPanelShowsItsRowsAndLeavesRoom();
};

void MainWindowTest::statusLineText_data()
{
    QTest::addColumn<StatusLineState>("state");
    QTest::addColumn<QString>("expected");

    const double epsilon = std::numeric_limits<double>::epsilon();
    const QString none = ", no description, no picture. ";
    const auto simulator = [](double frameTime, double boardFps) {
        return StatusLineState{BoardType::Simulator, 0, false, {}, {}, {}, frameTime, boardFps};
    };
    QTest::newRow("rates") << simulator(0.04, 31.25) << "Board 0 (simulator)" + none + "25.00 (31.25) fps.";
    QTest::newRow("time at epsilon") << simulator(epsilon, 1.005) << "Board 0 (simulator)" + none + "0.00 (1.00) fps.";
    // Boards are named as vrax-run names them; a type the board table does not know reads as the simulator.
    const std::tuple<BoardType, std::uint32_t, bool, const char *> boards[] = {
        {BoardType::TK301_02, 3, false, "Board 1:3 (TK301.02)"},
        {BoardType::Bolt, 4294967295u, false, "Board 7:4294967295 (Bolt)"},
        {BoardType::TK307_04, 0, true, "Board 2:all (TK307.04)"},
        {BoardType(9), 0, false, "Board 0 (simulator)"},
    };
    for (const auto &[type, index, parallel, board] : boards)
        QTest::newRow(board) << StatusLineState{type, index, parallel, {}, {}, {}, 0.0, 0.0}
                             << board + none + "0.00 (0.00) fps.";
    QTest::newRow("description and picture")
        << StatusLineState{BoardType::Simulator, 0, false, "/data/nets/d.xml", {"/p/a.png", "/p/b.png"}, "/p/b.png", 0.1, 12.345}
        << "Board 0 (simulator), description: /data/nets/d.xml, picture: /p/b.png. 10.00 (12.35) fps.";
    QTest::newRow("picture path without list")
        << StatusLineState{BoardType::Simulator, 0, false, "/d.xml", {}, "/p/old.png", 0.0, 0.0}
        << "Board 0 (simulator), description: /d.xml, no picture. 0.00 (0.00) fps.";
}

void MainWindowTest::statusLineText()
{
    QFETCH(StatusLineState, state);
    QFETCH(QString, expected);
    QCOMPARE(::statusLineText(state), expected);
}

void MainWindowTest::statusLineShortensFoldersNeverFileNames_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("picture");
    const QString deep = QString("/home/someone/projects/").repeated(4);
    QTest::newRow("deep folders") << deep + "nets/colours.xml" << deep + "pictures/red.png";
    QTest::newRow("long file names") << "/data/" + QString("long-description-name-").repeated(3) + ".xml"
                                     << "/data/" + QString("a-picture-taken-on-a-long-day-").repeated(3) + ".png";
}

// At a width that holds both file names but not their folders, the folders
// give way, the file names stay whole.
void MainWindowTest::statusLineShortensFoldersNeverFileNames()
{
    QFETCH(QString, description);
    QFETCH(QString, picture);
    const StatusLineState state{BoardType::Simulator, 0, false, description, {picture}, picture, 0.0, 0.0};
    const QFontMetrics metrics(QApplication::font());
    const QString descriptionName = description.section('/', -1);
    const QString pictureName = picture.section('/', -1);
    StatusLineState names = state;
    names.descriptionPath = "\u2026/" + descriptionName;
    names.picturePath = "\u2026/" + pictureName;
    const int width = metrics.horizontalAdvance(statusLineFiles(names)) + 40;

    const QString shown = elidedStatusLineFiles(state, metrics, width);
    QVERIFY2(shown.contains("/" + descriptionName + ", picture: ") && shown.endsWith("/" + pictureName + ". "),
             qPrintable(shown));
    QVERIFY(shown.contains(QChar(0x2026)));
    QVERIFY(metrics.horizontalAdvance(shown) <= width);
}

void MainWindowTest::f11TogglesFullScreen()
{
    VRAXGUI window;
    window.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(&window, Qt::Key_F11);
    QVERIFY(window.windowState() & Qt::WindowFullScreen);
    QTest::keyClick(&window, Qt::Key_F11);
    QVERIFY(!(window.windowState() & Qt::WindowFullScreen));
    QVERIFY(!(window.windowState() & Qt::WindowMaximized));
}

void MainWindowTest::aboutShowsTheRuntimeVersion()
{
    std::uint32_t major = 99, minor = 99, patch = 99;
    VRAX_GetLibVersion(&major, &minor, &patch);

    VRAXGUI window;
    QString title, text;
    acceptNextMessageBox(&title, &text);
    WindowView{window}.entry("About")->trigger();
    QCOMPARE(title, QString("VRAX GUI"));
    QCOMPARE(text, QString("VRAX version: %1.%2.%3").arg(major).arg(minor).arg(patch));
}

void MainWindowTest::aRememberedBoardNoLongerThereGivesTheSimulator_data()
{
    QTest::addColumn<QByteArray>("attached"); // VRAX_BOARDS
    QTest::addColumn<uint>("parallel");
    QTest::addColumn<bool>("onTheBoard");
    QTest::newRow("board attached") << QByteArray("2:1") << 0u << true;
    QTest::newRow("virtual board of an earlier session") << QByteArray() << 0u << false;
    QTest::newRow("every board of a type, none left") << QByteArray("3:1") << 1u << false;
}

// A board remembered from an earlier session that is not attached now: the
// window starts on the simulator and says so, rather than failing at the
// next Open Description.
void MainWindowTest::aRememberedBoardNoLongerThereGivesTheSimulator()
{
    QFETCH(QByteArray, attached);
    QFETCH(uint, parallel);
    QFETCH(bool, onTheBoard);
    QCoreApplication::setOrganizationName("vrax-tests");
    QCoreApplication::setApplicationName("main_window_test");
    QSettings().clear();
    QSettings().setValue("board/type", 2);
    QSettings().setValue("board/index", 0);
    QSettings().setValue("board/parallel", parallel);
    if (!attached.isEmpty())
        qputenv("VRAX_BOARDS", attached);
    {
        VRAXGUI window;
        window.show();
        const WindowView view{window};
        const QString board = parallel ? "2:all (TK307.04)" : "2:0 (TK307.04)";
        if (onTheBoard) {
            QCOMPARE(window.workbench().board().boardType, BoardType::TK307_04);
            QVERIFY(view.status().startsWith("Board " + board));
            QVERIFY(view.note().isEmpty());
        } else {
            QCOMPARE(window.workbench().board().boardType, BoardType::Simulator);
            QVERIFY(view.status().startsWith("Board 0 (simulator)"));
            QCOMPARE(view.note(), "Board " + board + ", chosen last time, is not attached: the simulator is used "
                                                     "(File > Open Board chooses another).");
        }
    }
    qunsetenv("VRAX_BOARDS");
    QSettings().clear();
    QCoreApplication::setOrganizationName(QString());
}

// The table of a classifier's results leaves the keyboard to the window; a
// window system that activates it all the same (the test's does) still runs
// Ctrl+R from it.
void MainWindowTest::theResultsTableLeavesTheKeyboardToTheWindow()
{
    WindowFixture files;
    VRAXGUI window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const WindowView view{window};
    files.openColourClassifier(window);
    QVERIFY(view.choose("&Run"));
    QVERIFY(view.settle());
    ClassificationResults *table = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *results = qobject_cast<ClassificationResults *>(widget))
            table = results;
    QVERIFY(table && table->isVisible());
    QVERIFY(table->testAttribute(Qt::WA_ShowWithoutActivating));
    QCoreApplication::processEvents();
    QWidget *active = QApplication::activeWindow();
    QVERIFY(active == &window || active == table);

    const std::uint64_t delivered = window.workbench().measurement().framesDelivered();
    QTest::keyClick(active, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(view.settle());
    QCOMPARE(window.workbench().measurement().framesDelivered(), delivered + 1);
}

// View > Statistics at the window's default size shows every row of its
// table and leaves most of the width to the picture; the window can still be
// made 700 pixels wide with it open.
void MainWindowTest::theStatisticsPanelShowsItsRowsAndLeavesRoom()
{
    WindowFixture files;
    VRAXGUI window;
    auto *dock = window.findChild<StatisticsDock *>();
    dock->setVisible(true);
    window.resize(1152, 648); // the default on a 1920 x 1080 screen
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    files.openColourClassifier(window); // a picture beside the panel
    QCoreApplication::processEvents();
    auto *table = dock->findChild<QTableWidget *>();
    QVERIFY(table->isVisible());
    QVERIFY2(table->viewport()->height() >= table->verticalHeader()->length(),
             qPrintable(QString("%1 of %2 pixels of rows shown")
                            .arg(table->viewport()->height())
                            .arg(table->verticalHeader()->length())));
    QVERIFY2(dock->width() <= window.width() / 2, qPrintable(QString::number(dock->width())));
    // Every figure says what it is.
    for (QLabel *label : dock->findChildren<QLabel *>())
        QVERIFY2(!label->toolTip().isEmpty(), qPrintable(label->text()));
    for (int row = 0; row < table->rowCount(); ++row) {
        QVERIFY(!table->verticalHeaderItem(row)->toolTip().isEmpty());
        for (int column = 0; column < table->columnCount(); ++column)
            QVERIFY(!table->item(row, column)->toolTip().isEmpty() &&
                    !table->horizontalHeaderItem(column)->toolTip().isEmpty());
    }

    window.resize(700, 648);
    QCoreApplication::processEvents();
    QCOMPARE(window.width(), 700);
    QVERIFY(dock->isVisible() && dock->width() > 0);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
