// Turns the model file named by the description into the binary model that a
// board runs: ONNX ("onnx", "pb") and DarkNet ("cfg" with its "weights") models
// are compiled, any other file is read as 32-bit words.
#pragma once

#include "accel/board_type.h"

#include <cstdint>
#include <string>
#include <vector>

// A binary model; its length is counted in 32-bit words.
using ModelWords = std::vector<std::uint32_t>;

// Compiles or reads the model at modelPath (UTF-8) for boards of boardType.
// Throws std::runtime_error naming the file when it cannot be read, is empty,
// is larger than 4 GiB or (binary model) holds no complete word, and the
// compiler's message when compilation fails.
ModelWords prepareModel(BoardType boardType, const std::string &modelPath);

// The files a model consists of: the model itself, and for a DarkNet "cfg"
// its weights beside it (the same path with "weights" for "cfg").
std::vector<std::string> modelFiles(const std::string &modelPath);

// The binary model with inputs for boards that compute in int8 to calibrate
// on, each laid out as boards of boardType take their input (1 to 16 of
// them). Throws std::runtime_error with the compiler's message when it
// refuses them.
ModelWords withCalibration(BoardType boardType, const ModelWords &model,
                           const std::vector<std::vector<float>> &inputs);
