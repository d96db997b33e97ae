// The runtime really runs the networks: its outputs equal those of the
// engine run directly on the same model and input, for the real models and
// for small ones, with the interleaved and the planar input layout.
#include "simulator_test_support.h"
#include "support/shared_data.h"
#include "test_models.h"

#include <vrax.h>
#include <vrax_sim.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

struct Network
{
    std::string name;
    bool needsSharedData = false;
    std::function<std::vector<std::uint32_t>()> compile;
    std::function<cv::dnn::Net()> reference;
    std::vector<int> inputShape;
    std::vector<std::string> outputNames; // as the engine names them
    float inputLow = 0.0f;
    float inputHigh = 1.0f;
};

std::string sharedFile(const std::string &name)
{
    return readWholeFile(sharedModelsDir() + "/" + name);
}

Network onnxFile(const std::string &file, std::vector<int> inputShape, std::vector<std::string> outputs)
{
    return {file,
            true,
            [file] { return compiledOnnx(sharedFile(file)); },
            [file] { return referenceOnnxNet(sharedFile(file)); },
            std::move(inputShape),
            std::move(outputs)};
}

Network onnxBuilt(const std::string &name, std::function<std::string()> build, std::vector<int> inputShape,
                  std::vector<std::string> outputs)
{
    return {name,
            false,
            [build] { return compiledOnnx(build()); },
            [build] { return referenceOnnxNet(build()); },
            std::move(inputShape),
            std::move(outputs),
            -1.0f,
            1.0f};
}

std::vector<Network> networks()
{
    std::vector<Network> all = {
        {"yolo-fastest-1.1",
         true,
         [] { return compiledDarknet(sharedFile("yolo-fastest-1.1.cfg"), sharedFile("yolo-fastest-1.1.weights")); },
         [] { return referenceDarknetNet(sharedFile("yolo-fastest-1.1.cfg"), sharedFile("yolo-fastest-1.1.weights")); },
         {1, 3, 320, 320},
         {"conv_120", "conv_129"}},
        onnxFile("tiny_face_detector_416.onnx", {1, 3, 416, 416}, {"boxes"}),
        onnxFile("face_expression_112.onnx", {1, 3, 112, 112}, {"expressions"}),
        onnxFile("selfie_segmentation_256.onnx", {1, 3, 256, 256}, {"activation_10"}),
        onnxBuilt("conv with two outputs", convOnnxModel, {1, 3, 5, 7}, {"zeta", "alpha"}),
        onnxBuilt("classifier", classifierOnnxModel, {1, 3, 4, 4}, {"prob"}),
        onnxBuilt("grey input", greyOnnxModel, {1, 1, 6, 5}, {"y"}),
        onnxBuilt("vector input", vectorOnnxModel, {1, 5}, {"y"}),
        {"darknet detector",
         false,
         [] { return compiledDarknet(darknetDetectorCfg(), darknetWeights(darknetDetectorWeights)); },
         [] { return referenceDarknetNet(darknetDetectorCfg(), darknetWeights(darknetDetectorWeights)); },
         {1, 3, 12, 16},
         {"conv_4", "conv_9"}},
    };
    return all;
}

struct Layout
{
    const char *name;
    std::uint32_t boardType;
    std::function<std::vector<float>(const cv::Mat &)> arrange;
};

class RuntimeAccuracy : public ::testing::Test
{
protected:
    void SetUp() override { setenv("VRAX_BOARDS", "1:1,3:1,5:1", 1); }
    void TearDown() override { unsetenv("VRAX_BOARDS"); }
};

TEST_F(RuntimeAccuracy, OutputsEqualTheEngineRunDirectly)
{
    const Layout layouts[] = {
        {"interleaved (simulator)", VRAX_BOARD_SIMULATOR, interleavedInput},
        {"planar (TK301.02)", VRAX_BOARD_TK301_02, planarInput},
        {"interleaved (Tier)", VRAX_BOARD_TIER, interleavedInput},
    };
    for (const Network &network : networks()) {
        SCOPED_TRACE(network.name);
        if (network.needsSharedData && sharedModelsDir().empty()) {
            std::cout << "[ SKIPPED  ] " << network.name << ": " << sharedDataMissingReason() << "\n";
            continue;
        }
        const std::vector<std::uint32_t> model = network.compile();
        cv::dnn::Net reference = network.reference();
        const cv::Mat blob = randomBlob(network.inputShape, 17, network.inputLow, network.inputHigh);
        std::vector<std::vector<float>> expected;
        for (const cv::Mat &output : referenceForward(reference, blob, network.outputNames))
            expected.push_back(depthLast(output));

        for (const Layout &layout : layouts) {
            SCOPED_TRACE(layout.name);
            // The real models run on the simulator and one planar board, to keep the suite quick.
            if (layout.boardType != VRAX_BOARD_SIMULATOR && network.needsSharedData
                && layout.boardType != VRAX_BOARD_TK301_02)
                continue;
            TestSession session(model, layout.boardType, 0);
            ASSERT_EQ(session.info.output_count, expected.size());
            ASSERT_EQ(session.unitCount(), 4u);
            const std::vector<float> input = layout.arrange(blob);
            // The last unit too: every unit has its own network instance.
            for (std::uint32_t unit : {0u, session.unitCount() - 1}) {
                const std::vector<std::vector<float>> outputs = session.run(unit, input);
                for (std::size_t i = 0; i < expected.size(); ++i)
                    EXPECT_TRUE(nearlyEqual(outputs[i], expected[i])) << "output " << i << ", unit " << unit;
            }
        }
    }
}

// Width x height x depth of the input, then of each output.
std::string reportedDims(const VRAX_ModelInfo &info)
{
    const auto dims = [](const VRAX_TensorDims &d) {
        return std::to_string(d.width) + "x" + std::to_string(d.height) + "x" + std::to_string(d.depth);
    };
    std::string text = std::to_string(info.input_count) + " input " + dims(info.inputs[0]) + " ->";
    for (std::uint32_t i = 0; i < info.output_count; ++i)
        text += " " + dims(info.outputs[i]);
    return text;
}

TEST_F(RuntimeAccuracy, ReportedDimsAreTheTrueModelDims)
{
    const std::pair<std::function<std::string()>, const char *> cases[] = {
        {convOnnxModel, "1 input 7x5x3 -> 7x5x4 6x4x3"},
        {classifierOnnxModel, "1 input 4x4x3 -> 1x1x5"},
        {greyOnnxModel, "1 input 5x6x1 -> 5x6x3"},
        {vectorOnnxModel, "1 input 1x1x5 -> 1x1x3"},
    };
    for (const auto &[build, expected] : cases)
        for (std::uint32_t boardType : {0u, 1u})
            EXPECT_EQ(reportedDims(TestSession(compiledOnnx(build()), boardType).info), expected) << boardType;
}

// Every unit of a four-slot model runs its own network (OutputsEqualTheEngineRunDirectly).
TEST_F(RuntimeAccuracy, SingleSlotModelsHaveOneUnit)
{
    TestSession session(compiledOnnx(convOnnxModel(), false));
    EXPECT_EQ(session.info.single_slot, 1u);
    const std::vector<float> input = interleavedInput(randomBlob({1, 3, 5, 7}, 3));
    const float *const inputs[1] = {input.data()};
    EXPECT_EQ(VRAX_Process(session.handle, 1, inputs), VRAX_RESULT_INVALID_FUNC_PARAMETER);
}

TEST_F(RuntimeAccuracy, InputIsCopiedBeforeProcessReturns)
{
    TestSession session(compiledOnnx(convOnnxModel()));
    const cv::Mat blob = randomBlob({1, 3, 5, 7}, 5);
    std::vector<float> input = interleavedInput(blob);
    const std::vector<std::vector<float>> expected = session.run(0, input);

    ASSERT_EQ(VRAX_SIM_InjectDelay("frame", 50), VRAX_RESULT_OK);
    session.submit(1, input);
    std::fill(input.begin(), input.end(), -7.0f); // the caller rewrites its tensor at once
    session.waitIdle(1);
    VRAX_SIM_ClearInjections();
    EXPECT_EQ(session.fetch(1), expected);
}

} // namespace
