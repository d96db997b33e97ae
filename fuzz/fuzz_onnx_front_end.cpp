// Arbitrary bytes as an ONNX model for the model compiler: it either compiles
// them into a binary model that the runtime's reader accepts, or fails with a
// result code and an explanation.
#include "model_container.h"

#include <vrax_compiler.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::uint32_t *model = nullptr;
    std::uint32_t words = 0;
    const std::int32_t result =
        VRAX_COMPILER_CompileONNX(1, true, size ? data : nullptr, std::uint32_t(size), &model, &words);
    if (result != VRAX_COMPILER_RESULT_OK) {
        check(model == nullptr && words == 0);
        check(std::strlen(VRAX_COMPILER_GetLastError()) > 0);
        return 0;
    }
    check(model != nullptr && words > 0);
    try {
        const ModelContainer container = readModelContainer(model, words);
        check(container.sourceFormat == ModelSourceFormat::Onnx);
    } catch (const ModelFormatError &) {
        std::abort(); // the compiler wrote a model that the runtime refuses
    }
    check(VRAX_COMPILER_FreeModel(0, model) == VRAX_COMPILER_RESULT_OK);
    return 0;
}
