#include "session.h"

#include "board_inventory.h"
#include "board_tensor_dims.h"
#include "engine_settings.h"
#include "layer_size_check.h"
#include "model_container.h"
#include "onnx_model_check.h"
#include "runtime_failure.h"
#include "runtime_injections.h"
#include "tensor_layout.h"

#include <onnx/onnx_pb.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// All slots must carry the same model; an empty slot (null, 0 words) stands
// for the same model too.
void checkSlots(const std::uint32_t *const models[VRAX_MODEL_SLOTS],
                const std::uint32_t sizes[VRAX_MODEL_SLOTS])
{
    if (!models || !sizes)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER, "the model or size table is null");
    if (!models[0] || sizes[0] == 0)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER, "model slot 0 is empty");
    for (int slot = 1; slot < VRAX_MODEL_SLOTS; ++slot) {
        if (!models[slot] && sizes[slot] == 0)
            continue;
        if (!models[slot])
            throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                                 "model slot " + std::to_string(slot) + " is null but has a size");
        if (sizes[slot] != sizes[0]
            || (models[slot] != models[0]
                && std::memcmp(models[slot], models[0], std::size_t(sizes[0]) * 4) != 0))
            throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                                 "model slot " + std::to_string(slot)
                                     + " differs from slot 0; the simulator runs one model on all units");
    }
}

// The engine trusts an ONNX network's stored tensors and node inputs, so a
// binary model carrying a damaged one is refused before it is built. Bytes
// that the checks cannot read are refused too: the engine's own reader is
// more lenient (strings that are no UTF-8, for one) and would build what
// nobody checked.
void checkOnnxNetwork(const std::vector<std::uint8_t> &network)
{
    onnx::ModelProto model;
    if (network.size() > std::size_t(INT_MAX) || !model.ParseFromArray(network.data(), int(network.size())))
        throw RuntimeFailure(VRAX_RESULT_NN_LOADING_ERROR,
                             "the model's network cannot be built: its bytes are no ONNX model"
                             " (truncated or corrupt protobuf)");
    const std::string fault = findOnnxModelFault(model);
    if (!fault.empty())
        throw RuntimeFailure(VRAX_RESULT_INVALID_MODEL, "the model's network is damaged: " + fault);
}

// Runs the network once on zeros and checks that it gives the outputs the
// binary model promises, so that a tampered model is refused here and not
// frame after frame.
void checkNetwork(cv::dnn::Net &net, const UnitModel &unitModel)
{
    std::vector<cv::Mat> results;
    try {
        const std::vector<int> shape(unitModel.inputShape.begin(), unitModel.inputShape.end());
        const std::string oversized = findOversizedLayer(net, shape);
        if (!oversized.empty())
            throw RuntimeFailure(VRAX_RESULT_NN_CREATION_ERROR, "the model's network cannot run: " + oversized);
        net.setInput(cv::Mat(static_cast<int>(shape.size()), shape.data(), CV_32F, cv::Scalar(0)));
        const std::vector<cv::String> names(unitModel.outputNames.begin(), unitModel.outputNames.end());
        net.forward(results, names);
    } catch (const cv::Exception &error) {
        throw RuntimeFailure(VRAX_RESULT_NN_CREATION_ERROR,
                             std::string("the model's network cannot run: ") + error.what());
    }
    for (std::size_t i = 0; i < unitModel.outputShapes.size(); ++i) {
        const std::vector<std::uint32_t> &expected = unitModel.outputShapes[i];
        const bool same = i < results.size() && results[i].type() == CV_32F
                          && results[i].dims == static_cast<int>(expected.size())
                          && std::equal(expected.begin(), expected.end(), results[i].size.p,
                                        [](std::uint32_t a, int b) { return int64_t(a) == b; });
        if (!same)
            throw RuntimeFailure(VRAX_RESULT_INVALID_MODEL,
                                 "output " + std::to_string(i) + " (\"" + unitModel.outputNames[i]
                                     + "\") of the network does not have the shape "
                                     + shapeText(expected) + " that the binary model states");
    }
}

void checkLayerCount(std::size_t layers, std::uint32_t count)
{
    if (count != layers)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                             "the model has " + std::to_string(layers) + " layers, not " + std::to_string(count));
}

VRAX_TensorDims toDims(const std::vector<std::uint32_t> &shape)
{
    const BoardTensorDims dims = boardTensorDims(shape);
    return VRAX_TensorDims{dims.width, dims.height, dims.depth};
}

} // namespace

void Session::initialize(std::uint32_t boardType, std::uint32_t boardIndex,
                         const std::uint32_t *const models[VRAX_MODEL_SLOTS],
                         const std::uint32_t sizes[VRAX_MODEL_SLOTS])
{
    if (!boardExists(boardType, boardIndex))
        throw RuntimeFailure(VRAX_RESULT_NO_BOARD,
                             "there is no board " + std::to_string(boardIndex) + " of type "
                                 + std::to_string(boardType));
    checkSlots(models, sizes);
    applyEngineSettings();

    auto container = std::make_shared<ModelContainer>();
    try {
        *container = readModelContainer(models[0], sizes[0]);
    } catch (const ModelFormatError &error) {
        throw RuntimeFailure(VRAX_RESULT_INVALID_MODEL, std::string("invalid binary model: ") + error.what());
    }
    const ModelContainer &model = *container;

    if (model.sourceFormat == ModelSourceFormat::Onnx)
        checkOnnxNetwork(model.network);

    auto unitModel = std::make_shared<UnitModel>();
    unitModel->boardType = boardType;
    unitModel->inputShape = model.inputs[0].shape;
    unitModel->planarInput = planarInputBoard(boardType);
    unitModel->inputValues = boardInputValueCount(unitModel->inputShape, unitModel->planarInput);
    for (const ModelTensor &output : model.outputs) {
        unitModel->outputNames.push_back(output.name);
        unitModel->outputShapes.push_back(output.shape);
        unitModel->outputValues.push_back(static_cast<std::size_t>(shapeElementCount(output.shape)));
    }

    VRAX_ModelInfo newInfo{};
    newInfo.single_slot = model.singleSlot ? 1 : 0;
    newInfo.input_count = static_cast<std::uint32_t>(model.inputs.size());
    for (std::size_t i = 0; i < model.inputs.size(); ++i)
        newInfo.inputs[i] = toDims(model.inputs[i].shape);
    newInfo.output_count = static_cast<std::uint32_t>(model.outputs.size());
    for (std::size_t i = 0; i < model.outputs.size(); ++i)
        newInfo.outputs[i] = toDims(model.outputs[i].shape);

    // Build the new units before touching the current ones: a failure leaves
    // the session as it was.
    const std::size_t unitCount = model.singleSlot ? 1 : VRAX_MODEL_SLOTS;
    auto newMeter = std::make_shared<FrameRateMeter>();
    unitModel->networks = std::make_shared<ModelNetworks>(container, boardType);
    std::vector<std::shared_ptr<ProcessingUnit>> newUnits;
    for (std::size_t i = 0; i < unitCount; ++i) {
        cv::dnn::Net net = i == 0 ? unitModel->networks->takeFirst() : unitModel->networks->build();
        if (i == 0)
            checkNetwork(net, *unitModel);
        newUnits.push_back(std::make_shared<ProcessingUnit>(std::move(net), unitModel, newMeter,
                                                            [] { return injectedFrameDelay(); }));
    }

    std::vector<std::shared_ptr<ProcessingUnit>> oldUnits;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (closed)
            throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER, "the handle has been destroyed");
        oldUnits.swap(units);
        units = std::move(newUnits);
        meter = newMeter;
        info = newInfo;
        networks = unitModel->networks;
        networks->profile().enable(profiling);
    }
    // oldUnits go here, each waiting for its running frame.
}

std::shared_ptr<ProcessingUnit> Session::unitAt(std::uint32_t unit)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (closed)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER, "the handle has been destroyed");
    if (units.empty())
        throw RuntimeFailure(VRAX_RESULT_NOT_INITIALIZED, "the session has no model (VRAX_Initialize)");
    if (unit >= units.size())
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                             "unit " + std::to_string(unit) + " does not exist; the session has "
                                 + std::to_string(units.size()));
    return units[unit];
}

VRAX_ModelInfo Session::modelInfo(std::uint32_t slot)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (closed)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER, "the handle has been destroyed");
    if (units.empty())
        throw RuntimeFailure(VRAX_RESULT_NOT_INITIALIZED, "the session has no model (VRAX_Initialize)");
    if (slot >= VRAX_MODEL_SLOTS)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                             "model slot " + std::to_string(slot) + " does not exist (0 to 3)");
    return info;
}

void Session::process(std::uint32_t unit, const float *input)
{
    unitAt(unit)->submit(input);
}

bool Session::isBusy(std::uint32_t unit)
{
    return unitAt(unit)->isBusy();
}

double Session::fetch(std::uint32_t unit, float *const outputs[])
{
    std::shared_ptr<ProcessingUnit> target = unitAt(unit);
    std::shared_ptr<FrameRateMeter> sessionMeter;
    {
        std::lock_guard<std::mutex> lock(mutex);
        sessionMeter = meter;
    }
    target->fetch(outputs);
    return sessionMeter->framesPerSecond();
}

std::shared_ptr<ModelNetworks> Session::modelNetworks()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (closed)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER, "the handle has been destroyed");
    if (units.empty())
        throw RuntimeFailure(VRAX_RESULT_NOT_INITIALIZED, "the session has no model (VRAX_Initialize)");
    return networks;
}

std::shared_ptr<const LayerTable> Session::layers()
{
    return modelNetworks()->profile().table();
}

void Session::enableProfile(std::uint32_t what)
{
    const std::shared_ptr<ModelNetworks> current = modelNetworks();
    std::lock_guard<std::mutex> lock(mutex);
    profiling = what;
    current->profile().enable(what);
}

LayerProfile::Means Session::layerTimes(std::uint32_t count)
{
    LayerProfile::Means means = modelNetworks()->profile().means();
    checkLayerCount(means.milliseconds.size(), count);
    return means;
}

double Session::unitLayerTimes(std::uint32_t unit, std::uint32_t count, double *milliseconds)
{
    const std::shared_ptr<ProcessingUnit> target = unitAt(unit);
    const std::shared_ptr<const LayerTable> table = layers();
    checkLayerCount(table->layers.size(), count);
    return target->layerTimes(*table, milliseconds);
}

void Session::layerOutput(std::uint32_t unit, std::uint32_t layer, float *values, std::uint64_t capacity,
                          VRAX_LayerShape &shape)
{
    const std::shared_ptr<ProcessingUnit> target = unitAt(unit);
    const std::shared_ptr<const LayerTable> table = layers();
    if (layer >= table->layers.size())
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                             "layer " + std::to_string(layer) + " does not exist; the model has "
                                 + std::to_string(table->layers.size()));
    target->layerOutput(*table, layer, values, capacity, shape);
}

void Session::close()
{
    std::vector<std::shared_ptr<ProcessingUnit>> oldUnits;
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
        oldUnits.swap(units);
    }
    // Each unit finishes its running frame before it goes.
}
