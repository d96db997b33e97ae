// Model compiler: checks an ONNX or DarkNet model by building and running it
// with the engine, then wraps it with its tensor shapes into a binary model.
#include "vrax_compiler.h"

#include "compile_error.h"
#include "darknet_config.h"
#include "engine_settings.h"
#include "injection_table.h"
#include "layer_size_check.h"
#include "model_container.h"
#include "network_probe.h"
#include "onnx_graph_info.h"
#include "tensor_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

thread_local std::string lastError = "no compiler call has failed on this thread";

InjectionTable &injections()
{
    static InjectionTable table("VRAX_COMPILER_FAULTS", "VRAX_COMPILER_DELAYS",
                                {"VRAX_COMPILER_CompileONNX", "VRAX_COMPILER_CompileDarkNet",
                                 "VRAX_COMPILER_AddCalibration", "VRAX_COMPILER_FreeModel"});
    return table;
}

// Compiled models handed out and not yet freed.
struct IssuedModels
{
    std::mutex mutex;
    std::unordered_map<std::uint32_t *, std::unique_ptr<std::uint32_t[]>> models;
};

IssuedModels &issuedModels()
{
    static IssuedModels issued;
    return issued;
}

// Runs the network once to learn its output shapes. describeLayer turns the
// engine's name of a failing layer into words for the user.
std::vector<ModelTensor> runProbe(cv::dnn::Net &net, const ModelTensor &input,
                                  const std::vector<std::string> &outputNames,
                                  const std::function<std::string(const std::string &)> &describeLayer)
{
    try {
        const std::string oversized =
            findOversizedLayer(net, std::vector<int>(input.shape.begin(), input.shape.end()));
        if (!oversized.empty())
            throw CompileError(VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION,
                               "the network cannot be run on an input of shape " + shapeText(input.shape)
                                   + ": " + oversized);
        std::vector<ModelTensor> outputs = probeOutputs(net, input, outputNames);
        if (outputs.size() != outputNames.size())
            throw CompileError(VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR,
                               "the engine gave " + std::to_string(outputs.size())
                                   + " outputs where the model has "
                                   + std::to_string(outputNames.size()));
        for (const ModelTensor &output : outputs) {
            if (output.shape.empty() || shapeElementCount(output.shape) == 0)
                throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL,
                                   "output \"" + output.name + "\" is empty (shape "
                                       + shapeText(output.shape) + ")");
        }
        return outputs;
    } catch (const cv::Exception &error) {
        const EngineFailure failure = explainEngineFailure(error);
        throw CompileError(failure.unsupportedOperation ? VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION
                                                        : VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR,
                           "the network cannot be run on an input of shape " + shapeText(input.shape)
                               + (failure.layerName.empty() ? std::string()
                                                            : " (" + describeLayer(failure.layerName) + ")")
                               + ": " + failure.reason);
    }
}

void checkOutputCount(std::size_t count)
{
    if (count > ModelFormat::maxOutputs)
        throw CompileError(VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION,
                           "the model has " + std::to_string(count) + " outputs; boards deliver at most "
                               + std::to_string(ModelFormat::maxOutputs));
}

ModelContainer compileOnnx(bool multiFlag, const void *onnx, std::uint32_t onnxBytes)
{
    const OnnxGraphInfo graph = readOnnxGraph(onnx, onnxBytes);
    checkOutputCount(graph.outputs.size());
    // The probe fills an input of this shape: one that no binary model can
    // hold is refused before it is allocated.
    checkTensorShape(graph.inputs[0].shape, "input \"" + graph.inputs[0].name + "\"");

    const auto *bytes = graph.mendedModel.empty()
                            ? static_cast<const std::uint8_t *>(onnx)
                            : reinterpret_cast<const std::uint8_t *>(graph.mendedModel.data());
    const std::size_t byteCount = graph.mendedModel.empty() ? onnxBytes : graph.mendedModel.size();
    cv::dnn::Net net;
    try {
        net = cv::dnn::readNetFromONNX(reinterpret_cast<const char *>(bytes), byteCount);
    } catch (const cv::Exception &error) {
        const EngineFailure failure = explainEngineFailure(error);
        if (failure.unsupportedOperation) {
            const std::string where = failure.layerName.empty()
                                          ? std::string("a node")
                                          : describeOnnxLayer(graph, failure.layerName);
            throw CompileError(VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION,
                               "unsupported operation: " + where + " cannot be run ("
                                   + failure.reason + ")");
        }
        throw CompileError(VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR,
                           "the ONNX model cannot be built"
                               + (failure.layerName.empty()
                                      ? std::string()
                                      : " at " + describeOnnxLayer(graph, failure.layerName))
                               + ": " + failure.reason);
    }
    if (net.empty())
        throw CompileError(VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR, "the ONNX model builds no network");

    ModelContainer model;
    model.sourceFormat = ModelSourceFormat::Onnx;
    model.singleSlot = !multiFlag;
    model.inputs = graph.inputs;
    model.outputs = runProbe(net, graph.inputs[0], graph.outputs, [&graph](const std::string &layer) {
        return describeOnnxLayer(graph, layer);
    });
    model.network.assign(bytes, bytes + byteCount);
    return model;
}

ModelContainer compileDarknet(bool multiFlag, const void *cfg, std::uint32_t cfgBytes,
                              const void *weights, std::uint32_t weightsBytes)
{
    const DarknetConfig config = parseDarknetConfig(static_cast<const char *>(cfg), cfgBytes);
    const std::vector<std::uint32_t> inputShape = {1, config.channels, config.height, config.width};
    checkTensorShape(inputShape, "the input"); // before the probe allocates it
    const auto *weightBytes = static_cast<const std::uint8_t *>(weights);
    checkDarknetWeightsSize(config, weightBytes, weightsBytes);
    checkOutputCount(config.headLayers.size());

    cv::dnn::Net net;
    try {
        net = cv::dnn::readNetFromDarknet(static_cast<const char *>(cfg), cfgBytes,
                                          static_cast<const char *>(weights), weightsBytes);
    } catch (const cv::Exception &error) {
        const EngineFailure failure = explainEngineFailure(error);
        throw CompileError(failure.unsupportedOperation ? VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION
                                                        : VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR,
                           "the DarkNet model cannot be built: " + failure.reason);
    }
    if (net.empty())
        throw CompileError(VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR, "the DarkNet model builds no network");

    std::vector<std::string> outputNames = darknetHeadLayerNames(net);
    if (outputNames.size() != config.headLayers.size())
        throw CompileError(VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR,
                           "the cfg has " + std::to_string(config.headLayers.size())
                               + " [yolo] or [region] layers but the engine built "
                               + std::to_string(outputNames.size()));
    if (outputNames.empty())
        outputNames.push_back(lastLayerName(net));

    ModelContainer model;
    model.sourceFormat = ModelSourceFormat::DarkNet;
    model.singleSlot = !multiFlag;
    model.inputs.push_back({"", inputShape});
    model.outputs = runProbe(net, model.inputs[0], outputNames, [](const std::string &layer) {
        return "layer \"" + layer + "\"";
    });
    const auto *cfgText = static_cast<const std::uint8_t *>(cfg);
    model.network.assign(cfgText, cfgText + cfgBytes);
    model.weights.assign(weightBytes, weightBytes + weightsBytes);
    return model;
}

ModelContainer addCalibration(std::uint32_t boardType, const std::uint32_t *words, std::uint32_t wordCount,
                              const float *const inputs[], std::uint32_t inputCount)
{
    if (boardType > 7)
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                           "board type " + std::to_string(boardType) + " does not exist (0 to 7)");
    if (!words || wordCount == 0)
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER, "no model was given (null pointer or 0 words)");
    if (!inputs || inputCount == 0 || inputCount > ModelFormat::maxCalibrationInputs)
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                           "a model takes 1 to " + std::to_string(ModelFormat::maxCalibrationInputs)
                               + " calibration inputs, " + std::to_string(inputCount) + " were given");
    ModelContainer model;
    try {
        model = readModelContainer(words, wordCount);
    } catch (const ModelFormatError &error) {
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL, std::string("invalid binary model: ") + error.what());
    }
    const std::vector<std::uint32_t> &shape = model.inputs[0].shape;
    const bool planar = planarInputBoard(boardType);
    model.calibration.clear();
    for (std::uint32_t i = 0; i < inputCount; ++i) {
        if (!inputs[i])
            throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                               "calibration input " + std::to_string(i) + " is null");
        std::vector<float> values(static_cast<std::size_t>(shapeElementCount(shape)));
        boardInputToBlob(inputs[i], shape, planar, values.data());
        if (!std::all_of(values.begin(), values.end(), [](float value) { return std::isfinite(value); }))
            throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                               "calibration input " + std::to_string(i) + " holds a value that is not a finite number");
        model.calibration.push_back(std::move(values));
    }
    return model;
}

// Runs one compile call: argument checks, injected faults, error texts.
template <typename Compile>
std::int32_t runCompile(const char *function, std::uint32_t version, std::uint32_t **model,
                        std::uint32_t *modelWords, Compile compile)
{
    try {
        if (const std::int32_t injected = injections().enter(function)) {
            lastError = std::string("fault injected into ") + function + " for testing";
            return injected;
        }
        if (!model || !modelWords)
            throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                               "the model and modelWords result pointers must not be null");
        *model = nullptr;
        *modelWords = 0;
        if (version != 1)
            throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                               "interface version " + std::to_string(version)
                                   + " is not supported (only 1 is)");

        applyEngineSettings();
        const std::vector<std::uint32_t> words = writeModelContainer(compile());
        auto buffer = std::make_unique<std::uint32_t[]>(words.size());
        std::memcpy(buffer.get(), words.data(), words.size() * sizeof(std::uint32_t));
        std::uint32_t *issued = buffer.get();
        {
            std::lock_guard<std::mutex> lock(issuedModels().mutex);
            issuedModels().models.emplace(issued, std::move(buffer));
        }
        *model = issued;
        *modelWords = static_cast<std::uint32_t>(words.size());
        return VRAX_COMPILER_RESULT_OK;
    } catch (const CompileError &error) {
        lastError = error.what();
        return error.code;
    } catch (const ModelFormatError &error) {
        lastError = std::string("the model cannot be stored: ") + error.what();
        return VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION;
    } catch (const std::bad_alloc &) {
        lastError = "out of memory while compiling the model";
        return VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR;
    } catch (const cv::Exception &error) {
        lastError = "the engine failed: " + explainEngineFailure(error).reason;
        return VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR;
    } catch (const std::exception &error) {
        lastError = std::string("the model cannot be compiled: ") + error.what();
        return VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR;
    } catch (...) {
        lastError = "the model cannot be compiled (unknown failure)";
        return VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR;
    }
}

} // namespace

extern "C" {

int32_t VRAX_COMPILER_CompileONNX(uint32_t version, bool multiFlag, const void *onnx,
                                  uint32_t onnxBytes, uint32_t **model, uint32_t *modelWords)
{
    return runCompile("VRAX_COMPILER_CompileONNX", version, model, modelWords, [&] {
        if (!onnx || onnxBytes == 0)
            throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                               "no ONNX data was given (null pointer or 0 bytes)");
        return compileOnnx(multiFlag, onnx, onnxBytes);
    });
}

int32_t VRAX_COMPILER_CompileDarkNet(uint32_t version, bool multiFlag, const void *cfg,
                                     uint32_t cfgBytes, const void *weights, uint32_t weightsBytes,
                                     uint32_t **model, uint32_t *modelWords)
{
    return runCompile("VRAX_COMPILER_CompileDarkNet", version, model, modelWords, [&] {
        if (!cfg || cfgBytes == 0)
            throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                               "no DarkNet cfg was given (null pointer or 0 bytes)");
        if (!weights || weightsBytes == 0)
            throw CompileError(VRAX_COMPILER_RESULT_INVALID_PARAMETER,
                               "no DarkNet weights were given (null pointer or 0 bytes)");
        return compileDarknet(multiFlag, cfg, cfgBytes, weights, weightsBytes);
    });
}

int32_t VRAX_COMPILER_AddCalibration(uint32_t version, uint32_t boardType, const uint32_t *model,
                                     uint32_t modelWords, const float *const inputs[], uint32_t inputCount,
                                     uint32_t **calibrated, uint32_t *calibratedWords)
{
    return runCompile("VRAX_COMPILER_AddCalibration", version, calibrated, calibratedWords,
                      [&] { return addCalibration(boardType, model, modelWords, inputs, inputCount); });
}

int32_t VRAX_COMPILER_FreeModel(uint32_t, uint32_t *model)
{
    if (const std::int32_t injected = injections().enter("VRAX_COMPILER_FreeModel")) {
        lastError = "fault injected into VRAX_COMPILER_FreeModel for testing";
        return injected;
    }
    std::unique_ptr<std::uint32_t[]> released;
    {
        std::lock_guard<std::mutex> lock(issuedModels().mutex);
        const auto entry = issuedModels().models.find(model);
        if (entry == issuedModels().models.end()) {
            lastError = model ? "the model was not made by this compiler or was already freed"
                              : "the model pointer is null";
            return VRAX_COMPILER_RESULT_INVALID_PARAMETER;
        }
        released = std::move(entry->second);
        issuedModels().models.erase(entry);
    }
    return VRAX_COMPILER_RESULT_OK;
}

const char *VRAX_COMPILER_GetLastError(void)
{
    return lastError.c_str();
}

} // extern "C"
