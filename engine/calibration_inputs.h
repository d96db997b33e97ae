// The pictures of the description's calibration folder made into inputs the
// way frames are made: what a board that computes in int8 takes the scales
// of its activations from.
#pragma once

#include "accel/board_type.h"
#include "description/nn_description.h"
#include "tensor/tensor_shapes.h"

#include <cstddef>
#include <vector>

// A binary model holds at most this many calibration inputs.
inline constexpr std::size_t maxCalibrationPictures = 16;

// The first maxCalibrationPictures pictures of description.calibration (in
// the folder's natural order), prepared for the model's input on boards of
// boardType as Run prepares a picture (crop, stretch or letterbox, format,
// divider and adder, the board's layout). Throws std::runtime_error naming
// the folder or the picture that cannot be read.
std::vector<std::vector<float>> calibrationInputs(const NnDescription &description, const ModelDims &modelDims,
                                                  BoardType boardType);
