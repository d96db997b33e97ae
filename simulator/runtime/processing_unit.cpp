#include "processing_unit.h"

#include "frame_cache.h"
#include "runtime_failure.h"
#include "tensor_layout.h"
#include "vrax.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <pthread.h>

namespace {

std::atomic<std::uint64_t> lastCacheTag{0};
std::atomic<std::uint32_t> engineFrames{0};

} // namespace

UnitModel::UnitModel() : cacheTag(++lastCacheTag) {}

UnitModel::~UnitModel()
{
    boardFrameCache().forgetModel(cacheTag);
}

std::uint32_t engineFrameCount()
{
    return engineFrames.load();
}

void resetEngineFrameCount()
{
    engineFrames = 0;
}

ProcessingUnit::ProcessingUnit(cv::dnn::Net net, std::shared_ptr<const UnitModel> model,
                               std::shared_ptr<FrameRateMeter> meter, FrameDelay frameDelay)
    : networks(std::move(net), model->networks), model(std::move(model)), meter(std::move(meter)),
      frameDelay(std::move(frameDelay))
{
    const std::vector<int> shape(this->model->inputShape.begin(), this->model->inputShape.end());
    inputBlob.create(static_cast<int>(shape.size()), shape.data(), CV_32F);
    for (std::size_t values : this->model->outputValues)
        outputs.emplace_back(values, 0.0f);
    worker = std::thread(&ProcessingUnit::work, this);
}

ProcessingUnit::~ProcessingUnit()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
}

void ProcessingUnit::submit(const float *input)
{
    const BoardProfile boardNow = boardProfile(model->boardType);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (state == State::Busy)
            throw RuntimeFailure(VRAX_RESULT_INCOMPLETE,
                                 "the unit is still busy with its previous frame");
        // The input is copied here, as the call promises; its layout is the
        // board's own work, done on the unit. An int8 board's calibration
        // sees the engine's blob at once, as the frames are handed over.
        blobReady = boardNow.precision == BoardPrecision::Int8;
        if (blobReady) {
            boardInputToBlob(input, model->inputShape, model->planarInput, inputBlob.ptr<float>());
            model->networks->offerCalibrationInput(inputBlob);
        } else {
            handedOver.assign(input, input + model->inputValues);
        }
        profile = boardNow;
        profiling = model->networks->profile().enabled();
        frameStart = meter->frameStarted(FrameRateMeter::Clock::now());
        state = State::Busy;
        framePending = true;
    }
    wake.notify_one();
}

bool ProcessingUnit::isBusy()
{
    std::unique_lock<std::mutex> lock(mutex);
    if (state == State::Busy)
        finished.wait_for(lock, std::chrono::milliseconds(10), [this] { return state != State::Busy; });
    return state == State::Busy;
}

void ProcessingUnit::requireFinishedFrame() const
{
    switch (state) {
    case State::Busy:
        throw RuntimeFailure(VRAX_RESULT_INCOMPLETE, "the unit's frame is still running");
    case State::Empty:
        throw RuntimeFailure(VRAX_RESULT_NOT_INITIALIZED, "no frame has been processed on this unit");
    case State::Failed:
        throw RuntimeFailure(VRAX_RESULT_UNKNOWN_ERROR, "the frame failed: " + failure);
    case State::Done:
        break;
    }
}

void ProcessingUnit::fetch(float *const outputBuffers[])
{
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (!outputBuffers[i])
            throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                                 "output pointer " + std::to_string(i) + " is null");
    }
    std::lock_guard<std::mutex> lock(mutex);
    requireFinishedFrame();
    for (std::size_t i = 0; i < outputs.size(); ++i)
        std::memcpy(outputBuffers[i], outputs[i].data(), outputs[i].size() * sizeof(float));
}

void ProcessingUnit::requireKeptLayers(const std::shared_ptr<const LayerTable> &kept, const LayerTable &table,
                                       const char *what) const
{
    if (state == State::Busy)
        throw RuntimeFailure(VRAX_RESULT_INCOMPLETE, "the unit's frame is still running");
    if (!kept)
        throw RuntimeFailure(VRAX_RESULT_NOT_INITIALIZED, std::string("the unit has run no frame with ") + what + " on");
    if (kept.get() != &table)
        throw RuntimeFailure(VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR,
                             std::string("the layer list has changed since the unit's last frame with ") + what);
}

double ProcessingUnit::layerTimes(const LayerTable &table, double *milliseconds)
{
    std::lock_guard<std::mutex> lock(mutex);
    requireKeptLayers(frameLayers.timesTable, table, "layer times");
    std::copy(frameLayers.milliseconds.begin(), frameLayers.milliseconds.end(), milliseconds);
    return frameLayers.frameMilliseconds;
}

void ProcessingUnit::layerOutput(const LayerTable &table, std::uint32_t layer, float *values,
                                 std::uint64_t capacity, VRAX_LayerShape &shape)
{
    std::lock_guard<std::mutex> lock(mutex);
    requireKeptLayers(frameLayers.outputsTable, table, "layer outputs");
    const cv::Mat &output = frameLayers.outputs.at(layer);
    if (output.empty())
        throw RuntimeFailure(VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR,
                             "the output of layer \"" + table.layers[layer].name + "\" is not kept"
                                 " (an int8 layer without a float form)");
    shape = VRAX_LayerShape{};
    shape.rank = static_cast<std::uint32_t>(std::min(output.dims, int(VRAX_PROFILE_MAX_RANK)));
    for (std::uint32_t axis = 0; axis < shape.rank; ++axis)
        shape.dims[axis] = static_cast<std::uint32_t>(output.size[int(axis)]);
    if (!values)
        return;
    if (capacity < output.total())
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                             "the output of layer \"" + table.layers[layer].name + "\" has "
                                 + std::to_string(output.total()) + " values, more than the "
                                 + std::to_string(capacity) + " room was given for");
    cv::Mat floats;
    output.convertTo(floats, CV_32F);
    if (!floats.isContinuous())
        floats = floats.clone();
    std::copy_n(floats.ptr<float>(), floats.total(), values);
}

void ProcessingUnit::work()
{
    // The name lets the host tell the simulated board's work from its own
    // when it measures its CPU time.
    pthread_setname_np(pthread_self(), "vrax-unit");
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
        wake.wait(lock, [this] { return framePending || stopping; });
        if (!framePending)
            return;
        framePending = false;
        lock.unlock();
        runFrame();
        lock.lock();
        finished.notify_all();
    }
}

void ProcessingUnit::runFrame()
{
    std::string error;
    try {
        computeOutputs();
    } catch (const std::exception &exception) {
        error = exception.what();
        if (error.empty())
            error = "unknown engine failure";
    } catch (...) {
        error = "unknown engine failure";
    }
    if (profile.frameTime.count() > 0) {
        // The board's own time; a closing session does not wait it out.
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait_until(lock, frameStart.at + profile.frameTime, [this] { return stopping; });
    }
    const std::chrono::microseconds delay = frameDelay ? frameDelay() : std::chrono::microseconds(0);
    if (delay.count() > 0)
        std::this_thread::sleep_for(delay);
    meter->frameFinished(frameStart, FrameRateMeter::Clock::now());

    std::lock_guard<std::mutex> lock(mutex);
    failure = error;
    state = error.empty() ? State::Done : State::Failed;
}

BoardPrecision ProcessingUnit::prepareBlob(bool capturing)
{
    if (!blobReady)
        boardInputToBlob(handedOver.data(), model->inputShape, model->planarInput, inputBlob.ptr<float>());
    const BoardPrecision rounding = networks.roundingFor(profile.precision, capturing);
    quantise(inputBlob.ptr<float>(), inputBlob.total(), rounding);
    return rounding;
}

void ProcessingUnit::computeOutputs()
{
    // Layer outputs need the engine's run: no answer from memory then.
    const bool capturing = (profiling & VRAX_PROFILE_LAYER_OUTPUTS) != 0;
    if (profile.frameTime.count() == 0 || capturing) {
        runEngine(prepareBlob(capturing));
        return;
    }
    // An input seen before is found by its bytes as handed over (the blob
    // follows from them), so that an answer from memory needs no blob; an
    // int8 board's blob is made already and found by its rounded values.
    const BoardPrecision rounding = blobReady ? prepareBlob(false) : BoardPrecision::Float;
    const void *input = blobReady ? static_cast<const void *>(inputBlob.ptr<float>()) : handedOver.data();
    const std::size_t inputBytes = (blobReady ? inputBlob.total() : handedOver.size()) * sizeof(float);
    const FrameCache::Key key{model->cacheTag, static_cast<std::uint8_t>(profile.precision), input, inputBytes};
    if (const std::shared_ptr<const FrameCache::Outputs> cached = boardFrameCache().find(key)) {
        for (std::size_t i = 0; i < outputs.size(); ++i)
            std::copy((*cached)[i].begin(), (*cached)[i].end(), outputs[i].begin());
        return;
    }
    runEngine(blobReady ? rounding : prepareBlob(false));
    boardFrameCache().store(key, outputs, boardCacheLimit());
}

void ProcessingUnit::runEngine(BoardPrecision rounding)
{
    ++engineFrames;
    networks.run(inputBlob, profile.precision, profiling, results, frameLayers);
    if (results.size() != outputs.size())
        throw std::runtime_error("the network gave " + std::to_string(results.size())
                                 + " outputs instead of " + std::to_string(outputs.size()));
    for (std::size_t i = 0; i < results.size(); ++i) {
        const cv::Mat result = results[i].isContinuous() ? results[i] : results[i].clone();
        if (result.type() != CV_32F || result.total() != outputs[i].size())
            throw std::runtime_error("output " + std::to_string(i) + " has "
                                     + std::to_string(result.total())
                                     + " values instead of " + std::to_string(outputs[i].size()));
        blobToBoardOutput(result.ptr<float>(), model->outputShapes[i], outputs[i].data());
        quantise(outputs[i].data(), outputs[i].size(), rounding);
    }
}
