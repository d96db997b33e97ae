// The description reader on good and bad files, written into a temporary folder.
#include "description/description_reader.h"
#include "support/failure_message.h"
#include "support/test_files.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string element(const std::string &name, const std::string &text)
{
    return "<" + name + ">" + text + "</" + name + ">";
}

const std::string model = element("model", "m.bin");
const std::string format = element("format", "rgb");
const std::string divider = element("divider", "255");
const std::string adder = element("adder", "0");
const std::string labels = element("labels", "cat\ndog\n");
const std::string anchors = element("yolo_anchors", "10\n14\n");
const std::string confidence = element("yolo_confidence_threshold", "0.5");
const std::string iou = element("yolo_iou_threshold", "0.45");

std::string kind(const std::string &keyword)
{
    return element("neural_network", keyword);
}

std::string document(const std::string &input, const std::string &output)
{
    return "<?xml version=\"1.0\"?>\n<vrax_nn_description>\n" + element("input", input) + "\n"
           + element("output", output) + "\n</vrax_nn_description>\n";
}

const std::string goodInput = model + format + divider + adder;
const std::string yoloOutput = kind("yolo3") + anchors + confidence + iou + labels;

// The message names the bounds printed with six decimals ("%f").
std::string invalidNumber(const std::string &element)
{
    return "Invalid value in \"" + element + "\" (" + std::to_string(std::numeric_limits<double>::lowest()) + ".."
           + std::to_string(std::numeric_limits<double>::max()) + ")";
}

const std::string badFormat =
    "Invalid value in \"input/format\" (rgb, rbg, grb, gbr, brg, bgr, intensity)";
const std::string badKind =
    "Invalid value in \"output/neural_network\" (classifier, yolo2, yolo3, unet)";

class DescriptionFiles : public ::testing::Test
{
protected:
    std::string write(const std::string &text, const QString &name = QStringLiteral("d.xml"))
    {
        return writeTestFile(folder.filePath(name), QByteArray::fromStdString(text)).toStdString();
    }

    std::string folderPath() const { return folder.path().toStdString(); }

    NnDescription read(const std::string &text)
    {
        NnDescription description;
        readDescription(description, write(text));
        return description;
    }

    QTemporaryDir folder;
};

struct BadFile
{
    const char *name;
    std::string text;
    std::string message;
};

void PrintTo(const BadFile &badFile, std::ostream *out)
{
    *out << badFile.name;
}

class BadDescriptionFiles : public DescriptionFiles, public ::testing::WithParamInterface<BadFile>
{
};

TEST_P(BadDescriptionFiles, FailWithTheirMessage)
{
    NnDescription description;
    EXPECT_EQ(failureMessage([&] { readDescription(description, write(GetParam().text)); }), GetParam().message);
}

const std::vector<BadFile> badFiles = {
    {"NotWellFormed", "<vrax_nn_description><input>", "Failed to open VRAX NN descriptions file"},
    {"EmptyFile", "", "Failed to open VRAX NN descriptions file"},
    {"OtherRoot", "<description>" + element("input", goodInput) + "</description>",
     "Failed to find \"vrax_nn_description\" element"},
    {"NoInput", "<vrax_nn_description>" + element("output", kind("unet")) + "</vrax_nn_description>",
     "Fail to find \"input\" element"},
    {"NoModel", document(format + divider + adder, kind("unet")),
     "Fail to find \"input/model\" element"},
    {"EmptyModel", document("<model></model>" + format + divider + adder, kind("unet")),
     "Fail to find \"input/model\" element"},
    {"UpperCaseFormat", document(model + element("format", "RGB") + divider + adder, kind("unet")),
     badFormat},
    {"FormatWithBlank", document(model + element("format", " rgb") + divider + adder, kind("unet")),
     badFormat},
    {"NoDivider", document(model + format + adder, kind("unet")),
     "Fail to find \"input/divider\" element"},
    {"EmptyDivider", document(model + format + "<divider/>" + adder, kind("unet")),
     "Fail to find \"input/divider\" element"},
    {"DividerNotANumber", document(model + format + element("divider", "abc") + adder, kind("unet")),
     invalidNumber("input/divider")},
    {"DividerBeyondDoubles",
     document(model + format + element("divider", "1e400") + adder, kind("unet")),
     invalidNumber("input/divider")},
    {"AdderMinusInfinite",
     document(model + format + divider + element("adder", "-Infinity"), kind("unet")),
     invalidNumber("input/adder")},
    {"NoOutput", "<vrax_nn_description>" + element("input", goodInput) + "</vrax_nn_description>",
     "Fail to find \"output\" element"},
    {"NoKind", document(goodInput, labels), "Fail to find \"output/neural_network\" element"},
    {"UpperCaseKind", document(goodInput, kind("Classifier") + labels), badKind},
    {"UnknownKind", document(goodInput, kind("yolo4") + labels), badKind},
    {"ClassifierWithoutLabels", document(goodInput, kind("classifier")),
     "Fail to find \"output/labels\" element"},
    {"LabelsOfWhiteSpaceOnly", document(goodInput, kind("classifier") + "<labels>  \n\t </labels>"),
     "Fail to find \"output/labels\" element"},
    {"LabelsOfEmptyAndTabLinesInCdata",
     document(goodInput, kind("classifier") + "<labels><![CDATA[\n\t\n\n\t]]></labels>"),
     "Labels required"},
    {"YoloWithoutAnchors", document(goodInput, kind("yolo2") + confidence + iou + labels),
     "Fail to find \"output/yolo_anchors\" element"},
    {"YoloWithBadIou",
     document(goodInput, kind("yolo5") + anchors + confidence
                             + element("yolo_iou_threshold", "high") + labels),
     invalidNumber("output/yolo_iou_threshold")},
    {"YoloWithoutLabels", document(goodInput, kind("yolo3") + anchors + confidence + iou),
     "Fail to find \"output/labels\" element"},
    {"UnknownResize", document(goodInput + element("resize", "fill"), kind("unet")),
     "Invalid value in \"input/resize\" (crop, stretch, letterbox)"},
    {"PaddingBeyondAByte", document(goodInput + element("resize", "letterbox") + element("padding", "256"), kind("unet")),
     "Invalid value in \"input/padding\" (0.000000..255.000000)"},
    {"PaddingNotWhole", document(goodInput + element("padding", "114.5"), kind("unet")),
     "Invalid value in \"input/padding\" (a whole number from 0 to 255)"},
    {"YoloWithTabLabelsOnly",
     document(goodInput, kind("yolo3") + anchors + confidence + iou + "<labels>&#9;\n</labels>"),
     "Labels required"},
};

INSTANTIATE_TEST_SUITE_P(Reader, BadDescriptionFiles, ::testing::ValuesIn(badFiles),
                         [](const ::testing::TestParamInfo<BadFile> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(DescriptionFiles, MissingFileOrFolderCannotBeOpened)
{
    NnDescription description;
    EXPECT_EQ(failureMessage([&] { readDescription(description, folderPath() + "/absent.xml"); }),
              "Failed to open VRAX NN descriptions file");
    EXPECT_THROW(readDescription(description, folderPath()), std::runtime_error);
}

TEST_F(DescriptionFiles, ClassifierIsReadCompletely)
{
    const NnDescription description =
        read(document(model + element("format", "intensity") + element("divider", " 127,5")
                          + element("adder", "-1.25x"),
                      kind("classifier")
                          + element("labels", "\n\t\ttench\n\t\tgold fish\n\t\t\n \n\t\n"
                                              "salt &amp; pepper\r\nK&#246;nig\r\n")));
    EXPECT_EQ(description.model, folderPath() + "/m.bin");
    EXPECT_EQ(description.format, InputFormat::Intensity);
    EXPECT_EQ(description.divider, (std::array<double, 3>{127.5, 127.5, 127.5}));
    EXPECT_EQ(description.adder, (std::array<double, 3>{-1.25, -1.25, -1.25}));
    EXPECT_EQ(description.neural_network, NetworkKind::Classifier);
    // Blanks stay part of a label; only empty and one-tab lines are dropped;
    // entities are decoded and no carriage return is left.
    EXPECT_EQ(description.labels, (std::vector<std::string>{"\t\ttench", "\t\tgold fish", "\t\t", " ",
                                                            "salt & pepper", "K\xC3\xB6nig"}));
}

TEST_F(DescriptionFiles, PictureFitIsOptional)
{
    const struct
    {
        std::string input;
        PictureFit fit;
        int padding;
    } cases[] = {
        {goodInput, PictureFit::CentreCrop, 114},
        {goodInput + element("resize", "crop"), PictureFit::CentreCrop, 114},
        {goodInput + element("resize", "stretch"), PictureFit::Stretch, 114},
        {goodInput + element("resize", "letterbox") + element("padding", "0"), PictureFit::Letterbox, 0},
        {element("padding", "127") + element("resize", "letterbox") + goodInput, PictureFit::Letterbox, 127},
    };
    for (const auto &c : cases) {
        const NnDescription description = read(document(c.input, kind("unet")));
        EXPECT_EQ(description.resize, c.fit) << c.input;
        EXPECT_EQ(description.padding, c.padding) << c.input;
    }
}

TEST_F(DescriptionFiles, YoloAnchorsSkipWhatIsNotANumber)
{
    const NnDescription description = read(document(
        goodInput, kind("yolo5") + element("yolo_anchors", "10,14\n23\nabc\n\n  27.5 px\n\t\n1e400")
                       + element("yolo_confidence_threshold", "0,25")
                       + element("yolo_iou_threshold", "nan") + labels));
    EXPECT_EQ(description.neural_network, NetworkKind::Yolo5);
    EXPECT_EQ(description.yolo_anchors, (std::vector<double>{10.14, 23.0, 27.5}));
    EXPECT_EQ(description.yolo_confidence_threshold, 0.25);
    EXPECT_TRUE(std::isnan(description.yolo_iou_threshold)); // NaN is within no bound check
    EXPECT_EQ(description.labels, (std::vector<std::string>{"cat", "dog"}));
}

TEST_F(DescriptionFiles, UnetKeepsTheYoloFieldsButNotTheLabels)
{
    NnDescription description;
    readDescription(description, write(document(goodInput, yoloOutput)));
    readDescription(description,
                    write(document(element("model", "seg.bin") + format + divider + adder,
                                   kind("unet"))));
    EXPECT_EQ(description.neural_network, NetworkKind::Unet);
    EXPECT_EQ(description.model, folderPath() + "/seg.bin");
    // Labels that belong to another network would be checked against this one's output.
    EXPECT_TRUE(description.labels.empty());
    EXPECT_EQ(description.yolo_anchors, (std::vector<double>{10.0, 14.0}));
    EXPECT_EQ(description.yolo_confidence_threshold, 0.5);
    EXPECT_EQ(description.yolo_iou_threshold, 0.45);
}

TEST_F(DescriptionFiles, OutputActivationIsOptional)
{
    const struct
    {
        std::string output;
        OutputActivation expected;
    } cases[] = {
        {kind("classifier") + labels, OutputActivation::Automatic},
        {kind("classifier") + labels + element("output_activation", "softmax"), OutputActivation::Softmax},
        {kind("classifier") + labels + element("output_activation", "none"), OutputActivation::None},
        {kind("unet") + element("output_activation", "none"), OutputActivation::None},
    };
    NnDescription description;
    for (const auto &c : cases) {
        readDescription(description, write(document(goodInput, c.output)));
        EXPECT_EQ(description.output_activation, c.expected) << c.output;
    }
    EXPECT_EQ(failureMessage([&] {
                  read(document(goodInput, kind("classifier") + labels + element("output_activation", "sigmoid")));
              }),
              "Invalid value in \"output/output_activation\" (softmax, none)");
}

TEST_F(DescriptionFiles, UnetLabelsAreReadWhenGiven)
{
    EXPECT_EQ(read(document(goodInput, kind("unet") + element("labels", "background\nperson\n"))).labels,
              (std::vector<std::string>{"background", "person"}));
}

TEST_F(DescriptionFiles, CalibrationFolderIsOptionalAndResolvedLikeTheModel)
{
    NnDescription description;
    readDescription(description, write(document(goodInput + element("calibration", "pictures"), kind("unet"))));
    EXPECT_EQ(description.calibration, folderPath() + "/pictures");
    readDescription(description, write(document(goodInput, kind("unet"))));
    EXPECT_EQ(description.calibration, "") << "a description without one has none";
    EXPECT_EQ(failureMessage([&] {
                  readDescription(description, write(document(goodInput + "<calibration/>", kind("unet"))));
              }),
              "Fail to find \"input/calibration\" element");
}

TEST_F(DescriptionFiles, ModelPathsAreResolvedAgainstTheDescriptionFolder)
{
    const QString folderName = QStringLiteral("\u041c\u043e\u0434\u0435\u043b\u0438 x");
    const std::string sub = folder.filePath(folderName).toStdString();
    const struct
    {
        std::string model;
        std::string expected;
    } cases[] = {
        {"nets/a.onnx", sub + "/nets/a.onnx"},
        {"../up.cfg", sub + "/../up.cfg"},
        {"/opt/models/b.bin", "/opt/models/b.bin"},
        {"\xC3\xA9t\xC3\xA9.pb", sub + "/\xC3\xA9t\xC3\xA9.pb"},
    };
    for (const auto &c : cases) {
        NnDescription description;
        readDescription(description,
                        write(document(element("model", c.model) + format + divider + adder,
                                       kind("unet")),
                              folderName + QStringLiteral("/d.xml")));
        EXPECT_EQ(description.model, c.expected) << c.model;
    }

    // A description named relative to the working folder still gives an absolute path.
    write(document(element("model", "r.bin") + format + divider + adder, kind("unet")));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    NnDescription description;
    readDescription(description, "d.xml");
    QDir::setCurrent(previous);
    EXPECT_EQ(description.model, QDir(folder.path()).canonicalPath().toStdString() + "/r.bin");
}

} // namespace
