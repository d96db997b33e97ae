// One opened board: the model loaded on it and its processing units (four,
// or one for a single-slot model), each running frames on its own.
#pragma once

#include "frame_rate_meter.h"
#include "layer_profile.h"
#include "model_networks.h"
#include "processing_unit.h"
#include "vrax.h"
#include "vrax_profile.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class Session
{
public:
    Session() = default;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Every call throws RuntimeFailure for what it cannot do.
    void initialize(std::uint32_t boardType, std::uint32_t boardIndex,
                    const std::uint32_t *const models[VRAX_MODEL_SLOTS],
                    const std::uint32_t sizes[VRAX_MODEL_SLOTS]);
    VRAX_ModelInfo modelInfo(std::uint32_t slot);
    void process(std::uint32_t unit, const float *input);
    bool isBusy(std::uint32_t unit);
    double fetch(std::uint32_t unit, float *const outputs[]);

    // The layer extension (vrax_profile.h). The layer list is the one the
    // units ran their last frame on; profiling carries over to a new model.
    std::shared_ptr<const LayerTable> layers();
    void enableProfile(std::uint32_t what);
    // Throw RuntimeFailure unless count is the layer count.
    LayerProfile::Means layerTimes(std::uint32_t count);
    double unitLayerTimes(std::uint32_t unit, std::uint32_t count, double *milliseconds);
    void layerOutput(std::uint32_t unit, std::uint32_t layer, float *values, std::uint64_t capacity,
                     VRAX_LayerShape &shape);

    // Waits for the running frames and frees the units; later calls fail.
    void close();

private:
    std::shared_ptr<ProcessingUnit> unitAt(std::uint32_t unit);
    std::shared_ptr<ModelNetworks> modelNetworks();

    std::mutex mutex;
    bool closed = false;
    VRAX_ModelInfo info{};
    std::shared_ptr<FrameRateMeter> meter;
    std::vector<std::shared_ptr<ProcessingUnit>> units;
    std::shared_ptr<ModelNetworks> networks;
    std::uint32_t profiling = 0;
};

