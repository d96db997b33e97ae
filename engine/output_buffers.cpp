#include "engine/output_buffers.h"

#include <stdexcept>
#include <string>

void sizeOutputBuffers(OutputBuffers &buffers, const std::vector<TensorDims> &outputs)
{
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const TensorDims &dims = outputs[i];
        if (elementCount(dims) > maxOutputValues)
            throw std::runtime_error("Output " + std::to_string(i) + " of the model is too large: "
                                     + std::to_string(dims.width) + " x " + std::to_string(dims.height)
                                     + " x " + std::to_string(dims.depth) + " values");
    }
    buffers.resize(outputs.size());
    for (std::size_t i = 0; i < outputs.size(); ++i)
        buffers[i].resize(std::size_t(elementCount(outputs[i])));
}

OutputBuffers outputBuffersFor(const std::vector<TensorDims> &outputs)
{
    OutputBuffers buffers;
    sizeOutputBuffers(buffers, outputs);
    return buffers;
}
