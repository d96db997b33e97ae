#include "engine/model_session.h"

#include "description/description_reader.h"
#include "picture/input_depth.h"
#include "results/yolo_decoder.h"

#include <stdexcept>

void checkModelFitsDescription(const NnDescription &description, const ModelDims &modelDims,
                               BoardType boardType)
{
    if (description.neural_network == NetworkKind::Classifier
        && description.labels.size() != elementCount(modelDims.outputs.front()))
        throw std::runtime_error("Incorrect number of labels for classification");
    // Refused here rather than when a frame would read past a buffer.
    const bool planar = isPlanarBoard(boardType);
    checkInputFormatFits(description.format, roundedInputDepth(planar, modelDims.inputs.front().depth), planar);
    checkAnchorCount(description, modelDims.outputs);
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
    openBoardSession(choice, opened.description.model, sessions, opened.modelInfo);
    opened.modelDims = modelDimsOf(opened.modelInfo);
    checkModelFitsDescription(opened.description, opened.modelDims, choice.boardType);
    return opened;
}
