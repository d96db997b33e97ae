// vrax-eval as its user runs it: the table, the JSON with exactly the
// documented "accuracy" keys, and the exit status of each failure.
#include "support/command_run.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

const char *annotations = R"({"images": [{"id": 1, "file_name": "a.png"}, {"id": 2, "file_name": "b.png"}],
 "categories": [{"id": 3, "name": "circle"}, {"id": 5, "name": "star"}],
 "annotations": [{"id": 1, "image_id": 1, "category_id": 3, "bbox": [0, 0, 100, 100]},
                 {"id": 2, "image_id": 2, "category_id": 5, "bbox": [10, 10, 20, 20], "area": 300}]})";

std::string quoted(const QString &path)
{
    return "'" + path.toStdString() + "'";
}

CommandRun vraxEval(const std::string &arguments)
{
    return runCommand(VRAX_EVAL_PATH, arguments);
}

} // namespace

TEST(VraxEval, PrintsAndWritesTheFigures)
{
    QTemporaryDir dir;
    const QString gt = writeTestFile(dir.filePath("gt.json"), annotations);
    // circle at IoU 0.62 (3 of 10 thresholds), star perfect; category 9 unknown.
    const QString dt = writeTestFile(dir.filePath("dt.json"), R"([
 {"image_id": 1, "category_id": 3, "bbox": [0, 0, 100, 62], "score": 0.9},
 {"image_id": 2, "category_id": 5, "bbox": [10, 10, 20, 20], "score": 0.4},
 {"image_id": 2, "category_id": 9, "bbox": [10, 10, 20, 20], "score": 0.4}])");
    const CommandRun run = vraxEval("--json " + quoted(dir.filePath("out.json")) + " " + quoted(gt) + " " + quoted(dt));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("1 detections of"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("category_id 9 first"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("AP      0.650"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("at confidence above 0.5"), std::string::npos) << run.output;

    EXPECT_NE(run.output.find("APm       n/a"), std::string::npos) << run.output; // no medium object

    QFile file(dir.filePath("out.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject accuracy = root.value("accuracy").toObject();

    // At 0.5 the circle's box counts (IoU 0.62), the star's (0.4) does not.
    const QJsonObject details = root.value("accuracy_details").toObject();
    EXPECT_EQ(details.value("threshold").toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(details.value("precision").toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(details.value("recall").toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(details.value("f1").toDouble(), 2.0 / 3.0);
    const QJsonObject circle = details.value("classes").toArray()[0].toObject();
    EXPECT_EQ(circle.value("true_positives").toInt(), 1);
    EXPECT_EQ(circle.value("pr_curve_iou50").toArray().size(), 101);
    const QJsonObject confusion = details.value("confusion_matrix").toObject();
    EXPECT_EQ(confusion.value("labels").toArray(), (QJsonArray{"circle", "star", "background"}));
    EXPECT_EQ(confusion.value("counts").toArray(), (QJsonArray{QJsonArray{1, 0, 0}, QJsonArray{0, 0, 1}, QJsonArray{0, 0, 0}}));
    EXPECT_EQ(accuracy.keys(), (QStringList{"AP", "AP50", "AP75", "APl", "APm", "APs", "AR1", "AR10", "AR100",
                                            "ARl", "ARm", "ARs", "classes"}));
    EXPECT_DOUBLE_EQ(accuracy.value("AP").toDouble(), (0.3 + 1.0) / 2.0);
    EXPECT_DOUBLE_EQ(accuracy.value("APs").toDouble(), 1.0); // the star, by its area of 300
    EXPECT_DOUBLE_EQ(accuracy.value("APm").toDouble(), -1.0);
    const QJsonArray classes = accuracy.value("classes").toArray();
    ASSERT_EQ(classes.size(), 2);
    EXPECT_EQ(classes[0].toObject().keys(), (QStringList{"AP", "AP50", "instances", "label"}));
    EXPECT_EQ(classes[1].toObject().value("label").toString(), "star");
    EXPECT_DOUBLE_EQ(classes[0].toObject().value("AP").toDouble(), 0.3);
    EXPECT_EQ(classes[0].toObject().value("instances").toInt(), 1);
}

TEST(VraxEval, ExitStatusOfEachFailure)
{
    QTemporaryDir dir;
    const QString gt = writeTestFile(dir.filePath("gt.json"), annotations);
    const QString other = writeTestFile(
        dir.filePath("other.json"), R"([{"image_id": 42, "category_id": 3, "bbox": [0, 0, 1, 1], "score": 0.9}])");
    const struct
    {
        std::string arguments;
        int status;
        const char *message;
    } cases[] = {
        {quoted(gt) + " " + quoted(other), 1, "image_id 42 of detection 0 is not among the images of"},
        {quoted(gt) + " " + quoted(dir.filePath("none.json")), 1, "Cannot read"},
        {quoted(gt), 2, "Give an annotation file and a results file"},
        {"--threshold 2 " + quoted(gt) + " " + quoted(other), 2, "--threshold takes a confidence from 0 to 1"},
        {"--frobnicate " + quoted(gt) + " " + quoted(other), 2, "Unknown option --frobnicate"},
        {"--help", 0, "Usage: vrax-eval"},
    };
    for (const auto &c : cases) {
        const CommandRun run = vraxEval(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
    }
}
