// Real third-party networks end to end through the window and the simulator:
// the description is read, the model compiled and loaded, the photo cropped
// and converted, the frame run on the board and the outputs interpreted. The
// expected objects are those the models are known to find; the centre crop
// cuts objects at the sides, so the checks stay with what survives it.
// Last, Run Auto for a long time over the same networks, on the simulator and
// on virtual boards in parallel: no error, every frame shown, sessions
// released. The number of frames per network comes from VRAX_SOAK_FRAMES (300
// when unset); under AddressSanitizer the run also proves that nothing leaks.
// The board comes from the settings, as the user's would.
#include "app/vraxgui.h"
#include "results/frame_result.h"
#include "run_auto_watcher.h"
#include "support/modal_answer.h"
#include "support/shared_data.h"
#include "support/test_files.h"
#include "window_view.h"

#include <vrax_sim.h>

#include <QAction>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString sharedModel(const char *name)
{
    return QString::fromStdString(sharedModelsDir()) + "/" + name;
}

QString sharedPicture(const char *name)
{
    return QString::fromStdString(sharedPicturesDir()) + "/" + name;
}

QString labelsOf(const char *namesFile)
{
    QFile file(sharedModel(namesFile));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).trimmed();
}

// A COCO detector of the yolo-fastest family, e.g. "yolo-fastest-1.1".
QString yoloFastestDescription(const QString &name)
{
    return QString("<input><model>%1</model><format>rgb</format><divider>255</divider><adder>0</adder></input>"
                   "<output><neural_network>yolo3</neural_network><labels>%2</labels><yolo_anchors>12\n18\n37\n"
                   "49\n52\n132\n115\n73\n119\n199\n242\n238</yolo_anchors><yolo_confidence_threshold>0.25"
                   "</yolo_confidence_threshold><yolo_iou_threshold>0.45</yolo_iou_threshold></output>")
        .arg(sharedModel(qPrintable(name + ".cfg")), labelsOf(qPrintable(name + ".names")));
}

QString expressionDescription()
{
    return QString("<input><model>%1</model><format>rgb</format><divider>255</divider><adder>-0.45</adder>"
                   "</input><output><neural_network>classifier</neural_network><labels>%2</labels></output>")
        .arg(sharedModel("face_expression_112.onnx"), labelsOf("face_expression_112.names"));
}

QString selfieDescription(const QString &format)
{
    return QString("<input><model>%1</model><format>%2</format><divider>255</divider><adder>0</adder></input>"
                   "<output><neural_network>unet</neural_network></output>")
        .arg(sharedModel("selfie_segmentation_256.onnx"), format);
}

int soakFrames()
{
    bool ok = false;
    const int frames = qEnvironmentVariableIntValue("VRAX_SOAK_FRAMES", &ok);
    return ok && frames > 0 ? frames : 300;
}

struct Found
{
    QString label;
    double confidence;
    QRect box;
};

} // namespace

class RealModelsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void detectorsFindTheKnownObjects_data();
    void detectorsFindTheKnownObjects();
    void expressionClassifierSeesAHappyFace();
    void selfieSegmenterPaintsTheAstronaut();
    void cleanup() { qunsetenv("VRAX_BOARDS"); }
    void runAutoForAlongTime_data();
    void runAutoForAlongTime();

private:
    // Writes the body inside a description's root element; returns the path.
    QString write(const QString &name, const QString &body)
    {
        return writeTestFile(dir.filePath(name), ("<vrax_nn_description>" + body + "</vrax_nn_description>").toUtf8());
    }
    // Opens the description and the photo, runs one frame through the window
    // and returns what the detector view decodes from the same frame.
    QList<Found> detect(VRAXGUI &window, const QString &description, const QString &picture);

    QTemporaryDir dir;
};

void RealModelsTest::initTestCase()
{
    if (sharedModelsDir().empty() || sharedPicturesDir().empty())
        QSKIP(sharedDataMissingReason().c_str());
    // Settings of the test's own, never the user's: they carry the board.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("VRAX real models test"));
    QSettings().clear();
}

QList<Found> RealModelsTest::detect(VRAXGUI &window, const QString &description, const QString &picture)
{
    const WindowView view{window};
    window.openStartupFiles(description, {picture});
    // The user's Run, which must go through without an error box.
    if (!view.settle() || !view.choose("&Run"))
        return {};
    const Workbench &core = window.workbench();
    if (!core.lastFrame())
        return {};
    QList<Found> found;
    for (const Detection &detection : core.lastFrame()->result.detections)
        found.append({QString::fromStdString(core.description().labels.at(std::size_t(detection.classIndex))),
                      detection.confidence, QRect(detection.x, detection.y, detection.width, detection.height)});
    return found;
}

void RealModelsTest::detectorsFindTheKnownObjects_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("atLeast");
    QTest::addColumn<double>("minConfidence");
    QTest::addColumn<QRect>("within"); // the box's centre lies in here

    const QString coco = yoloFastestDescription("yolo-fastest-1.1");
    // person.jpg (640 x 424) loses 108 columns on each side; the standing
    // person stays in the middle of the 320 x 320 input.
    QTest::newRow("DarkNet COCO detector, person") << coco << sharedPicture("person.jpg") << "person" << 1 << 0.7
                                                   << QRect(40, 60, 110, 200);
    QTest::newRow("DarkNet COCO detector, horses") << coco << sharedPicture("horses.jpg") << "horse" << 2 << 0.25
                                                   << QRect(0, 0, 320, 320);
    const QString xl = yoloFastestDescription("yolo-fastest-1.1-xl");
    QTest::newRow("larger DarkNet COCO detector, person") << xl << sharedPicture("person.jpg") << "person" << 1 << 0.7
                                                          << QRect(40, 60, 110, 200);

    const QString face = QString("<input><model>%1</model><format>rgb</format><divider>255</divider>"
                                 "<adder>-0.43</adder></input><output><neural_network>yolo2</neural_network>"
                                 "<labels>face</labels><yolo_anchors>1.603231\n2.094468\n6.041143\n7.080126\n"
                                 "2.882459\n3.518061\n4.266906\n5.178857\n9.041765\n10.66308</yolo_anchors>"
                                 "<yolo_confidence_threshold>0.5</yolo_confidence_threshold>"
                                 "<yolo_iou_threshold>0.4</yolo_iou_threshold></output>")
                             .arg(sharedModel("tiny_face_detector_416_yolo2.onnx"));
    // The face at [163 76 279 186] of the 512 x 512 photo, scaled to 416.
    QTest::newRow("YOLOv2 face detector") << face << sharedPicture("astronaut.png") << "face" << 1 << 0.9
                                          << QRect(140, 70, 80, 70);
}

void RealModelsTest::detectorsFindTheKnownObjects()
{
    QFETCH(QString, body);
    QFETCH(QString, picture);
    QFETCH(QString, label);
    QFETCH(int, atLeast);
    QFETCH(double, minConfidence);
    QFETCH(QRect, within);

    VRAXGUI window;
    const QList<Found> found = detect(window, write(QString(QTest::currentDataTag()) + ".xml", body), picture);
    QVERIFY(!found.isEmpty());
    int matching = 0;
    QString seen;
    for (const Found &f : found) {
        seen += QString("%1 %2 (%3,%4 %5x%6); ").arg(f.label).arg(f.confidence).arg(f.box.x()).arg(f.box.y())
                    .arg(f.box.width()).arg(f.box.height());
        if (f.label == label && f.confidence > minConfidence && within.contains(f.box.center()))
            ++matching;
    }
    QVERIFY2(matching >= atLeast, qPrintable(seen));
    // Most confident first.
    for (int i = 1; i < found.size(); ++i)
        QVERIFY(found[i - 1].confidence >= found[i].confidence);
}

void RealModelsTest::expressionClassifierSeesAHappyFace()
{
    VRAXGUI window;
    window.openStartupFiles(write("expressions.xml", expressionDescription()), {sharedPicture("astronaut_face.png")});
    QVERIFY(WindowView{window}.settle());
    QVERIFY(WindowView{window}.choose("&Run"));

    QTableWidget *table = WindowView::resultTable();
    QVERIFY(table && table->isVisible());
    QCOMPARE(table->rowCount(), 7);
    QCOMPARE(table->item(0, 0)->text(), QString("happy"));
}

void RealModelsTest::selfieSegmenterPaintsTheAstronaut()
{
    VRAXGUI window;
    const WindowView view{window};
    window.openStartupFiles(write("selfie.xml", selfieDescription("rgb")), {sharedPicture("astronaut.png")});
    QVERIFY(view.settle());
    const QImage clean = window.workbench().input().currentPicture()->picture.copy();
    QVERIFY(view.choose("&Run"));

    // The overlay is painted over the network's picture in one colour.
    QVERIFY(window.workbench().lastFrame()->picture.picture == clean); // the frame's own picture stays clean
    view.pictureView()->setSource(PictureView::Source::Network);
    const QImage painted = view.pictureView()->resultImage();
    QCOMPARE(painted.size(), QSize(256, 256));
    int changed = 0;
    int changedInFaceArea = 0;
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x)
            if (painted.pixel(x, y) != clean.pixel(x, y)) {
                ++changed;
                if (QRect(80, 40, 60, 60).contains(x, y))
                    ++changedInFaceArea;
            }
    const double fraction = double(changed) / (256.0 * 256.0);
    // The whole-picture fraction above 0.5 is about 0.54.
    QVERIFY2(fraction > 0.45 && fraction < 0.65, qPrintable(QString::number(fraction)));
    QVERIFY(changedInFaceArea > 60 * 60 / 2);
}

void RealModelsTest::runAutoForAlongTime_data()
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

void RealModelsTest::runAutoForAlongTime()
{
    QFETCH(QString, body);
    QFETCH(QStringList, pictures);
    QFETCH(QByteArray, boards);
    QFETCH(int, boardType);
    QFETCH(uint, parallelCount);

    if (!boards.isEmpty())
        qputenv("VRAX_BOARDS", boards);
    const QString description = write(QString(QTest::currentDataTag()).replace(' ', '_') + ".xml", body);

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
        QVERIFY(view.settle());
        QAction *runAuto = view.entry(QStringLiteral("Run &Auto (space to abort)"));
        QVERIFY(runAuto && runAuto->isEnabled());

        QString errorTitle, errorText;
        acceptNextMessageBox(&errorTitle, &errorText);
        const int framesShown = runAutoFor(window, frames);
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

QTEST_MAIN(RealModelsTest)
#include "real_models_test.moc"
