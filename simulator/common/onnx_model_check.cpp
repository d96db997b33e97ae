#include "onnx_model_check.h"

#include <onnx/onnx_pb.h>

#include <climits>
#include <cstdint>
#include <unordered_set>

namespace {

// Shapes beyond this many values cannot be held by a model file of at most 2 GiB.
constexpr std::uint64_t largestCount = std::uint64_t(1) << 40;

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

// How the values of a tensor type are stored: bytes per value in raw_data,
// the entries of the type's own field, entries per value. False for types
// that hold no numbers (strings, undefined) and for types this ONNX version
// does not know.
struct StoredLayout
{
    std::uint64_t valueBytes = 0;
    std::uint64_t typedEntries = 0;
    std::uint64_t entriesPerValue = 1;
};

bool storedLayout(const onnx::TensorProto &tensor, StoredLayout &layout)
{
    switch (tensor.data_type()) {
    case onnx::TensorProto_DataType_FLOAT:
        layout = {4, std::uint64_t(tensor.float_data_size()), 1};
        return true;
    case onnx::TensorProto_DataType_COMPLEX64:
        layout = {8, std::uint64_t(tensor.float_data_size()), 2};
        return true;
    case onnx::TensorProto_DataType_UINT8:
    case onnx::TensorProto_DataType_INT8:
    case onnx::TensorProto_DataType_BOOL:
        layout = {1, std::uint64_t(tensor.int32_data_size()), 1};
        return true;
    case onnx::TensorProto_DataType_UINT16:
    case onnx::TensorProto_DataType_INT16:
    case onnx::TensorProto_DataType_FLOAT16:
    case onnx::TensorProto_DataType_BFLOAT16:
        layout = {2, std::uint64_t(tensor.int32_data_size()), 1};
        return true;
    case onnx::TensorProto_DataType_INT32:
        layout = {4, std::uint64_t(tensor.int32_data_size()), 1};
        return true;
    case onnx::TensorProto_DataType_INT64:
        layout = {8, std::uint64_t(tensor.int64_data_size()), 1};
        return true;
    case onnx::TensorProto_DataType_DOUBLE:
        layout = {8, std::uint64_t(tensor.double_data_size()), 1};
        return true;
    case onnx::TensorProto_DataType_COMPLEX128:
        layout = {16, std::uint64_t(tensor.double_data_size()), 2};
        return true;
    case onnx::TensorProto_DataType_UINT32:
        layout = {4, std::uint64_t(tensor.uint64_data_size()), 1};
        return true;
    case onnx::TensorProto_DataType_UINT64:
        layout = {8, std::uint64_t(tensor.uint64_data_size()), 1};
        return true;
    default:
        return false;
    }
}

std::string checkTensor(const onnx::TensorProto &tensor, const std::string &what)
{
    if (tensor.data_location() == onnx::TensorProto_DataLocation_EXTERNAL)
        return what + " keeps its data in another file, which a model read from memory cannot have";
    std::uint64_t count = 1;
    std::string shape;
    for (const std::int64_t dim : tensor.dims()) {
        if (dim < 0)
            return what + " has the negative dimension " + std::to_string(dim);
        // The engine keeps dimensions as int; a larger one turns negative
        // there, and it refuses the tensor only after allocating for it
        // (memory it then loses).
        if (dim > INT_MAX)
            return what + " has the dimension " + std::to_string(dim) + ", larger than the engine takes";
        shape += (shape.empty() ? "" : "x") + std::to_string(dim);
        if (dim > 0 && count > largestCount / std::uint64_t(dim))
            return what + " has a shape too large for any model file";
        count *= std::uint64_t(dim);
    }
    if (shape.empty())
        shape = "scalar";

    const bool knownType = onnx::TensorProto_DataType_IsValid(tensor.data_type());
    const std::string type = knownType ? onnx::TensorProto_DataType_Name(
                                             static_cast<onnx::TensorProto_DataType>(tensor.data_type()))
                                       : "data type " + std::to_string(tensor.data_type());
    StoredLayout layout;
    if (!storedLayout(tensor, layout)) {
        // The engine cannot compute with such a tensor; it may read it as an
        // empty matrix, and layers that divide by the size of their weights
        // then divide by zero.
        return what + " holds values of " + type + ", which are no numbers the engine can read";
    }
    const std::uint64_t rawBytes = tensor.raw_data().size();
    if (rawBytes > 0 && rawBytes != count * layout.valueBytes)
        return what + " holds " + std::to_string(rawBytes) + " bytes of data where its shape " + shape
               + " of " + type + " needs " + std::to_string(count * layout.valueBytes);
    if (layout.typedEntries > 0 && layout.typedEntries != count * layout.entriesPerValue)
        return what + " holds " + std::to_string(layout.typedEntries) + " values where its shape "
               + shape + " of " + type + " needs " + std::to_string(count * layout.entriesPerValue);
    if (rawBytes == 0 && layout.typedEntries == 0 && count > 0)
        return what + " holds no data for its shape " + shape + " of " + type;
    return std::string();
}

std::string nodeLabel(const onnx::NodeProto &node)
{
    const std::string name = node.name().empty() && node.output_size() > 0 ? node.output(0) : node.name();
    return "node " + quoted(name) + " of type " + node.op_type();
}

// The stored tensors of a graph and of the graphs inside its nodes.
std::string checkTensors(const onnx::GraphProto &graph)
{
    for (const onnx::TensorProto &initializer : graph.initializer()) {
        const std::string fault = checkTensor(initializer, "the initializer " + quoted(initializer.name()));
        if (!fault.empty())
            return fault;
    }
    for (const onnx::NodeProto &node : graph.node()) {
        for (const onnx::AttributeProto &attribute : node.attribute()) {
            const std::string what = "the tensor of attribute " + quoted(attribute.name()) + " of "
                                     + nodeLabel(node);
            std::string fault;
            if (attribute.has_t())
                fault = checkTensor(attribute.t(), what);
            for (int i = 0; fault.empty() && i < attribute.tensors_size(); ++i)
                fault = checkTensor(attribute.tensors(i), what);
            if (fault.empty() && attribute.has_g())
                fault = checkTensors(attribute.g());
            for (int i = 0; fault.empty() && i < attribute.graphs_size(); ++i)
                fault = checkTensors(attribute.graphs(i));
            if (!fault.empty())
                return fault;
        }
    }
    return std::string();
}

bool holdsNoValues(const onnx::TensorProto &tensor)
{
    for (const std::int64_t dim : tensor.dims())
        if (dim == 0)
            return true;
    return false;
}

// Layers that divide by the size of their weights (inputs from the second on).
bool takesWeights(const onnx::NodeProto &node)
{
    return node.op_type() == "Conv" || node.op_type() == "ConvTranspose" || node.op_type() == "Gemm";
}

// Every node input of the main graph comes from before the node (ONNX keeps
// nodes in the order they run; the engine builds them in that order too), and
// no weights are empty.
std::string checkNodeInputs(const onnx::GraphProto &graph)
{
    std::unordered_set<std::string> known;
    std::unordered_set<std::string> empty; // stored tensors without values
    for (const onnx::ValueInfoProto &input : graph.input())
        known.insert(input.name());
    for (const onnx::TensorProto &initializer : graph.initializer()) {
        known.insert(initializer.name());
        if (holdsNoValues(initializer))
            empty.insert(initializer.name());
    }
    for (const onnx::NodeProto &node : graph.node()) {
        for (int i = 0; i < node.input_size(); ++i) {
            const std::string &input = node.input(i);
            if (input.empty())
                continue; // an omitted optional input
            if (known.count(input) == 0)
                return nodeLabel(node) + " reads " + quoted(input)
                       + ", which no input, initializer or earlier node provides";
            if (i >= 1 && takesWeights(node) && empty.count(input) != 0)
                return nodeLabel(node) + " takes its weights from " + quoted(input)
                       + ", which holds no values";
        }
        for (const std::string &output : node.output())
            known.insert(output);
        if (node.op_type() == "Constant" && node.output_size() > 0) {
            for (const onnx::AttributeProto &attribute : node.attribute())
                if (attribute.has_t() && holdsNoValues(attribute.t()))
                    empty.insert(node.output(0));
        }
    }
    return std::string();
}

} // namespace

std::string findOnnxModelFault(const onnx::ModelProto &model)
{
    const std::string fault = checkTensors(model.graph());
    return fault.empty() ? checkNodeInputs(model.graph()) : fault;
}
