// What the window remembers between starts: the board last chosen, and
// settings kept in the file alone (the picture cache's budget, the picture
// limit). `vraxgui --check` and `vrax-run` neither read nor write them.
#pragma once

#include "accel/board_session.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// Settings belong to the application as main names it; without a name
// (tests, other hosts) nothing is remembered or read back.
bool settingsEnabled();

// The board last chosen, when one was remembered.
std::optional<BoardChoice> rememberedBoard();
void rememberBoard(const BoardChoice &choice);

// performance/pictureCacheMegabytes, 256 MB when unset.
std::size_t pictureCacheBudget();

// pictures/maxMegapixels: larger pictures and video frames are refused;
// 100 megapixels (defaultPixelLimit) when unset or not a number above 0.
std::uint64_t picturePixelLimit();
