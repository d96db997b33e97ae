// Every checked board call failing at each place the window makes it: the user
// sees the box with the code's name, the window is left in the stated state,
// the next correct command works, and no session is lost or closed twice.
#include "app/vraxgui.h"
#include "support/modal_answer.h"
#include "window_fixture.h"
#include "window_view.h"

#include <vrax_sim.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

namespace {

// Counts the paint events a widget receives.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Answers the board dialog: picks the row with the given label, optionally
// ticks "parallel" or presses Blink, then Ok or Cancel.
void answerBoardDialog(const QString &row, bool blink, bool accept, bool parallel = false)
{
    answerNextModal([row, blink, accept, parallel](QWidget *dialog) {
        for (QRadioButton *button : dialog->findChildren<QRadioButton *>())
            if (button->text() == row)
                button->click();
        if (parallel)
            dialog->findChild<QCheckBox *>()->setChecked(true);
        if (blink)
            QTest::mouseClick(buttonNamed(dialog, "Blink"), Qt::LeftButton);
        // A failed Blink closes the dialog itself.
        if (dialog->isVisible())
            QTest::mouseClick(buttonNamed(dialog, accept ? "Ok" : "Cancel"), Qt::LeftButton);
    });
}

} // namespace

class FaultInjectionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sessionOpeningFailures_data();
    void sessionOpeningFailures();
    void compilerFailure();
    void boardCountFailureLeavesTheSimulator();
    void failedBlinkClosesTheDescription();
    void closingSurvivesFailingStatusQueries();
    void busyBoardKeepsTheWindowAlive();

private:
    std::unique_ptr<WindowFixture> files;
};

void FaultInjectionTest::init()
{
    files = std::make_unique<WindowFixture>();
    VRAX_SIM_ResetCounters();
}

void FaultInjectionTest::cleanup()
{
    files.reset();
    QCOMPARE(VRAX_SIM_DestroyedTwiceCount(), 0u);
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 0u);
}

void FaultInjectionTest::sessionOpeningFailures_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("code");
    QTest::addColumn<uint>("afterCalls");
    QTest::addColumn<QString>("message");

    QTest::newRow("create") << "VRAX_Create" << 10 << 0u << "VRAX_RESULT_MEMORY_ALLOCATION_ERROR";
    QTest::newRow("create of the second board") << "VRAX_Create" << 6 << 1u
                                                << "VRAX_RESULT_CORE_HANDLE_RETRIEVAL_ERROR";
    QTest::newRow("initialize") << "VRAX_Initialize" << 16 << 0u << "VRAX_RESULT_NN_LOADING_ERROR";
    QTest::newRow("initialize of the second board") << "VRAX_Initialize" << 3 << 1u << "VRAX_RESULT_NO_BOARD";
    QTest::newRow("model information") << "VRAX_GetModelInfo" << 17 << 0u
                                       << "VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR";
}

void FaultInjectionTest::sessionOpeningFailures()
{
    QFETCH(QString, function);
    QFETCH(int, code);
    QFETCH(uint, afterCalls);
    QFETCH(QString, message);

    qputenv("VRAX_BOARDS", "4:2");
    VRAXGUI window;
    const WindowView view{window};
    answerBoardDialog("1. Slab", false, true, true);
    QVERIFY(view.choose("Open &Board..."));
    QVERIFY2(view.status().startsWith("Board 4:all (Slab)"), qPrintable(view.status()));
    files->openColourClassifier(window);

    VRAX_SIM_InjectFault(function.toUtf8().constData(), code, afterCalls);
    QString title, text;
    acceptNextMessageBox(&title, &text);
    window.openStartupFiles(files->writeDescription("other.xml"), {});
    QVERIFY(view.settle());
    QCOMPARE(title, QString("Description Opening Error"));
    QCOMPARE(text, message);
    QVERIFY2(view.status().contains("no description, no picture."), qPrintable(view.status()));
    QVERIFY(VRAX_SIM_LiveSessionCount() <= 2u);

    // The next opening closes what is left and works on both boards.
    VRAX_SIM_ClearInjections();
    const QStringList pictures = files->openColourClassifier(window);
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 2u);
    QVERIFY(view.choose("&Run"));
    QVERIFY(view.status().contains("picture: " + pictures.front() + ". "));
}

void FaultInjectionTest::compilerFailure()
{
    VRAXGUI window;
    files->openColourClassifier(window);
    const std::uint32_t created = VRAX_SIM_CreatedCount();

    qputenv("VRAX_COMPILER_FAULTS", "VRAX_COMPILER_CompileONNX=1");
    QString title, text;
    acceptNextMessageBox(&title, &text);
    window.openStartupFiles(files->writeDescription("other.xml"), {});
    QVERIFY(WindowView{window}.settle());
    QCOMPARE(title, QString("Description Opening Error"));
    QVERIFY2(text.startsWith("VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR: "), qPrintable(text));
    // The previous model stays loaded: its session is neither closed nor replaced.
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 1u);
    QCOMPARE(VRAX_SIM_CreatedCount(), created);

    qunsetenv("VRAX_COMPILER_FAULTS");
    files->openColourClassifier(window);
    QVERIFY(WindowView{window}.entry("&Run")->isEnabled());
}

void FaultInjectionTest::boardCountFailureLeavesTheSimulator()
{
    qputenv("VRAX_BOARDS", "1:2");
    VRAX_SIM_InjectFault("VRAX_GetBoardCount", 21, 0);
    VRAXGUI window;
    const WindowView view{window};
    int rows = -1;
    answerNextModal([&rows](QWidget *modal) {
        rows = modal->findChildren<QRadioButton *>().size();
        QTest::mouseClick(buttonNamed(modal, "Ok"), Qt::LeftButton);
    });
    QVERIFY(view.choose("Open &Board..."));
    QCOMPARE(rows, 1);
    QVERIFY(view.status().startsWith("Board 0 (simulator), "));
}

void FaultInjectionTest::failedBlinkClosesTheDescription()
{
    qputenv("VRAX_BOARDS", "1:1");
    VRAXGUI window;
    const WindowView view{window};
    files->openColourClassifier(window);
    QVERIFY(view.entry("&Run")->isEnabled());

    VRAX_SIM_InjectFault("VRAX_Blink", 4, 0);
    QString title, text;
    acceptNextMessageBox(&title, &text);
    answerBoardDialog("1. TK301.02", true, true);
    QVERIFY(view.choose("Open &Board..."));

    QCOMPARE(title, QString("Board Opening Error"));
    QCOMPARE(text, QString("VRAX_RESULT_BOARD_RESET_ERROR"));
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 0u);
    QVERIFY(view.status().contains("no description, no picture."));
    QVERIFY(!view.entry("&Run")->isEnabled());
    QVERIFY(!view.entry("Run &Auto (space to abort)")->isEnabled());

    // A Blink that works, then Cancel: the description is forgotten all the same.
    VRAX_SIM_ClearInjections();
    files->openColourClassifier(window);
    answerBoardDialog("1. TK301.02", true, false);
    QVERIFY(view.choose("Open &Board..."));
    QCOMPARE(VRAX_SIM_BlinkCount(1, 0), 1u);
    QVERIFY(view.status().contains("no description, no picture."));
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 0u);
}

void FaultInjectionTest::closingSurvivesFailingStatusQueries()
{
    auto window = std::make_unique<VRAXGUI>();
    window->show();
    const WindowView view{*window};
    files->openColourClassifier(*window);
    view.entry("Run &Auto (space to abort)")->trigger();
    VRAX_SIM_InjectFault("VRAX_GetStatus", 21, 0);
    QVERIFY(window->close());
    QVERIFY(window->workbench().isIdle());
    QVERIFY(!window->isVisible());
    VRAX_SIM_ClearInjections();
    window.reset();
}

void FaultInjectionTest::busyBoardKeepsTheWindowAlive()
{
    VRAXGUI window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const WindowView view{window};
    files->openColourClassifier(window);

    // Every frame keeps its unit busy for two seconds.
    VRAX_SIM_InjectDelay("frame", 2000);
    PaintCounter counter;
    QWidget *statusLine = window.statusBar();
    statusLine->installEventFilter(&counter);
    int paintsAtIndicator = -1;
    bool repaintedWhileBusy = false;
    bool closed = false;
    // Once the busy indicator shows, a repaint asked for must arrive through
    // the event loop while the frame still runs; then the window must close.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (closed || !view.busyIndicator()->isVisible())
            return;
        if (paintsAtIndicator < 0) {
            paintsAtIndicator = counter.paints;
            statusLine->update();
            return;
        }
        if (counter.paints == paintsAtIndicator)
            return;
        repaintedWhileBusy = true;
        closed = window.close();
    });
    poll.start(5);
    view.entry("&Run")->trigger();
    QVERIFY(QTest::qWaitFor([&closed] { return closed; }, 60000));

    QVERIFY(repaintedWhileBusy);
    QVERIFY(closed);
    QVERIFY(!window.isVisible());
    QVERIFY(!view.busyIndicator()->isVisible());
}

QTEST_MAIN(FaultInjectionTest)
#include "fault_injection_test.moc"
