// Arbitrary bytes as a DarkNet cfg and weights pair for the model compiler:
// a mode byte, the cfg text up to the first NUL byte (a cfg never holds one),
// the weights after it. With bit 0 of the mode byte set, the weights are cut
// or padded to the length the cfg asks for, so that changed cfgs still reach
// the engine. The compiler either compiles the pair into a binary model that
// the runtime's reader accepts, or fails with a result code and an explanation.
#include "darknet_config.h"
#include "fuzz_compiled_model.h"
#include "model_container.h"

#include <vrax_compiler.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

// Weights longer than this are not made up: the layers asking for them would
// take the run past the fuzzer's memory limit.
constexpr std::uint64_t longestMendedWeights = std::uint64_t(1) << 22;
// Nor are inputs of more values compiled, unless they are more than a binary
// model allows (those the compiler refuses at once): the compiler runs the
// network once on such an input, and a legitimately large network would pass
// the fuzzer's memory limit without telling anything about the front end.
constexpr std::uint64_t largestInput = std::uint64_t(1) << 22;

void mendWeights(const DarknetConfig &config, std::vector<std::uint8_t> &weights)
{
    const std::size_t header = weights.size() >= 12
        ? darknetWeightsHeaderBytes(weights.data(), weights.size())
        : 20;
    const std::uint64_t needed = header + config.weightCount * 4;
    if (needed > longestMendedWeights)
        return;
    if (weights.size() < 12) // version 0.2: a 64-bit count of images seen
        weights.assign({0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0});
    // New weights are 0.25: a valid batch-norm variance, like most of what
    // the fuzzer has written.
    const std::size_t old = weights.size();
    weights.resize(static_cast<std::size_t>(needed), 0);
    for (std::size_t at = std::max<std::size_t>(old, header); at + 4 <= weights.size(); at += 4) {
        const float value = 0.25f;
        std::memcpy(weights.data() + at, &value, 4);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const char *cfg = reinterpret_cast<const char *>(data + 1);
    const std::uint8_t *end = data + size;
    const std::uint8_t *nul = static_cast<const std::uint8_t *>(std::memchr(cfg, 0, size - 1));
    const std::size_t cfgBytes = nul ? std::size_t(nul - data - 1) : size - 1;
    std::vector<std::uint8_t> weights(nul ? nul + 1 : end, end);
    try {
        const DarknetConfig config = parseDarknetConfig(cfg, cfgBytes);
        const std::uint64_t inputValues = std::uint64_t(config.width) * config.height * config.channels;
        if (inputValues > largestInput && inputValues <= ModelFormat::maxTensorElements)
            return 0;
        if (mode & 1)
            mendWeights(config, weights);
    } catch (const std::runtime_error &) {
        // the compiler refuses the cfg before looking at the weights
    }

    std::uint32_t *model = nullptr;
    std::uint32_t words = 0;
    const std::int32_t result = VRAX_COMPILER_CompileDarkNet(
        1, true, cfgBytes ? cfg : nullptr, std::uint32_t(cfgBytes),
        weights.empty() ? nullptr : weights.data(), std::uint32_t(weights.size()), &model, &words);
    checkCompiledModel(result, model, words, ModelSourceFormat::DarkNet);
    return 0;
}
