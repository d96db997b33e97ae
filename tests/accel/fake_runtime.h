// A scripted board runtime for unit tests: records every call, answers from a
// script, and can fail a chosen call. Linked instead of the real runtime.
#pragma once

#include <vrax.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct FakeRuntimeCall
{
    std::string function;
    std::uint32_t handle = 0;
    std::uint32_t unit = 0;   // unit, or board index for VRAX_Initialize
    std::uint32_t value = 0;  // frame tag for Process/GetOutput, board type for Initialize
    std::uint32_t modelWords = 0;   // Initialize: length of the model in slot 0
    bool slotsAgree = false;        // Initialize: all four slots hold the same model
};

struct FakeRuntime
{
    // What the fake answers.
    std::uint32_t pollsWhileBusy = 2;    // status queries answering busy after each Process
    VRAX_ModelInfo modelInfo{};          // answered by VRAX_GetModelInfo
    std::string failingFunction;         // this call fails...
    int failAfterCalls = 0;              // ...after this many successful calls of it
    std::int32_t failureCode = VRAX_RESULT_BOARD_SYNC_ERROR;

    // What happened.
    std::vector<FakeRuntimeCall> calls;
    std::vector<std::uint32_t> liveHandles;
    int destroyedUnknownHandles = 0;     // a destroy of a handle that is not live
    std::map<std::string, int> callCounts;

    // Per (handle, unit): the tag of the frame last submitted and the polls
    // left before it is done. The tag is the first input value.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::pair<float, std::uint32_t>> units;
    std::uint32_t nextHandle = 100;

    std::vector<FakeRuntimeCall> callsOf(const std::string &function) const;
};

// The fake that the VRAX_* functions of the test executable use; reset it in
// each test.
FakeRuntime &fakeRuntime();
void resetFakeRuntime();
