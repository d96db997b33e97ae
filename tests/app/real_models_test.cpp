// Real third-party networks end to end through the window and the simulator:
// the description is read, the model compiled and loaded, the photo cropped
// and converted, the frame run on the board and the outputs interpreted. The
// expected objects are those the models are known to find; the centre crop
// cuts objects at the sides, so the checks stay with what survives it.
#include "accel/frame_processing.h"
#include "app/vraxgui.h"
#include "real_model_descriptions.h"
#include "results/detection_results.h"
#include "support/vraxgui_test_access.h"
#include "window_view.h"

#include <QAction>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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

private:
    QString write(const QString &name, const QString &body) { return writeDescription(dir.filePath(name), body); }
    // Opens the description and the photo, runs one frame through the window
    // and returns what the detector view decodes from the same frame.
    QList<Found> detect(VRAXGUI &window, const QString &description, const QString &picture);

    QTemporaryDir dir;
};

void RealModelsTest::initTestCase()
{
    if (sharedModelsDir().empty() || sharedPicturesDir().empty())
        QSKIP(sharedDataMissingReason().c_str());
}

QList<Found> RealModelsTest::detect(VRAXGUI &window, const QString &description, const QString &picture)
{
    VRAXGUITestAccess access(window);
    access.openDescriptionFile(description);
    access.openPictureFiles({picture});
    if (access.descriptionPath().isEmpty() || access.pictureList().isEmpty())
        return {};
    // The user's Run, which must go through without an error box.
    access.runAct()->trigger();

    auto *view = dynamic_cast<DetectionResults *>(access.resultView().get());
    if (!view)
        return {};
    OutputBuffers outputs = view->createOutputs();
    double fps = 0;
    processFrame(access.sessions(), access.inputTensor(), outputs, fps);
    QList<Found> found;
    for (const Detection &detection : view->decodeDetections(outputs))
        found.append({QString::fromStdString(access.description().labels.at(std::size_t(detection.classIndex))),
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
    WindowView{window}.entry("&Run")->trigger();

    QTableWidget *table = WindowView::resultTable();
    QVERIFY(table && table->isVisible());
    QCOMPARE(table->rowCount(), 7);
    QCOMPARE(table->item(0, 0)->text(), QString("happy"));
}

void RealModelsTest::selfieSegmenterPaintsTheAstronaut()
{
    const QString description = write("selfie.xml", selfieDescription("rgb"));
    VRAXGUI window;
    VRAXGUITestAccess access(window);
    access.openDescriptionFile(description);
    access.openPictureFiles({sharedPicture("astronaut.png")});
    const QImage clean = access.picture().copy();
    access.runAct()->trigger();

    // The overlay is painted over the network's picture in one colour.
    QVERIFY(access.picture() == clean); // the window's own picture stays clean
    access.pictureView()->setSource(PictureView::Source::Network);
    const QImage painted = access.pictureView()->resultImage();
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

QTEST_MAIN(RealModelsTest)
#include "real_models_test.moc"
