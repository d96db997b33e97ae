// The board that computes in int8: the engine's quantised network, close to
// float but not equal, calibrated on the model's inputs or its first frame,
// mended where the engine would give one tensor two scales, and rounding at
// its edges instead where the engine cannot run a network in int8.
#include "onnx_builder.h"
#include "simulator_test_support.h"

#include "support/shared_data.h"

#include <vrax.h>
#include <vrax_compiler.h>
#include <vrax_profile.h>
#include <vrax_sim.h>

#include <opencv2/imgcodecs.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numeric>
#include <map>

namespace {

constexpr std::uint32_t int8Board = 2;

double cosine(const std::vector<float> &a, const std::vector<float> &b)
{
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa == 0.0 && bb == 0.0 ? 1.0 : ab / std::sqrt(aa * bb);
}

// The example's pictures as the simulator takes them: scaled to the input,
// red, green, blue over 255.
std::vector<std::vector<float>> examplePictures(const std::string &folder, const VRAX_TensorDims &input)
{
    std::vector<std::vector<float>> inputs;
    for (const char *name : {"blotches_four_shapes.png", "plain_three_shapes.png", "stripes_two_shapes.png"}) {
        const cv::Mat picture = cv::imread(sourceDir() + "/examples/" + folder + "/pictures/" + name);
        EXPECT_FALSE(picture.empty()) << name;
        inputs.push_back(interleavedInput(cv::dnn::blobFromImage(
            picture, 1.0 / 255, cv::Size(int(input.width), int(input.height)), cv::Scalar(), true, false)));
    }
    return inputs;
}

std::vector<std::uint32_t> withCalibration(const std::vector<std::uint32_t> &model,
                                           const std::vector<std::vector<float>> &inputs)
{
    std::vector<const float *> pointers;
    for (const std::vector<float> &input : inputs)
        pointers.push_back(input.data());
    std::uint32_t *calibrated = nullptr;
    std::uint32_t words = 0;
    EXPECT_EQ(VRAX_COMPILER_AddCalibration(1, 0, model.data(), std::uint32_t(model.size()), pointers.data(),
                                           std::uint32_t(pointers.size()), &calibrated, &words),
              VRAX_COMPILER_RESULT_OK)
        << VRAX_COMPILER_GetLastError();
    const std::vector<std::uint32_t> result(calibrated, calibrated + words);
    VRAX_COMPILER_FreeModel(0, calibrated);
    return result;
}

std::vector<std::string> layerTypes(VRAX_Handle handle)
{
    std::uint32_t count = 0;
    EXPECT_EQ(VRAX_PROFILE_GetLayerCount(handle, &count), VRAX_RESULT_OK);
    std::vector<std::string> types;
    for (std::uint32_t layer = 0; layer < count; ++layer) {
        VRAX_LayerInfo info{};
        EXPECT_EQ(VRAX_PROFILE_GetLayerInfo(handle, layer, &info), VRAX_RESULT_OK);
        types.push_back(info.type);
    }
    return types;
}

std::size_t countOf(const std::vector<std::string> &values, const std::string &value)
{
    return std::size_t(std::count(values.begin(), values.end(), value));
}

std::size_t occurrences(const std::string &text, const std::string &part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class Int8Board : public RuntimeTest
{
protected:
    void SetUp() override
    {
        RuntimeTest::SetUp();
        setenv("VRAX_BOARDS", "2:1", 1);
        ASSERT_EQ(VRAX_SIM_SetPrecision(int8Board, "int8"), VRAX_RESULT_OK);
    }
};

TEST_F(Int8Board, DetectorExamplesComputeInInt8CloseToFloat)
{
    const std::string examples = sourceDir() + "/examples/";
    const struct
    {
        const char *name;
        std::vector<std::uint32_t> model;
        const char *pictures;
        double lowestCosine;
        bool engineFault; // the board says the engine's int8 is off
    } cases[] = {
        {"ONNX", compiledOnnx(readWholeFile(examples + "yolo3/shapes_yolo3.onnx")), "yolo3", 0.98, false},
        // The engine gives a route's tensor the scale of the max pooling
        // that also reads it: int8 and more.
        {"DarkNet",
         compileDarknet(readWholeFile(examples + "yolo3-darknet/shapes_yolo3.cfg"),
                        readWholeFile(examples + "yolo3-darknet/shapes_yolo3.weights"))
             .words,
         "yolo3", 0.9, true},
    };
    for (const auto &c : cases) {
        TestSession exact(c.model);
        testing::internal::CaptureStderr();
        TestSession board(c.model, int8Board);
        const std::vector<std::string> before = layerTypes(board.handle);
        const std::vector<std::vector<float>> pictures = examplePictures(c.pictures, board.info.inputs[0]);
        for (std::uint32_t unit = 0; unit < pictures.size(); ++unit) {
            const std::vector<std::vector<float>> expected = exact.run(0, pictures[unit]);
            const std::vector<std::vector<float>> outputs = board.run(unit, pictures[unit]);
            for (std::size_t i = 0; i < outputs.size(); ++i) {
                EXPECT_NE(outputs[i], expected[i]) << c.name << " picture " << unit << " output " << i;
                EXPECT_GT(cosine(outputs[i], expected[i]), c.lowestCosine)
                    << c.name << " picture " << unit << " output " << i;
            }
        }
        // Every unit quantised on the same first frame.
        EXPECT_EQ(board.run(3, pictures[0]), board.run(0, pictures[0])) << c.name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(occurrences(said, "calibrates on its first frame"), 1u) << said;
        EXPECT_EQ(occurrences(said, "one scale for several layers"), c.engineFault ? 1u : 0u) << said;

        // The layers are the float network's until the first int8 frame.
        const std::vector<std::string> after = layerTypes(board.handle);
        EXPECT_EQ(countOf(before, "ConvolutionInt8"), 0u) << c.name;
        EXPECT_EQ(countOf(after, "ConvolutionInt8"), countOf(before, "Convolution")) << c.name;
        EXPECT_GE(countOf(after, "Quantize"), 1u) << c.name;
    }
}

TEST_F(Int8Board, CalibratesOnTheModelsInputsWhicheverFrameComesFirst)
{
    const std::vector<std::uint32_t> plain =
        compiledOnnx(readWholeFile(sourceDir() + "/examples/yolo3/shapes_yolo3.onnx"));
    TestSession probe(plain);
    const std::vector<std::vector<float>> pictures = examplePictures("yolo3", probe.info.inputs[0]);
    const std::vector<std::uint32_t> calibrated = withCalibration(plain, pictures);

    // The same picture after another first one: equal when the model says
    // what to calibrate on, not when the first frame does.
    const struct
    {
        const char *name;
        const std::vector<std::uint32_t> &model;
        bool equal;
    } cases[] = {{"calibrated", calibrated, true}, {"first frame", plain, false}};
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        TestSession first(c.model, int8Board), second(c.model, int8Board);
        first.run(0, pictures[0]);
        second.run(0, pictures[2]);
        EXPECT_EQ(first.run(1, pictures[1]) == second.run(1, pictures[1]), c.equal) << c.name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("first frame") != std::string::npos, !c.equal) << c.name << ": " << said;
    }
}

TEST_F(Int8Board, NetworksTheEngineCannotRunInInt8AreRoundedAtTheEdges)
{
    // The engine quantises a hard sigmoid but has no int8 layer to run it.
    const std::vector<std::uint32_t> model = compiledOnnx(OnnxBuilder()
                                                              .input("x", {1, 3, 6, 6})
                                                              .weights("w", {4, 3, 3, 3})
                                                              .node("Conv", {"x", "w"}, {"c"}, {{"kernel_shape", {3, 3}}})
                                                              .node("HardSigmoid", {"c"}, {"y"})
                                                              .output("y", {1, 4, 4, 4})
                                                              .serialize());
    const std::vector<float> input = interleavedInput(randomBlob({1, 3, 6, 6}, 9, -1.0f, 1.0f));
    ASSERT_EQ(VRAX_SIM_SetPrecision(4, "int8-io"), VRAX_RESULT_OK);
    setenv("VRAX_BOARDS", "2:1,4:1", 1);
    const std::vector<std::vector<float>> rounded = TestSession(model, 4).run(0, input);

    testing::internal::CaptureStderr();
    TestSession board(model, int8Board);
    EXPECT_EQ(board.run(0, input), rounded);
    EXPECT_EQ(board.run(1, input), rounded);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(occurrences(said, "cannot run this network in int8"), 1u) << said;
    EXPECT_NE(said.find("HardSigmoidInt8"), std::string::npos) << said;
    EXPECT_EQ(countOf(layerTypes(board.handle), "ConvolutionInt8"), 0u);
}

// Each layer's output of the unit's last frame, by layer name, with its type.
struct LayerOutput
{
    std::string type;
    std::vector<float> values;
};

std::vector<std::pair<std::string, LayerOutput>> layerOutputs(VRAX_Handle handle, std::uint32_t unit)
{
    std::uint32_t count = 0;
    EXPECT_EQ(VRAX_PROFILE_GetLayerCount(handle, &count), VRAX_RESULT_OK);
    std::vector<std::pair<std::string, LayerOutput>> outputs;
    for (std::uint32_t layer = 0; layer < count; ++layer) {
        VRAX_LayerInfo info{};
        VRAX_LayerShape shape{};
        EXPECT_EQ(VRAX_PROFILE_GetLayerInfo(handle, layer, &info), VRAX_RESULT_OK);
        if (VRAX_PROFILE_GetLayerOutput(handle, unit, layer, nullptr, 0, &shape) != VRAX_RESULT_OK)
            continue; // an int8 Quantize layer
        std::vector<float> values(std::accumulate(shape.dims, shape.dims + shape.rank, std::size_t(1),
                                                  std::multiplies<std::size_t>()));
        EXPECT_EQ(VRAX_PROFILE_GetLayerOutput(handle, unit, layer, values.data(), values.size(), &shape),
                  VRAX_RESULT_OK);
        outputs.push_back({info.name, {info.type, values}});
    }
    return outputs;
}

TEST_F(Int8Board, LayerOutputsShowTheFirstQuantisedLayerDeparting)
{
    const std::vector<std::uint32_t> model = compiledOnnx(
        OnnxBuilder()
            .input("x", {1, 3, 8, 8})
            .weights("w1", {4, 3, 3, 3})
            .weights("w2", {4, 4, 3, 3})
            .node("Conv", {"x", "w1"}, {"c1"}, {{"kernel_shape", {3, 3}}, {"pads", {1, 1, 1, 1}}}, "first")
            .node("Relu", {"c1"}, {"r1"}, {}, "relu")
            .node("Conv", {"r1", "w2"}, {"y"}, {{"kernel_shape", {3, 3}}, {"pads", {1, 1, 1, 1}}}, "second")
            .output("y", {1, 4, 8, 8})
            .serialize());
    // One bright value sets the input's int8 scale: the others round away.
    cv::Mat blob = randomBlob({1, 3, 8, 8}, 4);
    blob.ptr<float>()[0] = 1000.0f;
    const std::vector<float> input = interleavedInput(blob);

    TestSession reference(model);
    ASSERT_EQ(VRAX_PROFILE_Enable(reference.handle, VRAX_PROFILE_LAYER_OUTPUTS), VRAX_RESULT_OK);
    reference.run(0, input);
    std::map<std::string, std::vector<float>> expected;
    for (const auto &layer : layerOutputs(reference.handle, 0))
        expected[layer.first] = layer.second.values;

    const struct
    {
        const char *name;
        std::uint32_t boardType;
        const char *firstDeparting; // below a cosine of 0.999; empty: none
    } cases[] = {{"exact", 0, ""}, {"int8", int8Board, "first"}};
    for (const auto &c : cases) {
        TestSession board(model, c.boardType);
        ASSERT_EQ(VRAX_PROFILE_Enable(board.handle, VRAX_PROFILE_LAYER_OUTPUTS), VRAX_RESULT_OK);
        board.run(2, input);
        std::string departing;
        std::size_t compared = 0;
        for (const auto &layer : layerOutputs(board.handle, 2)) {
            const auto found = expected.find(layer.first);
            if (found == expected.end())
                continue; // the int8 network's own conversions
            ++compared;
            if (departing.empty() && cosine(layer.second.values, found->second) < 0.999)
                departing = layer.first;
            if (std::string(c.firstDeparting).empty()) {
                EXPECT_EQ(layer.second.values, found->second) << c.name << ": " << layer.first;
            }
        }
        EXPECT_EQ(compared, expected.size()) << c.name << ": every layer has a counterpart";
        EXPECT_EQ(departing, c.firstDeparting) << c.name;
    }
}

} // namespace
