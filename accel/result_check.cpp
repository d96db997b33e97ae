#include "accel/result_check.h"

#include "accel/accelerator.h"

#include <array>
#include <stdexcept>

namespace {

// Built on the first failing check only; function-local statics are
// initialised once even when the GUI thread and the worker race to them.
const std::array<const char *, 22> &runtimeNames()
{
    static const std::array<const char *, 22> names = {
        "VRAX_RESULT_OK",
        "VRAX_RESULT_INVALID_FUNC_PARAMETER",
        "VRAX_RESULT_NO_LOAD_LIBRARY",
        "VRAX_RESULT_NO_BOARD",
        "VRAX_RESULT_BOARD_RESET_ERROR",
        "VRAX_RESULT_INIT_CODE_LOADING_ERROR",
        "VRAX_RESULT_CORE_HANDLE_RETRIEVAL_ERROR",
        "VRAX_RESULT_FILE_LOADING_ERROR",
        "VRAX_RESULT_MEMORY_WRITE_ERROR",
        "VRAX_RESULT_MEMORY_READ_ERROR",
        "VRAX_RESULT_MEMORY_ALLOCATION_ERROR",
        "VRAX_RESULT_MODEL_LOADING_ERROR",
        "VRAX_RESULT_INVALID_MODEL",
        "VRAX_RESULT_BOARD_SYNC_ERROR",
        "VRAX_RESULT_BOARD_MEMORY_ALLOCATION_ERROR",
        "VRAX_RESULT_NN_CREATION_ERROR",
        "VRAX_RESULT_NN_LOADING_ERROR",
        "VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR",
        "VRAX_RESULT_MODEL_IS_TOO_BIG",
        "VRAX_RESULT_NOT_INITIALIZED",
        "VRAX_RESULT_INCOMPLETE",
        "VRAX_RESULT_UNKNOWN_ERROR",
    };
    return names;
}

const std::array<const char *, 6> &compilerNames()
{
    static const std::array<const char *, 6> names = {
        "VRAX_COMPILER_RESULT_OK",
        "VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR",
        "VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR",
        "VRAX_COMPILER_RESULT_INVALID_PARAMETER",
        "VRAX_COMPILER_RESULT_INVALID_MODEL",
        "VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION",
    };
    return names;
}

template <std::size_t N>
std::string nameOf(const std::array<const char *, N> &names, std::int32_t code, const char *library)
{
    if (code >= 0 && std::size_t(code) < N)
        return names[std::size_t(code)];
    return std::string("Unknown ") + library + " result code " + std::to_string(code);
}

} // namespace

std::string runtimeResultName(std::int32_t code)
{
    return nameOf(runtimeNames(), code, "runtime");
}

std::string compilerResultName(std::int32_t code)
{
    return nameOf(compilerNames(), code, "compiler");
}

void checkRuntimeResult(std::int32_t code, const char *callName)
{
    if (code == VRAX_RESULT_OK)
        return;
    throw RuntimeCallError(runtimeResultName(code), callName);
}

void checkCompilerResult(std::int32_t code, const char * /*callName*/)
{
    if (code == VRAX_COMPILER_RESULT_OK)
        return;
    const char *explanation = VRAX_COMPILER_GetLastError();
    throw std::runtime_error(compilerResultName(code) + ": " + (explanation ? explanation : ""));
}

std::string callFailureText(const std::exception &error)
{
    if (const auto *call = dynamic_cast<const RuntimeCallError *>(&error))
        return std::string(call->call()) + " failed: " + call->what();
    return error.what();
}
