// Every checked board call failing at each place the window makes it: the user
// sees the box with the code's name, the window is left in the stated state,
// the next correct command works, and no session is lost or closed twice.
#include "app/vraxgui.h"
#include "support/modal_answer.h"
#include "support/vraxgui_test_access.h"
#include "window_fixture.h"

#include <vrax_sim.h>

#include <QAction>
#include <QLabel>
#include <QProgressBar>
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
// presses Blink, then Ok or Cancel.
void answerBoardDialog(const QString &row, bool blink, bool accept)
{
    answerNextModal([row, blink, accept](QWidget *dialog) {
        for (QRadioButton *button : dialog->findChildren<QRadioButton *>())
            if (button->text() == row)
                QTest::mouseClick(button, Qt::LeftButton);
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
    void drainFailureIsReported();
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
    {
        VRAXGUI window;
        VRAXGUITestAccess access(window);
        access.boardType() = BoardType::Slab;
        access.parallelCount() = 2;
        files->openColourClassifier(window);

        VRAX_SIM_InjectFault(function.toUtf8().constData(), code, afterCalls);
        QString title, text;
        acceptNextMessageBox(&title, &text);
        access.openDescriptionFile(files->writeDescription("other.xml"));
        QCOMPARE(title, QString("Description Opening Error"));
        QCOMPARE(text, message);
        QVERIFY(access.descriptionPath().isEmpty());
        QVERIFY(access.pictureList().isEmpty());
        QVERIFY(VRAX_SIM_LiveSessionCount() <= 2u);

        // The next opening closes what is left and works.
        VRAX_SIM_ClearInjections();
        files->openColourClassifier(window);
        QCOMPARE(access.sessions().size(), std::size_t(2));
        QCOMPARE(VRAX_SIM_LiveSessionCount(), 2u);
        access.runAct()->trigger();
        QCOMPARE(access.picturePath(), access.pictureList().front());
    }
}

void FaultInjectionTest::compilerFailure()
{
    VRAXGUI window;
    VRAXGUITestAccess access(window);
    files->openColourClassifier(window);
    const std::vector<RuntimeHandle> sessions = access.sessions();

    qputenv("VRAX_COMPILER_FAULTS", "VRAX_COMPILER_CompileONNX=1");
    QString title, text;
    acceptNextMessageBox(&title, &text);
    access.openDescriptionFile(files->writeDescription("other.xml"));
    QCOMPARE(title, QString("Description Opening Error"));
    QVERIFY2(text.startsWith("VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR: "), qPrintable(text));
    // The previous model stays loaded.
    QCOMPARE(access.sessions(), sessions);

    qunsetenv("VRAX_COMPILER_FAULTS");
    files->openColourClassifier(window);
    QVERIFY(access.runAct()->isEnabled());
}

void FaultInjectionTest::boardCountFailureLeavesTheSimulator()
{
    qputenv("VRAX_BOARDS", "1:2");
    VRAX_SIM_InjectFault("VRAX_GetBoardCount", 21, 0);
    VRAXGUI window;
    VRAXGUITestAccess access(window);
    int rows = -1;
    answerNextModal([&rows](QWidget *modal) {
        rows = modal->findChildren<QRadioButton *>().size();
        QTest::mouseClick(buttonNamed(modal, "Ok"), Qt::LeftButton);
    });
    access.openBoardAct()->trigger();
    QCOMPARE(rows, 1);
    QCOMPARE(access.boardType(), BoardType::Simulator);
    QVERIFY(access.statusText().startsWith("Board 0 (simulator), "));
}

void FaultInjectionTest::failedBlinkClosesTheDescription()
{
    qputenv("VRAX_BOARDS", "1:1");
    VRAXGUI window;
    VRAXGUITestAccess access(window);
    files->openColourClassifier(window);
    QVERIFY(access.runAct()->isEnabled());

    VRAX_SIM_InjectFault("VRAX_Blink", 4, 0);
    QString title, text;
    acceptNextMessageBox(&title, &text);
    answerBoardDialog("1. TK301.02", true, true);
    access.openBoardAct()->trigger();

    QCOMPARE(title, QString("Board Opening Error"));
    QCOMPARE(text, QString("VRAX_RESULT_BOARD_RESET_ERROR"));
    QVERIFY(access.sessions().empty());
    QVERIFY(access.descriptionPath().isEmpty());
    QVERIFY(!access.runAct()->isEnabled());
    QVERIFY(!access.runAutoAct()->isEnabled());

    // A Blink that works, then Cancel: the description is forgotten all the same.
    VRAX_SIM_ClearInjections();
    files->openColourClassifier(window);
    answerBoardDialog("1. TK301.02", true, false);
    access.openBoardAct()->trigger();
    QCOMPARE(VRAX_SIM_BlinkCount(1, 0), 1u);
    QVERIFY(access.descriptionPath().isEmpty());
    QVERIFY(access.sessions().empty());
}

void FaultInjectionTest::drainFailureIsReported()
{
    VRAXGUI window;
    window.show();
    VRAXGUITestAccess access(window);
    access.parallelCount() = 1; // four units on the simulator
    files->openColourClassifier(window);

    // After a few frames every status query fails: the frame in flight or
    // the drain reports it.
    VRAX_SIM_InjectFault("VRAX_GetStatus", 13, 8);
    QString title, text;
    acceptNextMessageBox(&title, &text);
    access.runAutoAct()->trigger();
    QCOMPARE(title, QString("Frame Processing Error"));
    QCOMPARE(text, QString("VRAX_RESULT_BOARD_SYNC_ERROR"));
    // The failed run has waited for its units: nothing is left running.
    QVERIFY(!access.autoRunning());
    QVERIFY(access.runAutoAct()->isEnabled());
}

void FaultInjectionTest::closingSurvivesFailingStatusQueries()
{
    auto window = std::make_unique<VRAXGUI>();
    window->show();
    VRAXGUITestAccess access(*window);
    files->openColourClassifier(*window);
    access.autoRunning() = true;
    VRAX_SIM_InjectFault("VRAX_GetStatus", 21, 0);
    QVERIFY(window->close());
    QVERIFY(!access.autoRunning());
    QVERIFY(!window->isVisible());
    VRAX_SIM_ClearInjections();
    window.reset();
}

void FaultInjectionTest::busyBoardKeepsTheWindowAlive()
{
    VRAXGUI window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    VRAXGUITestAccess access(window);
    files->openColourClassifier(window);

    // Every frame keeps its unit busy for two seconds.
    VRAX_SIM_InjectDelay("frame", 2000);
    PaintCounter counter;
    access.statusLabel()->installEventFilter(&counter);
    bool indicatorShown = false;
    bool closed = false;
    // Once the busy indicator shows, the window must still repaint and close.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (indicatorShown || !access.progressBar()->isVisible())
            return;
        indicatorShown = true;
        access.statusLabel()->repaint();
        closed = window.close();
    });
    poll.start(5);
    access.runAct()->trigger();

    QVERIFY(indicatorShown);
    QVERIFY(counter.paints > 0);
    QVERIFY(closed);
    QVERIFY(!window.isVisible());
    QVERIFY(!access.progressBar()->isVisible());
}

QTEST_MAIN(FaultInjectionTest)
#include "fault_injection_test.moc"
