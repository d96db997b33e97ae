// What a layer costs, counted by the simulator itself per layer type: the
// engine's own count takes every convolution as a full one, so a network of
// depthwise convolutions comes out many times too large.
#pragma once

#include <opencv2/dnn.hpp>

#include <cstdint>
#include <vector>

// Multiply-adds of one frame through the layer, given its input and output
// shapes (network axis order, N first):
//   Convolution      outputs x (input channels / groups) x kernel area
//   Deconvolution    inputs x (output channels / groups) x kernel area
//   InnerProduct     outputs x values per output (fully connected, MatMul)
//   Pooling          outputs x kernel area (additions or comparisons)
//   BatchNorm, Scale one per output value
//   anything else    0 (activations, additions, copies, reshapes)
// An int8 layer ("ConvolutionInt8") counts as its float type.
std::uint64_t layerMultiplyAdds(const cv::dnn::Layer &layer, const std::vector<cv::dnn::MatShape> &inputs,
                                const std::vector<cv::dnn::MatShape> &outputs);

// Learned values stored with the layer: weights, biases and normalisation
// statistics (a detection layer's anchors are no parameters).
std::uint64_t layerParameters(const cv::dnn::Layer &layer);

// Number of values in a shape (1 for rank 0).
std::uint64_t shapeValues(const cv::dnn::MatShape &shape);
