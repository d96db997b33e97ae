// File > Evaluate Data Set in the window: the report shows the figures that
// vrax-run --dataset gives for the same description and data set, and saves
// them as one HTML file with the JSON beside it. View > Thresholds and
// Classes filters the result shown, live.
#include "app/data_set_commands.h"
#include "app/evaluation_report.h"
#include "app/vraxgui.h"
#include "evaluation/accuracy_figures.h"
#include "support/command_run.h"
#include "support/shared_data.h"
#include "window_view.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString example(const QString &path)
{
    return QString::fromStdString(sourceDir()) + QStringLiteral("/examples/") + path;
}

QJsonObject jsonFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// Every overall figure of the report equals the one of the JSON's
// "accuracy" object (both unrounded).
QString firstDifference(const AccuracyFigures &shown, const QJsonObject &accuracy)
{
    const auto figures = overallFigures(shown);
    if (figures.empty())
        return QStringLiteral("the report has no figures");
    for (const auto &[name, value] : figures) {
        if (value < 0.0)
            continue; // absent from both
        const QJsonValue other = accuracy.value(QString::fromStdString(name));
        if (!other.isDouble() || qAbs(other.toDouble() - value) > 1e-12)
            return QStringLiteral("%1: the window shows %2, vrax-run %3")
                .arg(QString::fromStdString(name))
                .arg(value, 0, 'g', 17)
                .arg(other.toDouble(), 0, 'g', 17);
    }
    return QString();
}

} // namespace

class EvaluationWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void theReportShowsWhatVraxRunGives_data();
    void theReportShowsWhatVraxRunGives();
    void thresholdsAndClassesFilterTheResultShown();
};

void EvaluationWindowTest::theReportShowsWhatVraxRunGives_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("dataSet");
    QTest::newRow("classifier, a folder per class")
        << example("classifier/shapes_classifier.xml") << example("classifier/validation");
    QTest::newRow("detector, COCO annotations")
        << example("yolo3/shapes_yolo3.xml") << example("yolo3/validation/instances.json");
    QTest::newRow("segmentation, masks") << example("unet/shapes_unet.xml") << example("unet/validation");
}

void EvaluationWindowTest::theReportShowsWhatVraxRunGives()
{
    QFETCH(QString, description);
    QFETCH(QString, dataSet);
    QTemporaryDir dir;
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    window.openStartupFiles(description, {});
    QVERIFY(view.settle());
    auto *commands = window.findChild<DataSetCommands *>();
    QVERIFY(commands);
    QSignalSpy opened(commands, &DataSetCommands::reportOpened);
    DataSetChoice choice;
    choice.path = dataSet;
    QVERIFY(commands->evaluate(choice));
    QVERIFY(opened.count() > 0 || opened.wait(120000));
    EvaluationReport *report = commands->report();
    QVERIFY(report && report->isVisible());
    QVERIFY(view.settle());

    const QString json = dir.filePath("run.json");
    const CommandRun run = runCommand(VRAX_RUN_PATH, ("--quiet --dataset '" + dataSet + "' --json '" + json + "' '"
                                                      + description + "'")
                                                         .toStdString());
    QVERIFY2(run.status == 0, run.output.c_str());
    const QString difference = firstDifference(report->report().accuracy, jsonFile(json).value("accuracy").toObject());
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // Saved: the page with its charts inside, and the same figures as JSON.
    const QString html = dir.filePath("report.html");
    report->saveReport(html);
    QFile page(html);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray text = page.readAll();
    QVERIFY(text.contains("data:image/png;base64,"));
    QVERIFY(text.contains("vrax-run"));
    const QString savedDifference =
        firstDifference(report->report().accuracy, jsonFile(dir.filePath("report.json")).value("accuracy").toObject());
    QVERIFY2(savedDifference.isEmpty(), qPrintable(savedDifference));
    delete report;
    QSettings().clear();
}

void EvaluationWindowTest::thresholdsAndClassesFilterTheResultShown()
{
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    Workbench &core = window.workbench();
    window.openStartupFiles(example("yolo3/shapes_yolo3.xml"), {example("yolo3/pictures")});
    QVERIFY(view.settle());
    QVERIFY(view.choose("&Run"));
    QVERIFY(view.settle());
    QVERIFY(core.lastFrame());
    const std::vector<Detection> all = core.lastFrame()->result.detections;
    QVERIFY(!all.empty());
    QSignalSpy redraws(&core, &Workbench::resultFilterChanged);

    struct Case
    {
        const char *name;
        ResultFilter filter;
        std::size_t expected;
    };
    ResultFilter strict;
    strict.confidence = 0.999999;
    ResultFilter firstHidden;
    firstHidden.hidden = {true};
    std::size_t withoutFirst = 0;
    for (const Detection &detection : all)
        withoutFirst += detection.classIndex != 0;
    const Case cases[] = {
        {"as described", ResultFilter(), all.size()},
        {"above every score", strict, 0},
        {"the first class hidden", firstHidden, withoutFirst},
    };
    for (const Case &c : cases) {
        core.setResultFilter(c.filter);
        QVERIFY2(core.filteredResult().detections.size() == c.expected,
                 qPrintable(QString("%1: %2 shown of %3, %4 expected")
                                .arg(c.name)
                                .arg(core.filteredResult().detections.size())
                                .arg(all.size())
                                .arg(c.expected)));
    }
    QVERIFY(redraws.count() >= 2);
    core.setResultFilter(ResultFilter());
    QSettings().clear();
}

QTEST_MAIN(EvaluationWindowTest)
#include "evaluation_window_test.moc"
