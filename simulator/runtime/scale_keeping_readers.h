// A mend of the engine's int8 quantisation for ONNX networks.
//
// Some layers keep their input's scale: their int8 output is their int8
// input rearranged or selected (a concatenation, a max pooling, a plain
// ReLU, a reshape...), so the engine gives the tensor they read the scale of
// their output. When two such layers read one tensor, the tensor can only
// get one of their scales, and the engine does not notice: the other layer
// then takes values of one scale for another (a YOLO detector whose route
// concatenates a tensor that a max pooling also reads comes out with a
// cosine of 0.83 at the concatenation). The mend gives each such reader but
// the first a float pass-through layer of its own in between: the engine
// then dequantises and quantises again there, as a board requantises.
#pragma once

#include <opencv2/dnn.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The ONNX model with the pass-throughs in, or an empty string when no
// tensor has more than one such reader (or the bytes are no ONNX model).
std::string separateScaleKeepingReaders(const std::vector<std::uint8_t> &onnx);

// The engine's name of the first layer whose output two layers that keep
// their input's scale read (in the engine's own layer types), or empty: what
// the mend leaves of the problem, in a DarkNet network all of it.
std::string firstSharedScaleLayer(cv::dnn::Net &net);
