// The board runtime's optional layer extension (vrax_profile.h), looked up
// in the runtime the program runs with: a runtime without it still works,
// and asking it for layers says so.
#pragma once

#include "accel/accelerator.h"

#include <vrax_profile.h>

#include <cstdint>
#include <string>
#include <vector>

// What every layer call of a runtime without the extension throws.
inline constexpr char noLayerProfileMessage[] = "This board's runtime gives no layer profile";

struct LayerDescription
{
    std::string name;
    std::string type;
    std::vector<std::vector<std::uint32_t>> inputs;  // shapes, network axis order
    std::vector<std::vector<std::uint32_t>> outputs;
    std::uint64_t parameters = 0;
    std::uint64_t multiplyAdds = 0;
};

struct LayerTimes
{
    std::vector<double> milliseconds; // one per layer
    std::uint32_t frames = 0;         // frames the means are over (0 for one unit's last frame)
    double frameMilliseconds = 0.0;   // the engine's time for a whole frame
};

class LayerExtension
{
public:
    // The extension of the runtime this program runs with, looked up once.
    static const LayerExtension &ofRuntime();

    bool available() const { return getLayerCount != nullptr; }

    // Each throws std::runtime_error(noLayerProfileMessage) when the
    // extension is not there, and RuntimeCallError when a call fails.
    std::vector<LayerDescription> layers(RuntimeHandle session) const;
    void enable(RuntimeHandle session, bool times, bool layerOutputs) const;
    LayerTimes meanTimes(RuntimeHandle session, std::size_t layerCount) const;
    LayerTimes lastFrameTimes(RuntimeHandle session, std::uint32_t unit, std::size_t layerCount) const;
    // The layer's output of the unit's last frame with its shape; false when
    // the runtime kept none for that layer (an int8 conversion layer).
    bool layerOutput(RuntimeHandle session, std::uint32_t unit, std::uint32_t layer, std::vector<float> &values,
                     std::vector<std::uint32_t> &shape) const;

private:
    LayerExtension();
    void require() const;

    VRAX_PROFILE_GetLayerCount_Function getLayerCount = nullptr;
    VRAX_PROFILE_GetLayerInfo_Function getLayerInfo = nullptr;
    VRAX_PROFILE_Enable_Function enableProfile = nullptr;
    VRAX_PROFILE_GetLayerTimes_Function getLayerTimes = nullptr;
    VRAX_PROFILE_GetUnitLayerTimes_Function getUnitLayerTimes = nullptr;
    VRAX_PROFILE_GetLayerOutput_Function getLayerOutput = nullptr;
};
