#include "results/nn_results.h"

#include <stdexcept>
#include <string>

namespace {

// Larger outputs than this (1 GiB of floats) are taken for a broken model
// rather than allocated.
constexpr std::uint64_t maxOutputValues = std::uint64_t(1) << 28;

} // namespace

NnResults::NnResults(const NnDescription &description, const ModelDims &modelDims)
    : description(description), modelDims(modelDims)
{
}

NnResults::~NnResults() = default;

OutputBuffers NnResults::createOutputs() const
{
    OutputBuffers outputs(modelDims.outputs.size());
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const TensorDims &dims = modelDims.outputs[i];
        const std::uint64_t count = elementCount(dims);
        if (count > maxOutputValues)
            throw std::runtime_error("Output " + std::to_string(i) + " of the model is too large: "
                                     + std::to_string(dims.width) + " x " + std::to_string(dims.height)
                                     + " x " + std::to_string(dims.depth) + " values");
        outputs[i].assign(std::size_t(count), 0.0f);
    }
    return outputs;
}
