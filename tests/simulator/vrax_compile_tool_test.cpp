// The vrax-compile tool: compiles a model to a file that reads back with the
// same dimensions, and says clearly why it cannot.
#include "support/command_run.h"
#include "support/shared_data.h"
#include "support/test_files.h"
#include "test_models.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class VraxCompileTool : public ::testing::Test
{
protected:
    std::string write(const std::string &name, const std::string &bytes)
    {
        const QString path = QString::fromStdString(dir + "/" + name);
        return writeTestFile(path, QByteArray(bytes.data(), int(bytes.size()))).toStdString();
    }

    QTemporaryDir folder;
    std::string dir = folder.path().toStdString();
};

TEST_F(VraxCompileTool, CompilesOnnxAndDarknetOrSaysWhyNot)
{
    const std::string onnx = write("conv.onnx", convOnnxModel());
    const std::string cfg = write("net.cfg", darknetDetectorCfg());
    write("net.weights", darknetWeights(darknetDetectorWeights));
    const std::string shortCfg = write("short.cfg", darknetDetectorCfg());
    write("short.weights", darknetWeights(darknetDetectorWeights - 1));
    const std::string garbage = write("garbage.vrax", std::string(64, 'x'));
    const std::string vector = write("vector.onnx", vectorOnnxModel());
    const std::string examples = sourceDir() + "/examples";
    // Read as models, a pipe would wait for a writer and a device read on
    // without end (the suite's time limit fails such a run).
    const std::string pipe = dir + "/pipe.onnx";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    write("pipe_weights.cfg", darknetDetectorCfg());
    ASSERT_EQ(::mkfifo((dir + "/pipe_weights.weights").c_str(), 0600), 0);
    const struct
    {
        std::string arguments;
        int status;
        std::vector<std::string> texts;
    } cases[] = {
        {"'" + onnx + "'", 0, {"7 x 5 x 4"}},
        // The file written just before: all four slots, the outputs in the graph's order.
        {"--info '" + dir + "/conv.vrax'", 0,
         {"4 processing units", "output 0 \"zeta\"", "output 1 \"alpha\"", "6 x 4 x 3"}},
        {"-b 3 -o '" + dir + "/net.bin' '" + cfg + "'", 0, {"single slot", "16 x 12 x 18"}},
        {"--info '" + garbage + "'", 1, {"not a valid binary model"}},
        {"'" + dir + "/missing.onnx'", 1, {"cannot open", "No such file or directory"}},
        {"'" + pipe + "'", 1, {pipe + " is a named pipe, not a model file"}},
        {"'" + dir + "/pipe_weights.cfg'", 1, {"pipe_weights.weights is a named pipe, not a model file"}},
        {"--info /dev/zero", 1, {"/dev/zero is a character device, not a model file"}},
        {"'" + shortCfg + "'", 1, {"VRAX_COMPILER_CompileDarkNet failed with code 4"}},
        {"'" + garbage + "'", 2, {"must be an .onnx, .pb or .cfg file"}},
        {"-b 9 '" + onnx + "'", 2, {"board type"}},
        {"", 2, {"no model given"}},
        {"--no-such-option '" + onnx + "'", 2, {"unknown option --no-such-option\nUsage: vrax-compile"}},
        // Calibration pictures: into a new model, or into a copy of a binary one.
        {"-c '" + examples + "/yolo3/pictures' -o '" + dir + "/calibrated.vrax' '" + onnx + "'", 0,
         {"calibration: 3 pictures", "calibration: 3 inputs for int8 boards"}},
        {"--calibrate '" + examples + "/classifier/pictures' --format bgr --divider 127.5 --adder -1 -o '" + dir
             + "/copy.vrax' '" + dir + "/calibrated.vrax'",
         0, {"skipped star.bin (not a picture)", "calibration: 4 pictures", "calibration: 4 inputs"}},
        {"--info '" + dir + "/copy.vrax'", 0, {"calibration: 4 inputs for int8 boards"}},
        {"-c '" + examples + "/yolo3/pictures' '" + dir + "/conv.vrax'", 2, {"with -o"}},
        {"--divider 255 '" + onnx + "'", 2, {"goes with --calibrate"}},
        {"-c '" + examples + "/yolo3/pictures' --divider 1,2 '" + onnx + "'", 2, {"one number or three"}},
        {"-c '" + dir + "' '" + onnx + "'", 1, {"holds no picture"}},
        {"-c '" + examples + "/yolo3/pictures' --format intensity '" + onnx + "'", 1, {"--format rgb"}},
        {"-c '" + examples + "/yolo3/pictures' '" + vector + "'", 1, {"no picture of 1 or 3 channels"}},
    };
    for (const auto &c : cases) {
        const CommandRun run = runCommand(VRAX_COMPILE_TOOL, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        for (const std::string &text : c.texts)
            EXPECT_NE(run.output.find(text), std::string::npos) << c.arguments << "\n" << run.output;
    }
}

} // namespace
