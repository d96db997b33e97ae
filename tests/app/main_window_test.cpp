// The main window's own behaviour: menus, status line, keys, About, closing.
#include "app/status_line.h"
#include "app/vraxgui.h"
#include "support/modal_answer.h"
#include "support/vraxgui_test_access.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <QtTest>

#include <limits>
#include <tuple>

Q_DECLARE_METATYPE(StatusLineState)

namespace {

QAction *menuEntry(QMenuBar *bar, const QString &menu, const QString &entry)
{
    for (QAction *menuAction : bar->actions()) {
        if (menuAction->text() != menu)
            continue;
        for (QAction *action : menuAction->menu()->actions())
            if (action->text() == entry)
                return action;
    }
    return nullptr;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void startsWithNothingOpen();
    void menusHaveTheirTextsAndShortcuts_data();
    void menusHaveTheirTextsAndShortcuts();
    void statusLineText_data();
    void statusLineText();
    void menuStatesFollowTheOpenFiles_data();
    void menuStatesFollowTheOpenFiles();
    void f11TogglesFullScreen();
    void spaceAndEscapeStopRunAuto_data();
    void spaceAndEscapeStopRunAuto();
    void aboutShowsTheRuntimeVersion();
};

void MainWindowTest::startsWithNothingOpen()
{
    VRAXGUI window;
    VRAXGUITestAccess access(window);
    QVERIFY(access.openBoardAct()->isChecked() && access.openBoardAct()->isEnabled());
    QVERIFY(!access.openDescriptionAct()->isChecked() && access.openDescriptionAct()->isEnabled());
    QVERIFY(!access.openPictureAct()->isChecked() && !access.openPictureAct()->isEnabled());
    QVERIFY(!access.runAct()->isEnabled() && !access.runAutoAct()->isEnabled());
    QVERIFY(access.aboutAct()->isEnabled());
    QVERIFY(access.pictureView()->isHidden());
    QVERIFY(access.progressBar()->isHidden());
    QCOMPARE(access.statusText(),
             QString("Board 0 (simulator), no description, no picture. 0.00 (0.00) fps."));
    QVERIFY(window.windowTitle().isEmpty());
}

void MainWindowTest::menusHaveTheirTextsAndShortcuts_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("checkable");
    QTest::newRow("board") << "&File" << "Open &Board..." << QKeySequence("Ctrl+B") << true;
    QTest::newRow("description") << "&File" << "Open &Description..." << QKeySequence("Ctrl+D") << true;
    QTest::newRow("picture") << "&File" << "Open &Picture..." << QKeySequence("Ctrl+P") << true;
    QTest::newRow("run") << "&File" << "&Run" << QKeySequence("Ctrl+R") << false;
    QTest::newRow("run auto") << "&File" << "Run &Auto (space to abort)" << QKeySequence("Ctrl+A") << false;
    QTest::newRow("exit") << "&File" << "E&xit" << QKeySequence("Ctrl+X") << false;
    QTest::newRow("about") << "&Help" << "About" << QKeySequence() << false;
}

void MainWindowTest::menusHaveTheirTextsAndShortcuts()
{
    QFETCH(QString, menu);
    QFETCH(QString, entry);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, checkable);

    VRAXGUI window;
    const QList<QAction *> menus = window.menuBar()->actions();
    QCOMPARE(menus.front()->text(), QString("&File"));
    QCOMPARE(menus.back()->text(), QString("&Help"));
    QAction *action = menuEntry(window.menuBar(), menu, entry);
    QVERIFY(action);
    QCOMPARE(action->shortcut(), shortcut);
    QCOMPARE(action->isCheckable(), checkable);
}

void MainWindowTest::statusLineText_data()
{
    QTest::addColumn<StatusLineState>("state");
    QTest::addColumn<QString>("expected");

    const double epsilon = std::numeric_limits<double>::epsilon();
    const QString none = ", no description, no picture. ";
    const auto simulator = [](double frameTime, double boardFps) {
        return StatusLineState{BoardType::Simulator, 0, {}, {}, {}, frameTime, boardFps};
    };
    QTest::newRow("rates") << simulator(0.04, 31.25) << "Board 0 (simulator)" + none + "25.00 (31.25) fps.";
    QTest::newRow("50 fps") << simulator(0.02, 0.0) << "Board 0 (simulator)" + none + "50.00 (0.00) fps.";
    QTest::newRow("time at epsilon") << simulator(epsilon, 1.005) << "Board 0 (simulator)" + none + "0.00 (1.00) fps.";
    QTest::newRow("time just above epsilon")
        << simulator(2 * epsilon, 0.0) << "Board 0 (simulator)" + none + "2251799813685248.00 (0.00) fps.";
    QTest::newRow("negative time") << simulator(-0.5, 0.0) << "Board 0 (simulator)" + none + "-2.00 (0.00) fps.";
    const std::tuple<BoardType, std::uint32_t, const char *> boards[] = {
        {BoardType::TK301_02, 3, "Board 3 (TK301.02)"}, {BoardType::TK307_04, 1, "Board 1 (TK307.04)"},
        {BoardType::Wisp, 0, "Board 0 (Wisp)"},         {BoardType::Slab, 0, "Board 0 (Slab)"},
        {BoardType::Tier, 0, "Board 0 (Tier)"},         {BoardType::Rack, 0, "Board 0 (Rack)"},
        {BoardType::Bolt, 4294967295u, "Board 4294967295 (Bolt)"}, {BoardType(9), 0, "Board 0 (simulator)"},
    };
    for (const auto &[type, index, board] : boards)
        QTest::newRow(board) << StatusLineState{type, index, {}, {}, {}, 0.0, 0.0} << board + none + "0.00 (0.00) fps.";
    QTest::newRow("description and picture")
        << StatusLineState{BoardType::Simulator, 0, "/data/nets/d.xml", {"/p/a.png", "/p/b.png"}, "/p/b.png", 0.1, 12.345}
        << "Board 0 (simulator), description: /data/nets/d.xml, picture: /p/b.png. 10.00 (12.35) fps.";
    QTest::newRow("picture path without list")
        << StatusLineState{BoardType::Simulator, 0, "/d.xml", {}, "/p/old.png", 0.0, 0.0}
        << "Board 0 (simulator), description: /d.xml, no picture. 0.00 (0.00) fps.";
}

void MainWindowTest::statusLineText()
{
    QFETCH(StatusLineState, state);
    QFETCH(QString, expected);
    QCOMPARE(::statusLineText(state), expected);
}

void MainWindowTest::menuStatesFollowTheOpenFiles_data()
{
    QTest::addColumn<QString>("descriptionPath");
    QTest::addColumn<QStringList>("pictureList");
    QTest::addColumn<bool>("pictureEnabled");
    QTest::addColumn<bool>("runEnabled");
    QTest::newRow("nothing open") << QString() << QStringList() << false << false;
    QTest::newRow("description only") << "/d.xml" << QStringList() << true << false;
    QTest::newRow("both") << "/d.xml" << QStringList{"/a.png"} << true << true;
    QTest::newRow("pictures without description") << QString() << QStringList{"/a.png"} << false << false;
}

void MainWindowTest::menuStatesFollowTheOpenFiles()
{
    QFETCH(QString, descriptionPath);
    QFETCH(QStringList, pictureList);
    QFETCH(bool, pictureEnabled);
    QFETCH(bool, runEnabled);

    VRAXGUI window;
    VRAXGUITestAccess access(window);
    access.descriptionPath() = descriptionPath;
    access.pictureList() = pictureList;
    // A triggered checkable entry flips its own mark; the update puts it back.
    access.openBoardAct()->setChecked(false);
    access.openDescriptionAct()->setChecked(descriptionPath.isEmpty());
    access.updateStatus();

    QVERIFY(access.openBoardAct()->isChecked());
    QCOMPARE(access.openDescriptionAct()->isChecked(), !descriptionPath.isEmpty());
    QCOMPARE(access.openPictureAct()->isChecked(), !pictureList.isEmpty());
    QCOMPARE(access.openPictureAct()->isEnabled(), pictureEnabled);
    QCOMPARE(access.runAct()->isEnabled(), runEnabled);
    QCOMPARE(access.runAutoAct()->isEnabled(), runEnabled);
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

void MainWindowTest::spaceAndEscapeStopRunAuto_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("stops");
    QTest::newRow("space") << int(Qt::Key_Space) << true;
    QTest::newRow("escape") << int(Qt::Key_Escape) << true;
    QTest::newRow("other key") << int(Qt::Key_Q) << false;
}

void MainWindowTest::spaceAndEscapeStopRunAuto()
{
    QFETCH(int, key);
    QFETCH(bool, stops);

    VRAXGUI window;
    window.show();
    VRAXGUITestAccess access(window);
    const QString statusBefore = access.statusText();
    access.autoRunning() = true;
    QTest::keyClick(&window, Qt::Key(key));
    QCOMPARE(access.autoRunning(), !stops);
    QCOMPARE(access.statusText(), statusBefore);
    QVERIFY(window.isVisible());
}

void MainWindowTest::aboutShowsTheRuntimeVersion()
{
    std::uint32_t major = 99, minor = 99, patch = 99;
    VRAX_GetLibVersion(&major, &minor, &patch);

    VRAXGUI window;
    VRAXGUITestAccess access(window);
    QString title, text;
    acceptNextMessageBox(&title, &text);
    access.aboutAct()->trigger();
    QCOMPARE(title, QString("VRAX GUI"));
    QCOMPARE(text, QString("VRAX version: %1.%2.%3").arg(major).arg(minor).arg(patch));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
