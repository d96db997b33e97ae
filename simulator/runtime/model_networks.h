// What the processing units of one session share about their model's
// networks: the model to build each unit's network from, the float
// network's layers, the layer profile, and for an int8 board the inputs it
// calibrates on, its quantised network's layers and whether the engine can
// run the network in int8 at all.
#pragma once

#include "board_precision.h"
#include "int8_network.h"
#include "layer_profile.h"
#include "layer_table.h"
#include "model_container.h"

#include <opencv2/dnn.hpp>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ModelNetworks
{
public:
    // Builds a first network and describes its layers; throws RuntimeFailure
    // when the model's network cannot be built or shaped.
    ModelNetworks(std::shared_ptr<const ModelContainer> model, std::uint32_t boardType);

    // A network of the model's own, for one unit; throws RuntimeFailure.
    cv::dnn::Net build() const;
    // The first network (checked by the session), handed out once.
    cv::dnn::Net takeFirst();

    const std::shared_ptr<const LayerTable> &floatTable() const { return floatLayers; }
    LayerProfile &profile() { return layerProfile; }
    const std::vector<std::string> &outputNames() const { return outputs; }

    // A unit's input when it runs in int8: without calibration inputs in
    // the model, the first one offered calibrates the board (said once on
    // standard error).
    void offerCalibrationInput(const cv::Mat &input);

    // Quantises a network of the model for a unit, one unit at a time.
    // False (the board then rounds as int8-io) when the engine cannot run the
    // network in int8; the reason is said once on standard error.
    bool quantise(bool capturing, Int8Network &result);
    // The int8 network's layers, once a unit has quantised it.
    std::shared_ptr<const LayerTable> int8Table() const;

private:
    cv::Mat calibrationBatch(bool firstOnly) const;
    // A network of the model to quantise: an ONNX one with the mend of
    // scale_keeping_readers.h. Called while quantising.
    cv::dnn::Net buildForInt8();
    // Describes the first quantised network's layers (called while quantising).
    void noteInt8Layers(cv::dnn::Net &net);
    void say(const std::string &text);

    std::shared_ptr<const ModelContainer> model;
    std::uint32_t boardType;
    std::vector<int> inputShape;
    std::vector<std::string> outputs;
    cv::dnn::Net first;
    std::shared_ptr<const LayerTable> floatLayers;
    LayerProfile layerProfile;

    mutable std::mutex mutex;
    std::vector<cv::Mat> calibration;
    bool batchRefused = false;
    std::shared_ptr<const LayerTable> int8Layers;
    std::string int8Failure; // why the engine cannot run the network in int8
    std::vector<std::string> said;
    std::mutex quantising; // one unit at a time: quantising takes the memory of a whole batch
    bool mendLookedFor = false; // the two below are used while quantising only
    std::string mendedOnnx;
};
