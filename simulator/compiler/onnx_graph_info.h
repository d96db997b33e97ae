// What the compiler needs from an ONNX file that OpenCV cannot tell: the
// graph's real inputs with their shapes, and its outputs in graph order.
#pragma once

#include "model_container.h"

#include <cstddef>
#include <string>
#include <vector>

struct OnnxNodeInfo
{
    std::string name;
    std::string opType;
    std::string firstOutput;
};

struct OnnxGraphInfo
{
    std::vector<ModelTensor> inputs;
    std::vector<std::string> outputs;
    std::vector<OnnxNodeInfo> nodes;
    // The model re-encoded when it had to be mended for the engine (outputs
    // declared without a shape, which the engine refuses); empty otherwise.
    std::string mendedModel;
};

// Reads the graph; throws CompileError (INVALID_MODEL for a file that is not
// an ONNX model or has dynamic or missing input dimensions, UNSUPPORTED_OPERATION
// for inputs the boards cannot take).
OnnxGraphInfo readOnnxGraph(const void *data, std::size_t size);

// The node that OpenCV calls layerName ("onnx_node!conv_3" and the like), as
// "node \"conv_3\" of type Conv", or the bare layer name when it is not found.
std::string describeOnnxLayer(const OnnxGraphInfo &graph, const std::string &layerName);
