// The model compiler: dimensions and output order of real and self-built
// models, and a clear code and text for every kind of bad model or call.
#include "model_container.h"
#include "onnx_builder.h"
#include "simulator_test_support.h"
#include "support/shared_data.h"
#include "test_models.h"

#include <vrax_compiler.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <thread>

namespace {

ModelContainer containerOf(const std::vector<std::uint32_t> &words)
{
    return readModelContainer(words.data(), words.size());
}

std::string shapeOf(const ModelTensor &tensor)
{
    return shapeText(tensor.shape);
}

struct RealModel
{
    const char *file;
    std::vector<std::uint32_t> inputShape;
    std::vector<std::pair<std::string, std::string>> outputs; // name, shape
};

TEST(Compiler, RealModelsGiveTheirShapesAndOutputsInOrder)
{
    VRAX_REQUIRE_SHARED_DATA();
    const RealModel models[] = {
        {"yolo-fastest-1.1.cfg", {1, 3, 320, 320}, {{"conv_120", "1x255x10x10"}, {"conv_129", "1x255x20x20"}}},
        {"yolo-fastest-1.1_body.cfg", {1, 3, 320, 320}, {{"conv_120", "1x18x10x10"}, {"conv_129", "1x18x20x20"}}},
        {"yolo-fastest-1.1-xl.cfg", {1, 3, 320, 320}, {{"conv_120", "1x255x10x10"}, {"conv_129", "1x255x20x20"}}},
        {"tiny_face_detector_416.onnx", {1, 3, 416, 416}, {{"boxes", "1x25x13x13"}}},
        {"tiny_face_detector_416_yolo2.onnx", {1, 3, 416, 416}, {{"boxes", "1x30x13x13"}}},
        {"face_expression_112.onnx", {1, 3, 112, 112}, {{"expressions", "1x7"}}},
        {"selfie_segmentation_256.onnx", {1, 3, 256, 256}, {{"activation_10", "1x1x256x256"}}},
    };
    for (const RealModel &real : models) {
        SCOPED_TRACE(real.file);
        const std::string path = sharedModelsDir() + "/" + real.file;
        const std::string file = real.file;
        const CompileResult result =
            file.size() > 4 && file.substr(file.size() - 4) == ".cfg"
                ? compileDarknet(readWholeFile(path), readWholeFile(path.substr(0, path.size() - 3) + "weights"))
                : compileOnnx(readWholeFile(path));
        ASSERT_EQ(result.code, VRAX_COMPILER_RESULT_OK) << result.error;
        const ModelContainer model = containerOf(result.words);
        EXPECT_FALSE(model.singleSlot);
        ASSERT_EQ(model.inputs.size(), 1u);
        EXPECT_EQ(model.inputs[0].shape, real.inputShape);
        ASSERT_EQ(model.outputs.size(), real.outputs.size());
        for (std::size_t i = 0; i < real.outputs.size(); ++i) {
            EXPECT_EQ(model.outputs[i].name, real.outputs[i].first);
            EXPECT_EQ(shapeOf(model.outputs[i]), real.outputs[i].second);
        }
    }
}

TEST(Compiler, MultiFlagDecidesTheSingleSlotFlag)
{
    EXPECT_TRUE(containerOf(compiledOnnx(greyOnnxModel(), false)).singleSlot);
    EXPECT_FALSE(containerOf(compiledOnnx(greyOnnxModel(), true)).singleSlot);
    EXPECT_TRUE(containerOf(compiledDarknet(darknetClassifierCfg(), darknetWeights(darknetClassifierWeights), false))
                    .singleSlot);
}

TEST(Compiler, OnnxOutputsKeepGraphOrder)
{
    const ModelContainer model = containerOf(compiledOnnx(convOnnxModel()));
    ASSERT_EQ(model.outputs.size(), 2u);
    EXPECT_EQ(model.outputs[0].name, "zeta");
    EXPECT_EQ(shapeOf(model.outputs[0]), "1x4x5x7");
    EXPECT_EQ(model.outputs[1].name, "alpha");
    EXPECT_EQ(shapeOf(model.outputs[1]), "1x3x4x6");
}

TEST(Compiler, DarknetHeadsAreTheLayersFeedingEachYoloLayerInCfgOrder)
{
    const ModelContainer model =
        containerOf(compiledDarknet(darknetDetectorCfg(), darknetWeights(darknetDetectorWeights)));
    EXPECT_EQ(model.sourceFormat, ModelSourceFormat::DarkNet);
    EXPECT_EQ(shapeText(model.inputs[0].shape), "1x3x12x16");
    ASSERT_EQ(model.outputs.size(), 2u);
    EXPECT_EQ(model.outputs[0].name, "conv_4");
    EXPECT_EQ(shapeOf(model.outputs[0]), "1x18x6x8");
    EXPECT_EQ(model.outputs[1].name, "conv_9");
    EXPECT_EQ(shapeOf(model.outputs[1]), "1x18x12x16");
}

TEST(Compiler, DarknetWithoutDetectionLayersOutputsItsLastLayer)
{
    const ModelContainer model =
        containerOf(compiledDarknet(darknetClassifierCfg(), darknetWeights(darknetClassifierWeights)));
    ASSERT_EQ(model.outputs.size(), 1u);
    EXPECT_EQ(model.outputs[0].name.rfind("softmax", 0), 0u) << model.outputs[0].name;
    EXPECT_EQ(shapeOf(model.outputs[0]), "1x5");
}

TEST(Compiler, DarknetWeightsHeaderVersionsAreBothAccepted)
{
    EXPECT_EQ(compileDarknet(darknetClassifierCfg(), darknetWeights(darknetClassifierWeights, 0, 1)).code,
              VRAX_COMPILER_RESULT_OK);
    EXPECT_EQ(compileDarknet(darknetClassifierCfg(), darknetWeights(darknetClassifierWeights, 0, 2)).code,
              VRAX_COMPILER_RESULT_OK);
}

struct BadModel
{
    const char *what;
    std::function<CompileResult()> compile;
    std::int32_t code;
    std::vector<std::string> texts;
};

std::string onnxWith(const std::function<void(OnnxBuilder &)> &build)
{
    OnnxBuilder builder;
    build(builder);
    return builder.serialize();
}

TEST(Compiler, BadModelsGiveTheFittingCodeAndANamingText)
{
    const std::string detectorCfg = darknetDetectorCfg();
    const std::string weights = darknetWeights(darknetDetectorWeights);
    const std::string expression = sharedModelsDir().empty()
                                       ? convOnnxModel()
                                       : readWholeFile(sharedModelsDir() + "/face_expression_112.onnx");
    const BadModel cases[] = {
        {"unsupported operation",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, 3, 4, 4})
                     .node("Relu", {"x"}, {"r"}, {}, "first")
                     .node("FooBar", {"r"}, {"y"}, {}, "weird")
                     .output("y", {1, 3, 4, 4});
             }));
         },
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"\"weird\"", "FooBar"}},
        {"dynamic spatial dimension",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, 3, symbolicDim, 4}).node("Relu", {"x"}, {"y"}).output("y", {1, 3, 4, 4});
             }));
         },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"\"x\"", "dynamic", "axis 2"}},
        {"unknown channel count",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, unknownDim, 4, 4}).node("Relu", {"x"}, {"y"}).output("y", {1, 3, 4, 4});
             }));
         },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"axis 1"}},
        {"zero dimension",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, 3, 0, 4}).node("Relu", {"x"}, {"y"}).output("y", {1, 3, 4, 4});
             }));
         },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"axis 2"}},
        {"two inputs",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("a", {1, 3, 4, 4}).input("b", {1, 3, 4, 4}).node("Add", {"a", "b"}, {"y"}).output("y", {1, 3, 4, 4});
             }));
         },
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"2 inputs", "\"a\"", "\"b\""}},
        {"integer input",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, 3, 4, 4}, 7).node("Relu", {"x"}, {"y"}).output("y", {1, 3, 4, 4});
             }));
         },
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"\"x\"", "INT64"}},
        {"no input",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) { b.weights("w", {2}).node("Relu", {"w"}, {"y"}).output("y", {2}); }));
         },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"no input"}},
        {"no output",
         [] { return compileOnnx(onnxWith([](OnnxBuilder &b) { b.input("x", {1, 3, 4, 4}).node("Relu", {"x"}, {"y"}); })); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"no output"}},
        {"truncated ONNX", [expression] { return compileOnnx(expression.substr(0, expression.size() / 3)); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"not an ONNX model"}},
        {"garbage instead of ONNX", [] { return compileOnnx(std::string(500, '\xff')); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"not an ONNX model"}},
        {"weights one value short", [detectorCfg, weights] { return compileDarknet(detectorCfg, weights.substr(0, weights.size() - 4)); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {std::to_string(20 + 748 * 4 - 4) + " bytes", std::to_string(20 + 748 * 4), "truncated"}},
        {"weights one value long", [detectorCfg, weights] { return compileDarknet(detectorCfg, weights + "abcd"); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {std::to_string(20 + 748 * 4 + 4) + " bytes", "too long"}},
        {"weights of another model",
         [detectorCfg] { return compileDarknet(detectorCfg, darknetWeights(darknetClassifierWeights)); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"748 weights"}},
        {"weights shorter than a header", [detectorCfg] { return compileDarknet(detectorCfg, "abc"); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"3 bytes"}},
        {"unsupported DarkNet layer",
         [] { return compileDarknet("[net]\nwidth=4\nheight=4\n[convolutional]\nfilters=2\n[lstm]\noutput=3\n", darknetWeights(8)); },
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"layer 1 [lstm]", "line 6"}},
        {"route to a later layer",
         [] { return compileDarknet("[net]\nwidth=4\nheight=4\n[convolutional]\nfilters=2\n[route]\nlayers=5\n", darknetWeights(8)); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"layer 1 [route]", "refers to layer 5"}},
        {"cfg without [net]", [] { return compileDarknet("[convolutional]\nfilters=2\n", darknetWeights(8)); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"[net]"}},
        {"not a number", [] { return compileDarknet("[net]\nwidth=4\nheight=4\n[convolutional]\nfilters=two\n", darknetWeights(8)); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"filters", "\"two\""}},
        // Models the engine would read past their data, or through a null
        // pointer, or allocate gigabytes for before the size check.
        {"weights one value short of their shape",
         [] { return compileOnnx(withOneValueMissing(convOnnxModel(), "w")); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"damaged", "\"w\"", "4x3x3x3", "107 values", "108"}},
        {"weights that nothing provides",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, 3, 4, 4})
                     .node("Conv", {"x", "missing"}, {"y"},
                           [](onnx::NodeProto &node) { setIntsAttribute(node, "kernel_shape", {1, 1}); }, "conv")
                     .output("y", {1, 2, 4, 4});
             }));
         },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"damaged", "\"conv\"", "\"missing\""}},
        {"empty weights",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, 5})
                     .weights("w", {3, 0})
                     .node("Gemm", {"x", "w"}, {"y"}, [](onnx::NodeProto &node) { setIntAttribute(node, "transB", 1); }, "fc")
                     .output("y", {1, 3});
             }));
         },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"\"fc\"", "\"w\"", "no values"}},
        {"ONNX input too large for a binary model",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, 65536, 65536, 65536}).node("Relu", {"x"}, {"y"}).output("y", {1, 65536, 65536, 65536});
             }));
         },
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"\"x\"", "too large"}},
        {"DarkNet input too large for a binary model",
         [] { return compileDarknet("[net]\nwidth=65536\nheight=65536\nchannels=65536\n[maxpool]\nsize=2\nstride=2\n", darknetWeights(0)); },
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"input", "too large"}},
        {"layer output too large for the engine to allocate",
         [] {
             return compileOnnx(onnxWith([](OnnxBuilder &b) {
                 b.input("x", {1, 3, 5, 7})
                     .weights("w", {4, 3, 3, 3})
                     .node("Conv", {"x", "w"}, {"y"},
                           [](onnx::NodeProto &node) {
                               setIntsAttribute(node, "kernel_shape", {3, 3});
                               setIntsAttribute(node, "pads", {1000000, 1000000, 1000000, 1000000});
                           },
                           "wide")
                     .output("y", {1, 4, 2000003, 2000005});
             }));
         },
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"wide", "1x4x2000003x2000005", "268435456"}},
        {"DarkNet upsampling too large for the engine to allocate",
         [] { return compileDarknet("[net]\nwidth=16\nheight=16\nchannels=3\n[upsample]\nstride=1024\n", darknetWeights(0)); },
         VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION, {"1x3x16384x16384", "268435456"}},
        {"cfg byte the engine would drop from a key",
         [detectorCfg] {
             std::string cfg = detectorCfg;
             cfg.replace(cfg.find("mask=3,4,5"), 4, "m\xc4sk");
             return compileDarknet(cfg, darknetWeights(darknetDetectorWeights));
         },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"line", "196", "printable"}},
        {"[yolo] mask past the anchors",
         [detectorCfg] {
             std::string cfg = detectorCfg;
             cfg.replace(cfg.find("mask=3,4,5"), 10, "mask=3,4,6");
             return compileDarknet(cfg, darknetWeights(darknetDetectorWeights));
         },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"[yolo]", "mask=3,4,6", "anchor pair 6", "6"}},
        {"channels that do not split into groups",
         [] { return compileDarknet("[net]\nwidth=4\nheight=4\n[convolutional]\nfilters=2\ngroups=2\n", darknetWeights(8)); },
         VRAX_COMPILER_RESULT_INVALID_MODEL, {"3 input channels", "2 groups"}},
    };
    for (const BadModel &bad : cases) {
        SCOPED_TRACE(bad.what);
        const CompileResult result = bad.compile();
        EXPECT_EQ(result.code, bad.code) << result.error;
        EXPECT_TRUE(result.words.empty());
        for (const std::string &text : bad.texts)
            EXPECT_NE(result.error.find(text), std::string::npos) << "\"" << text << "\" missing in: " << result.error;
    }
}

TEST(Compiler, OpenBatchAxisIsTakenAsOneAndWeightsListedAsInputsAreNoInputs)
{
    const std::string onnx = onnxWith([](OnnxBuilder &b) {
        b.input("x", {symbolicDim, 2, 3, 3})
            .weights("w", {2, 2, 1, 1}, true)
            .node("Conv", {"x", "w"}, {"y"}, [](onnx::NodeProto &node) { setIntsAttribute(node, "kernel_shape", {1, 1}); })
            .output("y", {symbolicDim, 2, 3, 3});
    });
    const CompileResult result = compileOnnx(onnx);
    ASSERT_EQ(result.code, VRAX_COMPILER_RESULT_OK) << result.error;
    const ModelContainer model = containerOf(result.words);
    ASSERT_EQ(model.inputs.size(), 1u);
    EXPECT_EQ(model.inputs[0].name, "x");
    EXPECT_EQ(shapeText(model.inputs[0].shape), "1x2x3x3");
}

TEST(Compiler, OutputsDeclaredWithoutShapeAreAccepted)
{
    // The engine refuses an output whose type and shape are not declared, as
    // some exporters leave them; the compiler mends the declaration, and the
    // shape itself comes from running the network.
    OnnxBuilder builder;
    builder.input("x", {1, 2, 3, 3}).node("Sigmoid", {"x"}, {"y"}).untypedOutput("y");
    const CompileResult result = compileOnnx(builder.serialize());
    ASSERT_EQ(result.code, VRAX_COMPILER_RESULT_OK) << result.error;
    EXPECT_EQ(shapeText(containerOf(result.words).outputs[0].shape), "1x2x3x3");
}

TEST(Compiler, BadCallsAreRefused)
{
    const std::string onnx = greyOnnxModel();
    std::uint32_t *model = nullptr;
    std::uint32_t words = 0;
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(2, true, onnx.data(), static_cast<std::uint32_t>(onnx.size()), &model, &words),
              VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_NE(std::string(VRAX_COMPILER_GetLastError()).find("version 2"), std::string::npos);
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(1, true, nullptr, 10, &model, &words), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(1, true, onnx.data(), 0, &model, &words), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(1, true, onnx.data(), static_cast<std::uint32_t>(onnx.size()), nullptr, &words),
              VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_CompileONNX(1, true, onnx.data(), static_cast<std::uint32_t>(onnx.size()), &model, nullptr),
              VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    const std::string cfg = darknetClassifierCfg();
    EXPECT_EQ(VRAX_COMPILER_CompileDarkNet(1, true, cfg.data(), static_cast<std::uint32_t>(cfg.size()), nullptr, 0,
                                           &model, &words),
              VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_NE(std::string(VRAX_COMPILER_GetLastError()).find("weights"), std::string::npos);
}

TEST(Compiler, FreeModelTakesOnlyWhatTheCompilerGaveOnce)
{
    const std::string onnx = greyOnnxModel();
    std::uint32_t *model = nullptr;
    std::uint32_t words = 0;
    ASSERT_EQ(VRAX_COMPILER_CompileONNX(1, true, onnx.data(), static_cast<std::uint32_t>(onnx.size()), &model, &words),
              VRAX_COMPILER_RESULT_OK);
    std::uint32_t stranger[4] = {};
    EXPECT_EQ(VRAX_COMPILER_FreeModel(0, stranger), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_FreeModel(0, nullptr), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_EQ(VRAX_COMPILER_FreeModel(3, model), VRAX_COMPILER_RESULT_OK);
    EXPECT_EQ(VRAX_COMPILER_FreeModel(3, model), VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    EXPECT_NE(std::string(VRAX_COMPILER_GetLastError()).find("already freed"), std::string::npos);
}

TEST(Compiler, LastErrorBelongsToTheCallingThread)
{
    EXPECT_EQ(compileOnnx("garbage").code, VRAX_COMPILER_RESULT_INVALID_MODEL);
    const std::string mine = VRAX_COMPILER_GetLastError();
    std::string other;
    std::thread([&other] {
        other = VRAX_COMPILER_GetLastError();
        compileDarknet("[net]\n[foo]\n", darknetWeights(1));
    }).join();
    EXPECT_NE(mine, other);
    EXPECT_NE(other.c_str(), nullptr);
    EXPECT_EQ(VRAX_COMPILER_GetLastError(), mine);
}

TEST(Compiler, FaultsCanBeInjectedThroughTheEnvironment)
{
    const std::string onnx = greyOnnxModel();
    ASSERT_EQ(setenv("VRAX_COMPILER_FAULTS", "VRAX_COMPILER_CompileONNX=1@1", 1), 0);
    EXPECT_EQ(compileOnnx(onnx).code, VRAX_COMPILER_RESULT_OK);
    const CompileResult failed = compileOnnx(onnx);
    EXPECT_EQ(failed.code, VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR);
    EXPECT_NE(failed.error.find("injected"), std::string::npos);
    ASSERT_EQ(unsetenv("VRAX_COMPILER_FAULTS"), 0);
    EXPECT_EQ(compileOnnx(onnx).code, VRAX_COMPILER_RESULT_OK);
}

} // namespace
