// How every exported runtime call runs: injected faults and delays first,
// then the work; failures become result codes with an explanation that
// VRAX_SIM_GetLastError gives.
#pragma once

#include "runtime_failure.h"
#include "runtime_injections.h"
#include "vrax.h"

#include <cstdint>
#include <new>
#include <string>

// The calling thread's explanation of its last failed call.
inline std::string &lastRuntimeError()
{
    thread_local std::string text = "no runtime call has failed on this thread";
    return text;
}

template <typename Work>
std::int32_t guarded(const char *function, Work work)
{
    try {
        if (const std::int32_t injected = runtimeInjections().enter(function)) {
            lastRuntimeError() = std::string("fault injected into ") + function + " for testing";
            return injected;
        }
        work();
        return VRAX_RESULT_OK;
    } catch (const RuntimeFailure &failure) {
        lastRuntimeError() = failure.what();
        return failure.code;
    } catch (const std::bad_alloc &) {
        lastRuntimeError() = std::string(function) + ": out of memory";
        return VRAX_RESULT_MEMORY_ALLOCATION_ERROR;
    } catch (const std::exception &error) {
        lastRuntimeError() = std::string(function) + ": " + error.what();
        return VRAX_RESULT_UNKNOWN_ERROR;
    } catch (...) {
        lastRuntimeError() = std::string(function) + ": unknown failure";
        return VRAX_RESULT_UNKNOWN_ERROR;
    }
}

// Throws VRAX_RESULT_INVALID_FUNC_PARAMETER with text unless condition holds.
inline void require(bool condition, const char *text)
{
    if (!condition)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER, text);
}
