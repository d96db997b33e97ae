// A plain YOLO decode written straight from the formulas, without the
// shortcuts of the application's decoder: the yardstick for its results.
// Only for sane inputs (finite box edges, enough anchors).
#pragma once

#include "results/detection.h"
#include "results/nn_results.h"

#include <vector>

std::vector<Detection> referenceDecode(const OutputBuffers &outputs, const std::vector<TensorDims> &dims,
                                       int inputWidth, int inputHeight, int pictureWidth, int pictureHeight,
                                       const NnDescription &description);

// Fails the current test unless both lists hold the same boxes, confidences
// and classes in the same order.
void expectSameDetections(const std::vector<Detection> &found, const std::vector<Detection> &expected);
