// Opening the board sessions: the described model loaded onto the chosen
// board, or onto every board of the chosen type.
#pragma once

#include "accel/accelerator.h"
#include "accel/board_type.h"

#include <cstdint>
#include <string>
#include <vector>

// The refusal of every command that needs an open session when none is.
inline constexpr char noSessionMessage[] = "No board session is open: open the NN description again";

// The board choice of the board dialog.
struct BoardChoice
{
    BoardType boardType = BoardType::Simulator;
    std::uint32_t boardIndex = 0;
    std::uint32_t parallelCount = 0; // 0: the one board boardIndex; else boards 0..parallelCount-1
};

// Prepares the model file (compiling ONNX and DarkNet models) and opens the
// sessions with it. A failure to prepare the model leaves sessions and
// modelInfo untouched. Runs on the background worker.
void openBoardSession(const BoardChoice &choice, const std::string &modelPath,
                      std::vector<RuntimeHandle> &sessions, ModelInfo &modelInfo);

// Closes the open sessions, then creates and initialises one session per
// board in use with the binary model and fetches the model's shapes from the
// first. sessions only ever holds handles that were created and not yet
// destroyed, also when a step fails half way.
void openSessionsWithModel(const BoardChoice &choice, const std::vector<std::uint32_t> &modelWords,
                           std::vector<RuntimeHandle> &sessions, ModelInfo &modelInfo);

// Destroys every session and empties the list.
void destroySessions(std::vector<RuntimeHandle> &sessions);
