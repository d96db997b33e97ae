// Turns a nonzero result code of the runtime or the compiler into an exception
// whose message names the code.
#pragma once

#include <cstdint>
#include <string>

// Throws std::runtime_error with the code's name, e.g. "VRAX_RESULT_NO_BOARD".
// The call name is for the reader of the call site; it is not part of the message.
void checkRuntimeResult(std::int32_t code, const char *callName);

// Throws std::runtime_error with the code's name, ": " and the compiler's own
// explanation (VRAX_COMPILER_GetLastError).
void checkCompilerResult(std::int32_t code, const char *callName);

// The names behind the two checks. A code outside the tables gets a text that
// carries its number.
std::string runtimeResultName(std::int32_t code);
std::string compilerResultName(std::int32_t code);
