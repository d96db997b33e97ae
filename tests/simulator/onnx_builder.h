// Builds small ONNX models in memory for the simulator tests.
#pragma once

#include <onnx/onnx_pb.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Dimension values for OnnxBuilder shapes: positive numbers are fixed sizes.
constexpr std::int64_t symbolicDim = -1; // a named dimension ("N")
constexpr std::int64_t unknownDim = -2;  // a dimension with neither value nor name

// Integer attributes of a node: one value makes an INT attribute (axis,
// transB), more make an INTS one (kernel_shape, pads, strides).
using IntAttributes = std::vector<std::pair<std::string, std::vector<std::int64_t>>>;

class OnnxBuilder
{
public:
    OnnxBuilder();

    // elementType: an onnx::TensorProto_DataType value; 1 is FLOAT.
    OnnxBuilder &input(const std::string &name, const std::vector<std::int64_t> &shape,
                       int elementType = 1);
    // A weight tensor with deterministic pseudo-random values in [-0.5, 0.5];
    // listed among the graph inputs too when alsoGraphInput is set (older
    // exporters did).
    OnnxBuilder &weights(const std::string &name, const std::vector<std::int64_t> &shape,
                         bool alsoGraphInput = false);
    OnnxBuilder &node(const std::string &opType, const std::vector<std::string> &inputs,
                      const std::vector<std::string> &outputs, const IntAttributes &attributes = {},
                      const std::string &name = std::string());
    OnnxBuilder &output(const std::string &name, const std::vector<std::int64_t> &shape);
    // An output declared by name only, without type or shape.
    OnnxBuilder &untypedOutput(const std::string &name);

    std::string serialize() const { return model.SerializeAsString(); }

private:
    onnx::ModelProto model;
    std::uint32_t seed = 12345;
};

// The serialised model with the last value of the named initializer removed:
// its data one value short of its shape.
std::string withOneValueMissing(const std::string &onnx, const std::string &initializer);

// The serialised model with the named initializer's values dropped and its
// data type set to the given number (also one this ONNX version lacks).
std::string withValuesOfType(const std::string &onnx, const std::string &initializer, int dataType);
