// The main window's own behaviour: the status line's text, F11 and About.
#include "app/status_line.h"
#include "app/vraxgui.h"
#include "support/modal_answer.h"
#include "window_view.h"

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
    void f11TogglesFullScreen();
    void aboutShowsTheRuntimeVersion();
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

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
