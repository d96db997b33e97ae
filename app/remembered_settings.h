// What the window remembers between starts: the board last chosen, and
// settings kept in the file alone (the picture cache's budget, the picture
// limit). `vraxgui --check` and `vrax-run` neither read nor write them.
#pragma once

#include "accel/board_session.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

// Settings belong to the application as main names it; without a name
// (tests, other hosts) nothing is remembered or read back.
bool settingsEnabled();

// The board last chosen, when one was remembered.
std::optional<BoardChoice> rememberedBoard();
// The board last chosen when it is still attached. A remembered board that
// is not (a virtual board of an earlier session, one unplugged) gives
// nothing, and `missing` a note that names it and says the simulator is used.
std::optional<BoardChoice> attachedRememberedBoard(QString &missing);
void rememberBoard(const BoardChoice &choice);

// View > One Frame at a Time: Run Auto with one frame in flight (off: every unit busy).
bool rememberedOneFrameAtATime();
void rememberOneFrameAtATime(bool on);

// performance/pictureCacheMegabytes, 256 MB when unset.
std::size_t pictureCacheBudget();

// pictures/maxMegapixels: larger pictures and video frames are refused;
// 100 megapixels (defaultPixelLimit) when unset or not a number above 0.
std::uint64_t picturePixelLimit();
