// Inside the network with vrax-run: the layer profile as JSON and CSV with
// the slowest layers and the note when the layers and the board time part,
// the layer comparison of an exact and an int8 board, the trace of the
// frames and units read back, and the calibration pictures a description
// names.
#include "measuring/run_statistics.h"
#include "runner/profile_output.h"
#include "support/test_files.h"
#include "vrax_run_support.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <map>

namespace {

QStringList csvLines(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

TEST(VraxRunNetwork, profileHasEveryLayerWithItsCostAndTimeAsJsonAndAsCsv)
{
    QTemporaryDir out;
    const QString description = example("classifier/shapes_classifier.xml");
    const QString pictures = example("classifier/pictures");
    const CommandRun json = runVraxRun({"-n", "6", "--profile", out.filePath("p.json"), description, pictures});
    ASSERT_EQ(json.status, 0) << json.output;
    const CommandRun csv = runVraxRun({"-q", "-n", "6", "--profile", out.filePath("p.CSV"), description, pictures});
    ASSERT_EQ(csv.status, 0) << csv.output;
    EXPECT_NE(json.output.find("Slowest layers (mean over 6 frames timed"), std::string::npos) << json.output;
    EXPECT_EQ(csv.output.find("Slowest layers"), std::string::npos) << "--quiet prints no table";

    const QJsonObject profile = readJson(out.filePath("p.json"));
    const QJsonArray layers = profile.value("layers").toArray();
    ASSERT_GT(layers.size(), 3);
    double time = 0.0, percent = 0.0;
    qint64 macs = 0;
    for (const QJsonValue &value : layers) {
        const QJsonObject layer = value.toObject();
        const QStringList keys{"macs", "macs_per_s", "name", "output_shape", "params", "percent", "time_ms", "type"};
        EXPECT_EQ(layer.keys(), keys);
        EXPECT_FALSE(layer.value("output_shape").toArray().isEmpty()) << layer.value("name").toString().toStdString();
        time += layer.value("time_ms").toDouble();
        percent += layer.value("percent").toDouble();
        macs += layer.value("macs").toVariant().toLongLong();
        if (layer.value("time_ms").toDouble() > 0.0) {
            EXPECT_NEAR(layer.value("macs_per_s").toDouble(),
                        layer.value("macs").toDouble() / layer.value("time_ms").toDouble() * 1000.0, 1.0);
        }
    }
    EXPECT_GT(macs, 0);
    EXPECT_EQ(profile.value("macs").toVariant().toLongLong(), macs);
    EXPECT_NEAR(profile.value("layers_total_ms").toDouble(), time, 1e-9);
    EXPECT_GT(time, 0.0);
    EXPECT_NEAR(percent, 100.0, 1e-6);
    EXPECT_GT(profile.value("frame_board_ms").toDouble(), 0.0);
    EXPECT_EQ(profile.value("frames_timed").toInt(), 6);
    EXPECT_NEAR(profile.value("macs_per_s").toDouble(), double(macs) / time * 1000.0, 1.0);

    // The same layers, one a row, then the sums.
    const QStringList rows = csvLines(out.filePath("p.CSV"));
    ASSERT_EQ(rows.size(), layers.size() + 3);
    EXPECT_EQ(rows.front(), "name,type,output_shape,params,macs,time_ms,percent,macs_per_s");
    for (int i = 0; i < layers.size(); ++i) {
        const QStringList fields = rows[i + 1].split(',');
        const QJsonObject layer = layers[i].toObject();
        ASSERT_EQ(fields.size(), 8) << rows[i + 1].toStdString();
        EXPECT_EQ(fields[0], layer.value("name").toString());
        EXPECT_EQ(fields[1], layer.value("type").toString());
        QStringList shape;
        for (const QJsonValue &dim : layer.value("output_shape").toArray())
            shape << QString::number(dim.toInt());
        EXPECT_EQ(fields[2], shape.join('x'));
        EXPECT_EQ(fields[4].toLongLong(), layer.value("macs").toVariant().toLongLong());
    }
    EXPECT_TRUE(rows[layers.size() + 1].startsWith("(layers),,,," + QString::number(macs) + ","));
    EXPECT_TRUE(rows[layers.size() + 2].startsWith("(board frame),"));
}

TEST(VraxRunNetwork, noteWhenTheLayersAndTheBoardTimePartByMoreThanATenth)
{
    NetworkProfile profile;
    profile.layers.resize(2);
    profile.frames = 5;
    const struct
    {
        double layersMs;
        double boardMs;
        bool note;
    } cases[] = {{9.5, 10.0, false}, {10.9, 10.0, false}, {8.9, 10.0, true}, {11.1, 10.0, true}, {4.0, 0.0, false}};
    for (const auto &c : cases) {
        profile.milliseconds = {c.layersMs / 2, c.layersMs / 2};
        const ProfileSetting setting{c.boardMs, 5, 100.0};
        EXPECT_EQ(!layerSumNote(profile, setting).isEmpty(), c.note) << c.layersMs << " of " << c.boardMs;
        EXPECT_EQ(slowestLayersTable(profile, setting).contains("Note: The layers add up to"), c.note);
        EXPECT_EQ(QJsonDocument::fromJson(profileJson(profile, setting)).object().contains("note"), c.note);
    }
    // A board much slower than its engine says so on the terminal.
    QTemporaryDir out;
    const CommandRun run = runVraxRun({"-n", "4", "--profile", out.filePath("p.json"),
                                       example("classifier/shapes_classifier.xml"), example("classifier/pictures")},
                                      {"VRAX_SIM_BOARD_TIME=0:60ms", "VRAX_SIM_BOARD_CACHE_MB=0"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Note: The layers add up to"), std::string::npos) << run.output;
    EXPECT_GE(readJson(out.filePath("p.json")).value("frame_board_ms").toDouble(), 59.9);
}

struct LayerCase
{
    const char *name;
    const char *precision;
    bool exact;
};

void PrintTo(const LayerCase &c, std::ostream *os)
{
    *os << c.name;
}

class LayerComparisons : public ::testing::TestWithParam<LayerCase>
{
};

TEST_P(LayerComparisons, findNoDivergenceOnAnExactBoardAndAQuantisedLayerFirstOnAnInt8One)
{
    const LayerCase &c = GetParam();
    QTemporaryDir out;
    const CommandRun run = runVraxRun({"-b", "2", "-n", "2", "--compare-with", "0", "--compare-layers", "--json",
                                       out.filePath("f.json"), "--profile", out.filePath("p.json"),
                                       example("yolo3/shapes_yolo3.xml"), example("yolo3/pictures")},
                                      {"VRAX_BOARDS=2:1", QStringLiteral("VRAX_SIM_PRECISION=2:") + c.precision});
    ASSERT_EQ(run.status, 0) << run.output;
    const QJsonObject figures = readJson(out.filePath("f.json"));
    const QJsonArray layers = figures.value("layers_compare").toArray();
    ASSERT_GT(layers.size(), 5);
    EXPECT_EQ(figures.value("layer_frames").toInt(), 2);
    // The first divergent layer is the first below the threshold, and on the
    // int8 board one the engine runs in int8.
    QString firstBelow, typeOfFirst;
    for (const QJsonValue &value : layers) {
        const QJsonObject layer = value.toObject();
        EXPECT_EQ(layer.value("cosine").toDouble() > 1.0 - 1e-9 && layer.value("max_abs").toDouble() == 0.0, c.exact)
            << layer.value("name").toString().toStdString();
        if (firstBelow.isEmpty() && layer.value("cosine").toDouble() < 0.999) {
            firstBelow = layer.value("name").toString();
            typeOfFirst = layer.value("type").toString();
        }
    }
    EXPECT_EQ(firstBelow.isEmpty(), c.exact);
    EXPECT_EQ(typeOfFirst.endsWith("Int8"), !c.exact) << typeOfFirst.toStdString();
    EXPECT_EQ(figures.value("first_divergent_layer").toString(), firstBelow);
    EXPECT_EQ(figures.value("first_divergent_layer").isNull(), c.exact);
    EXPECT_NE(run.output.find(c.exact ? "no layer's cosine falls below 0.999"
                                      : "first divergent layer: " + firstBelow.toStdString()),
              std::string::npos)
        << run.output;
    // The profile file carries the comparison too.
    EXPECT_EQ(readJson(out.filePath("p.json")).value("layers_compare").toArray(), layers);

    // A threshold no layer falls below.
    const CommandRun lenient = runVraxRun({"-q", "-b", "2", "-n", "1", "--compare-with", "0", "--compare-layers",
                                           "--layer-threshold", "0.5", "--json", out.filePath("g.json"),
                                           example("yolo3/shapes_yolo3.xml"), example("yolo3/pictures")},
                                          {"VRAX_BOARDS=2:1", QStringLiteral("VRAX_SIM_PRECISION=2:") + c.precision});
    ASSERT_EQ(lenient.status, 0) << lenient.output;
    EXPECT_TRUE(readJson(out.filePath("g.json")).value("first_divergent_layer").isNull());
}

INSTANTIATE_TEST_SUITE_P(Boards, LayerComparisons,
                         ::testing::Values(LayerCase{"exact", "float", true}, LayerCase{"int8", "int8", false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(VraxRunNetwork, traceHoldsEachFramesStagesAndEachUnitsBusySpans)
{
    QTemporaryDir out;
    const int frames = 10;
    const CommandRun run = runVraxRun({"-q", "-n", QString::number(frames), "--trace", out.filePath("t.json"),
                                       example("classifier/shapes_classifier.xml"), example("classifier/pictures")});
    ASSERT_EQ(run.status, 0) << run.output;
    const QJsonArray events = readJson(out.filePath("t.json")).value("traceEvents").toArray();
    ASSERT_FALSE(events.isEmpty());

    struct Span
    {
        double start, end;
    };
    std::map<int, Span> frameSpans;                       // frame number: its span on a frame lane
    std::map<std::pair<int, int>, std::vector<Span>> lanes; // (pid, tid): spans, frames and units
    std::map<int, Span> boardStages;                      // frame number: its "board" stage
    std::map<int, Span> unitSpans;
    int stages = 0;
    int current = -1; // the frame whose events come now: a frame's events come together
    for (const QJsonValue &value : events) {
        const QJsonObject event = value.toObject();
        for (const char *key : {"name", "ph", "pid", "tid"})
            ASSERT_TRUE(event.contains(key)) << key;
        if (event.value("ph").toString() == "M")
            continue;
        ASSERT_EQ(event.value("ph").toString(), "X");
        ASSERT_TRUE(event.contains("ts") && event.contains("dur"));
        const Span span{event.value("ts").toDouble(), event.value("ts").toDouble() + event.value("dur").toDouble()};
        EXPECT_GE(span.start, 0.0);
        EXPECT_GE(span.end, span.start);
        const int pid = event.value("pid").toInt();
        const int tid = event.value("tid").toInt();
        const QString name = event.value("name").toString();
        if (name.startsWith("frame ")) {
            const int frame = event.value("args").toObject().value("frame").toInt(-1);
            EXPECT_EQ(name, QStringLiteral("frame %1").arg(frame));
            lanes[{pid, tid}].push_back(span);
            if (pid == 1) {
                frameSpans[frame] = span;
                current = frame;
            } else {
                unitSpans[frame] = span;
            }
            continue;
        }
        ++stages;
        // A stage lies inside the frame before it on the same lane.
        const auto &lane = lanes[{pid, tid}];
        ASSERT_FALSE(lane.empty()) << name.toStdString();
        EXPECT_GE(span.start, lane.back().start - 0.002);
        EXPECT_LE(span.end, lane.back().end + 0.002);
        if (name == "board")
            boardStages[current] = span;
    }
    EXPECT_EQ(int(frameSpans.size()), frames);
    EXPECT_EQ(int(unitSpans.size()), frames);
    EXPECT_EQ(stages, frames * int(stageCount));
    // Spans on one lane never overlap; every unit of the session worked.
    int unitLanes = 0;
    for (auto &[lane, spans] : lanes) {
        unitLanes += lane.first == 2;
        std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.start < b.start; });
        for (std::size_t i = 1; i < spans.size(); ++i)
            EXPECT_LE(spans[i - 1].end, spans[i].start + 0.002) << lane.first << ":" << lane.second;
    }
    EXPECT_EQ(unitLanes, 4);
    // A unit is busy with a frame exactly while the frame's board stage lasts.
    for (const auto &[frame, span] : unitSpans) {
        ASSERT_TRUE(boardStages.count(frame)) << frame;
        EXPECT_NEAR(span.start, boardStages[frame].start, 0.002) << frame;
        EXPECT_NEAR(span.end, boardStages[frame].end, 0.002) << frame;
    }
}

struct CalibrationCase
{
    const char *name;
    const char *calibration; // the element's text; empty: no element
    int exitCode;
    const char *said;    // part of the output
    const char *notSaid; // not part of it
};

void PrintTo(const CalibrationCase &c, std::ostream *os)
{
    *os << c.name;
}

class CalibrationFolders : public ::testing::TestWithParam<CalibrationCase>
{
};

TEST_P(CalibrationFolders, calibrateAnInt8BoardOrSayWhyTheyCannot)
{
    const CalibrationCase &c = GetParam();
    QTemporaryDir dir;
    writeTestFile(dir.filePath("empty/notes.txt"), "no picture here");
    QFile original(example("classifier/shapes_classifier.xml"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QString description = QString::fromUtf8(original.readAll());
    description.replace("<model>shapes_classifier.onnx</model>",
                        "<model>" + example("classifier/shapes_classifier.onnx") + "</model>"
                            + (*c.calibration ? QStringLiteral("<calibration>%1</calibration>")
                                                    .arg(QString(c.calibration).replace("{PICTURES}", example("classifier/pictures")))
                                              : QString()));
    const QString path = writeTestFile(dir.filePath("d.xml"), description.toUtf8());
    const CommandRun run = runVraxRun({"-q", "-b", "2", "-n", "2", path, example("classifier/pictures/star.png")},
                                      {"VRAX_BOARDS=2:1", "VRAX_SIM_PRECISION=2:int8"});
    EXPECT_EQ(run.status, c.exitCode) << run.output;
    EXPECT_NE(run.output.find(c.said), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find(c.notSaid), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, CalibrationFolders,
    ::testing::Values(CalibrationCase{"none", "", 0, "calibrates on its first frame", "calibration pictures"},
                      CalibrationCase{"pictures", "{PICTURES}", 0, "", "first frame"},
                      CalibrationCase{"missing", "nowhere", 1, "The calibration pictures cannot be used: The folder ",
                                      "first frame"},
                      CalibrationCase{"noPictures", "empty", 1, "empty holds no pictures", "first frame"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
