#include "onnx_graph_info.h"

#include "compile_error.h"
#include "onnx_model_check.h"
#include "vrax_compiler.h"

#include <onnx/onnx_pb.h>

#include <climits>
#include <set>

namespace {

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

ModelTensor readInput(const onnx::ValueInfoProto &value)
{
    const std::string label = "input " + quoted(value.name());
    if (!value.type().has_tensor_type())
        throw CompileError(VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION,
                           label + " is not a tensor; boards take one tensor of 32-bit floats");
    const onnx::TypeProto_Tensor &tensor = value.type().tensor_type();
    if (tensor.elem_type() != onnx::TensorProto_DataType_FLOAT)
        throw CompileError(VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION,
                           label + " has element type "
                               + onnx::TensorProto_DataType_Name(
                                   static_cast<onnx::TensorProto_DataType>(tensor.elem_type()))
                               + "; boards take 32-bit floats (FLOAT)");
    if (!tensor.has_shape() || tensor.shape().dim_size() == 0)
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL,
                           label + " has no shape; the compiler needs fixed input dimensions");

    ModelTensor input;
    input.name = value.name();
    const int rank = tensor.shape().dim_size();
    for (int axis = 0; axis < rank; ++axis) {
        const onnx::TensorShapeProto_Dimension &dim = tensor.shape().dim(axis);
        if (dim.has_dim_value() && dim.dim_value() > 0 && dim.dim_value() <= INT_MAX) {
            input.shape.push_back(static_cast<std::uint32_t>(dim.dim_value()));
            continue;
        }
        // An open batch axis is taken as a batch of one; any other open or
        // non-positive dimension leaves the input size unknown.
        const bool openDim = !dim.has_dim_value() || dim.dim_value() < 0;
        if (axis == 0 && rank >= 2 && openDim) {
            input.shape.push_back(1);
            continue;
        }
        std::string shown = dim.has_dim_param() ? quoted(dim.dim_param())
                            : dim.has_dim_value() ? std::to_string(dim.dim_value())
                                                  : std::string("unknown");
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL,
                           label + " has the dynamic dimension " + shown + " on axis "
                               + std::to_string(axis)
                               + "; only a batch axis may be open (it is taken as 1),"
                                 " every other dimension must be a fixed positive number");
    }
    return input;
}

} // namespace

OnnxGraphInfo readOnnxGraph(const void *data, std::size_t size)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL, "the ONNX model is larger than 2 GiB");
    onnx::ModelProto model;
    if (!model.ParseFromArray(data, static_cast<int>(size)))
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL,
                           "the data is not an ONNX model (truncated or corrupt protobuf, "
                               + std::to_string(size) + " bytes)");
    if (!model.has_graph())
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL, "the ONNX model has no graph");
    const std::string fault = findOnnxModelFault(model);
    if (!fault.empty())
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL, "the ONNX model is damaged: " + fault);
    const onnx::GraphProto &graph = model.graph();

    std::set<std::string> initializers;
    for (const onnx::TensorProto &initializer : graph.initializer())
        initializers.insert(initializer.name());

    OnnxGraphInfo info;
    std::vector<std::string> inputNames;
    for (const onnx::ValueInfoProto &value : graph.input()) {
        if (initializers.count(value.name()) == 0)
            inputNames.push_back(value.name());
    }
    if (inputNames.empty())
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL, "the ONNX graph has no input");
    if (inputNames.size() > 1) {
        std::string names;
        for (const std::string &name : inputNames)
            names += (names.empty() ? "" : ", ") + quoted(name);
        throw CompileError(VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION,
                           "the ONNX graph has " + std::to_string(inputNames.size()) + " inputs ("
                               + names + "); boards take exactly one input tensor");
    }
    for (const onnx::ValueInfoProto &value : graph.input()) {
        if (initializers.count(value.name()) == 0)
            info.inputs.push_back(readInput(value));
    }

    for (const onnx::ValueInfoProto &value : graph.output())
        info.outputs.push_back(value.name());
    if (info.outputs.empty())
        throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL, "the ONNX graph has no output");

    // Exporters may leave an output's shape open; the engine insists on one
    // being declared but works out the real shape itself, so an empty one will do.
    bool mended = false;
    for (onnx::ValueInfoProto &value : *model.mutable_graph()->mutable_output()) {
        onnx::TypeProto_Tensor *tensor = value.mutable_type()->mutable_tensor_type();
        if (!tensor->has_shape()) {
            tensor->mutable_shape();
            mended = true;
        }
        if (!tensor->has_elem_type()) {
            tensor->set_elem_type(onnx::TensorProto_DataType_FLOAT);
            mended = true;
        }
    }
    if (mended)
        info.mendedModel = model.SerializeAsString();

    for (const onnx::NodeProto &node : graph.node())
        info.nodes.push_back({node.name(), node.op_type(), node.output_size() > 0 ? node.output(0) : ""});
    return info;
}

std::string describeOnnxLayer(const OnnxGraphInfo &graph, const std::string &layerName)
{
    // OpenCV names a node's layer "<prefix>!<node name or first output>".
    const std::size_t bang = layerName.find('!');
    const std::string key = bang == std::string::npos ? layerName : layerName.substr(bang + 1);
    for (const OnnxNodeInfo &node : graph.nodes) {
        if (!key.empty() && (node.name == key || (node.name.empty() && node.firstOutput == key)))
            return "node " + quoted(node.name.empty() ? node.firstOutput : node.name) + " of type "
                   + node.opType;
    }
    for (const OnnxNodeInfo &node : graph.nodes) {
        if (!key.empty() && node.firstOutput == key)
            return "node " + quoted(node.name.empty() ? node.firstOutput : node.name) + " of type "
                   + node.opType;
    }
    return "layer " + quoted(layerName);
}
