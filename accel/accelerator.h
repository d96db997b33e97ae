// The board runtime and model compiler as the application sees them: their C
// interfaces plus the names the application uses for their records.
#pragma once

#include "tensor/tensor_shapes.h"

#include <vrax.h>
#include <vrax_compiler.h>

#include <cstddef>
#include <cstdint>
#include <vector>

using RuntimeHandle = VRAX_Handle;
using ModelInfo = VRAX_ModelInfo;

// The record layout is shared with the runtime library: it must not drift.
static_assert(sizeof(VRAX_TensorDims) == 12, "VRAX_TensorDims is three 32-bit words");
static_assert(sizeof(ModelInfo) == 204, "ModelInfo is 204 bytes");
static_assert(offsetof(ModelInfo, single_slot) == 0, "ModelInfo layout");
static_assert(offsetof(ModelInfo, input_count) == 4, "ModelInfo layout");
static_assert(offsetof(ModelInfo, inputs) == 8, "ModelInfo layout");
static_assert(offsetof(ModelInfo, output_count) == 104, "ModelInfo layout");
static_assert(offsetof(ModelInfo, outputs) == 108, "ModelInfo layout");

// The model's shapes as the layers above the boards see them.
ModelDims modelDimsOf(const ModelInfo &info);
