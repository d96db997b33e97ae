#include "scale_keeping_readers.h"

#include "engine_layers.h"

#include <onnx/onnx_pb.h>

#include <opencv2/dnn.hpp>
#include <opencv2/dnn/all_layers.hpp>

#include <algorithm>
#include <climits>
#include <map>
#include <set>

namespace {

// The ONNX operations the engine runs as layers that keep their input's
// scale in int8 (counting one too many only costs a pass-through).
bool keepsInputScale(const onnx::NodeProto &node)
{
    static const std::set<std::string> types = {
        "Concat",  "MaxPool", "Relu",      "Resize",    "Upsample", "Reshape", "Flatten", "Squeeze",
        "Unsqueeze", "Transpose", "Identity", "Dropout", "Pad",     "Clip",    "Max",     "ReduceMax",
        "ReduceMin", "DepthToSpace", "SpaceToDepth", "GlobalMaxPool"};
    return (node.domain().empty() || node.domain() == "ai.onnx") && types.count(node.op_type()) > 0;
}

// The same in the engine's layer types.
bool keepsInputScale(const cv::dnn::Layer &layer)
{
    static const std::set<std::string> types = {"Concat",  "Identity", "Blank",  "Dropout", "Flatten",
                                                "Padding", "Permute",  "Reshape", "ReLU6",  "Reorg",
                                                "ShuffleChannel", "Resize", "Silence"};
    if (types.count(layer.type) > 0)
        return true;
    if (const auto *pooling = dynamic_cast<const cv::dnn::PoolingLayer *>(&layer))
        return layer.type == "Pooling" && pooling->type == 0; // max pooling
    if (const auto *relu = dynamic_cast<const cv::dnn::ReLULayer *>(&layer))
        return relu->negativeSlope == 0.0f;
    return false;
}

} // namespace

std::string firstSharedScaleLayer(cv::dnn::Net &net)
{
    std::map<std::string, int> readers;
    std::vector<std::string> order;
    for (const cv::String &name : net.getLayerNames()) {
        const int id = net.getLayerId(name);
        if (!keepsInputScale(*net.getLayer(id)))
            continue;
        for (const cv::Ptr<cv::dnn::Layer> &input : net.getLayerInputs(id))
            if (readers[input->name]++ == 1)
                order.push_back(input->name);
    }
    return order.empty() ? std::string() : order.front();
}

std::string separateScaleKeepingReaders(const std::vector<std::uint8_t> &onnx)
{
    onnx::ModelProto model;
    if (onnx.size() > std::size_t(INT_MAX) || !model.ParseFromArray(onnx.data(), int(onnx.size())))
        return std::string();
    onnx::GraphProto &graph = *model.mutable_graph();

    // Readers that keep the scale, per tensor, in the order the graph runs
    // them; their data inputs only (a reshape's shape is a constant).
    std::set<std::string> constants;
    for (const onnx::TensorProto &initializer : graph.initializer())
        constants.insert(initializer.name());
    for (const onnx::NodeProto &node : graph.node())
        if (node.op_type() == "Constant")
            constants.insert(node.output().begin(), node.output().end());
    std::map<std::string, int> seen;
    std::vector<std::pair<int, int>> later; // (node, input) of every such reader but a tensor's first
    for (int n = 0; n < graph.node_size(); ++n) {
        const onnx::NodeProto &node = graph.node(n);
        if (!keepsInputScale(node))
            continue;
        const bool allData = node.op_type() == "Concat" || node.op_type() == "Max";
        for (int i = 0; i < (allData ? node.input_size() : std::min(node.input_size(), 1)); ++i) {
            if (node.input(i).empty() || constants.count(node.input(i)) > 0)
                continue;
            if (seen[node.input(i)]++ > 0)
                later.emplace_back(n, i);
        }
    }
    if (later.empty())
        return std::string();

    google::protobuf::RepeatedPtrField<onnx::NodeProto> nodes;
    std::size_t next = 0;
    for (int n = 0; n < graph.node_size(); ++n) {
        onnx::NodeProto node = graph.node(n);
        for (; next < later.size() && later[next].first == n; ++next) {
            const int input = later[next].second;
            const std::string name = "vrax-pass-through/" + std::to_string(n) + "/" + std::to_string(input);
            onnx::NodeProto *passThrough = nodes.Add();
            passThrough->set_op_type(passThroughLayerType());
            passThrough->set_name(name);
            passThrough->add_input(node.input(input));
            passThrough->add_output(name);
            node.set_input(input, name);
        }
        *nodes.Add() = node;
    }
    graph.mutable_node()->Swap(&nodes);
    return model.SerializeAsString();
}
