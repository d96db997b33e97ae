// The runtime's layer extension (vrax_profile.h): the layers of a model as
// the engine runs them, their multiply-adds counted per layer type (grouped
// and depthwise convolutions as such), the time each takes, and each
// layer's output of a unit's last frame.
#include "onnx_builder.h"
#include "simulator_test_support.h"
#include "test_models.h"

#include "accel/layer_extension.h"
#include "accel/result_check.h"
#include "support/shared_data.h"

#include <vrax.h>
#include <vrax_profile.h>
#include <vrax_sim.h>

#include <gtest/gtest.h>

#include <opencv2/dnn/shape_utils.hpp>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
#include <numeric>

namespace {

// x [1,4,8,8] -> Conv 3x3 in two groups to 6 channels -> Relu -> depthwise
// Conv 3x3 stride 2 -> MaxPool 2x2 -> Flatten -> Gemm to 5 -> "scores".
// Layer names carry dots, as exporters write them.
std::string costedOnnxModel()
{
    return OnnxBuilder().input("x", {1, 4, 8, 8})
        .weights("w1", {6, 2, 3, 3})
        .weights("b1", {6})
        .weights("w2", {6, 1, 3, 3})
        .weights("b2", {6})
        .weights("w3", {5, 24})
        .weights("b3", {5})
        .node("Conv", {"x", "w1", "b1"}, {"c1"}, {{"kernel_shape", {3, 3}}, {"pads", {1, 1, 1, 1}}, {"group", {2}}},
              "block.0/grouped")
        .node("Relu", {"c1"}, {"r1"}, {}, "block.0/relu")
        .node("Conv", {"r1", "w2", "b2"}, {"c2"},
              {{"kernel_shape", {3, 3}}, {"pads", {1, 1, 1, 1}}, {"strides", {2, 2}}, {"group", {6}}},
              "block.1/depthwise")
        .node("MaxPool", {"c2"}, {"p"}, {{"kernel_shape", {2, 2}}, {"strides", {2, 2}}}, "pool")
        .node("Flatten", {"p"}, {"f"}, {{"axis", {1}}}, "flat")
        .node("Gemm", {"f", "w3", "b3"}, {"scores"}, {{"transB", {1}}}, "dense")
        .output("scores", {1, 5})
        .serialize();
}

VRAX_LayerInfo layerInfo(VRAX_Handle handle, std::uint32_t layer)
{
    VRAX_LayerInfo info{};
    EXPECT_EQ(VRAX_PROFILE_GetLayerInfo(handle, layer, &info), VRAX_RESULT_OK) << VRAX_SIM_GetLastError();
    return info;
}

std::vector<VRAX_LayerInfo> layerInfos(VRAX_Handle handle)
{
    std::uint32_t count = 0;
    EXPECT_EQ(VRAX_PROFILE_GetLayerCount(handle, &count), VRAX_RESULT_OK) << VRAX_SIM_GetLastError();
    std::vector<VRAX_LayerInfo> infos;
    for (std::uint32_t layer = 0; layer < count; ++layer)
        infos.push_back(layerInfo(handle, layer));
    return infos;
}

std::vector<int> shapeOf(const VRAX_LayerShape &shape)
{
    return std::vector<int>(shape.dims, shape.dims + shape.rank);
}

class LayerProfile : public RuntimeTest
{
};

TEST_F(LayerProfile, MultiplyAddsAndParametersAreCountedPerLayerType)
{
    TestSession session(compiledOnnx(costedOnnxModel()));
    const struct
    {
        const char *name;
        const char *type;
        std::vector<int> output;
        std::uint64_t parameters;
        std::uint64_t multiplyAdds;
    } expected[] = {
        // 6 x 8 x 8 outputs, each over 4 / 2 input channels x 3 x 3.
        {"block.0/grouped", "Convolution", {1, 6, 8, 8}, 6 * 2 * 9 + 6, 384 * 2 * 9},
        {"block.0/relu", "ReLU", {1, 6, 8, 8}, 0, 0},
        // 6 x 4 x 4 outputs, each over its own channel's 3 x 3.
        {"block.1/depthwise", "Convolution", {1, 6, 4, 4}, 6 * 9 + 6, 96 * 9},
        // 6 x 2 x 2 outputs, each over a 2 x 2 window.
        {"pool", "Pooling", {1, 6, 2, 2}, 0, 24 * 4},
        // 5 outputs, each over 24 values.
        {"dense", "InnerProduct", {1, 5}, 5 * 24 + 5, 5 * 24},
    };
    // The engine's own additions (the flattening, the output's name) cost nothing.
    const std::vector<VRAX_LayerInfo> layers = layerInfos(session.handle);
    std::size_t next = 0;
    for (const VRAX_LayerInfo &layer : layers) {
        if (next < std::size(expected) && layer.name == std::string(expected[next].name)) {
            const auto &want = expected[next++];
            EXPECT_STREQ(layer.type, want.type) << want.name;
            ASSERT_EQ(layer.output_count, 1u) << want.name;
            EXPECT_EQ(shapeOf(layer.outputs[0]), want.output) << want.name;
            EXPECT_EQ(layer.parameters, want.parameters) << want.name;
            EXPECT_EQ(layer.multiply_adds, want.multiplyAdds) << want.name;
        } else {
            EXPECT_EQ(layer.parameters + layer.multiply_adds, 0u) << layer.name << " " << layer.type;
        }
    }
    EXPECT_EQ(next, std::size(expected)) << "missing or out of order: " << expected[next].name;
    EXPECT_EQ(shapeOf(layers.at(0).inputs[0]), (std::vector<int>{1, 4, 8, 8}));

    VRAX_LayerInfo info{};
    EXPECT_EQ(VRAX_PROFILE_GetLayerInfo(session.handle, std::uint32_t(layers.size()), &info),
              VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_PROFILE_GetLayerInfo(session.handle, 0, nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);
}

// A compiled model with the engine's own network of it beside.
struct ModelCase
{
    std::string name;
    std::vector<std::uint32_t> words;
    cv::dnn::Net net;
};

// [1, C, H, W] of the session's input.
std::vector<int> inputShapeOf(const TestSession &session)
{
    const VRAX_TensorDims &input = session.info.inputs[0];
    return {1, int(input.depth), int(input.height), int(input.width)};
}

std::vector<ModelCase> modelCases()
{
    const std::string examples = sourceDir() + "/examples/";
    const auto onnx = [](const std::string &name, const std::string &bytes) {
        return ModelCase{name, compiledOnnx(bytes), cv::dnn::readNetFromONNX(bytes.data(), bytes.size())};
    };
    const std::string cfg = readWholeFile(examples + "yolo3-darknet/shapes_yolo3.cfg");
    const std::string weights = readWholeFile(examples + "yolo3-darknet/shapes_yolo3.weights");
    std::vector<ModelCase> cases = {
        onnx("costed", costedOnnxModel()),
        onnx("conv", convOnnxModel()),
        onnx("yolo3 example", readWholeFile(examples + "yolo3/shapes_yolo3.onnx")),
        onnx("unet example", readWholeFile(examples + "unet/shapes_unet.onnx")),
    };
    cases.push_back({"yolo3 DarkNet example", compileDarknet(cfg, weights).words,
                     cv::dnn::readNetFromDarknet(cfg.data(), cfg.size(), weights.data(), weights.size())});
    return cases;
}

TEST_F(LayerProfile, LayersAreTheEnginesInItsOrder)
{
    for (ModelCase &c : modelCases()) {
        TestSession session(c.words);
        std::vector<int> ids;
        std::vector<std::vector<cv::dnn::MatShape>> inputs, outputs;
        c.net.getLayersShapes(inputShapeOf(session), ids, inputs, outputs);
        const std::vector<VRAX_LayerInfo> layers = layerInfos(session.handle);
        ASSERT_EQ(layers.size() + 1, ids.size()) << c.name << ": the engine's input layer is left out";
        for (std::size_t i = 0; i < layers.size(); ++i) {
            const cv::Ptr<cv::dnn::Layer> layer = c.net.getLayer(ids[i + 1]);
            const std::string shown = layers[i].name;
            EXPECT_TRUE(layer->name == shown || layer->name.substr(layer->name.find('!') + 1) == shown)
                << c.name << ": " << shown << " for " << layer->name;
            EXPECT_EQ(layers[i].type, layer->type) << c.name << ": " << shown;
            ASSERT_EQ(layers[i].output_count, outputs[i + 1].size()) << c.name << ": " << shown;
            EXPECT_EQ(shapeOf(layers[i].outputs[0]), outputs[i + 1][0]) << c.name << ": " << shown;
            ASSERT_EQ(layers[i].input_count, inputs[i + 1].size()) << c.name << ": " << shown;
            if (!inputs[i + 1].empty()) {
                EXPECT_EQ(shapeOf(layers[i].inputs[0]), inputs[i + 1][0]) << c.name << ": " << shown;
            }
        }
    }
}

std::vector<double> layerTimes(VRAX_Handle handle, std::uint32_t layers, std::uint32_t &frames, double &frameMs)
{
    std::vector<double> times(layers, -1.0);
    EXPECT_EQ(VRAX_PROFILE_GetLayerTimes(handle, layers, times.data(), &frames, &frameMs), VRAX_RESULT_OK)
        << VRAX_SIM_GetLastError();
    return times;
}

TEST_F(LayerProfile, TimesAreTheEnginesPerLayerWithinEachFrame)
{
    TestSession session(compiledOnnx(costedOnnxModel()));
    const std::vector<VRAX_LayerInfo> layers = layerInfos(session.handle);
    const auto count = std::uint32_t(layers.size());
    const std::vector<float> input = interleavedInput(randomBlob({1, 4, 8, 8}, 3));
    std::uint32_t frames = 99;
    double frameMs = -1.0;
    std::vector<double> unitTimes(count);
    session.run(0, input);
    layerTimes(session.handle, count, frames, frameMs);
    EXPECT_EQ(frames, 0u) << "times are off until asked for";
    EXPECT_EQ(VRAX_PROFILE_GetUnitLayerTimes(session.handle, 0, count, unitTimes.data(), &frameMs),
              VRAX_RESULT_NOT_INITIALIZED);

    ASSERT_EQ(VRAX_PROFILE_Enable(session.handle, VRAX_PROFILE_TIMES), VRAX_RESULT_OK);
    for (std::uint32_t unit = 0; unit < 3; ++unit)
        session.run(unit, input);
    const std::vector<double> means = layerTimes(session.handle, count, frames, frameMs);
    EXPECT_EQ(frames, 3u);
    EXPECT_GT(std::accumulate(means.begin(), means.end(), 0.0), 0.0);
    EXPECT_LE(std::accumulate(means.begin(), means.end(), 0.0), frameMs) << "the layers run within the frame";
    for (std::size_t i = 0; i < layers.size(); ++i) {
        EXPECT_GE(means[i], 0.0) << layers[i].name;
        if (std::string(layers[i].name) == "block.0/relu") {
            EXPECT_EQ(means[i], 0.0) << "merged into the convolution before it";
        }
    }
    ASSERT_EQ(VRAX_PROFILE_GetUnitLayerTimes(session.handle, 2, count, unitTimes.data(), &frameMs), VRAX_RESULT_OK);
    EXPECT_LE(std::accumulate(unitTimes.begin(), unitTimes.end(), 0.0), frameMs);
    EXPECT_EQ(VRAX_PROFILE_GetLayerTimes(session.handle, count + 1, unitTimes.data(), &frames, &frameMs),
              VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_PROFILE_Enable(session.handle, 4), VRAX_RESULT_INVALID_FUNC_PARAMETER);

    // Frames a timed board answers from memory take no layer time.
    ASSERT_EQ(VRAX_SIM_SetBoardTime(0, 1000), VRAX_RESULT_OK);
    ASSERT_EQ(VRAX_PROFILE_Enable(session.handle, VRAX_PROFILE_TIMES), VRAX_RESULT_OK);
    layerTimes(session.handle, count, frames, frameMs);
    EXPECT_EQ(frames, 0u) << "enabling again starts anew";
    session.run(0, input);
    session.run(1, input);
    layerTimes(session.handle, count, frames, frameMs);
    EXPECT_EQ(frames, 1u);
}

// Every layer's output, as the engine gives it when asked for each.
std::vector<cv::Mat> engineLayerOutputs(cv::dnn::Net &net, const cv::Mat &blob)
{
    std::vector<cv::String> names = net.getLayerNames();
    net.setInput(blob);
    std::vector<cv::Mat> outputs;
    net.forward(outputs, names);
    return outputs;
}

std::vector<float> layerOutput(VRAX_Handle handle, std::uint32_t unit, std::uint32_t layer, VRAX_LayerShape &shape)
{
    EXPECT_EQ(VRAX_PROFILE_GetLayerOutput(handle, unit, layer, nullptr, 0, &shape), VRAX_RESULT_OK)
        << VRAX_SIM_GetLastError();
    std::vector<float> values(std::accumulate(shape.dims, shape.dims + shape.rank, std::size_t(1),
                                              std::multiplies<std::size_t>()));
    EXPECT_EQ(VRAX_PROFILE_GetLayerOutput(handle, unit, layer, values.data(), values.size(), &shape), VRAX_RESULT_OK)
        << VRAX_SIM_GetLastError();
    return values;
}

TEST_F(LayerProfile, LayerOutputsOfTheLastFrameAreTheEnginesOwn)
{
    for (ModelCase &c : modelCases()) {
        TestSession session(c.words);
        const cv::Mat blob = randomBlob(inputShapeOf(session), 5);
        const std::vector<cv::Mat> expected = engineLayerOutputs(c.net, blob);
        ASSERT_EQ(VRAX_PROFILE_Enable(session.handle, VRAX_PROFILE_LAYER_OUTPUTS), VRAX_RESULT_OK);
        session.run(1, interleavedInput(blob));
        const std::vector<VRAX_LayerInfo> layers = layerInfos(session.handle);
        ASSERT_EQ(layers.size(), expected.size());
        for (std::uint32_t layer = 0; layer < layers.size(); ++layer) {
            VRAX_LayerShape shape{};
            const std::vector<float> values = layerOutput(session.handle, 1, layer, shape);
            EXPECT_EQ(shapeOf(shape), shapeOf(layers[layer].outputs[0])) << c.name << ": " << layers[layer].name;
            const cv::Mat &want = expected[layer];
            ASSERT_EQ(values.size(), want.total()) << c.name << ": " << layers[layer].name;
            EXPECT_TRUE(nearlyEqual(values, std::vector<float>(want.ptr<float>(), want.ptr<float>() + want.total())))
                << c.name << ": " << layers[layer].name;
        }
    }
}

TEST_F(LayerProfile, LayerOutputsAreRefusedWhereThereAreNone)
{
    TestSession session(compiledOnnx(costedOnnxModel()));
    const std::vector<float> input = interleavedInput(randomBlob({1, 4, 8, 8}, 3));
    VRAX_LayerShape shape{};
    float value = 0.0f;
    session.run(0, input);
    EXPECT_EQ(VRAX_PROFILE_GetLayerOutput(session.handle, 0, 0, nullptr, 0, &shape), VRAX_RESULT_NOT_INITIALIZED)
        << "outputs are kept only when asked for";
    ASSERT_EQ(VRAX_PROFILE_Enable(session.handle, VRAX_PROFILE_LAYER_OUTPUTS), VRAX_RESULT_OK);
    session.run(0, input);
    const struct
    {
        std::uint32_t unit, layer;
        float *values;
        std::uint64_t capacity;
        VRAX_LayerShape *shape;
        std::int32_t code;
    } cases[] = {
        {0, 0, nullptr, 0, &shape, VRAX_RESULT_OK},
        {0, 0, &value, 1, &shape, VRAX_RESULT_INVALID_FUNC_PARAMETER}, // no room
        {0, 0, nullptr, 0, nullptr, VRAX_RESULT_INVALID_FUNC_PARAMETER},
        {0, 99, nullptr, 0, &shape, VRAX_RESULT_INVALID_FUNC_PARAMETER},
        {1, 0, nullptr, 0, &shape, VRAX_RESULT_NOT_INITIALIZED}, // no frame on unit 1
        {4, 0, nullptr, 0, &shape, VRAX_RESULT_INVALID_FUNC_PARAMETER},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(VRAX_PROFILE_GetLayerOutput(session.handle, c.unit, c.layer, c.values, c.capacity, c.shape), c.code)
            << "unit " << c.unit << " layer " << c.layer << " capacity " << c.capacity;
    }
    std::uint32_t count = 0;
    EXPECT_EQ(VRAX_PROFILE_GetLayerCount(12345, &count), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    VRAX_Handle empty = 0;
    ASSERT_EQ(VRAX_Create(&empty), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_PROFILE_GetLayerCount(empty, &count), VRAX_RESULT_NOT_INITIALIZED);
    EXPECT_EQ(VRAX_Destroy(empty), VRAX_RESULT_OK);
}

// The multiply-adds of a DarkNet network's convolutions counted from its cfg
// alone: each layer's output size followed through the network (a
// convolution padded by size / 2 when pad=1; a max pooling padded by
// size - 1 in all, as DarkNet pads; a route stacks its layers' channels; an
// upsampling multiplies width and height), and each convolution counted as
// filters x output width x height x (input channels / groups) x size x size.
struct CfgCount
{
    std::uint64_t convolutions = 0;
    std::uint64_t multiplyAdds = 0;
};

CfgCount countFromCfg(const std::string &cfg)
{
    std::vector<std::map<std::string, std::string>> sections;
    std::vector<std::string> kinds;
    std::istringstream lines(cfg);
    for (std::string line; std::getline(lines, line);) {
        line.erase(std::remove_if(line.begin(), line.end(), ::isspace), line.end());
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            kinds.push_back(line);
            sections.emplace_back();
        } else if (line.find('=') != std::string::npos) {
            sections.back()[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        }
    }
    const auto number = [](const std::map<std::string, std::string> &section, const char *key, int otherwise) {
        const auto found = section.find(key);
        return found == section.end() ? otherwise : std::stoi(found->second);
    };
    struct Shape
    {
        std::uint64_t c, h, w;
    };
    Shape in{std::uint64_t(number(sections[0], "channels", 3)), std::uint64_t(number(sections[0], "height", 0)),
             std::uint64_t(number(sections[0], "width", 0))};
    std::vector<Shape> outputs;
    CfgCount count;
    for (std::size_t i = 1; i < sections.size(); ++i) {
        const auto &s = sections[i];
        const std::string &kind = kinds[i];
        const int index = int(outputs.size());
        Shape out = in;
        if (kind == "[convolutional]") {
            const int size = number(s, "size", 1), stride = number(s, "stride", 1);
            const int padding = number(s, "pad", 0) ? size / 2 : number(s, "padding", 0);
            out = {std::uint64_t(number(s, "filters", 1)), (in.h + 2 * padding - size) / stride + 1,
                   (in.w + 2 * padding - size) / stride + 1};
            count.multiplyAdds += out.c * out.h * out.w * (in.c / number(s, "groups", 1)) * size * size;
            ++count.convolutions;
        } else if (kind == "[maxpool]") {
            const int size = number(s, "size", 2), stride = number(s, "stride", 2);
            out.h = (in.h + size - 1 - size) / stride + 1;
            out.w = (in.w + size - 1 - size) / stride + 1;
        } else if (kind == "[route]") {
            std::istringstream layers(s.at("layers"));
            out.c = 0;
            bool first = true;
            for (std::string entry; std::getline(layers, entry, ',');) {
                const int layer = std::stoi(entry) < 0 ? index + std::stoi(entry) : std::stoi(entry);
                const Shape &from = outputs.at(std::size_t(layer));
                out = {out.c + from.c, first ? from.h : out.h, first ? from.w : out.w};
                first = false;
            }
        } else if (kind == "[upsample]") {
            out.h *= std::uint64_t(number(s, "stride", 2));
            out.w *= std::uint64_t(number(s, "stride", 2));
        }
        outputs.push_back(out);
        in = out;
    }
    return count;
}

TEST_F(LayerProfile, ConvolutionsOfARealDetectorAgreeWithItsCfg)
{
    const std::string models = sharedModelsDir();
    if (models.empty())
        GTEST_SKIP() << sharedDataMissingReason();
    const std::string cfg = readWholeFile(models + "/yolo-fastest-1.1-xl.cfg");
    const std::string weights = readWholeFile(models + "/yolo-fastest-1.1-xl.weights");
    TestSession session(compileDarknet(cfg, weights).words);
    CfgCount profiled;
    std::uint64_t parameters = 0;
    for (const VRAX_LayerInfo &layer : layerInfos(session.handle)) {
        parameters += layer.parameters;
        if (std::string(layer.type) == "Convolution") {
            ++profiled.convolutions;
            profiled.multiplyAdds += layer.multiply_adds;
        }
    }
    const CfgCount byHand = countFromCfg(cfg);
    EXPECT_EQ(profiled.convolutions, 84u);
    EXPECT_EQ(profiled.convolutions, byHand.convolutions);
    EXPECT_EQ(profiled.multiplyAdds, byHand.multiplyAdds);
    // Its authors give 0.725 BFLOPs, two operations per multiply-add.
    EXPECT_NEAR(double(profiled.multiplyAdds) * 2 / 1e9, 0.725, 0.005);
    // Every weight of the file: after a 20-byte header, 4 bytes each.
    EXPECT_EQ(parameters, (weights.size() - 20) / 4);
}

TEST_F(LayerProfile, TheBoardLayerFindsTheExtensionInTheRuntime)
{
    const LayerExtension &extension = LayerExtension::ofRuntime();
    ASSERT_TRUE(extension.available());
    setenv("VRAX_BOARDS", "2:1", 1);
    ASSERT_EQ(VRAX_SIM_SetPrecision(2, "int8"), VRAX_RESULT_OK);
    TestSession session(compiledOnnx(costedOnnxModel()), 2);
    extension.enable(session.handle, true, true);
    session.run(0, interleavedInput(randomBlob({1, 4, 8, 8}, 3)));

    const std::vector<LayerDescription> layers = extension.layers(session.handle);
    ASSERT_EQ(layers.at(0).type, "Quantize") << "the int8 network's layers";
    const auto grouped = std::find_if(layers.begin(), layers.end(),
                                      [](const LayerDescription &layer) { return layer.name == "block.0/grouped"; });
    ASSERT_NE(grouped, layers.end());
    EXPECT_EQ(grouped->type, "ConvolutionInt8");
    EXPECT_EQ(grouped->multiplyAdds, 384u * 2 * 9);
    EXPECT_EQ(grouped->outputs, (std::vector<std::vector<std::uint32_t>>{{1, 6, 8, 8}}));
    EXPECT_EQ(extension.meanTimes(session.handle, layers.size()).frames, 1u);
    EXPECT_EQ(extension.lastFrameTimes(session.handle, 0, layers.size()).milliseconds.size(), layers.size());

    std::vector<float> values;
    std::vector<std::uint32_t> shape;
    EXPECT_FALSE(extension.layerOutput(session.handle, 0, 0, values, shape)) << "no float form of a Quantize";
    ASSERT_TRUE(extension.layerOutput(session.handle, 0, std::uint32_t(grouped - layers.begin()), values, shape));
    EXPECT_EQ(shape, (std::vector<std::uint32_t>{1, 6, 8, 8}));
    EXPECT_EQ(values.size(), 384u);
    EXPECT_THROW(extension.layerOutput(session.handle, 1, 0, values, shape), RuntimeCallError) << "no frame on unit 1";
}

} // namespace
