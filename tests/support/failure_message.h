// The message of the exception that a call throws.
#pragma once

#include <exception>
#include <string>

// "(no failure)" when the call returns normally.
template <typename Call>
std::string failureMessage(Call &&call)
{
    try {
        call();
    } catch (const std::exception &error) {
        return error.what();
    }
    return "(no failure)";
}
