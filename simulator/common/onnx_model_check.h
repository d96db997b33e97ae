// Checks of an ONNX model that the engine does not make before trusting it:
// it copies as many values as a stored tensor's shape says, whatever the
// tensor holds, and follows a node's input names without checking that
// anything provides them. A damaged or hostile file would make it read past
// the data or through a null pointer.
#pragma once

#include <string>

namespace onnx {
class ModelProto;
}

// Empty when the model's stored tensors (initializers and node attribute
// tensors) hold exactly the data their shapes and types call for, and every
// input of every node of the main graph is provided by the graph's inputs,
// its initializers or an earlier node; otherwise a sentence naming the first
// fault found.
std::string findOnnxModelFault(const onnx::ModelProto &model);
