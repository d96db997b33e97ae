// The layer times of one session: switched on through the layer extension,
// added up by the units after each frame the engine runs, read as means per
// frame. The layers they belong to are those of the network the units ran
// last (the float network's until an int8 frame has run).
#pragma once

#include "layer_table.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class LayerProfile
{
public:
    explicit LayerProfile(std::shared_ptr<const LayerTable> firstTable);

    // VRAX_PROFILE_* bits; clears the sums.
    void enable(std::uint32_t what);
    std::uint32_t enabled() const { return what.load(); }

    // A unit ran a frame on a network whose layers are table; times (one per
    // table layer, empty when times were off) and the engine's time for the
    // frame are added when they belong to the current table. A new table
    // becomes current and starts the sums anew.
    void frameRan(const std::shared_ptr<const LayerTable> &table, const std::vector<double> &milliseconds,
                  double frameMilliseconds);

    std::shared_ptr<const LayerTable> table() const;

    struct Means
    {
        std::vector<double> milliseconds;
        std::uint32_t frames = 0;
        double frameMilliseconds = 0.0;
    };
    Means means() const;

private:
    std::atomic<std::uint32_t> what{0};
    mutable std::mutex mutex;
    std::shared_ptr<const LayerTable> current;
    std::vector<double> sums;
    std::uint32_t frames = 0;
    double frameSum = 0.0;
};
