// Frames on the boards: an input tensor submitted to a processing unit, its
// outputs fetched back when the unit is done.
#pragma once

#include "accel/accelerator.h"
#include "tensor/tensor_shapes.h"

#include <cstdint>
#include <functional>
#include <vector>

// Returns when the unit no longer reports busy.
void waitUntilIdle(RuntimeHandle session, std::uint32_t unit);

// Copies the unit's finished outputs into the buffers (one per model output)
// and the session's frame rate into boardFps.
void fetchOutputs(RuntimeHandle session, std::uint32_t unit, OutputBuffers &outputs, double &boardFps);

// One frame on unit 0 of the first session, start to finish.
void processFrame(const std::vector<RuntimeHandle> &sessions, const std::vector<float> &inputTensor,
                  OutputBuffers &outputs, double &boardFps);

// Where a frame of Run Auto goes.
struct PipelineSlot
{
    std::size_t session;
    std::uint32_t unit;
};

// Frame f goes to unit f mod U of session (f div U) mod S.
PipelineSlot pipelineSlot(std::uint64_t frame, std::uint32_t unitsPerSession, std::size_t sessionCount);

// One step of Run Auto: submits frame `frame`; once pipelineLength frames are
// on the boards, fetches the oldest one. Before that fetch, when frames are
// pipelined, makeFrameCurrent is called with the oldest frame's number so the
// caller can make that frame's picture current again. whileBoardsWork runs
// right after the submission, while the boards work, before any waiting: the
// caller prepares its next frame there, so that the unit freed by the fetch
// gets its next frame without delay.
void processFramePipelined(const std::vector<RuntimeHandle> &sessions, const std::vector<float> &inputTensor,
                           OutputBuffers &outputs, double &boardFps, std::uint32_t unitsPerSession,
                           std::uint32_t pipelineLength, std::uint64_t frame,
                           const std::function<void(std::uint64_t)> &makeFrameCurrent,
                           const std::function<void()> &whileBoardsWork = nullptr);

// Waits for every unit of every session (units 0..unitsPerSession-1).
void waitForUnits(const std::vector<RuntimeHandle> &sessions, std::uint32_t unitsPerSession);
