// Arbitrary bytes as an ONNX model for the model compiler: it either compiles
// them into a binary model that the runtime's reader accepts, or fails with a
// result code and an explanation.
#include "fuzz_compiled_model.h"
#include "model_container.h"

#include <vrax_compiler.h>

#include <onnx/onnx_pb.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

// Models whose inputs hold more values than this, but not more than a binary
// model allows (those the compiler refuses at once), are not compiled: the
// compiler runs the network once on such an input, and a legitimately large
// network would pass the fuzzer's memory limit without telling anything about
// the front end.
constexpr std::uint64_t largestInput = std::uint64_t(1) << 22;

bool inputsWithinLimit(const std::uint8_t *data, std::size_t size)
{
    onnx::ModelProto model;
    if (size > std::size_t(INT_MAX) || !model.ParseFromArray(data, int(size)))
        return true; // the compiler refuses it before running anything
    for (const onnx::ValueInfoProto &input : model.graph().input()) {
        std::uint64_t values = 1;
        for (const onnx::TensorShapeProto_Dimension &dim : input.type().tensor_type().shape().dim()) {
            if (dim.dim_value() > 0)
                values *= std::min<std::uint64_t>(std::uint64_t(dim.dim_value()), ModelFormat::maxTensorElements + 1);
            if (values > ModelFormat::maxTensorElements)
                break; // refused before it is allocated
        }
        if (values > largestInput && values <= ModelFormat::maxTensorElements)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (!inputsWithinLimit(data, size))
        return 0;
    std::uint32_t *model = nullptr;
    std::uint32_t words = 0;
    const std::int32_t result =
        VRAX_COMPILER_CompileONNX(1, true, size ? data : nullptr, std::uint32_t(size), &model, &words);
    checkCompiledModel(result, model, words, ModelSourceFormat::Onnx);
    return 0;
}
