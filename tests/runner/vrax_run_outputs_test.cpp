// What vrax-run writes beside its figures: the record that repeats a run, the
// result lines numbered as the saved pictures, results read as the model
// means them, descriptions refused when they do not fit the model, and the
// boards it can reach.
#include "support/test_files.h"
#include "vrax_run_support.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QString sha256Of(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly) && hash.addData(&file)) << path.toStdString();
    return QString::fromLatin1(hash.result().toHex());
}

// A description of the example detector's model with other labels or anchors.
QString detectorDescription(const QString &labels, int anchorValues)
{
    QString anchors;
    for (int i = 0; i < anchorValues; ++i)
        anchors += QString::number(16 + 4 * i) + "\n";
    return QString("<vrax_nn_description><input><model>%1</model><format>rgb</format><divider>255</divider>"
                   "<adder>0</adder></input><output><neural_network>yolo3</neural_network><labels>%2</labels>"
                   "<yolo_anchors>%3</yolo_anchors><yolo_confidence_threshold>0.5</yolo_confidence_threshold>"
                   "<yolo_iou_threshold>0.45</yolo_iou_threshold></output></vrax_nn_description>")
        .arg(example("yolo3/shapes_yolo3.onnx"), labels, anchors);
}

TEST(VraxRunOutputs, theFiguresSayWhatRepeatsTheRun)
{
    QTemporaryDir out;
    const QString description = example("classifier/shapes_classifier.xml");
    const QStringList arguments{"-q", "-n", "3", "--json", out.filePath("f.json"), description,
                                example("classifier/pictures/star.png")};
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const CommandRun run = runVraxRun(arguments);
    ASSERT_EQ(run.status, 0) << run.output;
    const QJsonObject figures = readJson(out.filePath("f.json"));

    EXPECT_EQ(figures.value("program").toObject().value("name").toString(), "vrax-run");
    EXPECT_FALSE(figures.value("program").toObject().value("version").toString().isEmpty());
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+$").match(figures.value("runtime_version").toString()).hasMatch());
    const QDateTime started = QDateTime::fromString(figures.value("started").toString(), Qt::ISODateWithMs);
    ASSERT_TRUE(started.isValid()) << figures.value("started").toString().toStdString();
    EXPECT_GE(started.toSecsSinceEpoch(), before - 1);
    EXPECT_LE(started.toSecsSinceEpoch(), QDateTime::currentSecsSinceEpoch());
    const QJsonObject host = figures.value("host").toObject();
    EXPECT_FALSE(host.value("cpu").toString().isEmpty());
    EXPECT_GE(host.value("cores").toInt(), 1);
    EXPECT_EQ(figures.value("boards").toArray(),
              (QJsonArray{QJsonObject{{"type", 0}, {"index", 0}, {"name", "0 (simulator)"}}}));
    EXPECT_EQ(figures.value("input").toObject(), (QJsonObject{{"width", 96}, {"height", 96}, {"depth", 3}}));
    EXPECT_EQ(figures.value("in_flight").toInt(), 4);
    QStringList commandLine{VRAX_RUN_PATH};
    commandLine << arguments;
    EXPECT_EQ(figures.value("command_line").toArray(), QJsonArray::fromStringList(commandLine));

    const QJsonArray files = figures.value("files").toArray();
    ASSERT_EQ(files.size(), 2);
    const QString model = example("classifier/shapes_classifier.onnx");
    const struct
    {
        const char *role;
        QString path;
    } expected[] = {{"description", description}, {"model", model}};
    for (int i = 0; i < 2; ++i) {
        const QJsonObject file = files[i].toObject();
        EXPECT_EQ(file.value("role").toString(), expected[i].role);
        EXPECT_EQ(QFileInfo(file.value("path").toString()).canonicalFilePath(),
                  QFileInfo(expected[i].path).canonicalFilePath());
        EXPECT_EQ(qint64(file.value("bytes").toDouble()), QFileInfo(expected[i].path).size());
        EXPECT_EQ(file.value("sha256").toString(), sha256Of(expected[i].path));
    }
}

TEST(VraxRunOutputs, aDarkNetModelIsRecordedWithItsWeights)
{
    QTemporaryDir out;
    const CommandRun run = runVraxRun({"-q", "--json", out.filePath("f.json"),
                                       example("yolo3-darknet/shapes_yolo3_darknet.xml"),
                                       example("yolo3-darknet/pictures/blotches_two_shapes.png")});
    ASSERT_EQ(run.status, 0) << run.output;
    const QJsonArray files = readJson(out.filePath("f.json")).value("files").toArray();
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files[2].toObject().value("role").toString(), "weights");
    EXPECT_EQ(files[2].toObject().value("sha256").toString(), sha256Of(example("yolo3-darknet/shapes_yolo3.weights")));
}

// Round and round three pictures: the result lines count frames as the saved
// pictures are named, and say which picture each was; box edges are written
// as short as they read back exactly.
TEST(VraxRunOutputs, resultLinesAreNumberedAsTheSavedPictures)
{
    QTemporaryDir out;
    const CommandRun run = runVraxRun({"-q", "-n", "5", "--results", out.filePath("r.jsonl"), "--save",
                                       out.filePath("saved"), example("yolo3/shapes_yolo3.xml"),
                                       example("yolo3/pictures")});
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<QJsonObject> lines = readLines(out.filePath("r.jsonl"));
    ASSERT_EQ(lines.size(), 5u);
    const QStringList pictures = QDir(example("yolo3/pictures")).entryList(QDir::Files, QDir::Name);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].value("frame").toInt(-1), int(i));
        EXPECT_EQ(lines[i].value("source_index").toInt(-1), int(i % 3));
        const QString source = lines[i].value("source").toString();
        EXPECT_EQ(source, pictures[int(i % 3)]);
        const QString saved = QString("%1_%2.png").arg(i, 6, 10, QChar('0')).arg(QFileInfo(source).completeBaseName());
        EXPECT_TRUE(QFileInfo::exists(out.filePath("saved/" + saved))) << saved.toStdString();
    }

    QFile file(out.filePath("r.jsonl"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QRegularExpression box("\"box\":\\[([^\\]]*)\\]");
    int boxes = 0;
    for (auto match = box.globalMatch(text); match.hasNext(); ++boxes)
        for (const QString &edge : match.next().captured(1).split(','))
            EXPECT_TRUE(QRegularExpression("^-?\\d+(\\.\\d{1,3})?$").match(edge).hasMatch()) << edge.toStdString();
    EXPECT_GT(boxes, 5);
}

// A video file runs as the window runs it: frame after frame, each result
// line naming the video and the frame's number, a video given more frames
// than it has going round; its saved pictures are named as a picture's.
TEST(VraxRunOutputs, aVideoRunsFrameByFrame)
{
    QTemporaryDir out;
    const CommandRun run = runVraxRun({"-q", "-n", "4", "--results", out.filePath("r.jsonl"), "--save",
                                       out.filePath("saved"), example("yolo3/shapes_yolo3.xml"),
                                       example("video/shapes.avi")});
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<QJsonObject> lines = readLines(out.filePath("r.jsonl"));
    ASSERT_EQ(lines.size(), 4u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].value("source").toString(), "shapes.avi");
        EXPECT_EQ(lines[i].value("source_index").toInt(-1), int(i));
        EXPECT_FALSE(lines[i].value("detections").toArray().isEmpty());
        EXPECT_TRUE(QFileInfo::exists(out.filePath(QString("saved/%1_shapes.png").arg(i, 6, 10, QChar('0')))));
    }
}

// The decoders' warnings (here libpng's about a damaged colour profile in a
// picture that decodes all the same) do not reach the terminal.
TEST(VraxRunOutputs, decoderWarningsStayOffTheTerminal)
{
    QTemporaryDir dir;
    // A 2 x 2 red PNG with an ICC profile of 16 zero bytes, too short to be one.
    const QByteArray png = QByteArray::fromHex(
        "89504e470d0a1a0a0000000d4948445200000002000000020802000000fdd49a7300000010694343504943430000789c63604005"
        "00001000016ce037430000001049444154789c63f8cfc000440c100a001fee03fd8b5f14d40000000049454e44ae426082");
    const QString picture = writeTestFile(dir.filePath("profiled.png"), png);
    const CommandRun run = runVraxRun({"-q", example("classifier/shapes_classifier.xml"), picture});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "") << run.output;
}

// The face-expression classifier ends in a softmax: its probabilities are
// shown as the model gives them (happy 0.9989), not run through a second
// softmax (0.37); the description may still ask for one.
TEST(VraxRunOutputs, probabilitiesAreShownAsTheModelGivesThem)
{
    if (sharedModelsDir().empty() || sharedPicturesDir().empty())
        GTEST_SKIP() << sharedDataMissingReason();
    QTemporaryDir out;
    const QString models = QString::fromStdString(sharedModelsDir());
    QFile names(models + "/face_expression_112.names");
    ASSERT_TRUE(names.open(QIODevice::ReadOnly));
    const QString labels = QString::fromUtf8(names.readAll()).trimmed();
    const struct
    {
        const char *activation;
        double lowest;
        double highest;
    } cases[] = {{"", 0.99, 1.0}, {"<output_activation>softmax</output_activation>", 0.3, 0.45}};
    for (const auto &c : cases) {
        const QString description = writeTestFile(
            out.filePath("expressions.xml"),
            QString("<vrax_nn_description><input><model>%1/face_expression_112.onnx</model><format>rgb</format>"
                    "<divider>255</divider><adder>-0.45</adder></input><output><neural_network>classifier"
                    "</neural_network><labels>%2</labels>%3</output></vrax_nn_description>")
                .arg(models, labels, c.activation)
                .toUtf8());
        const CommandRun run = runVraxRun({"-q", "--results", out.filePath("r.jsonl"), description,
                                           QString::fromStdString(sharedPicturesDir()) + "/astronaut_face.png"});
        ASSERT_EQ(run.status, 0) << run.output;
        const std::vector<QJsonObject> lines = readLines(out.filePath("r.jsonl"));
        ASSERT_EQ(lines.size(), 1u);
        const QJsonObject top = lines[0].value("top").toArray().at(0).toObject();
        EXPECT_EQ(top.value("label").toString(), "happy") << c.activation;
        EXPECT_GE(top.value("probability").toDouble(), c.lowest) << c.activation;
        EXPECT_LE(top.value("probability").toDouble(), c.highest) << c.activation;
    }
}

// The example detector's outputs hold 3 anchors x (4 labels + 5) values a
// cell; a description with other counts opens nothing and writes nothing.
TEST(VraxRunOutputs, aDescriptionThatDoesNotFitTheModelOpensNothing)
{
    const struct
    {
        const char *name;
        QString labels;
        int anchorValues;
        const char *message;
    } cases[] = {
        {"a label missing", "circle\nsquare\ntriangle", 12,
         "Output 0 of the model holds 27 values per cell, but the description's 3 anchors per cell and 3 labels "
         "need 24 (3 x (3 + 5))"},
        {"two anchor values too many", "circle\nsquare\ntriangle\nstar", 14,
         "yolo_anchors holds 7 (width, height) pairs, which the 2 outputs of the model cannot share equally"},
    };
    for (const auto &c : cases) {
        QTemporaryDir out;
        const QString description =
            writeTestFile(out.filePath("d.xml"), detectorDescription(c.labels, c.anchorValues).toUtf8());
        const CommandRun run = runVraxRun({"-q", "--results", out.filePath("r.jsonl"), description,
                                           example("yolo3/pictures")});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_FALSE(QFileInfo::exists(out.filePath("r.jsonl"))) << c.name;
    }
}

TEST(VraxRunOutputs, listsTheAttachedBoards)
{
    const CommandRun attached = runVraxRun({"--list-boards"}, {"VRAX_BOARDS=2:2,3:1"});
    EXPECT_EQ(attached.status, 0);
    EXPECT_EQ(attached.output, "0 (simulator)\n2:0 (TK307.04)\n2:1 (TK307.04)\n3:0 (Wisp)\n");

    const CommandRun simulatorOnly = runVraxRun({"--list-boards"}, {"VRAX_BOARDS="});
    EXPECT_EQ(simulatorOnly.status, 0);
    EXPECT_EQ(simulatorOnly.output.rfind("0 (simulator)\n", 0), 0u) << simulatorOnly.output;
    EXPECT_NE(simulatorOnly.output.find("VRAX_BOARDS=TYPE:COUNT"), std::string::npos) << simulatorOnly.output;
}

} // namespace
