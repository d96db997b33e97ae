// What one frame's outputs mean, decoded once and kept as plain data: the
// views draw it, the result files record it, the comparison weighs it.
// Decoding needs no widgets and may run on any thread.
#pragma once

#include "description/nn_description.h"
#include "results/detection.h"
#include "tensor/tensor_shapes.h"

#include <cstdint>
#include <vector>

// A class of a classifier and its probability.
struct RankedClass
{
    std::int32_t classIndex = 0;
    float probability = 0.0f;
};

// A segmentation network's answer: the winning class per cell of its output
// grid (0 the background, k the foreground class k; a one-channel map gives 1
// where it reaches one half).
struct ClassMap
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> classes; // width x height, row by row
};

struct FrameResult
{
    std::vector<Detection> detections; // detectors: network-input pixels, most confident first
    std::vector<RankedClass> ranking;  // classifiers: every class, most probable first
    ClassMap classMap;                 // segmentation
};

// Interprets one frame's outputs by the description's network kind.
FrameResult decodeFrameResult(const OutputBuffers &outputs, const ModelDims &modelDims,
                              const NnDescription &description);
