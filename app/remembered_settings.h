// What the application remembers between starts that the window and
// `vraxgui --check` share: the board last chosen and the picture cache's
// budget.
#pragma once

#include "accel/board_session.h"

#include <QString>

#include <cstddef>
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
