// The application's command line, run as a user runs it: help, version,
// usage errors, and --check opening and running files without a window.
#include "support/command_run.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>

namespace {

// Every file under folder with its size, time and digest.
QStringList snapshot(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile file(info.filePath());
        QByteArray digest;
        if (info.isFile() && file.open(QIODevice::ReadOnly))
            digest = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
        files << QStringLiteral("%1 %2 %3 %4")
                     .arg(info.filePath())
                     .arg(info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch())
                     .arg(QString::fromLatin1(digest));
    }
    files.sort();
    return files;
}

TEST(VraxguiCommandLine, AnswersWithStatusAndText)
{
    const std::string examples = VRAX_EXAMPLES;
    const std::string classifier = examples + "/classifier/shapes_classifier.xml";
    const std::string pictures = examples + "/classifier/pictures/";
    struct Case
    {
        std::string arguments;
        int status;
        std::string text;
    };
    const Case cases[] = {
        {"--version", 0, "vraxgui " VRAXGUI_VERSION "\n"},
        {"--help", 0, "--check"},
        {"--no-such-option", 2, "Unknown option 'no-such-option'.\nUsage: "},
        {"--check", 2, "--check needs a description"},
        {"--check " + examples + "/missing.xml", 1, "Description Opening Error"},
        {"--check " + classifier + " " + pictures + "missing.png", 1, "Open Picture"},
        // One status line per picture run, the last picture's last.
        {"--check " + classifier + " " + pictures + "circle.png " + pictures + "star.png", 0,
         "picture: " + pictures + "circle.png. "},
        {"--check " + classifier + " " + pictures + "circle.png " + pictures + "star.png", 0,
         "picture: " + pictures + "star.png. "},
        {"--check " + classifier, 0, "description: " + classifier + ", no picture."},
    };
    for (const Case &c : cases) {
        const CommandRun run = runCommand(VRAXGUI_APP, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.text), std::string::npos) << c.arguments << "\n" << run.output;
    }
}

// Help and version print what they are asked for and nothing else, also
// where the toolkit would warn of a missing runtime folder.
TEST(VraxguiCommandLine, VersionAndHelpPrintNoWarning)
{
    for (const char *environment : {"", "env -u XDG_RUNTIME_DIR QT_QPA_PLATFORM= "}) {
        const CommandRun version = runCommand(environment + std::string(VRAXGUI_APP), "--version");
        EXPECT_EQ(version.output, "vraxgui " VRAXGUI_VERSION "\n") << environment;
        const CommandRun help = runCommand(environment + std::string(VRAXGUI_APP), "--help");
        EXPECT_EQ(help.output.rfind("Usage: ", 0), 0u) << environment << help.output;
    }
}

// The detector example's model with a description one label short: refused
// at opening, with the output and both numbers named, and nothing run.
TEST(VraxguiCommandLine, CheckRefusesADescriptionThatDoesNotFitTheModel)
{
    const std::string examples = VRAX_EXAMPLES;
    QTemporaryDir dir;
    const QString description = writeTestFile(
        dir.filePath("short.xml"),
        QString("<vrax_nn_description><input><model>%1/yolo3/shapes_yolo3.onnx</model><format>rgb</format>"
                "<divider>255</divider><adder>0</adder></input><output><neural_network>yolo3</neural_network>"
                "<labels>circle\nsquare\ntriangle</labels><yolo_anchors>16\n16\n21\n21\n27\n27\n34\n34\n44\n44"
                "\n56\n56</yolo_anchors><yolo_confidence_threshold>0.5</yolo_confidence_threshold>"
                "<yolo_iou_threshold>0.45</yolo_iou_threshold></output></vrax_nn_description>")
            .arg(QString::fromStdString(examples))
            .toUtf8());
    const CommandRun run = runCommand(VRAXGUI_APP, "--check " + description.toStdString() + " " + examples
                                                       + "/yolo3/pictures/plain_three_shapes.png");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("Output 0 of the model holds 27 values per cell, but the description's 3 anchors per "
                              "cell and 3 labels need 24 (3 x (3 + 5))"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("picture:"), std::string::npos) << run.output;
}

} // namespace

// The window's settings (here a virtual board that is not attached, a
// picture limit below every picture, a recent description) are neither read
// nor written by --check and vrax-run: both run on the simulator as given
// and leave the settings folder as it was.
TEST(VraxguiCommandLine, CommandsLeaveTheWindowsSettingsAlone)
{
    QTemporaryDir config;
    writeTestFile(config.filePath("VRAX/vraxgui.conf"), "[board]\ntype=2\nindex=0\nparallel=0\n"
                                                        "[pictures]\nmaxMegapixels=0.001\n"
                                                        "[recent]\ndescriptions=/old/remembered.xml\n");
    const QStringList before = snapshot(config.path());
    const std::string examples = VRAX_EXAMPLES;
    const std::string classifier = examples + "/classifier/shapes_classifier.xml";
    const std::string star = examples + "/classifier/pictures/star.png";
    const std::string environment = "XDG_CONFIG_HOME=" + config.path().toStdString() + " ";

    const CommandRun check = runCommand(environment + VRAXGUI_APP, "--check " + classifier + " " + star);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find("Board 0 (simulator), description: " + classifier), std::string::npos)
        << check.output;
    const CommandRun run = runCommand(environment + VRAX_RUN_PATH, "--quiet " + classifier + " " + star);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(snapshot(config.path()), before);
}
