// The layers of a network as the layer extension reports them: in the order
// the engine runs them, with shapes for the model's input, parameters and
// multiply-adds.
#pragma once

#include <opencv2/dnn.hpp>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct LayerRecord
{
    std::string name;       // the engine's name
    std::string shownName;  // the model's own name (see shownLayerName)
    std::string type;
    std::vector<cv::dnn::MatShape> inputs;
    std::vector<cv::dnn::MatShape> outputs;
    std::uint64_t parameters = 0;
    std::uint64_t multiplyAdds = 0;
};

struct LayerTable
{
    std::vector<LayerRecord> layers;
    std::unordered_map<std::string, std::size_t> indexOfName; // by the engine's name

    // -1 when the table has no layer of that engine's name.
    long indexOf(const std::string &name) const;
};

// The engine names the layers of an ONNX node "onnx_node!NODE" (or after
// its first output, "onnx_node_output_0!OUTPUT", when it has no name): users
// know them by NODE and OUTPUT. A name that would then be taken twice in the
// table stays as the engine has it.
std::string shownLayerName(const std::string &engineName);

// The layers of net for an input of inputShape, the engine's own input layer
// and the simulator's probes left out. With costs given (the float
// network's table), a layer takes its parameters and multiply-adds from the
// layer of the same name there: an int8 network counts what its float
// original does. Throws what the engine throws.
LayerTable describeLayers(cv::dnn::Net &net, const std::vector<int> &inputShape, const LayerTable *costs = nullptr);

// For each of net's layer ids (0, the input, included), its place in table
// or -1: how the engine's per-layer timings map onto the table.
std::vector<long> tablePlaces(cv::dnn::Net &net, const LayerTable &table);
