#include "fake_runtime.h"

#include <algorithm>

namespace {

FakeRuntime *current = new FakeRuntime;

// Records the call and tells whether it is the one scripted to fail.
bool failsNow(FakeRuntimeCall call)
{
    FakeRuntime &fake = *current;
    const std::size_t before = fake.callsOf(call.function).size();
    fake.calls.push_back(std::move(call));
    const bool fails = fake.failingFunction == fake.calls.back().function && before >= std::size_t(fake.failAfterCalls);
    if (fake.onCall)
        fake.onCall(fake.calls.back());
    return fails;
}

std::int32_t compile(FakeRuntimeCall call, uint32_t **model, uint32_t *modelWords)
{
    if (failsNow(std::move(call)))
        return current->failureCode;
    *model = current->compiledModel.data();
    *modelWords = std::uint32_t(current->compiledModel.size());
    return VRAX_COMPILER_RESULT_OK;
}

} // namespace

FakeRuntime &fakeRuntime()
{
    return *current;
}

void resetFakeRuntime()
{
    delete current;
    current = new FakeRuntime;
}

std::vector<FakeRuntimeCall> FakeRuntime::callsOf(const std::string &function) const
{
    std::vector<FakeRuntimeCall> result;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(result),
                 [&function](const FakeRuntimeCall &call) { return call.function == function; });
    return result;
}

std::size_t FakeRuntime::mostFramesInFlight() const
{
    std::size_t inFlight = 0;
    std::size_t most = 0;
    for (const FakeRuntimeCall &call : calls) {
        if (call.function == "VRAX_Process")
            most = std::max(most, ++inFlight);
        else if (call.function == "VRAX_GetOutput")
            --inFlight;
    }
    return most;
}

extern "C" {

int32_t VRAX_GetBoardCount(uint32_t boardType, uint32_t *count)
{
    if (failsNow(FakeRuntimeCall("VRAX_GetBoardCount")))
        return current->failureCode;
    if (boardType >= current->boardCounts.size())
        return VRAX_RESULT_NO_BOARD;
    *count = current->boardCounts[boardType];
    return VRAX_RESULT_OK;
}

int32_t VRAX_Blink(uint32_t boardType, uint32_t boardIndex)
{
    return failsNow(FakeRuntimeCall("VRAX_Blink", 0, boardIndex, boardType)) ? current->failureCode : VRAX_RESULT_OK;
}

int32_t VRAX_Create(VRAX_Handle *handle)
{
    if (failsNow(FakeRuntimeCall("VRAX_Create")))
        return current->failureCode;
    *handle = current->nextHandle++;
    current->liveHandles.push_back(*handle);
    current->calls.back().handle = *handle;
    return VRAX_RESULT_OK;
}

int32_t VRAX_Initialize(VRAX_Handle handle, uint32_t boardType, uint32_t boardIndex, uint32_t,
                        const uint32_t *const models[4], const uint32_t sizes[4])
{
    FakeRuntimeCall call("VRAX_Initialize", handle, boardIndex, boardType);
    call.modelWords = sizes[0];
    call.slotsAgree = true;
    for (int slot = 1; slot < 4; ++slot)
        call.slotsAgree = call.slotsAgree && models[slot] == models[0] && sizes[slot] == sizes[0];
    return failsNow(call) ? current->failureCode : VRAX_RESULT_OK;
}

int32_t VRAX_GetModelInfo(VRAX_Handle handle, uint32_t, VRAX_ModelInfo *info)
{
    if (failsNow(FakeRuntimeCall("VRAX_GetModelInfo", handle)))
        return current->failureCode;
    *info = current->modelInfo;
    return VRAX_RESULT_OK;
}

int32_t VRAX_Process(VRAX_Handle handle, uint32_t unit, const float *const inputs[1])
{
    const float tag = inputs[0][0];
    if (failsNow(FakeRuntimeCall("VRAX_Process", handle, unit, uint32_t(tag))))
        return current->failureCode;
    current->units[{handle, unit}] = {tag, current->pollsWhileBusy};
    return VRAX_RESULT_OK;
}

int32_t VRAX_GetStatus(VRAX_Handle handle, uint32_t unit, uint32_t *status)
{
    if (failsNow(FakeRuntimeCall("VRAX_GetStatus", handle, unit)))
        return current->failureCode;
    auto &state = current->units[{handle, unit}];
    *status = state.second > 0 ? VRAX_STATUS_BUSY : VRAX_STATUS_IDLE;
    if (state.second > 0)
        --state.second;
    return VRAX_RESULT_OK;
}

int32_t VRAX_GetOutput(VRAX_Handle handle, uint32_t unit, float *const outputs[], double *fps)
{
    const auto &state = current->units[{handle, unit}];
    if (failsNow(FakeRuntimeCall("VRAX_GetOutput", handle, unit, uint32_t(state.first))))
        return current->failureCode;
    outputs[0][0] = state.first;
    *fps = 42.5;
    return VRAX_RESULT_OK;
}

int32_t VRAX_Destroy(VRAX_Handle handle)
{
    failsNow(FakeRuntimeCall("VRAX_Destroy", handle));
    auto &live = current->liveHandles;
    const auto found = std::find(live.begin(), live.end(), handle);
    if (found == live.end()) {
        ++current->destroyedUnknownHandles;
        return VRAX_RESULT_INVALID_FUNC_PARAMETER;
    }
    live.erase(found);
    return VRAX_RESULT_OK;
}

int32_t VRAX_COMPILER_CompileONNX(uint32_t version, bool multiFlag, const void *onnx, uint32_t onnxBytes,
                                  uint32_t **model, uint32_t *modelWords)
{
    FakeRuntimeCall call("VRAX_COMPILER_CompileONNX", 0, 0, version);
    call.multiFlag = multiFlag;
    call.data.assign(static_cast<const char *>(onnx), onnxBytes);
    return compile(std::move(call), model, modelWords);
}

int32_t VRAX_COMPILER_CompileDarkNet(uint32_t version, bool multiFlag, const void *cfg, uint32_t cfgBytes,
                                     const void *weights, uint32_t weightsBytes, uint32_t **model,
                                     uint32_t *modelWords)
{
    FakeRuntimeCall call("VRAX_COMPILER_CompileDarkNet", 0, 0, version);
    call.multiFlag = multiFlag;
    call.data.assign(static_cast<const char *>(cfg), cfgBytes);
    call.moreData.assign(static_cast<const char *>(weights), weightsBytes);
    return compile(std::move(call), model, modelWords);
}

int32_t VRAX_COMPILER_AddCalibration(uint32_t version, uint32_t boardType, const uint32_t *, uint32_t modelWords,
                                     const float *const inputs[], uint32_t inputCount, uint32_t **calibrated,
                                     uint32_t *calibratedWords)
{
    FakeRuntimeCall call("VRAX_COMPILER_AddCalibration", 0, version, boardType);
    call.modelWords = modelWords;
    for (uint32_t i = 0; i < inputCount; ++i)
        call.inputs.push_back({inputs[i][0]});
    return compile(std::move(call), calibrated, calibratedWords);
}

int32_t VRAX_COMPILER_FreeModel(uint32_t boardType, uint32_t *model)
{
    FakeRuntimeCall call("VRAX_COMPILER_FreeModel", 0, 0, boardType);
    call.model = model;
    failsNow(std::move(call));
    return VRAX_COMPILER_RESULT_OK;
}

const char *VRAX_COMPILER_GetLastError(void)
{
    return current->compilerError;
}

} // extern "C"
