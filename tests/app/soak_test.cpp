// Run Auto for a long time over real networks, on the simulator and on
// virtual boards in parallel: no error, every frame shown, sessions released.
// The number of frames per network comes from VRAX_SOAK_FRAMES (300 when
// unset); under AddressSanitizer the run also proves that nothing leaks.
#include "app/vraxgui.h"
#include "run_auto_watcher.h"
#include "support/modal_answer.h"
#include "support/shared_data.h"
#include "support/vraxgui_test_access.h"

#include <vrax_sim.h>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString model(const char *name)
{
    return QString::fromStdString(sharedModelsDir()) + "/" + name;
}

QString photo(const char *name)
{
    return QString::fromStdString(sharedPicturesDir()) + "/" + name;
}

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

    QFile names(model("yolo-fastest-1.1.names"));
    names.open(QIODevice::ReadOnly);
    const QString detector = QString("<input><model>%1</model><format>rgb</format><divider>255</divider><adder>0"
                                     "</adder></input><output><neural_network>yolo3</neural_network><labels>%2"
                                     "</labels><yolo_anchors>12\n18\n37\n49\n52\n132\n115\n73\n119\n199\n242\n238"
                                     "</yolo_anchors><yolo_confidence_threshold>0.25</yolo_confidence_threshold>"
                                     "<yolo_iou_threshold>0.45</yolo_iou_threshold></output>")
                                 .arg(model("yolo-fastest-1.1.cfg"), QString::fromUtf8(names.readAll()).trimmed());
    const QString classifier = QString("<input><model>%1</model><format>rgb</format><divider>255</divider>"
                                       "<adder>-0.45</adder></input><output><neural_network>classifier"
                                       "</neural_network><labels>neutral\nhappy\nsad\nangry\nfearful\ndisgusted\n"
                                       "surprised</labels></output>")
                                   .arg(model("face_expression_112.onnx"));
    const QString segmenter = QString("<input><model>%1</model><format>bgr</format><divider>255</divider>"
                                      "<adder>0</adder></input><output><neural_network>unet</neural_network>"
                                      "</output>")
                                  .arg(model("selfie_segmentation_256.onnx"));

    QTest::newRow("detector on two boards in parallel")
        << detector << QStringList{photo("dog.jpg"), photo("person.jpg"), photo("horses.jpg")} << QByteArray("5:2")
        << 5 << 2u;
    QTest::newRow("classifier on the simulator's four units")
        << classifier << QStringList{photo("astronaut_face.png"), photo("astronaut.png")} << QByteArray() << 0 << 1u;
    QTest::newRow("segmenter on a planar board")
        << segmenter << QStringList{photo("astronaut.png"), photo("person.jpg")} << QByteArray("3:1") << 3 << 0u;
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
    const QString description = dir.filePath(QString(QTest::currentDataTag()).replace(' ', '_') + ".xml");
    QFile file(description);
    file.open(QIODevice::WriteOnly);
    file.write(("<vrax_nn_description>" + body + "</vrax_nn_description>").toUtf8());
    file.close();

    const int frames = soakFrames();
    {
        VRAXGUI window;
        window.show();
        VRAXGUITestAccess access(window);
        access.boardType() = BoardType(boardType);
        access.parallelCount() = parallelCount;
        access.openDescriptionFile(description);
        access.openPictureFiles(pictures);
        access.updateStatus();
        QVERIFY(access.runAutoAct()->isEnabled());

        QString errorTitle, errorText;
        acceptNextMessageBox(&errorTitle, &errorText);
        RunAutoWatcher watcher(access, frames, [&window] { QTest::keyClick(&window, Qt::Key_Space); });
        access.runAutoAct()->trigger();
        QVERIFY2(errorTitle.isEmpty(), qPrintable(errorTitle + ": " + errorText));
        QVERIFY(watcher.framesShown >= frames);
        QVERIFY(access.boardFps() > 0.0);
    }
    QCOMPARE(VRAX_SIM_LiveSessionCount(), 0u);
    QCOMPARE(VRAX_SIM_DestroyedTwiceCount(), 0u);
}

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
