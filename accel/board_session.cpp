#include "accel/board_session.h"

#include "accel/model_preparation.h"
#include "accel/result_check.h"

#include <stdexcept>

void destroySessions(std::vector<RuntimeHandle> &sessions)
{
    for (RuntimeHandle session : sessions)
        VRAX_Destroy(session);
    sessions.clear();
}

void openSessionsWithModel(const BoardChoice &choice, const std::vector<std::uint32_t> &modelWords,
                           std::vector<RuntimeHandle> &sessions, ModelInfo &modelInfo)
{
    const std::uint32_t *models[VRAX_MODEL_SLOTS];
    std::uint32_t sizes[VRAX_MODEL_SLOTS];
    for (int slot = 0; slot < VRAX_MODEL_SLOTS; ++slot) {
        models[slot] = modelWords.data();
        sizes[slot] = std::uint32_t(modelWords.size());
    }

    destroySessions(sessions);

    const std::uint32_t boardCount = choice.parallelCount != 0 ? choice.parallelCount : 1;
    sessions.reserve(boardCount);
    for (std::uint32_t i = 0; i < boardCount; ++i) {
        RuntimeHandle handle = 0;
        checkRuntimeResult(VRAX_Create(&handle), "VRAX_Create");
        // Kept from here on, so that a failing initialisation still closes it later.
        sessions.push_back(handle);
        const std::uint32_t board = choice.parallelCount != 0 ? i : choice.boardIndex;
        checkRuntimeResult(VRAX_Initialize(handle, std::uint32_t(choice.boardType), board, 0, models, sizes),
                           "VRAX_Initialize");
    }

    checkRuntimeResult(VRAX_GetModelInfo(sessions.front(), 0, &modelInfo), "VRAX_GetModelInfo");
    if (modelInfo.output_count == 0)
        throw std::runtime_error("Invalid zero-sized output");
    // The record has room for eight shapes each way; a runtime that claims
    // more would have the window read past it.
    if (modelInfo.input_count == 0 || modelInfo.input_count > VRAX_MAX_TENSORS
        || modelInfo.output_count > VRAX_MAX_TENSORS)
        throw std::runtime_error("Invalid model information: " + std::to_string(modelInfo.input_count)
                                 + " inputs, " + std::to_string(modelInfo.output_count) + " outputs");
}

void openBoardSession(const BoardChoice &choice, const std::string &modelPath,
                      std::vector<RuntimeHandle> &sessions, ModelInfo &modelInfo)
{
    const ModelWords modelWords = prepareModel(choice.boardType, modelPath);
    openSessionsWithModel(choice, modelWords, sessions, modelInfo);
}
