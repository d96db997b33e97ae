// Run Auto for a long time over real networks, on the simulator and on
// virtual boards in parallel: no error, every frame shown, sessions released.
// The number of frames per network comes from VRAX_SOAK_FRAMES (300 when
// unset); under AddressSanitizer the run also proves that nothing leaks. The
// window is driven and read as its user does: the board remembered in the
// settings, the files opened as from the command line, the status line.
#include "app/vraxgui.h"
#include "real_model_descriptions.h"
#include "support/modal_answer.h"
#include "window_view.h"

#include <vrax_sim.h>

#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

int soakFrames()
{
    bool ok = false;
    const int frames = qEnvironmentVariableIntValue("VRAX_SOAK_FRAMES", &ok);
    return ok && frames > 0 ? frames : 300;
}

} // namespace

class SoakTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void runAutoForAlongTime_data();
    void runAutoForAlongTime();

private:
    QTemporaryDir dir;
};

void SoakTest::initTestCase()
{
    if (sharedModelsDir().empty() || sharedPicturesDir().empty())
        QSKIP(sharedDataMissingReason().c_str());
    // Settings of the test's own, never the user's: they carry the board.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("VRAX soak test"));
}

void SoakTest::cleanup()
{
    qunsetenv("VRAX_BOARDS");
}

void SoakTest::runAutoForAlongTime_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("pictures");
    QTest::addColumn<QByteArray>("boards");
    QTest::addColumn<int>("boardType");
    QTest::addColumn<uint>("parallelCount");

    const QString detector = yoloFastestDescription("yolo-fastest-1.1");
    const QString classifier = expressionDescription();
    const QString segmenter = selfieDescription("bgr");

    QTest::newRow("detector on two boards in parallel")
        << detector << QStringList{sharedPicture("dog.jpg"), sharedPicture("person.jpg"), sharedPicture("horses.jpg")} << QByteArray("5:2")
        << 5 << 2u;
    QTest::newRow("classifier on the simulator's four units")
        << classifier << QStringList{sharedPicture("astronaut_face.png"), sharedPicture("astronaut.png")} << QByteArray() << 0 << 1u;
    QTest::newRow("segmenter on a planar board")
        << segmenter << QStringList{sharedPicture("astronaut.png"), sharedPicture("person.jpg")} << QByteArray("3:1") << 3 << 0u;
}

void SoakTest::runAutoForAlongTime()
{
    QFETCH(QString, body);
    QFETCH(QStringList, pictures);
    QFETCH(QByteArray, boards);
    QFETCH(int, boardType);
    QFETCH(uint, parallelCount);

    if (!boards.isEmpty())
        qputenv("VRAX_BOARDS", boards);
    const QString description =
        writeDescription(dir.filePath(QString(QTest::currentDataTag()).replace(' ', '_') + ".xml"), body);

    QSettings settings;
    settings.setValue(QStringLiteral("board/type"), boardType);
    settings.setValue(QStringLiteral("board/index"), 0);
    settings.setValue(QStringLiteral("board/parallel"), parallelCount);
    settings.sync();

    const int frames = soakFrames();
    {
        VRAXGUI window;
        window.show();
        window.openStartupFiles(description, pictures);
        const WindowView view{window};
        QAction *runAuto = view.entry(QStringLiteral("Run &Auto (space to abort)"));
        QVERIFY(runAuto && runAuto->isEnabled());

        QString errorTitle, errorText;
        acceptNextMessageBox(&errorTitle, &errorText);
        int framesShown = 0;
        QObject::connect(&window, &VRAXGUI::frameShown, &window, [&] {
            if (++framesShown == frames)
                QTest::keyClick(&window, Qt::Key_Space);
        });
        runAuto->trigger();
        QVERIFY2(errorTitle.isEmpty(), qPrintable(errorTitle + ": " + errorText));
        QVERIFY(framesShown >= frames);
        // The board's own rate, in brackets after the measured one.
        const QRegularExpressionMatch rates =
            QRegularExpression(QStringLiteral("\\(([0-9.]+)\\) fps")).match(view.status());
        QVERIFY2(rates.hasMatch() && rates.captured(1).toDouble() > 0.0, qPrintable(view.status()));
    }
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 0u);
    QCOMPARE(VRAX_SIM_DestroyedTwiceCount(), 0u);
}

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
