// A board's network layer by layer: the layers with what each costs, and
// the time each took per frame, gathered from the sessions the frames ran
// on. What vrax-run --profile writes and the window's Layers dock shows.
#pragma once

#include "accel/accelerator.h"
#include "accel/layer_extension.h"

#include <cstdint>
#include <vector>

struct NetworkProfile
{
    std::vector<LayerDescription> layers; // in the order the engine runs them
    std::vector<double> milliseconds;     // each layer's mean time per frame; zeros before a frame was timed
    std::uint32_t frames = 0;             // frames the engine timed, over every session
    double engineFrameMs = 0.0;           // the engine's mean time for a whole frame

    double layersTotalMs() const;
    std::uint64_t multiplyAdds() const;
    // The layer's share of the layers' total time, in percent; 0 before a frame was timed.
    double percent(std::size_t layer) const;
    // Multiply-adds done per second of the layer's time; 0 without a time.
    double multiplyAddsPerSecond(std::size_t layer) const;
    // The same for the whole network over the layers' total time.
    double networkMultiplyAddsPerSecond() const;
};

// Layer times on or off on every session from their next frame; the times
// gathered so far are cleared. Throws std::runtime_error(noLayerProfileMessage)
// when the runtime gives no layer profile, RuntimeCallError when it fails.
void enableLayerTimes(const std::vector<RuntimeHandle> &sessions, bool on);

// The layers of the first session's model, each layer's time averaged over
// the sessions (weighted by the frames each timed; a session whose model runs
// other layers, an int8 board not yet quantised, is left out). Throws as
// enableLayerTimes.
NetworkProfile readNetworkProfile(const std::vector<RuntimeHandle> &sessions);

// Index of the layers from the slowest; equal times keep the network's order.
std::vector<std::size_t> slowestLayers(const NetworkProfile &profile);
