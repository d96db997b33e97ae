// Turns a nonzero result code of the runtime or the compiler into an exception
// whose message names the code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A runtime call that failed. The message is the code's name alone, as the
// window shows it; call() names the call for messages that say more.
class RuntimeCallError : public std::runtime_error
{
public:
    RuntimeCallError(const std::string &codeName, const char *callName)
        : std::runtime_error(codeName), callName(callName) {}
    const char *call() const noexcept { return callName; }

private:
    const char *callName; // a string literal at the call site
};

// "VRAX_GetOutput failed: VRAX_RESULT_BOARD_SYNC_ERROR" for a failed runtime
// call, the message alone for any other failure.
std::string callFailureText(const std::exception &error);

// Throws RuntimeCallError with the code's name, e.g. "VRAX_RESULT_NO_BOARD".
void checkRuntimeResult(std::int32_t code, const char *callName);

// Throws std::runtime_error with the code's name, ": " and the compiler's own
// explanation (VRAX_COMPILER_GetLastError).
void checkCompilerResult(std::int32_t code, const char *callName);

// The names behind the two checks. A code outside the tables gets a text that
// carries its number.
std::string runtimeResultName(std::int32_t code);
std::string compilerResultName(std::int32_t code);
