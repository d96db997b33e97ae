// The vrax-compile tool: compiles a model to a file that reads back with the
// same dimensions, and says clearly why it cannot.
#include "model_container.h"
#include "simulator_test_support.h"
#include "support/command_run.h"
#include "support/test_files.h"
#include "test_models.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using ToolRun = CommandRun;

ToolRun runTool(const std::string &arguments)
{
    return runCommand(VRAX_COMPILE_TOOL, arguments);
}

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

TEST_F(VraxCompileTool, CompilesAndReadsBackOnnxAndDarknet)
{
    const std::string onnx = write("conv.onnx", convOnnxModel());
    ToolRun run = runTool("'" + onnx + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("7 x 5 x 4"), std::string::npos) << run.output;
    const std::string words = readWholeFile(dir + "/conv.vrax");
    ASSERT_EQ(words.size() % 4, 0u);
    const ModelContainer model =
        readModelContainer(reinterpret_cast<const std::uint32_t *>(words.data()), words.size() / 4);
    EXPECT_FALSE(model.singleSlot);
    ASSERT_EQ(model.outputs.size(), 2u);
    EXPECT_EQ(model.outputs[0].name, "zeta");

    run = runTool("--info '" + dir + "/conv.vrax'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\"alpha\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("6 x 4 x 3"), std::string::npos) << run.output;

    const std::string cfg = write("net.cfg", darknetDetectorCfg());
    write("net.weights", darknetWeights(darknetDetectorWeights));
    run = runTool("-b 3 -o '" + dir + "/net.bin' '" + cfg + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("single slot"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("16 x 12 x 18"), std::string::npos) << run.output;
}

TEST_F(VraxCompileTool, FailuresSayWhy)
{
    const std::string onnx = write("conv.onnx", convOnnxModel());
    const std::string garbage = write("garbage.vrax", std::string(64, 'x'));
    const std::string cfg = write("net.cfg", darknetDetectorCfg());
    write("net.weights", darknetWeights(darknetDetectorWeights - 1));
    struct Case
    {
        std::string arguments;
        int status;
        const char *text;
    };
    const Case cases[] = {
        {"--info '" + garbage + "'", 1, "not a valid binary model"},
        {"'" + dir + "/missing.onnx'", 1, "cannot open"},
        {"'" + cfg + "'", 1, "VRAX_COMPILER_CompileDarkNet failed with code 4"},
        {"'" + garbage + "'", 2, "must be an .onnx, .pb or .cfg file"},
        {"-b 9 '" + onnx + "'", 2, "board type"},
        {"", 2, "no model given"},
        {"--no-such-option '" + onnx + "'", 2, "unknown option --no-such-option\nUsage: vrax-compile"},
    };
    for (const Case &c : cases) {
        const ToolRun run = runTool(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.text), std::string::npos) << c.arguments << "\n" << run.output;
    }
}

} // namespace
