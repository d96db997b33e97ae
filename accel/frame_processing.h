// Frames on the boards: an input tensor submitted to a processing unit, its
// outputs fetched back when the unit is done.
#pragma once

#include "accel/accelerator.h"
#include "tensor/tensor_shapes.h"

#include <cstdint>
#include <vector>

// Hands the input tensor to the unit.
void submitFrame(RuntimeHandle session, std::uint32_t unit, const std::vector<float> &inputTensor);

// Returns when the unit no longer reports busy.
void waitUntilIdle(RuntimeHandle session, std::uint32_t unit);

// Copies the unit's finished outputs into the buffers (one per model output)
// and the session's frame rate into boardFps.
void fetchOutputs(RuntimeHandle session, std::uint32_t unit, OutputBuffers &outputs, double &boardFps);

// One frame on unit 0 of the first session, start to finish.
void processFrame(const std::vector<RuntimeHandle> &sessions, const std::vector<float> &inputTensor,
                  OutputBuffers &outputs, double &boardFps);

// Where a frame of Run Auto goes (see FramePipeline).
struct PipelineSlot
{
    std::size_t session;
    std::uint32_t unit;
};

// Frame f goes to unit f mod U of session (f div U) mod S.
PipelineSlot pipelineSlot(std::uint64_t frame, std::uint32_t unitsPerSession, std::size_t sessionCount);

// Waits for every unit of every session (units 0..unitsPerSession-1).
void waitForUnits(const std::vector<RuntimeHandle> &sessions, std::uint32_t unitsPerSession);
