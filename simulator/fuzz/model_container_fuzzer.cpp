// libFuzzer target: the binary model reader must refuse any word array it
// cannot read with ModelFormatError, and never crash or read out of bounds.
// What it accepts must write back to the same words.
#include "model_container.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::uint32_t> words(size / 4);
    if (!words.empty())
        std::memcpy(words.data(), data, words.size() * 4);
    try {
        const ModelContainer model = readModelContainer(words.data(), words.size());
        if (writeModelContainer(model) != words)
            std::abort();
    } catch (const ModelFormatError &) {
    }
    return 0;
}
