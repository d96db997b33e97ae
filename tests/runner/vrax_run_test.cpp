// vrax-run end to end: every example kind with its figures and result lines
// checked, the exit status of each kind of failure, and the comparison with
// the simulator on exact, rounding and timed boards.
#include "support/test_files.h"
#include "vrax_run_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRectF>
#include <QTemporaryDir>

namespace {

double iou(const QRectF &a, const QRectF &b)
{
    const QRectF overlap = a.intersected(b);
    const double common = overlap.width() * overlap.height();
    return common / (a.width() * a.height() + b.width() * b.height() - common);
}

QRectF rectOf(const QJsonArray &box)
{
    return QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(), box[3].toDouble());
}

// A box of expected.json, in network-input pixels, on the original picture:
// the centre crop stretched over the input.
QRectF toOriginal(const QJsonArray &box, const QJsonObject &picture, const QJsonObject &input)
{
    const QJsonArray crop = picture.value("crop").toArray();
    const double sx = crop[2].toDouble() / input.value("width").toDouble();
    const double sy = crop[3].toDouble() / input.value("height").toDouble();
    return QRectF(crop[0].toDouble() + box[0].toDouble() * sx, crop[1].toDouble() + box[1].toDouble() * sy,
                  box[2].toDouble() * sx, box[3].toDouble() * sy);
}

// What the examples' expected.json says about one picture, checked against its result line.
void checkLine(const QString &kind, const QJsonObject &input, const QJsonObject &expected, const QJsonObject &line)
{
    SCOPED_TRACE(expected.value("file").toString().toStdString());
    if (kind == QLatin1String("classifier")) {
        EXPECT_EQ(line.value("top").toArray().size(), 4); // every class of the four, at most five
        EXPECT_EQ(line.value("top").toArray().at(0).toObject().value("label").toString(),
                  expected.value("top_label").toString());
    } else if (kind == QLatin1String("unet")) {
        const QJsonObject mask = line.value("mask").toObject();
        qint64 cells = 0;
        for (const QJsonValue &c : mask.value("classes").toArray())
            cells += c.toObject().value("pixels").toVariant().toLongLong();
        EXPECT_EQ(cells, mask.value("width").toVariant().toLongLong() * mask.value("height").toVariant().toLongLong());
        EXPECT_GE(mask.value("classes").toArray().size(), 2);
    } else {
        // The boxes lie on the original picture where the examples say.
        const QJsonArray found = line.value("detections").toArray();
        for (const QJsonValue &want : expected.value("detections").toArray()) {
            const QJsonObject w = want.toObject();
            double best = 0.0;
            for (const QJsonValue &got : found)
                if (got.toObject().value("label") == w.value("label"))
                    best = std::max(best, iou(rectOf(got.toObject().value("box").toArray()),
                                              toOriginal(w.value("box").toArray(), expected, input)));
            EXPECT_GE(best, w.value("min_iou").toDouble()) << w.value("label").toString().toStdString();
        }
    }
}

class EveryExample : public ::testing::TestWithParam<const char *>
{
};

TEST_P(EveryExample, runsEachPictureOnceAndWritesFiguresAndResults)
{
    const QString folder = example(GetParam());
    const QJsonObject expected = readJson(folder + "/expected.json");
    const QJsonArray pictures = expected.value("pictures").toArray();
    const QString pictureFolder =
        QFileInfo(folder + "/" + pictures.at(0).toObject().value("file").toString()).absolutePath();
    QTemporaryDir out;
    const QString json = out.filePath("figures.json");
    const QString results = out.filePath("results.jsonl");
    const CommandRun outcome = runVraxRun({"--quiet", "--json", json, "--results", results, "--save", out.filePath("saved"),
                                        folder + "/" + expected.value("description").toString(), pictureFolder});
    ASSERT_EQ(outcome.status, 0) << outcome.output;

    const QJsonObject figures = readJson(json);
    EXPECT_EQ(figures.value("frames").toInt(), pictures.size());
    EXPECT_EQ(figures.value("units").toInt(), 4);
    EXPECT_GT(figures.value("throughput_fps").toDouble(), 0.0);
    EXPECT_GT(figures.value("first_frame_ms").toDouble(), 0.0);
    // The stages cover the frame: their means add up to the frame's, all but
    // the wait in the read-ahead queue, which is reported on its own.
    double stageSum = 0.0;
    for (const char *key : {"read", "prepare", "queued", "board", "decode", "waiting", "draw"})
        stageSum += figures.value("stages_ms").toObject().value(key).toDouble(-1000.0);
    EXPECT_NEAR(stageSum, figures.value("latency_ms").toObject().value("mean").toDouble(), 1e-6);
    EXPECT_GE(figures.value("stages_ms").toObject().value("read_ahead").toDouble(-1.0), 0.0);

    const std::vector<QJsonObject> lines = readLines(results);
    ASSERT_EQ(lines.size(), std::size_t(pictures.size()));
    QStringList sources;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].value("frame").toInt(), int(i));
        sources << lines[i].value("source").toString();
    }
    for (const QJsonValue &picture : pictures) {
        const int line = sources.indexOf(QFileInfo(picture.toObject().value("file").toString()).fileName());
        ASSERT_GE(line, 0) << picture.toObject().value("file").toString().toStdString();
        checkLine(expected.value("network").toString(), expected.value("input").toObject(), picture.toObject(),
                  lines[std::size_t(line)]);
    }
    EXPECT_EQ(QDir(out.filePath("saved")).entryList(QDir::Files).size(), pictures.size());
}

INSTANTIATE_TEST_SUITE_P(Examples, EveryExample,
                         ::testing::Values("yolo2", "yolo3", "yolo3-darknet", "yolo5", "unet", "classifier",
                                           "classifier-binary"),
                         [](const auto &info) {
                             return QString(info.param).remove('-').toStdString();
                         });

struct OutcomeCase
{
    const char *name;
    QStringList arguments; // {DESCRIPTION} and {BAD} are replaced
    QStringList environment;
    int exitCode;
    const char *message; // part of the output
};

void PrintTo(const OutcomeCase &c, std::ostream *os)
{
    *os << c.name;
}

class Outcomes : public ::testing::TestWithParam<OutcomeCase>
{
};

TEST_P(Outcomes, exitWithTheirStatusAndSayWhy)
{
    QTemporaryDir dir;
    const QString bad = writeTestFile(dir.filePath("bad.xml"), "not a description");
    const QString badPicture = writeTestFile(dir.filePath("pictures/bad.png"), "not a picture");
    QStringList arguments;
    for (QString argument : GetParam().arguments)
        arguments << argument.replace("{DESCRIPTION}", example("classifier/shapes_classifier.xml"))
                         .replace("{PICTURES}", example("classifier/pictures"))
                         .replace("{BAD}", bad)
                         .replace("{BADPICTURE}", badPicture)
                         .replace("{VIDEO}", example("video/shapes.avi"))
                         .replace("{DIR}", dir.path())
                         .replace("{EXAMPLES}", example(""));
    const CommandRun outcome = runVraxRun(arguments, GetParam().environment);
    EXPECT_EQ(outcome.status, GetParam().exitCode) << outcome.output;
    const std::string message = QString(GetParam().message).replace("{DIR}", dir.path()).toStdString();
    EXPECT_NE(outcome.output.find(message), std::string::npos) << outcome.output;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Outcomes,
    ::testing::Values(
        OutcomeCase{"help", {"--help"}, {}, 0, "--compare-with TYPE[:INDEX]"},
        OutcomeCase{"version", {"--version"}, {}, 0, "vrax-run "},
        OutcomeCase{"badDescription", {"{BAD}", "{PICTURES}"}, {}, 1, "Failed to open VRAX NN descriptions file"},
        OutcomeCase{"missingInput", {"{DESCRIPTION}", "{DIR}/nothing.png"}, {}, 1, "nothing.png"},
        OutcomeCase{"badPicture", {"{DESCRIPTION}", "{BADPICTURE}"}, {}, 1, "bad.png"},
        OutcomeCase{"failingProcess", {"-n", "40", "{DESCRIPTION}", "{PICTURES}"}, {"VRAX_FAULTS=VRAX_Process=13@5"}, 1,
                    "VRAX_Process failed on board 0 (simulator): VRAX_RESULT_BOARD_SYNC_ERROR"},
        OutcomeCase{"failingOutput", {"-b", "2:1", "-n", "40", "{DESCRIPTION}", "{PICTURES}"},
                    {"VRAX_BOARDS=2:2", "VRAX_FAULTS=VRAX_GetOutput=9@3"}, 1,
                    "VRAX_GetOutput failed on board 2:1 (TK307.04): VRAX_RESULT_MEMORY_READ_ERROR"},
        OutcomeCase{"failingOpen", {"{DESCRIPTION}", "{PICTURES}"}, {"VRAX_FAULTS=VRAX_Initialize=16"}, 1,
                    "on board 0 (simulator): VRAX_Initialize failed: VRAX_RESULT_NN_LOADING_ERROR"},
        OutcomeCase{"absentBoard", {"-b", "2:3", "{DESCRIPTION}", "{PICTURES}"}, {"VRAX_BOARDS=2:1"}, 1,
                    "Board 2:3 (TK307.04) is not attached (attached: 0 (simulator), 2:0 (TK307.04)). A board is "
                    "attached when the runtime finds it connected to this computer; virtual boards come from the "
                    "environment variable VRAX_BOARDS"},
        OutcomeCase{"noBoardOfTheType", {"-b", "5", "--parallel", "{DESCRIPTION}", "{PICTURES}"}, {}, 1,
                    "No board of type Tier is attached (attached: 0 (simulator))"},
        OutcomeCase{"unwritableResults", {"--results", "{DIR}/no/such/folder/r.jsonl", "{DESCRIPTION}", "{PICTURES}"},
                    {}, 1, "Cannot write"},
        // Fewer frames in flight than the units, as View > One Frame at a Time.
        OutcomeCase{"oneFrameInFlight", {"--in-flight", "1", "{DESCRIPTION}", "{PICTURES}"}, {}, 0,
                    "0 (simulator), 1 session(s), 1 frames in flight"},
        OutcomeCase{"everyUnitInFlight", {"{DESCRIPTION}", "{PICTURES}"}, {}, 0,
                    "0 (simulator), 1 session(s), 4 frames in flight"},
        OutcomeCase{"noFrameInFlight", {"--in-flight", "0", "{DESCRIPTION}", "{PICTURES}"}, {}, 2,
                    "--in-flight needs a whole number above 0"},
        OutcomeCase{"noInput", {"{DESCRIPTION}"}, {}, 2, "at least one input"},
        OutcomeCase{"zeroFrames", {"-n", "0", "{DESCRIPTION}", "{PICTURES}"}, {}, 2, "-n needs a whole number above 0"},
        OutcomeCase{"framesAndSeconds", {"-n", "5", "-t", "1", "{DESCRIPTION}", "{PICTURES}"}, {}, 2, "together"},
        OutcomeCase{"badBoard", {"-b", "9", "{DESCRIPTION}", "{PICTURES}"}, {}, 2, "TYPE 0 (the simulator) to 7"},
        OutcomeCase{"unknownOption", {"--fast", "{DESCRIPTION}", "{PICTURES}"}, {}, 2, "Unknown option --fast"},
        OutcomeCase{"videoWithPictures", {"{DESCRIPTION}", "{VIDEO}", "{PICTURES}"}, {}, 1,
                    "A video or camera is run on its own, without other inputs"},
        OutcomeCase{"cameraWithoutEnd", {"{DESCRIPTION}", "/dev/video9"}, {}, 2,
                    "A camera gives frames without end: give -n FRAMES or -t SECONDS"},
        OutcomeCase{"absentCamera", {"-n", "3", "{DESCRIPTION}", "/dev/video9"}, {}, 1,
                    "Camera /dev/video9: there is no such device"},
        OutcomeCase{"agreementAlone", {"--min-agreement", "0.5", "{DESCRIPTION}", "{PICTURES}"}, {}, 2,
                    "needs --compare-with"},
        // Accuracy on a labelled data set.
        OutcomeCase{"confAlone", {"--conf", "0.01", "{DESCRIPTION}", "{PICTURES}"}, {}, 2, "--conf needs --dataset"},
        OutcomeCase{"dataSetAndInputs", {"--dataset", "{EXAMPLES}classifier/validation", "{DESCRIPTION}", "{PICTURES}"},
                    {}, 2, "give the description alone"},
        OutcomeCase{"dataSetAndFrames", {"-n", "5", "--dataset", "{EXAMPLES}classifier/validation", "{DESCRIPTION}"},
                    {}, 2, "-n, -t and --warmup do not go with it"},
        OutcomeCase{"ratioAlone", {"--min-accuracy-ratio", "0.9", "--dataset", "{EXAMPLES}classifier/validation",
                                   "{DESCRIPTION}"}, {}, 2, "--min-accuracy-ratio needs --compare-with"},
        OutcomeCase{"zeroConf", {"--conf", "0", "--dataset", "{EXAMPLES}classifier/validation", "{DESCRIPTION}"}, {},
                    2, "--conf needs a number from 0 to 1, not \"0\""},
        OutcomeCase{"badResize", {"--resize", "fill", "{DESCRIPTION}", "{PICTURES}"}, {}, 2,
                    "--resize takes crop, stretch or letterbox, not \"fill\""},
        OutcomeCase{"missingDataSet", {"--dataset", "{DIR}/none", "{DESCRIPTION}"}, {}, 1, "/none does not exist"},
        OutcomeCase{"dataSetOfAnotherKind", {"--dataset", "{EXAMPLES}yolo3/validation/instances.json", "{DESCRIPTION}"},
                    {}, 1, "is COCO annotations, which serves detectors, but the description's network is a classifier"},
        OutcomeCase{"cocoResultsOfAClassifier", {"--dataset", "{EXAMPLES}classifier/validation", "--coco-results",
                                                 "{DIR}/r.json", "{DESCRIPTION}"},
                    {}, 1, "--coco-results writes a detector's boxes"},
        OutcomeCase{"layersAlone", {"--compare-layers", "{DESCRIPTION}", "{PICTURES}"}, {}, 2,
                    "--compare-layers needs --compare-with"},
        OutcomeCase{"thresholdAlone", {"--compare-with", "0", "--layer-threshold", "0.9", "{DESCRIPTION}", "{PICTURES}"},
                    {}, 2, "--layer-threshold needs --compare-layers"},
        OutcomeCase{"thresholdAboveOne",
                    {"--compare-with", "0", "--compare-layers", "--layer-threshold", "1.5", "{DESCRIPTION}", "{PICTURES}"},
                    {}, 2, "--layer-threshold needs a number above 0 and up to 1"},
        OutcomeCase{"unwritableProfile", {"--profile", "{DIR}/none/p.json", "{DESCRIPTION}", "{PICTURES}"}, {}, 1,
                    "Cannot write {DIR}/none/p.json"},
        OutcomeCase{"unwritableTrace", {"--trace", "{DIR}/none/t.json", "{DESCRIPTION}", "{PICTURES}"}, {}, 1,
                    "Cannot write {DIR}/none/t.json"},
        OutcomeCase{"failingProfile", {"--profile", "{DIR}/p.json", "{DESCRIPTION}", "{PICTURES}"},
                    {"VRAX_FAULTS=VRAX_PROFILE_GetLayerTimes=9"}, 1,
                    "on board 0 (simulator): VRAX_PROFILE_GetLayerTimes failed: VRAX_RESULT_MEMORY_READ_ERROR"}),
    [](const auto &info) { return std::string(info.param.name); });

struct ComparisonCase
{
    const char *name;
    const char *example; // description, relative to examples/
    const char *precision;
    double minAgreement;
    int exitCode;
    bool exact;
    int boardMs = 0; // VRAX_SIM_BOARD_TIME of the board: its stage takes at least that
};

void PrintTo(const ComparisonCase &c, std::ostream *os)
{
    *os << c.name;
}

class Comparison : public ::testing::TestWithParam<ComparisonCase>
{
};

TEST_P(Comparison, catchesARoundingBoardAndPassesAnExactOne)
{
    const ComparisonCase &c = GetParam();
    const QString description = example(c.example);
    QTemporaryDir out;
    const CommandRun outcome = runVraxRun({"-q", "-b", "2", "--compare-with", "0", "--min-agreement",
                                        QString::number(c.minAgreement), "--json", out.filePath("f.json"), description,
                                        QFileInfo(description).absolutePath() + "/pictures"},
                                       {"VRAX_BOARDS=2:1", QStringLiteral("VRAX_SIM_PRECISION=2:") + c.precision,
                                        QStringLiteral("VRAX_SIM_BOARD_TIME=2:%1ms").arg(c.boardMs)});
    EXPECT_EQ(outcome.status, c.exitCode) << outcome.output;
    const QJsonObject figures = readJson(out.filePath("f.json"));
    const QJsonObject board = figures.value("stage_percentiles_ms").toObject().value("board").toObject();
    EXPECT_GE(board.value("p50").toDouble(), c.boardMs - 0.1);
    const QJsonObject comparison = figures.value("comparison").toObject();
    EXPECT_EQ(comparison.value("reference").toString(), "0 (simulator)");
    for (const QJsonValue &output : comparison.value("outputs").toArray()) {
        const QJsonObject o = output.toObject();
        EXPECT_EQ(o.value("max_abs").toDouble() == 0.0, c.exact);
        EXPECT_EQ(o.value("cosine").toDouble() > 1.0 - 1e-9, c.exact);
    }
    EXPECT_EQ(comparison.value("agreement").toDouble() == 1.0, c.exact || c.exitCode == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, Comparison,
    ::testing::Values(ComparisonCase{"exactDetector", "yolo3/shapes_yolo3.xml", "float", 1.0, 0, true, 30},
                      ComparisonCase{"exactSegmentation", "unet/shapes_unet.xml", "float", 1.0, 0, true},
                      // int8 rounding moves every output but keeps the classes and boxes...
                      ComparisonCase{"int8Classifier", "classifier/shapes_classifier.xml", "int8", 1.0, 0, false},
                      ComparisonCase{"int8Detector", "yolo3/shapes_yolo3.xml", "int8", 1.0, 0, false},
                      // ...and changes a few mask cells: an agreement asked of 0.999 fails.
                      ComparisonCase{"int8Segmentation", "unet/shapes_unet.xml", "int8", 0.999, 3, false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
