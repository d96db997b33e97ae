// What the compiler promises about any input, checked after each compile
// call of the front-end fuzzers: a failure leaves no model and a reason; a
// success gives a binary model that the runtime's reader accepts, of the
// source format compiled. Any broken promise aborts, so libFuzzer keeps the
// input.
#pragma once

#include "model_container.h"

#include <vrax_compiler.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

inline void fuzzCheck(bool condition)
{
    if (!condition)
        std::abort();
}

inline void checkCompiledModel(std::int32_t result, std::uint32_t *model, std::uint32_t words,
                               ModelSourceFormat sourceFormat)
{
    if (result != VRAX_COMPILER_RESULT_OK) {
        fuzzCheck(model == nullptr && words == 0);
        fuzzCheck(std::strlen(VRAX_COMPILER_GetLastError()) > 0);
        return;
    }
    fuzzCheck(model != nullptr && words > 0);
    try {
        const ModelContainer container = readModelContainer(model, words);
        fuzzCheck(container.sourceFormat == sourceFormat);
    } catch (const ModelFormatError &) {
        std::abort(); // the compiler wrote a model that the runtime refuses
    }
    fuzzCheck(VRAX_COMPILER_FreeModel(0, model) == VRAX_COMPILER_RESULT_OK);
}
