#include "engine/model_session.h"

#include "accel/model_preparation.h"
#include "description/description_reader.h"
#include "engine/calibration_inputs.h"
#include "picture/input_depth.h"
#include "results/yolo_decoder.h"

#include <stdexcept>
#include <string>

namespace {

// A segmentation description's labels, when it has any, name the output's channels one by one.
void checkSegmentationLabels(const NnDescription &description, const std::vector<TensorDims> &outputs)
{
    if (description.neural_network != NetworkKind::Unet || description.labels.empty() || outputs.empty())
        return;
    const std::size_t labels = description.labels.size();
    if (outputs.front().depth != labels)
        throw std::runtime_error("Output 0 of the model holds " + std::to_string(outputs.front().depth)
                                 + " channels, but the description gives " + std::to_string(labels)
                                 + " labels: one per channel is needed");
}

// The model with the description's calibration pictures in it. The pictures
// are prepared for the model's input, which a session on one of the boards
// tells; the sessions already open stay as they are when this fails.
ModelWords calibratedModel(const NnDescription &description, const BoardChoice &choice, const ModelWords &model)
{
    std::vector<RuntimeHandle> probe;
    ModelInfo info{};
    try {
        openSessionsWithModel(BoardChoice{choice.boardType, choice.parallelCount != 0 ? 0 : choice.boardIndex, 0},
                              model, probe, info);
    } catch (...) {
        destroySessions(probe);
        throw;
    }
    destroySessions(probe);
    return withCalibration(choice.boardType, model, calibrationInputs(description, modelDimsOf(info), choice.boardType));
}

} // namespace

void checkModelFitsDescription(const NnDescription &description, const ModelDims &modelDims,
                               BoardType boardType)
{
    if (description.neural_network == NetworkKind::Classifier
        && description.labels.size() != elementCount(modelDims.outputs.front()))
        throw std::runtime_error("Incorrect number of labels for classification");
    // Refused here rather than when a frame would read past a buffer.
    const bool planar = isPlanarBoard(boardType);
    checkInputFormatFits(description.format, roundedInputDepth(planar, modelDims.inputs.front().depth), planar);
    checkDetectorOutputs(description, modelDims.outputs);
    checkSegmentationLabels(description, modelDims.outputs);
}

std::uint32_t unitsPerSession(const ModelInfo &modelInfo)
{
    return modelInfo.single_slot != 0 ? 1 : VRAX_MODEL_SLOTS;
}

OpenedModel openDescriptionOnBoards(const std::string &descriptionPath, const BoardChoice &choice,
                                    std::vector<RuntimeHandle> &sessions)
{
    OpenedModel opened;
    readDescription(opened.description, descriptionPath);
    if (opened.description.calibration.empty()) {
        openBoardSession(choice, opened.description.model, sessions, opened.modelInfo);
    } else {
        const ModelWords model = prepareModel(choice.boardType, opened.description.model);
        openSessionsWithModel(choice, calibratedModel(opened.description, choice, model), sessions,
                              opened.modelInfo);
    }
    opened.modelDims = modelDimsOf(opened.modelInfo);
    checkModelFitsDescription(opened.description, opened.modelDims, choice.boardType);
    return opened;
}
