#include "model_networks.h"

#include "runtime_failure.h"
#include "scale_keeping_readers.h"
#include "vrax.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

cv::dnn::Net buildNet(const ModelContainer &model)
{
    try {
        cv::dnn::Net net;
        if (model.sourceFormat == ModelSourceFormat::Onnx)
            net = cv::dnn::readNetFromONNX(reinterpret_cast<const char *>(model.network.data()),
                                           model.network.size());
        else
            net = cv::dnn::readNetFromDarknet(reinterpret_cast<const char *>(model.network.data()),
                                              model.network.size(),
                                              reinterpret_cast<const char *>(model.weights.data()),
                                              model.weights.size());
        if (net.empty())
            throw RuntimeFailure(VRAX_RESULT_NN_LOADING_ERROR, "the model's network is empty");
        return net;
    } catch (const cv::Exception &error) {
        throw RuntimeFailure(VRAX_RESULT_NN_LOADING_ERROR,
                             std::string("the model's network cannot be built: ") + error.what());
    }
}

std::shared_ptr<const LayerTable> describeFloatLayers(cv::dnn::Net &net, const std::vector<int> &inputShape)
{
    try {
        return std::make_shared<const LayerTable>(describeLayers(net, inputShape));
    } catch (const cv::Exception &error) {
        throw RuntimeFailure(VRAX_RESULT_NN_CREATION_ERROR,
                             std::string("the model's network cannot run: ") + error.what());
    }
}

std::vector<std::string> outputNamesOf(const ModelContainer &model)
{
    std::vector<std::string> names;
    for (const ModelTensor &output : model.outputs)
        names.push_back(output.name);
    return names;
}

// The first line of an engine message, without its source location.
std::string shortReason(const std::exception &error)
{
    std::string text = error.what();
    const std::size_t errorAt = text.find(" error: ");
    if (errorAt != std::string::npos)
        text.erase(0, errorAt + 8);
    const std::size_t function = text.find(" in function ");
    if (function != std::string::npos)
        text.erase(function);
    const std::size_t line = text.find('\n');
    if (line != std::string::npos)
        text.erase(line);
    return text;
}

} // namespace

ModelNetworks::ModelNetworks(std::shared_ptr<const ModelContainer> container, std::uint32_t boardType)
    : model(std::move(container)), boardType(boardType),
      inputShape(model->inputs[0].shape.begin(), model->inputs[0].shape.end()), outputs(outputNamesOf(*model)),
      first(buildNet(*model)), floatLayers(describeFloatLayers(first, inputShape)), layerProfile(floatLayers)
{
    for (const std::vector<float> &values : model->calibration) {
        cv::Mat input(static_cast<int>(inputShape.size()), inputShape.data(), CV_32F);
        std::copy(values.begin(), values.end(), input.ptr<float>());
        calibration.push_back(input);
    }
}

cv::dnn::Net ModelNetworks::build() const
{
    return buildNet(*model);
}

cv::dnn::Net ModelNetworks::takeFirst()
{
    cv::dnn::Net net = first;
    first = cv::dnn::Net();
    return net.empty() ? build() : net;
}

cv::dnn::Net ModelNetworks::buildForInt8()
{
    if (!mendLookedFor && model->sourceFormat == ModelSourceFormat::Onnx)
        mendedOnnx = separateScaleKeepingReaders(model->network);
    mendLookedFor = true;
    if (mendedOnnx.empty())
        return build();
    try {
        return cv::dnn::readNetFromONNX(mendedOnnx.data(), mendedOnnx.size());
    } catch (const cv::Exception &) {
        mendedOnnx.clear(); // the engine's own quantisation, unmended
        return build();
    }
}

void ModelNetworks::say(const std::string &text)
{
    // Called with the mutex held; each text once per session.
    for (const std::string &done : said)
        if (done == text)
            return;
    said.push_back(text);
    std::fprintf(stderr, "vrax: board type %u: %s\n", boardType, text.c_str());
}

void ModelNetworks::offerCalibrationInput(const cv::Mat &input)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!calibration.empty())
        return;
    calibration.push_back(input.clone());
    say("the model holds no calibration inputs, so the int8 board calibrates on its first frame"
        " (vrax-compile --calibrate DIR stores pictures in the model)");
}

cv::Mat ModelNetworks::calibrationBatch(bool firstOnly) const
{
    // Called with the mutex held.
    if (calibration.size() == 1 || firstOnly || inputShape.empty() || inputShape[0] != 1)
        return calibration.front();
    std::vector<int> shape = inputShape;
    shape[0] = static_cast<int>(calibration.size());
    cv::Mat batch(static_cast<int>(shape.size()), shape.data(), CV_32F);
    const std::size_t each = calibration.front().total();
    for (std::size_t i = 0; i < calibration.size(); ++i)
        std::copy_n(calibration[i].ptr<float>(), each, batch.ptr<float>() + i * each);
    return batch;
}

bool ModelNetworks::quantise(bool capturing, Int8Network &result)
{
    std::lock_guard<std::mutex> oneAtATime(quantising);
    cv::Mat batch;
    cv::Mat firstInput;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!int8Failure.empty())
            return false;
        if (calibration.empty())
            throw std::logic_error("no input to calibrate int8 on"); // units offer their input first
        batch = calibrationBatch(batchRefused);
        firstInput = calibration.front();
    }
    Int8Network quantised;
    try {
        try {
            cv::dnn::Net floatNet = buildForInt8();
            const std::string shared = firstSharedScaleLayer(floatNet);
            if (!shared.empty()) {
                std::lock_guard<std::mutex> lock(mutex);
                say("the engine's int8 gives the output of layer \"" + shownLayerName(shared)
                    + "\" one scale for several layers that keep their input's scale: the values after"
                      " it are off by more than int8 costs (ONNX networks are mended, DarkNet ones cannot be)");
            }
            quantised = quantiseNetwork(floatNet, outputs, batch, capturing);
        } catch (const cv::Exception &error) {
            if (batch.total() == firstInput.total())
                throw;
            // Some networks take one input at a time only (a fixed reshape).
            {
                std::lock_guard<std::mutex> lock(mutex);
                batchRefused = true;
                say("the int8 board calibrates on the first of the model's calibration inputs only:"
                    " the network takes no batch of them (" + shortReason(error) + ")");
            }
            quantised = quantiseNetwork(buildForInt8(), outputs, firstInput, capturing);
        }
        // One run tells whether the engine can run it at all.
        quantised.net.setInput(firstInput);
        std::vector<cv::Mat> check;
        quantised.net.forward(check, quantised.outputNames);
        if (!capturing)
            noteInt8Layers(quantised.net);
    } catch (const std::exception &error) {
        std::lock_guard<std::mutex> lock(mutex);
        int8Failure = shortReason(error);
        say("the engine cannot run this network in int8 (" + int8Failure
            + "); the board rounds its input and outputs to int8 instead (int8-io)");
        return false;
    }
    result = std::move(quantised);
    return true;
}

void ModelNetworks::noteInt8Layers(cv::dnn::Net &net)
{
    if (int8Table())
        return; // another unit's network, the same layers
    const auto table = std::make_shared<const LayerTable>(describeLayers(net, inputShape, floatLayers.get()));
    std::lock_guard<std::mutex> lock(mutex);
    const bool anyInt8 = std::any_of(table->layers.begin(), table->layers.end(), [](const LayerRecord &layer) {
        return layer.type.size() > 4 && layer.type.compare(layer.type.size() - 4, 4, "Int8") == 0;
    });
    if (!anyInt8)
        say("the engine runs no layer of this network in int8: the int8 board computes in float");
    int8Layers = table;
}

std::shared_ptr<const LayerTable> ModelNetworks::int8Table() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return int8Layers;
}
