// What the window keeps for the open description's network: output buffers of
// the model's sizes; the classifier's table window is one (in the window layer).
#pragma once

#include "description/nn_description.h"
#include "tensor/tensor_shapes.h"

#include <memory>
#include <vector>

// Refers to the window's description and model sizes; owns neither.
class NnResults
{
public:
    NnResults(const NnDescription &description, const ModelDims &modelDims);
    NnResults(const NnResults &) = delete;
    NnResults &operator=(const NnResults &) = delete;
    virtual ~NnResults();

    // Zero-filled buffers sized from the model's outputs. Throws when a size
    // is too large to allocate sensibly.
    OutputBuffers createOutputs() const;

protected:
    const NnDescription &description;
    const ModelDims &modelDims;
};
