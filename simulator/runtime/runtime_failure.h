// A runtime call that cannot be carried out: the result code to answer and
// the explanation that VRAX_SIM_GetLastError gives.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class RuntimeFailure : public std::runtime_error
{
public:
    RuntimeFailure(std::int32_t code, const std::string &text) : std::runtime_error(text), code(code) {}

    std::int32_t code;
};
