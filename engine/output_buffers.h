// The one place that sizes output buffers from the model's outputs, so that
// an output too large to allocate sensibly is refused the same way for Run,
// Run Auto, vrax-run and the comparison.
#pragma once

#include "tensor/tensor_shapes.h"

#include <cstdint>
#include <vector>

// Larger outputs than this (1 GiB of floats) are taken for a broken model
// rather than allocated.
constexpr std::uint64_t maxOutputValues = std::uint64_t(1) << 28;

// Gives buffers one array per output of the model's size; arrays that have
// the size already keep their storage and values. Throws std::runtime_error
// "Output N of the model is too large: W x H x D values" before allocating
// anything when an output passes the limit.
void sizeOutputBuffers(OutputBuffers &buffers, const std::vector<TensorDims> &outputs);

// Zero-filled buffers of the model's sizes (see sizeOutputBuffers).
OutputBuffers outputBuffersFor(const std::vector<TensorDims> &outputs);
