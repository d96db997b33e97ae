// A failed compilation: the result code to answer and the text that
// VRAX_COMPILER_GetLastError gives.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class CompileError : public std::runtime_error
{
public:
    CompileError(std::int32_t code, const std::string &text) : std::runtime_error(text), code(code) {}

    std::int32_t code;
};
