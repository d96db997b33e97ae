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

TEST_F(RuntimeAccuracy, ReportedDimsAreTheTrueModelDims)
{
    struct Case
    {
        std::function<std::string()> build;
        VRAX_TensorDims input;
        std::vector<VRAX_TensorDims> outputs;
    };
    const Case cases[] = {
        {convOnnxModel, {7, 5, 3}, {{7, 5, 4}, {6, 4, 3}}},
        {classifierOnnxModel, {4, 4, 3}, {{1, 1, 5}}},
        {greyOnnxModel, {5, 6, 1}, {{5, 6, 3}}},
        {vectorOnnxModel, {1, 1, 5}, {{1, 1, 3}}},
    };
    for (const Case &c : cases) {
        for (std::uint32_t boardType : {0u, 1u}) {
            TestSession session(compiledOnnx(c.build()), boardType);
            EXPECT_EQ(session.info.input_count, 1u);
            EXPECT_EQ(session.info.inputs[0].width, c.input.width);
            EXPECT_EQ(session.info.inputs[0].height, c.input.height);
            EXPECT_EQ(session.info.inputs[0].depth, c.input.depth);
            ASSERT_EQ(session.info.output_count, c.outputs.size());
            for (std::size_t i = 0; i < c.outputs.size(); ++i) {
                EXPECT_EQ(session.info.outputs[i].width, c.outputs[i].width);
                EXPECT_EQ(session.info.outputs[i].height, c.outputs[i].height);
                EXPECT_EQ(session.info.outputs[i].depth, c.outputs[i].depth);
            }
        }
    }
}

TEST_F(RuntimeAccuracy, SingleSlotModelsHaveOneUnitAndOthersFour)
{
    for (bool multiFlag : {false, true}) {
        TestSession session(compiledOnnx(convOnnxModel(), multiFlag));
        EXPECT_EQ(session.info.single_slot, multiFlag ? 0u : 1u);
        const std::uint32_t units = multiFlag ? 4u : 1u;
        const std::vector<float> input = interleavedInput(randomBlob({1, 3, 5, 7}, 3));
        const std::vector<std::vector<float>> first = session.run(0, input);
        for (std::uint32_t unit = 1; unit < units; ++unit)
            EXPECT_EQ(session.run(unit, input), first) << "unit " << unit;
        const float *const inputs[1] = {input.data()};
        EXPECT_EQ(VRAX_Process(session.handle, units, inputs), VRAX_RESULT_INVALID_FUNC_PARAMETER);
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
