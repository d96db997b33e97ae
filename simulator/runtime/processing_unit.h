// One processing unit of a board: its own network instance and its own
// worker thread, running one frame at a time while the caller goes on.
#pragma once

#include "board_profile.h"
#include "frame_rate_meter.h"
#include "model_networks.h"
#include "unit_networks.h"
#include "vrax_profile.h"

#include <opencv2/dnn.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the units of one session share: the model's tensors, the board type,
// the layout in which the caller hands over its input, and the networks.
struct UnitModel
{
    UnitModel();
    // Drops the outputs cached for this model.
    ~UnitModel();
    UnitModel(const UnitModel &) = delete;
    UnitModel &operator=(const UnitModel &) = delete;

    // Tells this model's cached outputs apart from other models' (never reused).
    const std::uint64_t cacheTag;
    std::uint32_t boardType = 0;
    std::vector<std::uint32_t> inputShape;
    bool planarInput = false;
    std::size_t inputValues = 0;
    std::vector<std::string> outputNames;
    std::vector<std::vector<std::uint32_t>> outputShapes;
    std::vector<std::size_t> outputValues;
    std::shared_ptr<ModelNetworks> networks;
};

// Frames the engine has run since the library was loaded (or the count was
// reset); frames answered from the cache do not count.
std::uint32_t engineFrameCount();
void resetEngineFrameCount();

class ProcessingUnit
{
public:
    using FrameDelay = std::function<std::chrono::microseconds()>;

    ProcessingUnit(cv::dnn::Net net, std::shared_ptr<const UnitModel> model,
                   std::shared_ptr<FrameRateMeter> meter, FrameDelay frameDelay);
    // Lets a running frame finish, then stops the worker.
    ~ProcessingUnit();

    ProcessingUnit(const ProcessingUnit &) = delete;
    ProcessingUnit &operator=(const ProcessingUnit &) = delete;

    // Copies the input and starts the frame; throws RuntimeFailure when the
    // unit is still busy with the previous one. On a board type with a frame
    // time the unit answers an input it has seen from the cache, and stays
    // busy until that time has passed since this call.
    void submit(const float *input);

    // True while a frame runs; when one does, waits up to 10 ms for
    // it to finish before answering.
    bool isBusy();

    // Copies the finished frame's outputs; throws RuntimeFailure when there
    // is no finished frame.
    void fetch(float *const outputs[]);

    // The layers of the last frame run with times or layer outputs on (see
    // vrax_profile.h); throw RuntimeFailure like fetch, and when the unit
    // kept no such thing. table is the session's layer list now.
    double layerTimes(const LayerTable &table, double *milliseconds);
    void layerOutput(const LayerTable &table, std::uint32_t layer, float *values, std::uint64_t capacity,
                     VRAX_LayerShape &shape);

private:
    enum class State { Empty, Busy, Done, Failed };

    void work();
    void runFrame();
    // Throw when the unit has no finished frame, or kept no layers of the
    // table; called with the mutex held.
    void requireFinishedFrame() const;
    void requireKeptLayers(const std::shared_ptr<const LayerTable> &kept, const LayerTable &table,
                           const char *what) const;
    // The network's outputs for the input, from the cache when it has them.
    void computeOutputs();
    // inputBlob from the input handed over, rounded to the frame's precision.
    BoardPrecision prepareBlob(bool capturing);
    void runEngine(BoardPrecision rounding);

    UnitNetworks networks;
    std::shared_ptr<const UnitModel> model;
    std::shared_ptr<FrameRateMeter> meter;
    FrameDelay frameDelay;

    std::mutex mutex;
    std::condition_variable wake;     // the worker waits here for a frame or the end
    std::condition_variable finished; // callers wait here for the frame to finish
    State state = State::Empty;
    bool framePending = false;
    bool stopping = false;
    FrameRateMeter::Start frameStart;
    BoardProfile profile;
    std::uint32_t profiling = 0; // VRAX_PROFILE_* bits of the frame

    // Written by submit while no frame runs, read by the worker while one does:
    // the input as handed over, and the engine's blob made from it (by submit
    // already when blobReady, else by the worker, only when the engine runs).
    std::vector<float> handedOver;
    bool blobReady = false;
    cv::Mat inputBlob;
    std::vector<std::vector<float>> outputs;
    // Used by the worker alone.
    std::vector<cv::Mat> results;
    std::string failure;
    // Written by the worker while a frame runs, read by callers while none does.
    FrameLayers frameLayers;

    std::thread worker; // last: starts once everything above exists
};
