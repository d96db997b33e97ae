// The background runner: work on a worker thread, events on the GUI thread.
// (The worker's failure reaching the user is the window tests' part.)
#include "app/background_runner.h"

#include <QApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <thread>

class BackgroundRunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void busyIndicatorAppearsOnlyForLongTasks_data();
    void busyIndicatorAppearsOnlyForLongTasks();
    void taskEffectsAreVisibleAfterReturn();

private:
    QWidget *window = nullptr;
    QMenuBar *menuBar = nullptr;
    QProgressBar *indicator = nullptr;
};

void BackgroundRunnerTest::init()
{
    window = new QWidget;
    menuBar = new QMenuBar(window);
    indicator = new QProgressBar(window);
    indicator->setVisible(false);
    window->show();
}

void BackgroundRunnerTest::cleanup()
{
    delete window;
}

void BackgroundRunnerTest::busyIndicatorAppearsOnlyForLongTasks_data()
{
    QTest::addColumn<int>("taskMs");
    QTest::addColumn<bool>("indicatorShown");
    QTest::newRow("0.1 s task") << 100 << false;
    QTest::newRow("0.5 s task") << 500 << true;
}

void BackgroundRunnerTest::busyIndicatorAppearsOnlyForLongTasks()
{
    QFETCH(int, taskMs);
    QFETCH(bool, indicatorShown);

    // The widgets' states sampled from the GUI thread while the task runs.
    int samples = 0;
    bool menuBarEverEnabled = false;
    bool indicatorEverVisible = false;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        ++samples;
        menuBarEverEnabled |= menuBar->isEnabled();
        indicatorEverVisible |= indicator->isVisible();
    });
    sampler.start(10);
    runInBackground([taskMs] { std::this_thread::sleep_for(std::chrono::milliseconds(taskMs)); }, menuBar, indicator);

    // The samples prove that the GUI thread kept processing timer events.
    QVERIFY(samples > 0);
    QVERIFY(!menuBarEverEnabled);
    QCOMPARE(indicatorEverVisible, indicatorShown);
    QVERIFY(!indicator->isVisible());
    QVERIFY(menuBar->isEnabled());
}

void BackgroundRunnerTest::taskEffectsAreVisibleAfterReturn()
{
    // Many short tasks in a row: each result is seen on return, and no
    // wake-up of a finished task leaks into the next one.
    for (int i = 1; i <= 200; ++i) {
        int result = 0;
        runInBackground([&result, i] { result = i; }, menuBar, indicator);
        QCOMPARE(result, i);
    }
}

QTEST_MAIN(BackgroundRunnerTest)
#include "background_runner_test.moc"
