#include "workbench/board_set.h"

#include "accel/frame_processing.h"

BoardSet::~BoardSet()
{
    close();
}

void BoardSet::choose(const BoardChoice &choice)
{
    close();
    chosen = choice;
}

OpenedModel BoardSet::open(const std::string &descriptionPath)
{
    OpenedModel opened = openDescriptionOnBoards(descriptionPath, chosen, handles);
    modelInfo = opened.modelInfo;
    return opened;
}

void BoardSet::close()
{
    destroySessions(handles);
}

std::uint32_t BoardSet::unitsPerSession() const
{
    return ::unitsPerSession(modelInfo);
}

std::uint32_t BoardSet::unitCount() const
{
    return unitsPerSession() * std::uint32_t(handles.size());
}

FramePipeline::Boards BoardSet::pipelineBoards(std::uint32_t inFlight) const
{
    return FramePipeline::Boards{handles, unitsPerSession(), inFlight};
}

void BoardSet::waitForAllUnits() const
{
    waitForUnits(handles, unitsPerSession());
}
