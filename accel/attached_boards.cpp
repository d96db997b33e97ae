#include "accel/attached_boards.h"

#include "accel/accelerator.h"
#include "accel/result_check.h"

#include <stdexcept>

std::string boardName(BoardType type, std::uint32_t index, bool everyBoardOfType)
{
    // A type the runtime does not number reads as the simulator, as the window has always shown it.
    if (type == BoardType::Simulator || std::uint32_t(type) > lastBoardType)
        return "0 (simulator)";
    return std::to_string(std::uint32_t(type)) + ":" + (everyBoardOfType ? "all" : std::to_string(index)) + " ("
           + boardTypeName(type) + ")";
}

std::vector<AttachedBoard> attachedBoards()
{
    std::vector<AttachedBoard> boards{{BoardType::Simulator, 0}};
    for (std::uint32_t type = firstBoardType; type <= lastBoardType; ++type) {
        std::uint32_t count = 0;
        checkRuntimeResult(VRAX_GetBoardCount(type, &count), "VRAX_GetBoardCount");
        for (std::uint32_t index = 0; index < count; ++index)
            boards.push_back({BoardType(type), index});
    }
    return boards;
}

std::string howBoardsAreAttached()
{
    return "A board is attached when the runtime finds it connected to this computer; virtual boards come from "
           "the environment variable VRAX_BOARDS=TYPE:COUNT (for example VRAX_BOARDS=2:2 for two TK307.04 boards)";
}

void checkBoardAttached(BoardType type, std::uint32_t index, bool everyBoardOfType)
{
    std::string attached;
    bool found = false;
    for (const AttachedBoard &board : attachedBoards()) {
        found = found || (board.type == type && (everyBoardOfType || board.index == index));
        attached += (attached.empty() ? "" : ", ") + boardName(board.type, board.index);
    }
    if (found)
        return;
    const std::string missing = everyBoardOfType ? std::string("No board of type ") + boardTypeName(type) + " is attached"
                                                  : "Board " + boardName(type, index) + " is not attached";
    throw std::runtime_error(missing + " (attached: " + attached + "). " + howBoardsAreAttached() + ".");
}
