// The one test double of the board runtime and the model compiler, linked
// instead of the real libraries: it records every call, answers from a
// script, and fails a chosen call.
#pragma once

#include <vrax.h>
#include <vrax_compiler.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct FakeRuntimeCall
{
    explicit FakeRuntimeCall(std::string function = {}, std::uint32_t handle = 0, std::uint32_t unit = 0,
                             std::uint32_t value = 0)
        : function(std::move(function)), handle(handle), unit(unit), value(value)
    {
    }

    std::string function;
    std::uint32_t handle = 0;
    std::uint32_t unit = 0;        // unit; board index for Initialize and Blink; version for AddCalibration
    std::uint32_t value = 0;       // frame tag (Process, GetOutput); board type (Initialize, Blink, FreeModel,
                                   // AddCalibration);
                                   // version (the compilers)
    std::uint32_t modelWords = 0;  // Initialize: length of the model in slot 0; AddCalibration: of the model
    std::vector<std::vector<float>> inputs; // AddCalibration: the first value of each input
    bool slotsAgree = false;       // Initialize: all four slots hold the same model
    bool multiFlag = false;        // the compilers
    std::string data;              // the compilers: the ONNX or cfg bytes
    std::string moreData;          // CompileDarkNet: the weights
    const std::uint32_t *model = nullptr; // FreeModel: the buffer handed back
};

struct FakeRuntime
{
    // What the fake answers.
    std::array<std::uint32_t, 8> boardCounts{}; // per board type
    std::uint32_t pollsWhileBusy = 2;    // status queries answering busy after each Process
    VRAX_ModelInfo modelInfo{};          // answered by VRAX_GetModelInfo
    std::vector<std::uint32_t> compiledModel = {0xC0DE0001u, 0xC0DE0002u, 0xC0DE0003u};
    const char *compilerError = "fake compiler"; // VRAX_COMPILER_GetLastError
    std::string failingFunction;         // this call fails...
    int failAfterCalls = 0;              // ...after this many successful calls of it...
    std::int32_t failureCode = VRAX_RESULT_BOARD_SYNC_ERROR; // ...with this code

    // Called with each call as it is made, on the caller's thread, after it
    // is recorded: a test may hold a call there (a compiler that takes its
    // time) or take time on a board.
    std::function<void(const FakeRuntimeCall &call)> onCall;

    // Makes `function` fail with `code` from its first call on.
    void fail(const std::string &function, std::int32_t code)
    {
        failingFunction = function;
        failAfterCalls = 0;
        failureCode = code;
    }

    // What happened.
    std::vector<FakeRuntimeCall> calls;
    std::vector<std::uint32_t> liveHandles;
    int destroyedUnknownHandles = 0;     // a destroy of a handle that is not live

    // Per (handle, unit): the tag of the frame last submitted and the polls
    // left before it is done. The tag is the first input value.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::pair<float, std::uint32_t>> units;
    std::uint32_t nextHandle = 100;

    std::vector<FakeRuntimeCall> callsOf(const std::string &function) const;
    // The most frames the boards held at once: submitted and not yet fetched.
    std::size_t mostFramesInFlight() const;
};

// The fake that the VRAX_* and VRAX_COMPILER_* functions of the test
// executable use; reset it in each test.
FakeRuntime &fakeRuntime();
void resetFakeRuntime();
