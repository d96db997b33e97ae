// The boards in use: the choice (the simulator, one board, or every board of
// a type), the sessions open on them with the model of the open description,
// and how many frames a run may keep on them: the one rule for units per
// session, for the window and vrax-run alike.
#pragma once

#include "accel/board_session.h"
#include "engine/frame_pipeline.h"
#include "engine/model_session.h"

#include <cstdint>
#include <string>
#include <vector>

class BoardSet
{
public:
    BoardSet() = default;
    BoardSet(const BoardSet &) = delete;
    BoardSet &operator=(const BoardSet &) = delete;
    // Closes the sessions.
    ~BoardSet();

    const BoardChoice &choice() const { return chosen; }
    // Closes the sessions and takes the new choice.
    void choose(const BoardChoice &choice);

    // Reads the description (UTF-8 path), prepares its model and opens it on
    // the chosen boards, in place of the sessions open before, then checks
    // the model against the description (engine/model_session.h). Blocking:
    // compiling a model takes seconds. Throws the messages of opening a
    // description; a model that cannot be prepared leaves the sessions open
    // before as they were.
    OpenedModel open(const std::string &descriptionPath);
    void close();

    const std::vector<RuntimeHandle> &sessions() const { return handles; }
    bool isOpen() const { return !handles.empty(); }
    // Units of each session frames are spread over.
    std::uint32_t unitsPerSession() const;
    // Every unit of every session.
    std::uint32_t unitCount() const;
    // The sessions for a frame pipeline with at most inFlight frames on the
    // boards (0: one per unit).
    FramePipeline::Boards pipelineBoards(std::uint32_t inFlight = 0) const;
    // Returns when every unit has finished its frame; throws when the
    // runtime fails to say.
    void waitForAllUnits() const;

private:
    BoardChoice chosen;
    std::vector<RuntimeHandle> handles;
    ModelInfo modelInfo{};
};
