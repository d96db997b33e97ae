// The networks one processing unit runs its frames on: the model's float
// network and, from its first int8 frame, the quantised one; each run with
// the layer times and layer outputs the session's profile asks for.
#pragma once

#include "board_precision.h"
#include "int8_network.h"
#include "layer_table.h"
#include "model_networks.h"

#include <opencv2/dnn.hpp>

#include <cstdint>
#include <memory>
#include <vector>

// What a unit keeps of the layers of its last frame.
struct FrameLayers
{
    std::shared_ptr<const LayerTable> timesTable; // null: no times kept
    std::vector<double> milliseconds;             // one per layer of timesTable
    double frameMilliseconds = 0.0;
    std::shared_ptr<const LayerTable> outputsTable; // null: no outputs kept
    std::vector<cv::Mat> outputs;                   // one per layer; empty when not kept
};

class UnitNetworks
{
public:
    UnitNetworks(cv::dnn::Net floatNet, std::shared_ptr<ModelNetworks> shared);

    // The precision the unit rounds its tensors to on a board of this
    // precision: an int8 board computes in int8 and rounds nothing, unless
    // the engine cannot run the network in int8 (then it rounds as int8-io).
    // Quantises the network on the board's first int8 frame.
    BoardPrecision roundingFor(BoardPrecision precision, bool capturing);

    // Runs the input through the network for the board's precision; results
    // get the model's outputs as floats in model order. profiling holds the
    // VRAX_PROFILE_* bits of the frame; layers gets what they ask for.
    void run(const cv::Mat &input, BoardPrecision precision, std::uint32_t profiling,
             std::vector<cv::Mat> &results, FrameLayers &layers);

private:
    // One network and how to read it.
    struct Variant
    {
        cv::dnn::Net net;
        std::vector<cv::String> outputNames;
        std::shared_ptr<const LayerTable> table;
        std::vector<long> places; // per layer id, its place in table or -1
        // For capturing: what to ask for beyond the outputs, and for which layer.
        std::vector<cv::String> captureNames;
        std::vector<std::size_t> captureLayers;
    };
    static void prepareCapture(Variant &variant);
    // Quantises the model for variant; false when the engine cannot.
    bool quantiseInto(Variant &variant, bool capturing);
    Variant *variantFor(BoardPrecision precision, bool capturing);

    std::shared_ptr<ModelNetworks> shared;
    Variant floatVariant;
    Variant int8Variant;
    Variant int8Capturing;
    bool int8Refused = false;
    std::shared_ptr<const LayerTable> reportedTable; // the layers of the last frame the profile heard of
    std::vector<cv::Mat> everything;
    std::vector<double> timings;
};
