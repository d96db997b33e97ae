// The boards that exist: the simulator (type 0, one board) and the virtual
// boards configured with VRAX_BOARDS="TYPE:COUNT,..." (types 1 to 7), read
// again at every question so that tests can change it.
#pragma once

#include <cstdint>

constexpr std::uint32_t highestBoardType = 7;

std::uint32_t boardCount(std::uint32_t boardType);
bool boardExists(std::uint32_t boardType, std::uint32_t boardIndex);

void recordBlink(std::uint32_t boardType, std::uint32_t boardIndex);
std::uint32_t blinkCount(std::uint32_t boardType, std::uint32_t boardIndex);
void resetBlinkCounts();
