// Builds small ONNX models in memory for the simulator tests.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace onnx {
class NodeProto;
class ModelProto;
} // namespace onnx

// Dimension values for OnnxBuilder shapes: positive numbers are fixed sizes.
constexpr std::int64_t symbolicDim = -1; // a named dimension ("N")
constexpr std::int64_t unknownDim = -2;  // a dimension with neither value nor name

class OnnxBuilder
{
public:
    OnnxBuilder();
    ~OnnxBuilder();
    OnnxBuilder(const OnnxBuilder &) = delete;
    OnnxBuilder &operator=(const OnnxBuilder &) = delete;

    // elementType: an onnx::TensorProto_DataType value; 1 is FLOAT.
    OnnxBuilder &input(const std::string &name, const std::vector<std::int64_t> &shape,
                       int elementType = 1);
    // A weight tensor with deterministic pseudo-random values; listed among
    // the graph inputs too when alsoGraphInput is set (older exporters did).
    OnnxBuilder &weights(const std::string &name, const std::vector<std::int64_t> &shape,
                         bool alsoGraphInput = false, float scale = 0.5f);
    OnnxBuilder &node(const std::string &opType, const std::vector<std::string> &inputs,
                      const std::vector<std::string> &outputs,
                      const std::function<void(onnx::NodeProto &)> &attributes = {},
                      const std::string &name = std::string());
    OnnxBuilder &output(const std::string &name, const std::vector<std::int64_t> &shape);
    // An output declared by name only, without type or shape.
    OnnxBuilder &untypedOutput(const std::string &name);

    std::string serialize() const;

private:
    onnx::ModelProto *model;
    std::uint32_t seed = 12345;
};

// The serialised model with the last value of the named initializer removed:
// its data one value short of its shape.
std::string withOneValueMissing(const std::string &onnx, const std::string &initializer);

// The serialised model with the named initializer's values dropped and its
// data type set to the given number (also one this ONNX version lacks).
std::string withValuesOfType(const std::string &onnx, const std::string &initializer, int dataType);

// Attribute setters for OnnxBuilder::node.
void setIntsAttribute(onnx::NodeProto &node, const std::string &name, std::initializer_list<std::int64_t> values);
void setIntAttribute(onnx::NodeProto &node, const std::string &name, std::int64_t value);
