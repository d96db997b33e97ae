// Opening an NN description on the boards, the same way for the window and
// the headless runner: the description read, its model loaded onto the
// chosen boards, and the model checked against the description.
#pragma once

#include "accel/accelerator.h"
#include "accel/board_session.h"
#include "description/nn_description.h"
#include "tensor/tensor_shapes.h"

#include <cstdint>
#include <string>
#include <vector>

// Throws std::runtime_error with the window's messages when the model the
// boards report cannot serve the description: a classifier whose label count
// differs from its output ("Incorrect number of labels for classification"),
// an input format that does not fill the input depth, a detector whose
// outputs do not hold its labels and anchors (checkDetectorOutputs), a
// segmentation network whose labels, when given, are not one per channel.
void checkModelFitsDescription(const NnDescription &description, const ModelDims &modelDims,
                               BoardType boardType);

// Processing units of each session that frames may be spread over.
std::uint32_t unitsPerSession(const ModelInfo &modelInfo);

struct OpenedModel
{
    NnDescription description;
    ModelInfo modelInfo{};
    ModelDims modelDims;
};

// Reads the description (UTF-8 path), prepares its model (with the
// pictures of the description's calibration folder, when it names one:
// engine/calibration_inputs.h) and opens the sessions with it, then checks
// the model. Throws the messages the window
// shows; sessions holds whatever was opened, for the caller to destroy.
// Blocking: compiling a model takes seconds.
OpenedModel openDescriptionOnBoards(const std::string &descriptionPath, const BoardChoice &choice,
                                    std::vector<RuntimeHandle> &sessions);
