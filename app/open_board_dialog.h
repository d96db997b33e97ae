// File > Open Board: lists the simulator and every attached board, one radio
// button per board, lets a board blink, and stores the choice in the window.
#pragma once

#include "accel/accelerator.h"
#include "accel/board_type.h"

#include <QDialog>
#include <QHash>

#include <cstdint>
#include <stdexcept>
#include <vector>

// A failed Blink. The sessions were closed before the board was asked to
// blink, so whatever description was open has no session any more.
class BlinkError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Rows are numbered by id: 0 is the simulator, then the boards of type 1 in
// index order, then those of type 2, and so on up to type 7.
class OpenBoardDialog : public QDialog
{
public:
    OpenBoardDialog();
    ~OpenBoardDialog() override;

    // Shows the dialog and stores the choice in the window's members. Returns
    // true when the choice was accepted or the sessions were closed (Blink, or
    // a stored board that is no longer attached), false when nothing changed.
    // Open sessions are closed when the choice changes. Throws BlinkError when
    // Blink fails; the dialog is closed by then.
    bool chooseBoard(std::vector<RuntimeHandle> &sessions, BoardType &boardType,
                     std::uint32_t &boardIndex, std::uint32_t &parallelCount);

    BoardType boardTypeOfId(std::uint32_t id);
    std::uint32_t boardIndexOfId(std::uint32_t id);

    // Number of boards per BoardType value; the simulator counts as 1.
    QHash<std::uint32_t, std::uint32_t> boardCounts;

private:
    // Number of boards of the types 1 to type.
    std::uint32_t boardsUpTo(std::uint32_t type);
    std::uint32_t idOf(BoardType type, std::uint32_t index);
};
