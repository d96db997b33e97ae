// How the units of each board type behave beyond running the network: the
// time a frame takes on the board and the board's number precision. Both
// come from the environment, read again whenever its text changes,
//
//   VRAX_SIM_BOARD_TIME="TYPE:DURATION,..."   e.g. "0:4ms,2:2ms"
//   VRAX_SIM_PRECISION="TYPE:PRECISION,..."   e.g. "1:int8,3:fp16"
//
// and from the test interface, whose entries take precedence. A board type
// without a time runs every frame on the engine at the host's speed; one
// without a precision computes in exact float.
#pragma once

#include "board_precision.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

struct BoardProfile
{
    std::chrono::microseconds frameTime{0};
    BoardPrecision precision = BoardPrecision::Float;
};

BoardProfile boardProfile(std::uint32_t boardType);

// Test interface; false for a board type above 7. A zero time removes the
// type's entry.
bool setBoardFrameTime(std::uint32_t boardType, std::chrono::microseconds time);
bool setBoardPrecision(std::uint32_t boardType, BoardPrecision precision);
// Drops the test interface's entries and the environment's (until its text
// changes).
void clearBoardProfiles();

// Bytes the outputs of already seen frames may take, with their inputs:
// VRAX_SIM_BOARD_CACHE_MB megabytes (256 when unset or malformed), or what
// the test interface set (0 goes back to the environment).
std::size_t boardCacheLimit();
void setBoardCacheLimit(std::size_t bytes);

// Parsers of the environment syntax; they throw std::invalid_argument with a
// text naming the faulty entry.
std::map<std::uint32_t, std::chrono::microseconds> parseBoardTimeList(const std::string &text);
std::map<std::uint32_t, BoardPrecision> parseBoardPrecisionList(const std::string &text);
