// Board runtime of the simulator build: the VRAX C interface over sessions
// whose processing units run the networks with OpenCV DNN on the CPU.
#include "vrax.h"
#include "vrax_sim.h"

#include "board_inventory.h"
#include "board_profile.h"
#include "frame_cache.h"
#include "processing_unit.h"
#include "runtime_call.h"
#include "runtime_failure.h"
#include "runtime_injections.h"
#include "session_registry.h"

#include <new>
#include <string>


extern "C" {

int32_t VRAX_GetLibVersion(uint32_t *major, uint32_t *minor, uint32_t *patch)
{
    return guarded("VRAX_GetLibVersion", [&] {
        require(major && minor && patch, "a version pointer is null");
        *major = 1;
        *minor = 0;
        *patch = 0;
    });
}

int32_t VRAX_GetBoardCount(uint32_t boardType, uint32_t *count)
{
    return guarded("VRAX_GetBoardCount", [&] {
        require(count != nullptr, "the count pointer is null");
        require(boardType <= highestBoardType, "board types run from 0 to 7");
        *count = boardCount(boardType);
    });
}

int32_t VRAX_Blink(uint32_t boardType, uint32_t boardIndex)
{
    return guarded("VRAX_Blink", [&] {
        if (!boardExists(boardType, boardIndex))
            throw RuntimeFailure(VRAX_RESULT_NO_BOARD, "there is no board " + std::to_string(boardIndex)
                                                           + " of type " + std::to_string(boardType));
        recordBlink(boardType, boardIndex);
    });
}

int32_t VRAX_Create(VRAX_Handle *handle)
{
    return guarded("VRAX_Create", [&] {
        require(handle != nullptr, "the handle pointer is null");
        *handle = SessionRegistry::instance().create();
    });
}

int32_t VRAX_Initialize(VRAX_Handle handle, uint32_t boardType, uint32_t boardIndex, uint32_t,
                        const uint32_t *const models[VRAX_MODEL_SLOTS],
                        const uint32_t sizes[VRAX_MODEL_SLOTS])
{
    return guarded("VRAX_Initialize", [&] {
        SessionRegistry::instance().find(handle)->initialize(boardType, boardIndex, models, sizes);
    });
}

int32_t VRAX_GetModelInfo(VRAX_Handle handle, uint32_t slot, VRAX_ModelInfo *info)
{
    return guarded("VRAX_GetModelInfo", [&] {
        require(info != nullptr, "the model info pointer is null");
        *info = SessionRegistry::instance().find(handle)->modelInfo(slot);
    });
}

int32_t VRAX_Process(VRAX_Handle handle, uint32_t unit, const float *const inputs[1])
{
    return guarded("VRAX_Process", [&] {
        require(inputs && inputs[0], "the input pointer is null");
        SessionRegistry::instance().find(handle)->process(unit, inputs[0]);
    });
}

int32_t VRAX_GetStatus(VRAX_Handle handle, uint32_t unit, uint32_t *status)
{
    return guarded("VRAX_GetStatus", [&] {
        require(status != nullptr, "the status pointer is null");
        *status = SessionRegistry::instance().find(handle)->isBusy(unit) ? VRAX_STATUS_BUSY
                                                                         : VRAX_STATUS_IDLE;
    });
}

int32_t VRAX_GetOutput(VRAX_Handle handle, uint32_t unit, float *const outputs[],
                       double *framesPerSecond)
{
    return guarded("VRAX_GetOutput", [&] {
        require(outputs && framesPerSecond, "the output table or frame rate pointer is null");
        *framesPerSecond = SessionRegistry::instance().find(handle)->fetch(unit, outputs);
    });
}

int32_t VRAX_Destroy(VRAX_Handle handle)
{
    return guarded("VRAX_Destroy", [&] { SessionRegistry::instance().take(handle)->close(); });
}

int32_t VRAX_SIM_InjectFault(const char *function, int32_t code, uint32_t afterCalls)
{
    if (!function || !runtimeInjections().injectFault(function, code, afterCalls))
        return VRAX_RESULT_INVALID_FUNC_PARAMETER;
    return VRAX_RESULT_OK;
}

int32_t VRAX_SIM_InjectDelay(const char *target, uint32_t milliseconds)
{
    if (!target
        || !runtimeInjections().injectDelay(target, std::chrono::milliseconds(milliseconds)))
        return VRAX_RESULT_INVALID_FUNC_PARAMETER;
    return VRAX_RESULT_OK;
}

void VRAX_SIM_ClearInjections(void)
{
    runtimeInjections().clear();
    clearBoardProfiles();
}

int32_t VRAX_SIM_SetBoardTime(uint32_t boardType, uint32_t microseconds)
{
    return setBoardFrameTime(boardType, std::chrono::microseconds(microseconds))
               ? VRAX_RESULT_OK
               : VRAX_RESULT_INVALID_FUNC_PARAMETER;
}

int32_t VRAX_SIM_SetPrecision(uint32_t boardType, const char *precision)
{
    BoardPrecision parsed = BoardPrecision::Float;
    if (!precision || !parseBoardPrecision(precision, parsed) || !setBoardPrecision(boardType, parsed))
        return VRAX_RESULT_INVALID_FUNC_PARAMETER;
    return VRAX_RESULT_OK;
}

void VRAX_SIM_SetBoardCacheLimit(uint32_t kilobytes)
{
    setBoardCacheLimit(std::size_t(kilobytes) * 1024);
}

uint64_t VRAX_SIM_BoardCacheBytes(void)
{
    return boardFrameCache().bytes();
}

uint32_t VRAX_SIM_EngineFrameCount(void)
{
    return engineFrameCount();
}

uint32_t VRAX_SIM_CreatedCount(void)
{
    return SessionRegistry::instance().createdCount();
}

uint32_t VRAX_SIM_DestroyedCount(void)
{
    return SessionRegistry::instance().destroyedCount();
}

uint32_t VRAX_SIM_DestroyedTwiceCount(void)
{
    return SessionRegistry::instance().destroyedTwiceCount();
}

uint32_t VRAX_SIM_LiveSessionCount(void)
{
    return SessionRegistry::instance().liveCount();
}

uint32_t VRAX_SIM_BlinkCount(uint32_t boardType, uint32_t boardIndex)
{
    return blinkCount(boardType, boardIndex);
}

void VRAX_SIM_ResetCounters(void)
{
    SessionRegistry::instance().resetCounters();
    resetBlinkCounts();
    resetEngineFrameCount();
}

const char *VRAX_SIM_GetLastError(void)
{
    return lastRuntimeError().c_str();
}

} // extern "C"
