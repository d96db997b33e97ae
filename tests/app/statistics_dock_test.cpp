// View > Statistics: off by default and remembered; the first frame after
// opening a description is reported on its own, later frames fill the
// stages, and Run Auto starts the since-start figures anew. Compare with
// Simulator shows how far a board is from the simulator, or says why it cannot.
// View > Layers times the layers only while shown, sorts them, and compares
// them with the simulator while the window does.
#include "app/layer_table_model.h"
#include "app/layers_dock.h"
#include "app/statistics_dock.h"
#include "app/vraxgui.h"
#include "run_auto_watcher.h"
#include "support/modal_answer.h"
#include "support/shared_data.h"
#include "window_fixture.h"
#include "window_view.h"

#include "vrax_sim.h"

#include <QAction>
#include <QHeaderView>
#include <QTableView>
#include <QMenuBar>
#include <QSettings>
#include <QRegularExpression>
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
        const WindowView view{window};
        StatisticsDock *dock = window.findChild<StatisticsDock *>();
        files.openColourClassifier(window);

        QVERIFY(view.choose("&Run"));
        QVERIFY(dock->statistics().firstFrame().has_value());
        QVERIFY(dock->statistics().firstFrame()->openMs > 0.0);
        QCOMPARE(dock->statistics().frames(), std::uint64_t(0));

        QVERIFY(view.choose("&Run"));
        QCOMPARE(dock->statistics().frames(), std::uint64_t(1));
        const LatencySummary frame = dock->statistics().recentFrame();
        double stages = 0.0;
        for (std::size_t i = 0; i < stageCount; ++i)
            if (Stage(i) != Stage::ReadAhead) // read ahead: no part of the latency
                stages += dock->statistics().recent(Stage(i)).mean;
        QCOMPARE(frame.count, std::uint64_t(1));
        QVERIFY(qAbs(stages - frame.mean) < 1e-6);

        runAutoFor(window, 6);
        // Since Run Auto started: the frames it drew; the Runs before are gone.
        QVERIFY(dock->statistics().frames() >= 1);
        QCOMPARE(dock->statistics().sinceStart(Stage::Board).count, dock->statistics().frames());
    }

    void compareWithSimulator_data()
    {
        QTest::addColumn<QByteArray>("precision");
        QTest::addColumn<QByteArray>("fault");          // made after the description is open
        QTest::addColumn<QString>("outputDifference"); // the largest shown
        QTest::newRow("exact board agrees fully") << QByteArray("float") << QByteArray() << "0";
        QTest::newRow("int8 board differs") << QByteArray("int8") << QByteArray() << "nonzero";
        QTest::newRow("reference cannot open") << QByteArray("float") << QByteArray("VRAX_Initialize") << "";
    }

    void compareWithSimulator()
    {
        QFETCH(QByteArray, precision);
        QFETCH(QByteArray, fault);
        QFETCH(QString, outputDifference);
        WindowFixture fixture; // clears the injections and boards afterwards
        qputenv("VRAX_BOARDS", "2:1");
        VRAX_SIM_SetPrecision(2, precision.constData());
        VRAXGUI window;
        window.show();
        window.workbench().chooseBoard(BoardChoice{BoardType::TK307_04, 0, 0});
        const QString example = QString::fromStdString(sourceDir()) + "/examples/classifier/";
        window.openStartupFiles(example + "shapes_classifier.xml", {example + "pictures"});
        QVERIFY(WindowView{window}.settle());
        StatisticsDock *dock = window.findChild<StatisticsDock *>();
        auto *table = dock->findChild<QLabel *>(QStringLiteral("comparison"));
        const WindowView view{window};
        QAction *compare = view.entry(QStringLiteral("Compare with Simulator"));
        QVERIFY(compare && !compare->isChecked());
        QVERIFY(!dock->isVisible());

        QString title;
        if (!fault.isEmpty()) {
            VRAX_SIM_InjectFault(fault.constData(), VRAX_RESULT_NN_LOADING_ERROR, 0);
            acceptNextMessageBox(&title);
        }
        compare->trigger();
        QVERIFY(view.settle());
        QVERIFY(dock->isVisible());
        QCOMPARE(title.isEmpty(), fault.isEmpty());
        QCOMPARE(compare->isChecked() && table->isVisible(), fault.isEmpty());
        if (!fault.isEmpty())
            return;
        QVERIFY(view.choose("&Run"));
        runAutoFor(window, 4);

        // "output 0   max |d|   mean |d|   cosine   worst", then the agreement.
        const QStringList lines = table->text().split('\n');
        QVERIFY2(lines.size() > 3 && !lines[0].startsWith("Against the simulator (0 frames)"), qPrintable(table->text()));
        const QStringList output = lines[2].split(' ', Qt::SkipEmptyParts);
        QCOMPARE(output.value(0), QString("output"));
        QCOMPARE(output.value(2) == "0" ? "0" : "nonzero", outputDifference);
        // The shapes are told apart all the same.
        QVERIFY2(table->text().contains(QRegularExpression("top-1 agreement +100.0%")), qPrintable(table->text()));
    }

    void layersAreTimedOnlyWhileShownAndSort()
    {
        WindowFixture fixture;
        VRAXGUI window;
        window.show();
        const WindowView view{window};
        const QString example = QString::fromStdString(sourceDir()) + "/examples/classifier/";
        window.openStartupFiles(example + "shapes_classifier.xml", {example + "pictures"});
        QVERIFY(view.settle());
        LayersDock *dock = window.findChild<LayersDock *>();
        QVERIFY(dock && !dock->isVisible());
        LayerWatch &watch = window.workbench().layers();

        // Hidden, the layers are known but not timed.
        QVERIFY(view.choose("&Run"));
        watch.refresh(nullptr);
        QVERIFY(watch.profile().layers.size() > 3);
        QCOMPARE(watch.profile().frames, 0u);

        view.entry(QStringLiteral("Layers"))->trigger();
        QVERIFY(dock->isVisible() && watch.isWatching());
        QVERIFY(view.choose("&Run"));
        QVERIFY(view.choose("&Run"));
        dock->refresh(true);
        QCOMPARE(watch.profile().frames, 2u);
        const QAbstractItemModel *rows = dock->table()->model();
        QCOMPARE(rows->rowCount(), int(watch.profile().layers.size()));
        QVERIFY(dock->table()->isColumnHidden(LayerTableModel::Cosine));
        double share = 0.0;
        for (int row = 0; row < rows->rowCount(); ++row)
            share += rows->index(row, LayerTableModel::Share).data().toString().remove(" %").toDouble();
        QVERIFY2(qAbs(share - 100.0) < 0.1 * rows->rowCount(), qPrintable(QString::number(share)));
        QVERIFY2(dock->summaryText().contains("Over 2 frames the layers took"), qPrintable(dock->summaryText()));

        // Sorted by time, the slowest first; by the first column, the network's order.
        dock->table()->sortByColumn(LayerTableModel::Time, Qt::DescendingOrder);
        for (int row = 1; row < rows->rowCount(); ++row)
            QVERIFY(rows->index(row - 1, LayerTableModel::Time).data(LayerTableModel::sortRole).toDouble()
                    >= rows->index(row, LayerTableModel::Time).data(LayerTableModel::sortRole).toDouble());
        dock->table()->sortByColumn(LayerTableModel::Order, Qt::AscendingOrder);
        QCOMPARE(rows->index(0, LayerTableModel::Name).data().toString(),
                 QString::fromStdString(watch.profile().layers.front().name));

        // Hidden again, the times stop.
        view.entry(QStringLiteral("Layers"))->trigger();
        QVERIFY(!watch.isWatching());
        QVERIFY(view.choose("&Run"));
        watch.refresh(nullptr);
        QCOMPARE(watch.profile().frames, 0u);
        QSettings().clear();
    }

    void layersCompareWithTheSimulator_data()
    {
        QTest::addColumn<QByteArray>("precision");
        QTest::addColumn<bool>("exact");
        QTest::newRow("exact board") << QByteArray("float") << true;
        QTest::newRow("int8 board") << QByteArray("int8") << false;
    }

    void layersCompareWithTheSimulator()
    {
        QFETCH(QByteArray, precision);
        QFETCH(bool, exact);
        WindowFixture fixture;
        qputenv("VRAX_BOARDS", "2:1");
        VRAX_SIM_SetPrecision(2, precision.constData());
        VRAXGUI window;
        window.show();
        const WindowView view{window};
        window.workbench().chooseBoard(BoardChoice{BoardType::TK307_04, 0, 0});
        const QString example = QString::fromStdString(sourceDir()) + "/examples/yolo3/";
        window.openStartupFiles(example + "shapes_yolo3.xml", {example + "pictures"});
        QVERIFY(view.settle());
        LayersDock *dock = window.findChild<LayersDock *>();
        view.entry(QStringLiteral("Layers"))->trigger();
        view.entry(QStringLiteral("Compare with Simulator"))->trigger();
        QVERIFY(view.settle());
        QVERIFY(view.choose("&Run"));
        QVERIFY(view.choose("&Run"));
        dock->refresh(true);

        QVERIFY(!dock->table()->isColumnHidden(LayerTableModel::Cosine));
        const auto &compared = window.workbench().layers().comparison();
        QVERIFY(compared && compared->frames == 2 && !compared->layers.empty());
        QCOMPARE(!compared->firstDivergent.has_value(), exact);
        const QAbstractItemModel *rows = dock->table()->model();
        int shown = 0;
        for (int row = 0; row < rows->rowCount(); ++row) {
            const QString cosine = rows->index(row, LayerTableModel::Cosine).data().toString();
            shown += !cosine.isEmpty();
            if (exact && !cosine.isEmpty())
                QCOMPARE(cosine, QString("1.000000"));
        }
        QCOMPARE(shown, int(compared->layers.size()));
        const QString said = exact ? QString("no layer's cosine falls below 0.999")
                                   : "the first layer whose cosine falls below 0.999 is "
                                         + QString::fromStdString(compared->layers[*compared->firstDivergent].name);
        QVERIFY2(dock->summaryText().contains(said), qPrintable(dock->summaryText()));

        // Compare off: the columns go.
        view.entry(QStringLiteral("Compare with Simulator"))->trigger();
        QVERIFY(view.settle());
        QVERIFY(dock->table()->isColumnHidden(LayerTableModel::Cosine));
        QSettings().clear();
    }
};

QTEST_MAIN(StatisticsDockTest)
#include "statistics_dock_test.moc"
