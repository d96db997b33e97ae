// vrax-run --dataset end to end: every example's validation set scored with
// the documented JSON keys, the COCO results file scoring the same in
// vrax-eval, names matched through a class map, the reference board's
// figures beside the board's, and the accuracy gates' exit status.
#include "support/test_files.h"
#include "vrax_run_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>

namespace {

CommandRun runVraxEval(const QStringList &arguments)
{
    QString quoted;
    for (const QString &argument : arguments)
        quoted += QStringLiteral(" '%1'").arg(argument);
    return runCommand(VRAX_EVAL_PATH, quoted.toStdString());
}

QSet<QString> keysOf(const QJsonObject &object)
{
    const QStringList keys = object.keys();
    return QSet<QString>(keys.begin(), keys.end());
}

const QSet<QString> detectorKeys{"AP",  "AP50", "AP75",  "APs", "APm", "APl",    "AR1",
                                 "AR10", "AR100", "ARs", "ARm", "ARl", "classes"};
const QSet<QString> classifierKeys{"top1", "top5", "classes"};
const QSet<QString> segmentationKeys{"mIoU", "pixel_accuracy", "classes"};

struct ValidationCase
{
    const char *name;
    const char *description; // relative to examples/
    const char *dataSet;     // relative to examples/
    const QSet<QString> *keys;
    const char *headline;
    double floor;            // the trained example reaches at least this
    int pictures;
    const char *format;
};

void PrintTo(const ValidationCase &c, std::ostream *os)
{
    *os << c.name;
}

class EveryValidationSet : public ::testing::TestWithParam<ValidationCase>
{
};

TEST_P(EveryValidationSet, isScoredWithTheIssuesKeys)
{
    const ValidationCase &c = GetParam();
    QTemporaryDir out;
    const QString description = example(c.description);
    const CommandRun outcome = runVraxRun({"--dataset", example(c.dataSet), "--json", out.filePath("f.json"),
                                           "--results", out.filePath("r.jsonl"), description});
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    const QJsonObject figures = readJson(out.filePath("f.json"));
    const QJsonObject accuracy = figures.value("accuracy").toObject();
    EXPECT_EQ(keysOf(accuracy), *c.keys);
    EXPECT_GE(accuracy.value(c.headline).toDouble(), c.floor) << outcome.output;
    EXPECT_EQ(accuracy.value("classes").toArray().size(), c.keys == &segmentationKeys ? 5 : 4);
    const QJsonObject evaluation = figures.value("evaluation").toObject();
    EXPECT_EQ(evaluation.value("pictures").toInt(), c.pictures);
    EXPECT_EQ(evaluation.value("format").toString(), c.format);
    EXPECT_EQ(evaluation.value("resize").toString(), "crop");
    EXPECT_EQ(figures.value("frames").toInt(), c.pictures);
    EXPECT_FALSE(figures.contains("reference_accuracy"));

    // The table names the figures; a detector's confidence is printed.
    EXPECT_NE(outcome.output.find("data set    " + example(c.dataSet).toStdString()), std::string::npos);
    EXPECT_EQ(outcome.output.find("confidence  0.001 (") != std::string::npos, c.keys == &detectorKeys);

    // Result lines show what the description shows, not the evaluation's
    // low threshold.
    const std::vector<QJsonObject> lines = readLines(out.filePath("r.jsonl"));
    EXPECT_EQ(lines.size(), std::size_t(c.pictures));
    for (const QJsonObject &line : lines)
        for (const QJsonValue &d : line.value("detections").toArray())
            EXPECT_GE(d.toObject().value("confidence").toDouble(), 0.5);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, EveryValidationSet,
    ::testing::Values(
        ValidationCase{"cocoYolo3", "yolo3/shapes_yolo3.xml", "yolo3/validation/instances.json", &detectorKeys, "AP",
                       0.7, 20, "COCO annotations"},
        ValidationCase{"yoloYolo5", "yolo5/shapes_yolo5.xml", "yolo5/validation", &detectorKeys, "AP", 0.7, 20,
                       "YOLO folder"},
        ValidationCase{"yoloYolo2", "yolo2/shapes_yolo2.xml", "yolo2/validation", &detectorKeys, "AP", 0.7, 20,
                       "YOLO folder"},
        ValidationCase{"darknet", "yolo3-darknet/shapes_yolo3_darknet.xml", "yolo3-darknet/validation",
                       &detectorKeys, "AP", 0.7, 20, "YOLO folder"},
        ValidationCase{"classFolders", "classifier/shapes_classifier.xml", "classifier/validation", &classifierKeys,
                       "top1", 0.95, 24, "a folder per class"},
        ValidationCase{"masks", "unet/shapes_unet.xml", "unet/validation", &segmentationKeys, "mIoU", 0.9, 16,
                       "pictures and masks"}),
    [](const auto &info) { return std::string(info.param.name); });

// The detections written as the reference's results list score exactly the
// figures vrax-run printed when vrax-eval reads them back: ids as in the
// data set, boxes in the pictures' own pixels, however they were fitted.
class CocoResults : public ::testing::TestWithParam<const char *>
{
};

TEST_P(CocoResults, scoreTheSameInVraxEval)
{
    QTemporaryDir out;
    const QString annotations = example("yolo3/validation/instances.json");
    const CommandRun run = runVraxRun({"-q", "--dataset", annotations, "--resize", GetParam(), "--coco-results",
                                       out.filePath("results.json"), "--json", out.filePath("run.json"),
                                       example("yolo3/shapes_yolo3.xml")});
    ASSERT_EQ(run.status, 0) << run.output;
    const CommandRun eval = runVraxEval({"-q", "--threshold", "0.5", "--json", out.filePath("eval.json"), annotations,
                                         out.filePath("results.json")});
    ASSERT_EQ(eval.status, 0) << eval.output;
    const QJsonObject figures = readJson(out.filePath("run.json"));
    EXPECT_EQ(figures.value("evaluation").toObject().value("resize").toString(), GetParam());
    EXPECT_EQ(figures.value("accuracy"), readJson(out.filePath("eval.json")).value("accuracy"));
    EXPECT_GT(figures.value("accuracy").toObject().value("AP50").toDouble(), 0.5);
}

INSTANTIATE_TEST_SUITE_P(Fits, CocoResults, ::testing::Values("crop", "stretch", "letterbox"));

// A copy of a YOLO validation set whose names differ from the labels.
QString renamedYoloSet(const QTemporaryDir &dir, const QByteArray &names)
{
    const QString source = example("yolo5/validation");
    QDirIterator files(source, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        const QString copy = dir.filePath("set/" + QDir(source).relativeFilePath(file));
        QDir().mkpath(QFileInfo(copy).absolutePath());
        QFile::copy(file, copy);
    }
    QFile::remove(dir.filePath("set/data.yaml"));
    writeTestFile(dir.filePath("set/data.yaml"), "names: " + names + "\n");
    return dir.filePath("set");
}

TEST(DataSetNames, unmatchedNamesAreWarnedOfAndAClassMapPairsThem)
{
    QTemporaryDir dir;
    const QString set = renamedYoloSet(dir, "[' Circle', box, TRIANGLE, star]");
    const QString description = example("yolo5/shapes_yolo5.xml");
    const CommandRun plain = runVraxRun({"-q", "--dataset", example("yolo5/validation"), "--json",
                                         dir.filePath("plain.json"), description});
    ASSERT_EQ(plain.status, 0) << plain.output;

    // Case and spaces are ignored; "box" matches nothing and is left out,
    // the square detections are dropped, and one warning says so.
    const CommandRun unmatched =
        runVraxRun({"-q", "--dataset", set, "--json", dir.filePath("unmatched.json"), description});
    ASSERT_EQ(unmatched.status, 0) << unmatched.output;
    EXPECT_NE(unmatched.output.find("vrax-run: warning: names that match nothing"), std::string::npos)
        << unmatched.output;
    EXPECT_NE(unmatched.output.find("data set classes \"box\" are not evaluated; the detections of labels "
                                    "\"square\" are dropped."),
              std::string::npos)
        << unmatched.output;
    const QJsonObject partial = readJson(dir.filePath("unmatched.json")).value("accuracy").toObject();
    EXPECT_EQ(partial.value("classes").toArray().size(), 3);

    // The class map pairs the rest: the figures of the original names.
    writeTestFile(dir.filePath("map.txt"), "# data set = description\nbox = Square\n");
    const CommandRun mapped = runVraxRun({"-q", "--dataset", set, "--class-map", dir.filePath("map.txt"), "--json",
                                          dir.filePath("mapped.json"), description});
    ASSERT_EQ(mapped.status, 0) << mapped.output;
    EXPECT_EQ(mapped.output.find("warning"), std::string::npos) << mapped.output;
    QJsonObject expected = readJson(dir.filePath("plain.json")).value("accuracy").toObject();
    QJsonObject got = readJson(dir.filePath("mapped.json")).value("accuracy").toObject();
    for (const char *key : {"AP", "AP50", "AP75", "AR100"})
        EXPECT_EQ(got.value(key), expected.value(key)) << key;
    EXPECT_EQ(got.value("classes").toArray().at(0).toObject().value("label").toString(), " Circle");
}

struct GateCase
{
    const char *name;
    const char *precision; // of board type 2
    QStringList gates;
    int exitCode;
    const char *message; // part of the output, empty for none
};

void PrintTo(const GateCase &c, std::ostream *os)
{
    *os << c.name;
}

class AccuracyGates : public ::testing::TestWithParam<GateCase>
{
};

TEST_P(AccuracyGates, compareTheBoardWithTheReferenceAndExitBelow)
{
    const GateCase &c = GetParam();
    QTemporaryDir out;
    QStringList arguments{"-q", "-b", "2", "--compare-with", "0", "--dataset",
                          example("yolo3/validation/instances.json"), "--json", out.filePath("f.json")};
    arguments << c.gates << example("yolo3/shapes_yolo3.xml");
    const CommandRun outcome =
        runVraxRun(arguments, {"VRAX_BOARDS=2:1", QStringLiteral("VRAX_SIM_PRECISION=2:") + c.precision});
    EXPECT_EQ(outcome.status, c.exitCode) << outcome.output;
    EXPECT_NE(outcome.output.find(c.message), std::string::npos) << outcome.output;

    const QJsonObject figures = readJson(out.filePath("f.json"));
    const QJsonObject board = figures.value("accuracy").toObject();
    const QJsonObject reference = figures.value("reference_accuracy").toObject();
    const QJsonObject ratio = figures.value("accuracy_ratio").toObject();
    EXPECT_EQ(keysOf(reference), detectorKeys);
    for (const char *key : {"AP", "AP50", "AP75", "AR100"})
        EXPECT_EQ(ratio.value(key).toDouble(), board.value(key).toDouble() / reference.value(key).toDouble()) << key;
    EXPECT_TRUE(ratio.value("APl").isNull()); // absent on both
    // An exact board scores as the reference; the int8 one is scored in its own right.
    EXPECT_EQ(board == reference, QLatin1String(c.precision) == QLatin1String("float"));
}

INSTANTIATE_TEST_SUITE_P(
    Gates, AccuracyGates,
    ::testing::Values(GateCase{"exactBoardPasses", "float", {"--min-accuracy", "0.7", "--min-accuracy-ratio", "1"}, 0, ""},
                      GateCase{"belowTheRatio", "float", {"--min-accuracy-ratio", "1.001"}, 3,
                               "of 0 (simulator)'s 0.78"},
                      GateCase{"belowTheAccuracy", "float", {"--min-accuracy", "0.9"}, 3,
                               "The accuracy AP on "},
                      GateCase{"int8Board", "int8", {"--min-accuracy", "0.5"}, 0, ""}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
