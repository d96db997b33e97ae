#include "accel/frame_processing.h"

#include "accel/board_session.h"
#include "accel/result_check.h"

#include <stdexcept>

namespace {

void requireSession(const std::vector<RuntimeHandle> &sessions)
{
    if (sessions.empty())
        throw std::runtime_error(noSessionMessage);
}

} // namespace

void submitFrame(RuntimeHandle session, std::uint32_t unit, const std::vector<float> &inputTensor)
{
    const float *inputs[1] = {inputTensor.data()};
    checkRuntimeResult(VRAX_Process(session, unit, inputs), "VRAX_Process");
}

void waitUntilIdle(RuntimeHandle session, std::uint32_t unit)
{
    std::uint32_t status = 0;
    do {
        checkRuntimeResult(VRAX_GetStatus(session, unit, &status), "VRAX_GetStatus");
    } while (status == VRAX_STATUS_BUSY);
}

void fetchOutputs(RuntimeHandle session, std::uint32_t unit, OutputBuffers &outputs, double &boardFps)
{
    std::vector<float *> pointers;
    pointers.reserve(outputs.size());
    for (std::vector<float> &buffer : outputs)
        pointers.push_back(buffer.data());
    checkRuntimeResult(VRAX_GetOutput(session, unit, pointers.data(), &boardFps), "VRAX_GetOutput");
}

void processFrame(const std::vector<RuntimeHandle> &sessions, const std::vector<float> &inputTensor,
                  OutputBuffers &outputs, double &boardFps)
{
    requireSession(sessions);
    submitFrame(sessions.front(), 0, inputTensor);
    waitUntilIdle(sessions.front(), 0);
    fetchOutputs(sessions.front(), 0, outputs, boardFps);
}

PipelineSlot pipelineSlot(std::uint64_t frame, std::uint32_t unitsPerSession, std::size_t sessionCount)
{
    return {std::size_t((frame / unitsPerSession) % sessionCount), std::uint32_t(frame % unitsPerSession)};
}

void waitForUnits(const std::vector<RuntimeHandle> &sessions, std::uint32_t unitsPerSession)
{
    for (RuntimeHandle session : sessions)
        for (std::uint32_t unit = 0; unit < unitsPerSession; ++unit)
            waitUntilIdle(session, unit);
}
