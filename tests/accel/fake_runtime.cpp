#include "fake_runtime.h"

#include <vrax_compiler.h>

#include <algorithm>

namespace {

FakeRuntime *current = new FakeRuntime;

// Counts the call and tells whether it is the one scripted to fail.
bool failsNow(const char *function)
{
    FakeRuntime &fake = *current;
    const int count = fake.callCounts[function]++;
    return fake.failingFunction == function && count >= fake.failAfterCalls;
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
    for (const FakeRuntimeCall &call : calls)
        if (call.function == function)
            result.push_back(call);
    return result;
}

extern "C" {

int32_t VRAX_GetLibVersion(uint32_t *major, uint32_t *minor, uint32_t *patch)
{
    *major = 6;
    *minor = 0;
    *patch = 0;
    return VRAX_RESULT_OK;
}

int32_t VRAX_GetBoardCount(uint32_t, uint32_t *count)
{
    *count = 0;
    return VRAX_RESULT_OK;
}

int32_t VRAX_Blink(uint32_t, uint32_t)
{
    return VRAX_RESULT_NO_BOARD;
}

int32_t VRAX_Create(VRAX_Handle *handle)
{
    current->calls.push_back({"VRAX_Create", 0, 0, 0});
    if (failsNow("VRAX_Create"))
        return current->failureCode;
    *handle = current->nextHandle++;
    current->liveHandles.push_back(*handle);
    current->calls.back().handle = *handle;
    return VRAX_RESULT_OK;
}

int32_t VRAX_Initialize(VRAX_Handle handle, uint32_t boardType, uint32_t boardIndex, uint32_t,
                        const uint32_t *const models[4], const uint32_t sizes[4])
{
    bool agree = true;
    for (int slot = 1; slot < 4; ++slot)
        agree = agree && models[slot] == models[0] && sizes[slot] == sizes[0];
    current->calls.push_back({"VRAX_Initialize", handle, boardIndex, boardType, sizes[0], agree});
    return failsNow("VRAX_Initialize") ? current->failureCode : VRAX_RESULT_OK;
}

int32_t VRAX_GetModelInfo(VRAX_Handle handle, uint32_t, VRAX_ModelInfo *info)
{
    current->calls.push_back({"VRAX_GetModelInfo", handle, 0, 0});
    if (failsNow("VRAX_GetModelInfo"))
        return current->failureCode;
    *info = current->modelInfo;
    return VRAX_RESULT_OK;
}

int32_t VRAX_Process(VRAX_Handle handle, uint32_t unit, const float *const inputs[1])
{
    const float tag = inputs[0][0];
    current->calls.push_back({"VRAX_Process", handle, unit, uint32_t(tag)});
    if (failsNow("VRAX_Process"))
        return current->failureCode;
    current->units[{handle, unit}] = {tag, current->pollsWhileBusy};
    return VRAX_RESULT_OK;
}

int32_t VRAX_GetStatus(VRAX_Handle handle, uint32_t unit, uint32_t *status)
{
    current->calls.push_back({"VRAX_GetStatus", handle, unit, 0});
    if (failsNow("VRAX_GetStatus"))
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
    current->calls.push_back({"VRAX_GetOutput", handle, unit, uint32_t(state.first)});
    if (failsNow("VRAX_GetOutput"))
        return current->failureCode;
    outputs[0][0] = state.first;
    *fps = 42.5;
    return VRAX_RESULT_OK;
}

int32_t VRAX_Destroy(VRAX_Handle handle)
{
    current->calls.push_back({"VRAX_Destroy", handle, 0, 0});
    auto &live = current->liveHandles;
    const auto found = std::find(live.begin(), live.end(), handle);
    if (found == live.end()) {
        ++current->destroyedUnknownHandles;
        return VRAX_RESULT_INVALID_FUNC_PARAMETER;
    }
    live.erase(found);
    return VRAX_RESULT_OK;
}

const char *VRAX_COMPILER_GetLastError(void)
{
    return "fake compiler";
}

} // extern "C"

extern "C" {

int32_t VRAX_COMPILER_CompileONNX(uint32_t, bool, const void *, uint32_t, uint32_t **, uint32_t *)
{
    return VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION;
}

int32_t VRAX_COMPILER_CompileDarkNet(uint32_t, bool, const void *, uint32_t, const void *, uint32_t, uint32_t **,
                                     uint32_t *)
{
    return VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION;
}

int32_t VRAX_COMPILER_FreeModel(uint32_t, uint32_t *)
{
    return VRAX_COMPILER_RESULT_OK;
}

} // extern "C"
