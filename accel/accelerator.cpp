#include "accel/accelerator.h"

#include <algorithm>
#include <iterator>

namespace {

std::vector<TensorDims> dimsOf(const VRAX_TensorDims *first, std::uint32_t count, std::size_t capacity)
{
    // A count beyond the record's arrays would read past them: only what the
    // record holds is taken.
    const std::size_t n = std::min<std::size_t>(count, capacity);
    std::vector<TensorDims> dims;
    dims.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        dims.push_back(TensorDims{first[i].width, first[i].height, first[i].depth});
    return dims;
}

} // namespace

ModelDims modelDimsOf(const ModelInfo &info)
{
    ModelDims dims;
    dims.inputs = dimsOf(info.inputs, info.input_count, std::size(info.inputs));
    dims.outputs = dimsOf(info.outputs, info.output_count, std::size(info.outputs));
    return dims;
}
