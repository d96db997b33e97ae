// Turns the raw output tensors of a YOLO-style detector ("yolo2", "yolo3",
// "yolo5") into boxes in picture pixels. Needs no widgets.
#pragma once

#include "tensor/tensor_shapes.h"
#include "description/nn_description.h"
#include "results/detection.h"

#include <QSize>

#include <cstdint>
#include <vector>

// Anchor pairs that the detector outputs of these shapes use: Ao pairs for
// "yolo2", N * Ao for "yolo3" and "yolo5" (Ao anchors per cell, N outputs).
// 0 for the other network kinds.
std::uint64_t anchorPairsNeeded(const NnDescription &description, const std::vector<TensorDims> &outputs);

// Throws a runtime error naming yolo_anchors, the pairs needed and the pairs
// given when the description holds too few anchor pairs for these outputs.
void checkAnchorCount(const NnDescription &description, const std::vector<TensorDims> &outputs);

// Throws a runtime error when the model's outputs do not fit the description,
// as checked when a description is opened: the anchors must come in whole
// (width, height) pairs that the outputs share equally ("yolo3", "yolo5"; a
// "yolo2" output uses them all), and every output must hold, per cell, its
// anchors times the labels plus five values. The message names the output and
// both numbers. Nothing for the other network kinds.
void checkDetectorOutputs(const NnDescription &description, const std::vector<TensorDims> &outputs);

// Decodes every output, keeps the candidates whose confidence exceeds the
// description's threshold and removes overlapping boxes greedily, across
// classes. The result runs from the most confident box down. inputDims gives
// the network's input width and height, pictureSize the picture the boxes are
// clamped to; the network kind, labels, anchors and thresholds come from the
// description. Reads nothing past the end of a buffer that is shorter than its
// dimensions say. Throws for a kind that is no detector and for too few anchors.
std::vector<Detection> decodeDetections(const OutputBuffers &outputs, const std::vector<TensorDims> &outputDims,
                                        const TensorDims &inputDims, const QSize &pictureSize,
                                        const NnDescription &description);
