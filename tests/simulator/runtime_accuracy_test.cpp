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

// A network as its files give it: an ONNX model, or a DarkNet cfg with its
// weights; read when the test runs.
struct Network
{
    std::string name;
    const char *reportedDims; // width x height x depth of the input, then of each output
    std::vector<int> inputShape;
    std::vector<std::string> outputNames; // as the engine names them
    std::function<std::string()> model;
    std::function<std::string()> weights = {}; // DarkNet only
    bool needsSharedData = false;              // a real model: inputs in [0, 1) as pictures give
};

std::function<std::string()> sharedFile(const std::string &name)
{
    return [name] { return readWholeFile(sharedModelsDir() + "/" + name); };
}

std::vector<Network> networks()
{
    return {
        {"yolo-fastest-1.1", "1 input 320x320x3 -> 10x10x255 20x20x255", {1, 3, 320, 320}, {"conv_120", "conv_129"},
         sharedFile("yolo-fastest-1.1.cfg"), sharedFile("yolo-fastest-1.1.weights"), true},
        {"tiny face detector", "1 input 416x416x3 -> 13x13x25", {1, 3, 416, 416}, {"boxes"},
         sharedFile("tiny_face_detector_416.onnx"), {}, true},
        {"face expression", "1 input 112x112x3 -> 1x1x7", {1, 3, 112, 112}, {"expressions"},
         sharedFile("face_expression_112.onnx"), {}, true},
        {"selfie segmentation", "1 input 256x256x3 -> 256x256x1", {1, 3, 256, 256}, {"activation_10"},
         sharedFile("selfie_segmentation_256.onnx"), {}, true},
        {"conv with two outputs", "1 input 7x5x3 -> 7x5x4 6x4x3", {1, 3, 5, 7}, {"zeta", "alpha"}, convOnnxModel},
        {"classifier", "1 input 4x4x3 -> 1x1x5", {1, 3, 4, 4}, {"prob"}, classifierOnnxModel},
        {"grey input", "1 input 5x6x1 -> 5x6x3", {1, 1, 6, 5}, {"y"}, greyOnnxModel},
        {"vector input", "1 input 1x1x5 -> 1x1x3", {1, 5}, {"y"}, vectorOnnxModel},
        {"darknet detector", "1 input 16x12x3 -> 8x6x18 16x12x18", {1, 3, 12, 16}, {"conv_4", "conv_9"},
         darknetDetectorCfg, [] { return darknetWeights(darknetDetectorWeights); }},
    };
}

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
        const std::string model = network.model();
        const std::string weights = network.weights ? network.weights() : std::string();
        const std::vector<std::uint32_t> words =
            network.weights ? compiledDarknet(model, weights) : compiledOnnx(model);
        cv::dnn::Net reference =
            network.weights ? cv::dnn::readNetFromDarknet(model.data(), model.size(), weights.data(), weights.size())
                            : cv::dnn::readNetFromONNX(model.data(), model.size());
        const cv::Mat blob = randomBlob(network.inputShape, 17, network.needsSharedData ? 0.0f : -1.0f, 1.0f);
        std::vector<std::vector<float>> expected;
        for (const cv::Mat &output : referenceForward(reference, blob, network.outputNames))
            expected.push_back(depthLast(output));

        for (const Layout &layout : layouts) {
            SCOPED_TRACE(layout.name);
            // The real models run on the simulator and one planar board, to keep the suite quick.
            if (layout.boardType != VRAX_BOARD_SIMULATOR && network.needsSharedData
                && layout.boardType != VRAX_BOARD_TK301_02)
                continue;
            TestSession session(words, layout.boardType, 0);
            EXPECT_EQ(reportedDims(session.info), network.reportedDims);
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
