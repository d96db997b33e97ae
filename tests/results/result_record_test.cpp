// The JSON line of one frame: the keys of each network kind, labels, boxes
// mapped to the original picture, and the video position.
#include "results/result_record.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject parsedLine(const QByteArray &line)
{
    EXPECT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document.object();
}

Detection detection(int x, int y, int w, int h, double confidence, int classIndex)
{
    Detection d;
    d.x = x;
    d.y = y;
    d.width = w;
    d.height = h;
    d.confidence = confidence;
    d.classIndex = classIndex;
    return d;
}

struct KindCase
{
    const char *name;
    NetworkKind kind;
    const char *key;      // the one result key of the line
    const char *expected; // that key's value, compact JSON
};

void PrintTo(const KindCase &c, std::ostream *os)
{
    *os << c.name;
}

class ResultRecordKinds : public ::testing::TestWithParam<KindCase>
{
};

TEST_P(ResultRecordKinds, writesOnlyTheKeyOfItsKind)
{
    NnDescription description;
    description.neural_network = GetParam().kind;
    description.labels = {"circle", "square"};

    FrameResult result;
    // Class 5 has no label; a suppressed candidate (-1) is no detection.
    result.detections = {detection(10, 20, 30, 40, 0.5, 1), detection(0, 0, 4, 4, 0.25, 5),
                         detection(1, 1, 1, 1, 0.9, -1)};
    for (int k = 0; k < 7; ++k)
        result.ranking.push_back({k == 0 ? 1 : k + 1, k == 0 ? 0.5f : 0.0625f});
    result.classMap = {3, 2, {0, 1, 1, 2, 0, 1}};

    // Boxes grow by 2.0004 and move by (100, 50.5) on their way to the original picture.
    const BoxToOriginal toOriginal = [](const QRectF &box) {
        return QRectF(box.x() * 2.0004 + 100, box.y() * 2.0004 + 50.5, box.width() * 2.0004, box.height() * 2.0004);
    };
    const QJsonObject line = parsedLine(resultRecordLine({"pic.png", 7, 2, -1.0}, result, description, toOriginal));

    EXPECT_EQ(line.value("source").toString(), "pic.png");
    EXPECT_EQ(line.value("frame").toInt(), 7);
    EXPECT_EQ(line.value("source_index").toInt(), 2);
    EXPECT_FALSE(line.contains("time_s"));
    for (const char *key : {"detections", "top", "mask"})
        EXPECT_EQ(line.contains(key), QByteArray(key) == GetParam().key) << key;
    const QJsonValue value = line.value(GetParam().key);
    const QByteArray written = value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                               : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    EXPECT_EQ(written.toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ResultRecordKinds,
    ::testing::Values(
        KindCase{"classifier", NetworkKind::Classifier, "top",
                 R"([{"class":1,"label":"square","probability":0.5},{"class":2,"probability":0.0625},)"
                 R"({"class":3,"probability":0.0625},{"class":4,"probability":0.0625},{"class":5,"probability":0.0625}])"},
        KindCase{"yolo3", NetworkKind::Yolo3, "detections",
                 R"([{"box":[120.004,90.508,60.012,80.016],"class":1,"confidence":0.5,"label":"square"},)"
                 R"({"box":[100,50.5,8.002,8.002],"class":5,"confidence":0.25}])"},
        KindCase{"yolo5", NetworkKind::Yolo5, "detections",
                 R"([{"box":[120.004,90.508,60.012,80.016],"class":1,"confidence":0.5,"label":"square"},)"
                 R"({"box":[100,50.5,8.002,8.002],"class":5,"confidence":0.25}])"},
        KindCase{"unet", NetworkKind::Unet, "mask",
                 R"({"classes":[{"class":0,"pixels":2},{"class":1,"pixels":3},{"class":2,"pixels":1}],"height":2,"width":3})"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ResultRecord, videoFramesCarryTheirTimeAndUnmappedBoxesStayInNetworkPixels)
{
    NnDescription description;
    description.neural_network = NetworkKind::Yolo2;
    FrameResult result;
    result.detections = {detection(3, 4, 5, 6, 0.75, 0)};
    const QJsonObject line = parsedLine(resultRecordLine({"clip.mp4", 3, 40, 1.6}, result, description));
    EXPECT_DOUBLE_EQ(line.value("time_s").toDouble(), 1.6);
    EXPECT_EQ(line.value("frame").toInt(), 3);
    EXPECT_EQ(line.value("source_index").toInt(), 40);
    EXPECT_EQ(line.value("detections").toArray().at(0).toObject().value("box").toArray(), (QJsonArray{3, 4, 5, 6}));
}

// Numbers as short as reading them back exactly allows: a box edge of 5.6
// pixels, a video position reached by frame arithmetic, a probability kept
// in single precision.
TEST(ResultRecord, numbersAreWrittenInTheirShortestForm)
{
    NnDescription description;
    description.neural_network = NetworkKind::Yolo3;
    FrameResult result;
    result.detections = {detection(2, 1, 1, 4, 0.5, 0)};
    const BoxToOriginal toOriginal = [](const QRectF &box) {
        return QRectF(box.x() * 2.8, box.y() * 0.1 * 56, box.width() * 0.1, box.height());
    };
    EXPECT_EQ(resultRecordLine({"a.avi", 0, 56, 56 * 0.1}, result, description, toOriginal).toStdString(),
              R"({"detections":[{"box":[5.6,5.6,0.1,4],"class":0,"confidence":0.5}],)"
              R"("frame":0,"source":"a.avi","source_index":56,"time_s":5.6})"
              "\n");

    description.neural_network = NetworkKind::Classifier;
    result.ranking = {{0, 0.659001f}, {1, 4.53979e-05f}};
    const QByteArray line = resultRecordLine({"a.png", 0, 0, -1.0}, result, description);
    EXPECT_NE(line.indexOf(R"("probability":0.659001})"), -1) << line.toStdString();
    EXPECT_NE(line.indexOf(R"("probability":4.53979e-05})"), -1) << line.toStdString();
}

} // namespace
