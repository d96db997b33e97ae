// The result views as the window uses them: the classification table,
// detection drawing and the segmentation overlay.
#include "app/classification_results.h"
#include "results/class_colours.h"
#include "results/detection_drawing.h"
#include "results/result_painter.h"
#include "results/segmentation_overlay.h"
#include "support/failure_message.h"

#include <QPainter>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

namespace {

QTableWidget *tableOf(ClassificationResults *view)
{
    return view->findChild<QTableWidget *>(QStringLiteral("result_table"));
}

QStringList tableRows(QTableWidget *table)
{
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row)
        rows << table->item(row, 0)->text() + QLatin1Char('=') + table->item(row, 1)->text();
    return rows;
}

Detection detectionAt(int x, int y, int width, int height, double confidence, int classIndex)
{
    Detection d;
    d.x = x, d.y = y, d.width = width, d.height = height, d.confidence = confidence, d.classIndex = classIndex;
    return d;
}

// One character per picture pixel, row by row: '.' untouched, else the index
// of the colour it took.
QString paintedPixels(const QImage &picture, QRgb background, const std::vector<QRgb> &colours)
{
    QString result;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            const auto found = std::find(colours.begin(), colours.end(), pixel);
            result += pixel == background ? QLatin1Char('.')
                      : found != colours.end() ? QChar('0' + int(found - colours.begin()))
                                               : QLatin1Char('?');
        }
    return result;
}

ClassMap classMapOf(const std::vector<float> &values, const TensorDims &dims)
{
    NnDescription description;
    description.neural_network = NetworkKind::Unet;
    ModelDims modelDims;
    modelDims.outputs = {dims};
    return decodeFrameResult({values}, modelDims, description).classMap;
}

} // namespace

class ResultViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void classificationWindowStartsEmpty();
    void classificationTableShowsTheMostProbableLabels_data();
    void classificationTableShowsTheMostProbableLabels();
    void classificationTableIsReplacedEachFrame();
    void labelTextShowsTwoDecimals_data();
    void labelTextShowsTwoDecimals();
    void classesKeepTheirColourInEveryFrame();
    void boxesAtTheEndsOfTheIntegerRangeAreDrawn();
    void segmentationPaintsForegroundPixels_data();
    void segmentationPaintsForegroundPixels();
    void segmentationMatchesAPlainSoftmax();
};

void ResultViewsTest::classificationWindowStartsEmpty()
{
    ClassificationResults view({"a", "b"});
    auto *widget = &view;
    QVERIFY(widget->isWindow() && !widget->isVisible());
    QCOMPARE(widget->windowTitle(), QString("Classification Results"));
    QTableWidget *table = tableOf(widget);
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 0);
    QCOMPARE(table->columnCount(), 2);
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QString("Label"));
    QCOMPARE(table->horizontalHeaderItem(1)->text(), QString("Probability"));
}

void ResultViewsTest::classificationTableShowsTheMostProbableLabels_data()
{
    QTest::addColumn<QVector<float>>("scores");
    QTest::addColumn<QStringList>("rows"); // "label=text", or only the label where the text is not checked
    QTest::addColumn<bool>("anyOrder");    // equal probabilities have no order
    QTest::newRow("three") << QVector<float>{2.0f, 1.0f, 0.1f}
                           << QStringList{"l0=0.659001", "l1=0.242433", "l2=0.0985659"} << false;
    QTest::newRow("four equal") << QVector<float>{3, 3, 3, 3}
                                << QStringList{"l0=0.25", "l1=0.25", "l2=0.25", "l3=0.25"} << true;
    QTest::newRow("small probability") << QVector<float>{10, 0} << QStringList{"l0=0.999955", "l1=4.53979e-05"}
                                       << false;
    QTest::newRow("huge scores") << QVector<float>{1000, 0, -1000} << QStringList{"l0=1", "l1=0", "l2=0"} << true;
    QStringList topTen;
    for (int label = 11; label >= 2; --label)
        topTen << QString("l%1").arg(label);
    topTen.first() += "=0.632124";
    topTen.last() += "=7.80104e-05";
    QTest::newRow("twelve labels") << QVector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12} << topTen << false;
}

void ResultViewsTest::classificationTableShowsTheMostProbableLabels()
{
    QFETCH(QVector<float>, scores);
    QFETCH(QStringList, rows);
    QFETCH(bool, anyOrder);
    NnDescription description;
    for (int i = 0; i < scores.size(); ++i)
        description.labels.push_back("l" + std::to_string(i));
    ModelDims modelDims;
    modelDims.outputs = {{1, 1, std::uint32_t(scores.size())}};
    ClassificationResults view(description.labels);
    const OutputBuffers outputs{std::vector<float>(scores.begin(), scores.end())};
    view.showRanking(decodeFrameResult(outputs, modelDims, description).ranking);

    QTableWidget *table = tableOf(&view);
    QStringList shown = tableRows(table);
    QCOMPARE(shown.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        if (!rows[i].contains('='))
            shown[i] = shown[i].section('=', 0, 0);
    if (anyOrder) {
        shown.sort();
        rows.sort();
    }
    QCOMPARE(shown, rows);
    QVERIFY(table->window()->isVisible());
}

void ResultViewsTest::classificationTableIsReplacedEachFrame()
{
    const std::vector<std::string> labels = {"a", "b", "c"};
    ClassificationResults table(labels);
    auto *view = &table;
    const std::vector<float> probabilities{0.5f, 0.3f, 0.2f};
    std::vector<ClassScore> scores;
    for (std::size_t i = 0; i < 3; ++i)
        scores.push_back({&labels[i], probabilities[i]});
    view->fillTable(scores, 10);
    view->close(); // the user closes the window; the next frame shows it again
    view->fillTable({scores.begin(), scores.begin() + 1}, 10);
    QCOMPARE(tableRows(tableOf(view)), QStringList{"a=0.5"});
    QVERIFY(view->isVisible());
}

void ResultViewsTest::labelTextShowsTwoDecimals_data()
{
    QTest::addColumn<double>("confidence");
    QTest::addColumn<QString>("text");
    QTest::newRow("rounded") << 0.8734 << "cat: 0.87";
    QTest::newRow("up to one") << 0.999 << "cat: 1.00";
    QTest::newRow("trailing zero") << 0.5 << "cat: 0.50";
}

void ResultViewsTest::labelTextShowsTwoDecimals()
{
    QFETCH(double, confidence);
    QFETCH(QString, text);
    QCOMPARE(detectionLabelText(detectionAt(0, 0, 1, 1, confidence, 1), {"dog", "cat"}), text);
}

// Two frames whose detections come in swapped order: every class keeps its
// colour, and no two classes share one.
void ResultViewsTest::classesKeepTheirColourInEveryFrame()
{
    std::vector<Detection> first;
    std::vector<Detection> second;
    for (int classIndex : {5, 2, 5, 7, 0})
        first.push_back(detectionAt(0, 0, 1, 1, 0.5, classIndex));
    for (int classIndex : {7, 0, 2, 5, 40})
        second.push_back(detectionAt(0, 0, 1, 1, 0.5, classIndex));
    assignClassColours(first);
    assignClassColours(second);
    std::map<int, QRgb> colourOfClass;
    std::set<QRgb> coloursSeen;
    for (const auto *frame : {&first, &second})
        for (const Detection &detection : *frame) {
            const QRgb colour = detection.colour.rgba();
            const auto [known, isNew] = colourOfClass.emplace(detection.classIndex, colour);
            QCOMPARE(known->second, colour);
            if (isNew)
                QVERIFY2(coloursSeen.insert(colour).second, "two classes share a colour");
        }
    QCOMPARE(first.back().colour, QColor(Qt::yellow)); // class 0, as it has always been drawn
    // Segmentation classes take the same colours: class k of a map that of detection class k - 1.
    QCOMPARE(segmentationColours().size(), std::size_t(255));
    QCOMPARE(segmentationColours()[2], colourOfClass[2]);
    // A COCO detector's 80 classes all look different.
    std::set<QRgb> eighty;
    for (int k = 0; k < 80; ++k)
        eighty.insert(classColour(k).rgba());
    QCOMPARE(eighty.size(), std::size_t(80));
}

void ResultViewsTest::boxesAtTheEndsOfTheIntegerRangeAreDrawn()
{
    const std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    const std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    QImage canvas(50, 40, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    std::vector<Detection> detections{detectionAt(highest, 0, lowest, 32, 0.9, 0),
                                      detectionAt(0, 0, highest, highest, 0.8, 0),
                                      detectionAt(30, highest, 19, lowest, 0.7, 0)};
    FrameResult result;
    result.detections = detections;
    assignClassColours(result.detections);
    ResultPlacement placement;
    placement.visible = canvas.rect();
    placement.font = detectionLabelFont();
    QPainter painter(&canvas);
    drawFrameResult(painter, result, {"far"}, placement);
    painter.end();
    // The second box covers the whole canvas: its left edge is drawn.
    QCOMPARE(QColor(canvas.pixel(0, 39)), QColor(Qt::yellow));
}

void ResultViewsTest::segmentationPaintsForegroundPixels_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QVector<quint32>>("dims"); // width, height, depth
    QTest::addColumn<QVector<float>>("values");
    QTest::addColumn<QString>("painted");
    QTest::newRow("one channel: 0.5 paints") << QSize(3, 1) << QVector<quint32>{3, 1, 1}
                                             << QVector<float>{0.5f, 0.4999f, 7.0f} << "0.0";
    QTest::newRow("two classes") << QSize(3, 1) << QVector<quint32>{3, 1, 2}
                                 << QVector<float>{0, 0.1f, 0, 0, 1, -1} << "0..";
    QTest::newRow("three classes") << QSize(3, 1) << QVector<quint32>{3, 1, 3}
                                   << QVector<float>{0, 2, 0, 1, 1, 0, 0, 0, 3} << "0.1";
    QTest::newRow("depth 0") << QSize(2, 1) << QVector<quint32>{2, 1, 0} << QVector<float>{} << "..";
    QTest::newRow("small map covers the picture") << QSize(4, 2) << QVector<quint32>{2, 1, 1}
                                                  << QVector<float>{1, 0} << "00..00..";
    QTest::newRow("large map") << QSize(2, 2) << QVector<quint32>{4, 4, 1}
                               << QVector<float>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0} << "0..0";
    QTest::newRow("short buffer") << QSize(2, 2) << QVector<quint32>{2, 2, 1} << QVector<float>{1, 1, 1} << "000.";
}

void ResultViewsTest::segmentationPaintsForegroundPixels()
{
    QFETCH(QSize, pictureSize);
    QFETCH(QVector<quint32>, dims);
    QFETCH(QVector<float>, values);
    QFETCH(QString, painted);
    const QRgb background = qRgb(1, 2, 3);
    QImage picture(pictureSize, QImage::Format_RGB32);
    picture.fill(background);
    const std::vector<QRgb> colours{qRgb(200, 0, 0), qRgb(0, 200, 0)};
    paintClassMap(picture, classMapOf(std::vector<float>(values.begin(), values.end()), {dims[0], dims[1], dims[2]}),
                  colours);
    QCOMPARE(paintedPixels(picture, background, colours), painted);
}

// The class map's shortcuts (cells that cannot reach one half skip the
// exponentials) must give exactly what a plain per-cell softmax gives.
void ResultViewsTest::segmentationMatchesAPlainSoftmax()
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> score(-3.0f, 3.0f);
    for (std::uint32_t depth : {2u, 3u, 5u}) {
        const int size = 24;
        std::vector<float> values(std::size_t(size * size) * depth);
        for (float &v : values)
            v = score(random);
        std::vector<std::uint8_t> expected;
        for (int pixel = 0; pixel < size * size; ++pixel) {
            const float *v = &values[std::size_t(pixel) * depth];
            const float m = *std::max_element(v, v + depth);
            double sum = 0.0;
            for (std::uint32_t c = 0; c < depth; ++c)
                sum += std::exp(v[c] - m);
            std::uint8_t cls = 0;
            for (std::uint32_t c = 1; c < depth; ++c)
                if (float(std::exp(double(v[c] - m) - std::log(sum))) > 0.5f)
                    cls = std::uint8_t(c);
            expected.push_back(cls);
        }
        QCOMPARE(classMapOf(values, {std::uint32_t(size), std::uint32_t(size), depth}).classes, expected);
        QVERIFY(std::count(expected.begin(), expected.end(), 0) < size * size);
    }
}

QTEST_MAIN(ResultViewsTest)
#include "result_views_test.moc"
