// The runtime's layer extension (vrax_profile.h) over the sessions' layer
// tables, profiles and the units' last frames.
#include "vrax_profile.h"

#include "runtime_call.h"
#include "session_registry.h"

#include <algorithm>
#include <cstring>

namespace {

void copyText(const std::string &text, char *target, std::size_t size)
{
    const std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), length);
    std::memset(target + length, 0, size - length);
}

VRAX_LayerShape layerShape(const cv::dnn::MatShape &shape)
{
    VRAX_LayerShape result{};
    result.rank = static_cast<std::uint32_t>(std::min<std::size_t>(shape.size(), VRAX_PROFILE_MAX_RANK));
    for (std::uint32_t axis = 0; axis < result.rank; ++axis)
        result.dims[axis] = static_cast<std::uint32_t>(std::max(shape[axis], 0));
    return result;
}

} // namespace

extern "C" {

int32_t VRAX_PROFILE_GetLayerCount(VRAX_Handle handle, uint32_t *count)
{
    return guarded("VRAX_PROFILE_GetLayerCount", [&] {
        require(count != nullptr, "the count pointer is null");
        *count = static_cast<uint32_t>(SessionRegistry::instance().find(handle)->layers()->layers.size());
    });
}

int32_t VRAX_PROFILE_GetLayerInfo(VRAX_Handle handle, uint32_t layer, VRAX_LayerInfo *info)
{
    return guarded("VRAX_PROFILE_GetLayerInfo", [&] {
        require(info != nullptr, "the layer info pointer is null");
        const std::shared_ptr<const LayerTable> table = SessionRegistry::instance().find(handle)->layers();
        if (layer >= table->layers.size())
            throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                                 "layer " + std::to_string(layer) + " does not exist; the model has "
                                     + std::to_string(table->layers.size()));
        const LayerRecord &record = table->layers[layer];
        VRAX_LayerInfo result{};
        copyText(record.shownName, result.name, sizeof result.name);
        copyText(record.type, result.type, sizeof result.type);
        result.input_count = static_cast<uint32_t>(record.inputs.size());
        for (std::size_t i = 0; i < record.inputs.size() && i < VRAX_PROFILE_SHAPES; ++i)
            result.inputs[i] = layerShape(record.inputs[i]);
        result.output_count = static_cast<uint32_t>(record.outputs.size());
        for (std::size_t i = 0; i < record.outputs.size() && i < VRAX_PROFILE_SHAPES; ++i)
            result.outputs[i] = layerShape(record.outputs[i]);
        result.parameters = record.parameters;
        result.multiply_adds = record.multiplyAdds;
        *info = result;
    });
}

int32_t VRAX_PROFILE_Enable(VRAX_Handle handle, uint32_t what)
{
    return guarded("VRAX_PROFILE_Enable", [&] {
        require((what & ~uint32_t(VRAX_PROFILE_TIMES | VRAX_PROFILE_LAYER_OUTPUTS)) == 0,
                "unknown profiling bits (VRAX_PROFILE_TIMES, VRAX_PROFILE_LAYER_OUTPUTS)");
        SessionRegistry::instance().find(handle)->enableProfile(what);
    });
}

int32_t VRAX_PROFILE_GetLayerTimes(VRAX_Handle handle, uint32_t count, double *milliseconds, uint32_t *frames,
                                   double *frameMilliseconds)
{
    return guarded("VRAX_PROFILE_GetLayerTimes", [&] {
        require(milliseconds && frames && frameMilliseconds, "a result pointer is null");
        const LayerProfile::Means means = SessionRegistry::instance().find(handle)->layerTimes(count);
        std::copy(means.milliseconds.begin(), means.milliseconds.end(), milliseconds);
        *frames = means.frames;
        *frameMilliseconds = means.frameMilliseconds;
    });
}

int32_t VRAX_PROFILE_GetUnitLayerTimes(VRAX_Handle handle, uint32_t unit, uint32_t count, double *milliseconds,
                                       double *frameMilliseconds)
{
    return guarded("VRAX_PROFILE_GetUnitLayerTimes", [&] {
        require(milliseconds && frameMilliseconds, "a result pointer is null");
        *frameMilliseconds = SessionRegistry::instance().find(handle)->unitLayerTimes(unit, count, milliseconds);
    });
}

int32_t VRAX_PROFILE_GetLayerOutput(VRAX_Handle handle, uint32_t unit, uint32_t layer, float *values,
                                    uint64_t capacity, VRAX_LayerShape *shape)
{
    return guarded("VRAX_PROFILE_GetLayerOutput", [&] {
        require(shape != nullptr, "the shape pointer is null");
        SessionRegistry::instance().find(handle)->layerOutput(unit, layer, values, capacity, *shape);
    });
}

} // extern "C"
