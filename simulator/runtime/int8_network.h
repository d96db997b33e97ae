// A network quantised to int8 with the engine's own int8 inference: weights
// per output channel, activations per tensor, scales calibrated on inputs.
//
// The engine's quantised network hands out an int8 layer's output as raw
// int8 values, whose scale it keeps to itself; but before a float layer that
// reads an int8 one it inserts a "dequantize/NAME/0" layer. So the simulator
// attaches a probe - a float layer of its own that does nothing - to every
// layer whose output it wants, before quantising: the network's outputs, and
// in a capturing network every layer. Their dequantised outputs are then the
// engine's own.
#pragma once

#include <opencv2/dnn.hpp>

#include <string>
#include <vector>

struct Int8Network
{
    cv::dnn::Net net;
    // What to ask the network for to get each model output as floats.
    std::vector<cv::String> outputNames;
};

// Quantises floatNet (a network of its own, changed on the way) on the
// calibration blob (a batch of inputs, N first), with probes on the outputs
// and, when capturing, on every layer. Throws cv::Exception when the engine
// cannot quantise or run the network, and std::runtime_error when an output
// cannot be read as floats.
Int8Network quantiseNetwork(cv::dnn::Net floatNet, const std::vector<std::string> &outputs,
                            const cv::Mat &calibration, bool capturing);

// What to ask a quantised network for to get layer name's output as floats:
// its dequantised output, the layer itself when it is a float layer, or empty
// when its output is int8 without a dequantised form.
cv::String floatOutputName(cv::dnn::Net &net, const std::string &name);
