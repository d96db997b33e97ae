#include "accel/layer_extension.h"

#include "accel/result_check.h"

#include <dlfcn.h>

#include <algorithm>
#include <stdexcept>

namespace {

// As large as a tensor of a binary model may be.
constexpr std::uint64_t largestLayerOutput = std::uint64_t(1) << 28;

// Where a function's code lies: the runtime library, or the program itself.
const void *objectOf(const void *function)
{
    Dl_info info{};
    return dladdr(function, &info) != 0 ? info.dli_fbase : nullptr;
}

// The extension counts only from the runtime that serves the board calls:
// a process may hold another library with the same names (a test's own
// runtime beside the simulator's library).
template <typename Function>
void lookUp(Function &function, const char *name)
{
    function = reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
    const void *runtime = objectOf(reinterpret_cast<const void *>(&VRAX_Process));
    if (function && objectOf(reinterpret_cast<const void *>(function)) != runtime)
        function = nullptr;
}

std::vector<std::uint32_t> shapeOf(const VRAX_LayerShape &shape)
{
    const std::uint32_t rank = std::min<std::uint32_t>(shape.rank, VRAX_PROFILE_MAX_RANK);
    return std::vector<std::uint32_t>(shape.dims, shape.dims + rank);
}

std::vector<std::vector<std::uint32_t>> shapesOf(const VRAX_LayerShape *shapes, std::uint32_t count)
{
    std::vector<std::vector<std::uint32_t>> result;
    for (std::uint32_t i = 0; i < count && i < VRAX_PROFILE_SHAPES; ++i)
        result.push_back(shapeOf(shapes[i]));
    return result;
}

// A text field of the record, which need not end in a NUL.
std::string textOf(const char *field, std::size_t size)
{
    std::size_t length = 0;
    while (length < size && field[length] != '\0')
        ++length;
    return std::string(field, length);
}

} // namespace

LayerExtension::LayerExtension()
{
    // All or nothing: a runtime with part of the extension has none.
    lookUp(getLayerCount, "VRAX_PROFILE_GetLayerCount");
    lookUp(getLayerInfo, "VRAX_PROFILE_GetLayerInfo");
    lookUp(enableProfile, "VRAX_PROFILE_Enable");
    lookUp(getLayerTimes, "VRAX_PROFILE_GetLayerTimes");
    lookUp(getUnitLayerTimes, "VRAX_PROFILE_GetUnitLayerTimes");
    lookUp(getLayerOutput, "VRAX_PROFILE_GetLayerOutput");
    if (!getLayerInfo || !enableProfile || !getLayerTimes || !getUnitLayerTimes || !getLayerOutput)
        getLayerCount = nullptr;
}

const LayerExtension &LayerExtension::ofRuntime()
{
    static const LayerExtension extension;
    return extension;
}

void LayerExtension::require() const
{
    if (!available())
        throw std::runtime_error(noLayerProfileMessage);
}

std::vector<LayerDescription> LayerExtension::layers(RuntimeHandle session) const
{
    require();
    std::uint32_t count = 0;
    checkRuntimeResult(getLayerCount(session, &count), "VRAX_PROFILE_GetLayerCount");
    std::vector<LayerDescription> layers;
    for (std::uint32_t layer = 0; layer < count; ++layer) {
        VRAX_LayerInfo info{};
        checkRuntimeResult(getLayerInfo(session, layer, &info), "VRAX_PROFILE_GetLayerInfo");
        layers.push_back(LayerDescription{textOf(info.name, sizeof info.name), textOf(info.type, sizeof info.type),
                                          shapesOf(info.inputs, info.input_count),
                                          shapesOf(info.outputs, info.output_count), info.parameters,
                                          info.multiply_adds});
    }
    return layers;
}

void LayerExtension::enable(RuntimeHandle session, bool times, bool layerOutputs) const
{
    require();
    const std::uint32_t what = (times ? std::uint32_t(VRAX_PROFILE_TIMES) : 0u)
                               | (layerOutputs ? std::uint32_t(VRAX_PROFILE_LAYER_OUTPUTS) : 0u);
    checkRuntimeResult(enableProfile(session, what), "VRAX_PROFILE_Enable");
}

LayerTimes LayerExtension::meanTimes(RuntimeHandle session, std::size_t layerCount) const
{
    require();
    LayerTimes times;
    times.milliseconds.assign(layerCount, 0.0);
    checkRuntimeResult(getLayerTimes(session, std::uint32_t(layerCount), times.milliseconds.data(), &times.frames,
                                     &times.frameMilliseconds),
                       "VRAX_PROFILE_GetLayerTimes");
    return times;
}

LayerTimes LayerExtension::lastFrameTimes(RuntimeHandle session, std::uint32_t unit, std::size_t layerCount) const
{
    require();
    LayerTimes times;
    times.milliseconds.assign(layerCount, 0.0);
    checkRuntimeResult(getUnitLayerTimes(session, unit, std::uint32_t(layerCount), times.milliseconds.data(),
                                         &times.frameMilliseconds),
                       "VRAX_PROFILE_GetUnitLayerTimes");
    return times;
}

bool LayerExtension::layerOutput(RuntimeHandle session, std::uint32_t unit, std::uint32_t layer,
                                 std::vector<float> &values, std::vector<std::uint32_t> &shape) const
{
    require();
    VRAX_LayerShape layerShape{};
    const std::int32_t asked = getLayerOutput(session, unit, layer, nullptr, 0, &layerShape);
    if (asked == VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR)
        return false;
    checkRuntimeResult(asked, "VRAX_PROFILE_GetLayerOutput");
    shape = shapeOf(layerShape);
    std::uint64_t count = 1;
    for (std::uint32_t dim : shape) {
        count *= dim;
        if (count > largestLayerOutput)
            throw std::runtime_error("The board's runtime claims a layer output of more than "
                                     + std::to_string(largestLayerOutput) + " values");
    }
    values.resize(count);
    checkRuntimeResult(getLayerOutput(session, unit, layer, values.data(), count, &layerShape),
                       "VRAX_PROFILE_GetLayerOutput");
    return true;
}
