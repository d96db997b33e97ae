// View > Statistics: off by default and remembered; the first frame after
// opening a description is reported on its own, later frames fill the
// stages, and Run Auto starts the since-start figures anew.
#include "app/statistics_dock.h"
#include "app/vraxgui.h"
#include "run_auto_watcher.h"
#include "support/vraxgui_test_access.h"
#include "window_fixture.h"

#include <QAction>
#include <QMenuBar>
#include <QSettings>
#include <QtTest>

class StatisticsDockTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("vrax-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("statistics_dock_test"));
        QSettings().clear();
    }

    void offByDefaultAndRemembered()
    {
        {
            VRAXGUI window;
            window.show();
            StatisticsDock *dock = window.findChild<StatisticsDock *>();
            QVERIFY(dock);
            QVERIFY(!dock->isVisible());
            dock->toggleViewAction()->trigger();
            QVERIFY(dock->isVisible());
        }
        VRAXGUI window;
        window.show();
        QVERIFY(window.findChild<StatisticsDock *>()->isVisible());
        QSettings().clear();
    }

    void firstFrameApartThenStagesAndRunAuto()
    {
        WindowFixture files;
        VRAXGUI window;
        window.show();
        VRAXGUITestAccess access(window);
        StatisticsDock *dock = window.findChild<StatisticsDock *>();
        files.openColourClassifier(window);

        access.runAct()->trigger();
        QVERIFY(dock->statistics().firstFrame().has_value());
        QVERIFY(dock->statistics().firstFrame()->openMs > 0.0);
        QCOMPARE(dock->statistics().frames(), std::uint64_t(0));

        access.runAct()->trigger();
        QCOMPARE(dock->statistics().frames(), std::uint64_t(1));
        const LatencySummary frame = dock->statistics().recentFrame();
        double stages = 0.0;
        for (std::size_t i = 0; i < stageCount; ++i)
            stages += dock->statistics().recent(Stage(i)).mean;
        QCOMPARE(frame.count, std::uint64_t(1));
        QVERIFY(qAbs(stages - frame.mean) < 1e-6);

        RunAutoWatcher watcher(access, 6, [&window] { QTest::keyClick(&window, Qt::Key_Space); });
        access.runAutoAct()->trigger();
        // Since Run Auto started: the frames it drew; the Runs before are gone.
        QVERIFY(dock->statistics().frames() >= 1);
        QCOMPARE(dock->statistics().sinceStart(Stage::Board).count, dock->statistics().frames());
    }
};

QTEST_MAIN(StatisticsDockTest)
#include "statistics_dock_test.moc"
