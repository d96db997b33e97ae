// The model compiler: dimensions and output order of real and self-built
// models, and a clear code and text for every kind of bad model or call.
#include "model_container.h"
#include "onnx_builder.h"
#include "simulator_test_support.h"
#include "support/shared_data.h"
#include "test_models.h"

#include <vrax_compiler.h>

#include <gtest/gtest.h>

#include <cmath>

#include <cstdlib>
#include <thread>

namespace {

// "input shape -> output shape, ...", each tensor with its name where it has one.
std::string layout(const CompileResult &result)
{
    if (result.code != VRAX_COMPILER_RESULT_OK)
        return "code " + std::to_string(result.code) + ": " + result.error;
    const ModelContainer model = readModelContainer(result.words.data(), result.words.size());
    const auto tensor = [](const ModelTensor &t) { return (t.name.empty() ? "" : t.name + " ") + shapeText(t.shape); };
    std::string text = (model.singleSlot ? "single slot " : "") + std::to_string(model.inputs.size()) + " input "
                       + tensor(model.inputs.at(0)) + " ->";
    for (const ModelTensor &output : model.outputs)
        text += " " + tensor(output);
    return text;
}

// x of the given shape -> Relu -> y [1,3,4,4].
CompileResult compileRelu(const std::vector<std::int64_t> &inputShape, int elementType = 1)
{
    return compileOnnx(
        OnnxBuilder().input("x", inputShape, elementType).node("Relu", {"x"}, {"y"}).output("y", {1, 3, 4, 4}).serialize());
}

TEST(Compiler, BuiltModelsGiveTheirShapesAndOutputsInOrder)
{
    const std::pair<CompileResult, const char *> cases[] = {
        // ONNX outputs keep the graph's order, against the alphabet.
        {compileOnnx(convOnnxModel()), "1 input x 1x3x5x7 -> zeta 1x4x5x7 alpha 1x3x4x6"},
        // DarkNet heads are the layers feeding each [yolo] layer, in cfg order.
        {compileDarknet(darknetDetectorCfg(), darknetWeights(darknetDetectorWeights)),
         "1 input 1x3x12x16 -> conv_4 1x18x6x8 conv_9 1x18x12x16"},
        // Without detection layers, the last layer; weights headers of both versions.
        {compileDarknet(darknetClassifierCfg(), darknetWeights(darknetClassifierWeights, 0, 1)),
         "1 input 1x3x6x6 -> softmax_3 1x5"},
        {compileDarknet(darknetClassifierCfg(), darknetWeights(darknetClassifierWeights, 0, 2)),
         "1 input 1x3x6x6 -> softmax_3 1x5"},
        // An open batch axis is taken as one; weights listed as inputs are no inputs.
        {compileOnnx(OnnxBuilder().input("x", {symbolicDim, 2, 3, 3})
                         .weights("w", {2, 2, 1, 1}, true)
                         .node("Conv", {"x", "w"}, {"y"}, {{"kernel_shape", {1, 1}}})
                         .output("y", {symbolicDim, 2, 3, 3})
                         .serialize()),
         "1 input x 1x2x3x3 -> y 1x2x3x3"},
        // The engine refuses outputs declared without type and shape, as some
        // exporters leave them; the shape comes from running the network.
        {compileOnnx(OnnxBuilder().input("x", {1, 2, 3, 3}).node("Sigmoid", {"x"}, {"y"}).untypedOutput("y").serialize()),
         "1 input x 1x2x3x3 -> y 1x2x3x3"},
    };
    for (const auto &[result, expected] : cases)
        EXPECT_EQ(layout(result), expected);
}

TEST(Compiler, BadModelsGiveTheFittingCodeAndANamingText)
{
    const std::string detectorCfg = darknetDetectorCfg();
    const std::string weights = darknetWeights(darknetDetectorWeights);
    const std::string expression = sharedModelsDir().empty()
                                       ? convOnnxModel()
                                       : readWholeFile(sharedModelsDir() + "/face_expression_112.onnx");
    const auto cfgWith = [&detectorCfg](const std::string &key, const std::string &replacement) {
        std::string cfg = detectorCfg;
        return cfg.replace(cfg.find(key), key.size(), replacement);
    };
    const struct
    {
        const char *what;
        CompileResult result;
        std::int32_t code;
        std::vector<std::string> texts;
    } cases[] = {
        {"unsupported operation",
         compileOnnx(OnnxBuilder().input("x", {1, 3, 4, 4})
                         .node("Relu", {"x"}, {"r"}, {}, "first")
                         .node("FooBar", {"r"}, {"y"}, {}, "weird")
                         .output("y", {1, 3, 4, 4})
                         .serialize()),
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"\"weird\"", "FooBar"}},
        {"dynamic spatial dimension", compileRelu({1, 3, symbolicDim, 4}), VRAX_COMPILER_RESULT_INVALID_MODEL,
         {"\"x\"", "dynamic", "axis 2"}},
        {"unknown channel count", compileRelu({1, unknownDim, 4, 4}), VRAX_COMPILER_RESULT_INVALID_MODEL, {"axis 1"}},
        {"zero dimension", compileRelu({1, 3, 0, 4}), VRAX_COMPILER_RESULT_INVALID_MODEL, {"axis 2"}},
        {"two inputs",
         compileOnnx(OnnxBuilder().input("a", {1, 3, 4, 4})
                         .input("b", {1, 3, 4, 4})
                         .node("Add", {"a", "b"}, {"y"})
                         .output("y", {1, 3, 4, 4})
                         .serialize()),
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"2 inputs", "\"a\"", "\"b\""}},
        {"integer input", compileRelu({1, 3, 4, 4}, 7), VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"\"x\"", "INT64"}},
        {"no input", compileOnnx(OnnxBuilder().weights("w", {2}).node("Relu", {"w"}, {"y"}).output("y", {2}).serialize()),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"no input"}},
        {"no output", compileOnnx(OnnxBuilder().input("x", {1, 3, 4, 4}).node("Relu", {"x"}, {"y"}).serialize()),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"no output"}},
        {"truncated ONNX", compileOnnx(expression.substr(0, expression.size() / 3)), VRAX_COMPILER_RESULT_INVALID_MODEL,
         {"not an ONNX model"}},
        {"weights one value short", compileDarknet(detectorCfg, weights.substr(0, weights.size() - 4)),
         VRAX_COMPILER_RESULT_INVALID_MODEL,
         {std::to_string(20 + 748 * 4 - 4) + " bytes", std::to_string(20 + 748 * 4), "truncated"}},
        {"weights one value long", compileDarknet(detectorCfg, weights + "abcd"), VRAX_COMPILER_RESULT_INVALID_MODEL,
         {std::to_string(20 + 748 * 4 + 4) + " bytes", "too long"}},
        {"weights of another model", compileDarknet(detectorCfg, darknetWeights(darknetClassifierWeights)),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"748 weights"}},
        {"weights shorter than a header", compileDarknet(detectorCfg, "abc"), VRAX_COMPILER_RESULT_INVALID_MODEL,
         {"3 bytes"}},
        {"unsupported DarkNet layer",
         compileDarknet("[net]\nwidth=4\nheight=4\n[convolutional]\nfilters=2\n[lstm]\noutput=3\n", darknetWeights(8)),
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"layer 1 [lstm]", "line 6"}},
        {"route to a later layer",
         compileDarknet("[net]\nwidth=4\nheight=4\n[convolutional]\nfilters=2\n[route]\nlayers=5\n", darknetWeights(8)),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"layer 1 [route]", "refers to layer 5"}},
        {"cfg without [net]", compileDarknet("[convolutional]\nfilters=2\n", darknetWeights(8)),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"[net]"}},
        {"not a number", compileDarknet("[net]\nwidth=4\nheight=4\n[convolutional]\nfilters=two\n", darknetWeights(8)),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"filters", "\"two\""}},
        // Models the engine would read past their data, or through a null
        // pointer, or allocate gigabytes for before the size check.
        {"weights one value short of their shape", compileOnnx(withOneValueMissing(convOnnxModel(), "w")),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"damaged", "\"w\"", "4x3x3x3", "107 values", "108"}},
        {"weights that nothing provides", compileOnnx(unprovidedWeightsOnnxModel()), VRAX_COMPILER_RESULT_INVALID_MODEL,
         {"damaged", "\"conv\"", "\"missing\""}},
        {"weights of a data type unknown to ONNX", compileOnnx(withValuesOfType(convOnnxModel(), "w", 17)),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"damaged", "\"w\"", "data type 17", "no numbers"}},
        {"weights with a dimension beyond the engine's int",
         compileOnnx(OnnxBuilder().input("x", {1, 5})
                         .weights("w", {1, 1, 0, 3000000000})
                         .node("Gemm", {"x", "w"}, {"y"}, {}, "fc")
                         .output("y", {1, 1})
                         .serialize()),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"\"w\"", "3000000000"}},
        {"weights of strings", compileOnnx(withValuesOfType(convOnnxModel(), "w", 8)),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"\"w\"", "STRING"}},
        {"empty weights",
         compileOnnx(OnnxBuilder().input("x", {1, 5})
                         .weights("w", {3, 0})
                         .node("Gemm", {"x", "w"}, {"y"}, {{"transB", {1}}}, "fc")
                         .output("y", {1, 3})
                         .serialize()),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"\"fc\"", "\"w\"", "no values"}},
        {"ONNX input too large for a binary model", compileRelu({1, 65536, 65536, 65536}),
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"\"x\"", "too large"}},
        {"DarkNet input too large for a binary model",
         compileDarknet("[net]\nwidth=65536\nheight=65536\nchannels=65536\n[maxpool]\nsize=2\nstride=2\n", darknetWeights(0)),
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"input", "too large"}},
        {"layer output too large for the engine to allocate", compileOnnx(hugePaddingOnnxModel()),
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"wide", "1x4x2000003x2000005", "268435456"}},
        {"DarkNet upsampling too large for the engine to allocate",
         compileDarknet("[net]\nwidth=16\nheight=16\nchannels=3\n[upsample]\nstride=1024\n", darknetWeights(0)),
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"1x3x16384x16384", "268435456"}},
        {"cfg byte the engine would drop from a key", compileDarknet(cfgWith("mask=3", "m\xc4sk=3"), weights),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"line", "196", "printable"}},
        {"[yolo] mask past the anchors", compileDarknet(cfgWith("mask=3,4,5", "mask=3,4,6"), weights),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"[yolo]", "mask=3,4,6", "anchor pair 6", "6"}},
        {"channels that do not split into groups",
         compileDarknet("[net]\nwidth=4\nheight=4\n[convolutional]\nfilters=2\ngroups=2\n", darknetWeights(8)),
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"3 input channels", "2 groups"}},
    };
    for (const auto &bad : cases) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(bad.result.code, bad.code) << bad.result.error;
        EXPECT_TRUE(bad.result.words.empty());
        for (const std::string &text : bad.texts)
            EXPECT_NE(bad.result.error.find(text), std::string::npos) << "\"" << text << "\" missing in: " << bad.result.error;
    }
}

TEST(Compiler, BadCallsAndFreesAreRefused)
{
    const std::string onnx = greyOnnxModel();
    const std::uint32_t size = static_cast<std::uint32_t>(onnx.size());
    std::uint32_t *model = nullptr;
    std::uint32_t words = 0;
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(2, true, onnx.data(), size, &model, &words), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_NE(std::string(VRAX_COMPILER_GetLastError()).find("version 2"), std::string::npos);
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(1, true, nullptr, 10, &model, &words), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(1, true, onnx.data(), 0, &model, &words), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(1, true, onnx.data(), size, nullptr, &words), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(1, true, onnx.data(), size, &model, nullptr), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    const std::string cfg = darknetClassifierCfg();
    EXPECT_EQ(VRAX_COMPILER_CompileDarkNet(1, true, cfg.data(), static_cast<std::uint32_t>(cfg.size()), nullptr, 0,
                                           &model, &words),
              VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_NE(std::string(VRAX_COMPILER_GetLastError()).find("weights"), std::string::npos);

    // FreeModel takes only what the compiler gave, once.
    ASSERT_EQ(VRAX_COMPILER_CompileONNX(1, true, onnx.data(), size, &model, &words), VRAX_COMPILER_RESULT_OK);
    std::uint32_t stranger[4] = {};
    EXPECT_EQ(VRAX_COMPILER_FreeModel(0, stranger), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_FreeModel(0, nullptr), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_FreeModel(3, model), VRAX_COMPILER_RESULT_OK);
    EXPECT_EQ(VRAX_COMPILER_FreeModel(3, model), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_NE(std::string(VRAX_COMPILER_GetLastError()).find("already freed"), std::string::npos);
}

CompileResult addCalibration(std::uint32_t boardType, const std::vector<std::uint32_t> &model,
                             const std::vector<const float *> &inputs, std::uint32_t version = 1)
{
    std::uint32_t *calibrated = nullptr;
    std::uint32_t words = 0;
    CompileResult result;
    result.code = VRAX_COMPILER_AddCalibration(version, boardType, model.empty() ? nullptr : model.data(),
                                               std::uint32_t(model.size()), inputs.data(),
                                               std::uint32_t(inputs.size()), &calibrated, &words);
    if (result.code == VRAX_COMPILER_RESULT_OK) {
        result.words.assign(calibrated, calibrated + words);
        VRAX_COMPILER_FreeModel(0, calibrated);
    } else {
        result.error = VRAX_COMPILER_GetLastError();
    }
    return result;
}

TEST(Compiler, CalibrationInputsAreStoredInTheNetworksAxisOrder)
{
    const std::vector<std::uint32_t> model = compiledOnnx(convOnnxModel());
    const cv::Mat a = randomBlob({1, 3, 5, 7}, 1), b = randomBlob({1, 3, 5, 7}, 2);
    const std::vector<float> inA = interleavedInput(a), inB = interleavedInput(b);
    const std::vector<float> planarA = planarInput(a), planarB = planarInput(b);
    const auto values = [](const cv::Mat &blob) {
        return std::vector<float>(blob.ptr<float>(), blob.ptr<float>() + blob.total());
    };
    const struct
    {
        const char *what;
        std::uint32_t boardType;
        std::vector<const float *> inputs;
    } cases[] = {{"interleaved", 0, {inA.data(), inB.data()}}, {"planar", 1, {planarA.data(), planarB.data()}}};
    for (const auto &c : cases) {
        const CompileResult result = addCalibration(c.boardType, model, c.inputs);
        ASSERT_EQ(result.code, VRAX_COMPILER_RESULT_OK) << c.what << ": " << result.error;
        const ModelContainer read = readModelContainer(result.words.data(), result.words.size());
        EXPECT_EQ(read.calibration, (std::vector<std::vector<float>>{values(a), values(b)})) << c.what;
        // Calibrating again replaces the inputs.
        const CompileResult again = addCalibration(0, result.words, {inB.data()});
        EXPECT_EQ(readModelContainer(again.words.data(), again.words.size()).calibration,
                  std::vector<std::vector<float>>{values(b)});
    }

    std::vector<float> notANumber = inA;
    notANumber[5] = NAN;
    const std::vector<const float *> seventeen(17, inA.data());
    const std::vector<std::uint32_t> damaged(model.begin(), model.end() - 1);
    const struct
    {
        const char *what;
        CompileResult result;
        std::int32_t code;
        const char *text;
    } bad[] = {
        {"version", addCalibration(0, model, {inA.data()}, 2), VRAX_COMPILER_RESULT_INVALID_PARAMETER, "version 2"},
        {"board type", addCalibration(8, model, {inA.data()}), VRAX_COMPILER_RESULT_INVALID_PARAMETER, "board type 8"},
        {"no model", addCalibration(0, {}, {inA.data()}), VRAX_COMPILER_RESULT_INVALID_PARAMETER, "no model"},
        {"no inputs", addCalibration(0, model, {}), VRAX_COMPILER_RESULT_INVALID_PARAMETER, "1 to 16"},
        {"too many inputs", addCalibration(0, model, seventeen), VRAX_COMPILER_RESULT_INVALID_PARAMETER, "17"},
        {"null input", addCalibration(0, model, {inA.data(), nullptr}), VRAX_COMPILER_RESULT_INVALID_PARAMETER,
         "input 1 is null"},
        {"not a number", addCalibration(0, model, {notANumber.data()}), VRAX_COMPILER_RESULT_INVALID_PARAMETER,
         "not a finite number"},
        {"damaged model", addCalibration(0, damaged, {inA.data()}), VRAX_COMPILER_RESULT_INVALID_MODEL,
         "invalid binary model"},
    };
    for (const auto &c : bad) {
        EXPECT_EQ(c.result.code, c.code) << c.what << ": " << c.result.error;
        EXPECT_NE(c.result.error.find(c.text), std::string::npos) << c.what << ": " << c.result.error;
    }
}

TEST(Compiler, LastErrorBelongsToTheCallingThread)
{
    // This thread's error: a fault injected through the environment.
    ASSERT_EQ(setenv("VRAX_COMPILER_FAULTS", "VRAX_COMPILER_CompileONNX=1", 1), 0);
    EXPECT_EQ(compileOnnx(greyOnnxModel()).code, VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR);
    ASSERT_EQ(unsetenv("VRAX_COMPILER_FAULTS"), 0);
    const std::string mine = VRAX_COMPILER_GetLastError();
    EXPECT_NE(mine.find("injected"), std::string::npos) << mine;
    std::string other;
    std::thread([&other] {
        other = VRAX_COMPILER_GetLastError();
        compileDarknet("[net]\n[foo]\n", darknetWeights(1));
    }).join();
    EXPECT_NE(mine, other);
    EXPECT_EQ(VRAX_COMPILER_GetLastError(), mine);
}

} // namespace
