// Board types as the runtime numbers them, and what depends on the type alone.
#pragma once

#include <cstdint>

enum class BoardType : std::uint32_t {
    Simulator = 0,
    TK301_02 = 1,
    TK307_04 = 2,
    Wisp = 3,
    Slab = 4,
    Tier = 5,
    Rack = 6,
    Bolt = 7,
};

constexpr std::uint32_t firstBoardType = 1;
constexpr std::uint32_t lastBoardType = 7;

// TK301.02 and Wisp take their input in planes, one per colour channel.
constexpr bool isPlanarBoard(BoardType type)
{
    return type == BoardType::TK301_02 || type == BoardType::Wisp;
}

// Models for the planar boards are compiled for one processing slot only.
constexpr bool multiFlagFor(BoardType type)
{
    return type != BoardType::TK301_02 && type != BoardType::Wisp;
}

// The name of a board type as the window shows it ("TK301.02", "Simulator"...).
const char *boardTypeName(BoardType type);
