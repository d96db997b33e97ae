// The compiler's use of the engine: builds a network, runs it once on a
// zero input to learn its output shapes, and explains the engine's failures.
#pragma once

#include "model_container.h"

#include <opencv2/dnn.hpp>

#include <string>
#include <vector>

// What went wrong inside the engine, picked out of its exception text.
struct EngineFailure
{
    bool unsupportedOperation = false;
    std::string layerName; // the engine's name of the failing layer, if it said
    std::string layerType; // the operation type of that layer, if it said
    std::string reason;    // the engine's own explanation, without its source locations
};

EngineFailure explainEngineFailure(const cv::Exception &error);

// Runs the network once; the outputs named, in that order, with their shapes.
std::vector<ModelTensor> probeOutputs(cv::dnn::Net &net, const ModelTensor &input,
                                      const std::vector<std::string> &outputNames);

// The layers that feed the detection layers of a DarkNet network, in order
// (the raw head convolutions); empty when it has no detection layers.
std::vector<std::string> darknetHeadLayerNames(cv::dnn::Net &net);

// The network's last layer.
std::string lastLayerName(cv::dnn::Net &net);
