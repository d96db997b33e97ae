// Arbitrary 32-bit words as a binary model: readModelContainer either gives a
// model within the format's limits or throws ModelFormatError. The first
// byte chooses extras: bit 0 mends the length word and the checksum, so that
// damaged models reach the checks behind them; bit 1 hands a model that reads
// to the board runtime (VRAX_Initialize on the simulator), which builds and
// runs its network.
#include "model_container.h"

#include <vrax.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Models whose tensors hold more values than this are not loaded: four units
// with such buffers would pass the fuzzer's memory limit without telling
// anything about the reader.
constexpr std::uint64_t largestLoadedTensor = std::uint64_t(1) << 20;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The same FNV-1a sum over whole words as the format.
std::uint32_t checksum(const std::vector<std::uint32_t> &words, std::size_t count)
{
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < count; ++i) {
        hash ^= words[i];
        hash *= 16777619u;
    }
    return hash;
}

void mend(std::vector<std::uint32_t> &words)
{
    if (words.size() < 4)
        return;
    words[2] = std::uint32_t(words.size());
    words.back() = checksum(words, words.size() - 1);
}

// What the reader promises about a model it accepts.
void checkModel(const ModelContainer &model)
{
    check(model.inputs.size() == 1);
    check(!model.outputs.empty() && model.outputs.size() <= ModelFormat::maxOutputs);
    for (const std::vector<ModelTensor> *tensors : {&model.inputs, &model.outputs}) {
        for (const ModelTensor &tensor : *tensors) {
            check(!tensor.shape.empty() && tensor.shape.size() <= ModelFormat::maxRank);
            check(shapeElementCount(tensor.shape) <= ModelFormat::maxTensorElements);
            check(tensor.name.size() <= ModelFormat::maxNameBytes);
        }
    }
    check(!model.network.empty());
    check(model.sourceFormat != ModelSourceFormat::Onnx || model.weights.empty());
    check(model.calibration.size() <= ModelFormat::maxCalibrationInputs);
    for (const std::vector<float> &input : model.calibration) {
        check(input.size() == shapeElementCount(model.inputs[0].shape));
        for (float value : input)
            check(std::isfinite(value));
    }
}

bool smallEnoughToLoad(const ModelContainer &model)
{
    for (const std::vector<ModelTensor> *tensors : {&model.inputs, &model.outputs})
        for (const ModelTensor &tensor : *tensors)
            if (shapeElementCount(tensor.shape) > largestLoadedTensor)
                return false;
    return true;
}

void load(const std::vector<std::uint32_t> &words)
{
    VRAX_Handle handle = 0;
    check(VRAX_Create(&handle) == VRAX_RESULT_OK);
    const std::uint32_t *const models[VRAX_MODEL_SLOTS] = {words.data(), nullptr, nullptr, nullptr};
    const std::uint32_t sizes[VRAX_MODEL_SLOTS] = {std::uint32_t(words.size()), 0, 0, 0};
    if (VRAX_Initialize(handle, VRAX_BOARD_SIMULATOR, 0, 0, models, sizes) == VRAX_RESULT_OK) {
        VRAX_ModelInfo info{};
        check(VRAX_GetModelInfo(handle, 0, &info) == VRAX_RESULT_OK);
        check(info.input_count == 1 && info.output_count >= 1
              && info.output_count <= VRAX_MAX_TENSORS);
    }
    check(VRAX_Destroy(handle) == VRAX_RESULT_OK);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    std::vector<std::uint32_t> words((size - 1) / 4);
    if (!words.empty())
        std::memcpy(words.data(), data + 1, words.size() * 4);
    if (flags & 1)
        mend(words);

    ModelContainer model;
    try {
        model = readModelContainer(words.data(), words.size());
    } catch (const ModelFormatError &) {
        return 0;
    }
    checkModel(model);
    // What reads must be written back word for word.
    check(writeModelContainer(model) == words);
    if ((flags & 2) && smallEnoughToLoad(model))
        load(words);
    return 0;
}
