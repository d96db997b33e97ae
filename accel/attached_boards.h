// The boards the runtime reaches, and the one way a board is named wherever
// it is shown: the window's status line, vrax-run's figures and messages.
#pragma once

#include "accel/board_type.h"

#include <cstdint>
#include <string>
#include <vector>

// "0 (simulator)", "2:1 (TK307.04)"; "2:all (TK307.04)" for every board of the
// type at once.
std::string boardName(BoardType type, std::uint32_t index, bool everyBoardOfType = false);

struct AttachedBoard
{
    BoardType type = BoardType::Simulator;
    std::uint32_t index = 0;
};

// Every board the runtime reports, the simulator first, then by type and
// index. Throws RuntimeCallError when the runtime cannot say.
std::vector<AttachedBoard> attachedBoards();

// Throws std::runtime_error unless the board (or, for every board of its
// type, at least one of them) is attached. The message names the board, lists
// what is attached and says how boards are attached.
void checkBoardAttached(BoardType type, std::uint32_t index, bool everyBoardOfType = false);

// How boards come to be attached, for messages and help texts.
std::string howBoardsAreAttached();
