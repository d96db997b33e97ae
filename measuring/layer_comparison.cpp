#include "measuring/layer_comparison.h"

#include "accel/frame_processing.h"
#include "accel/layer_extension.h"
#include "engine/output_buffers.h"

#include <utility>

LayerComparison::LayerComparison(std::string descriptionPath, const BoardChoice &boardChoice,
                                 const BoardChoice &referenceChoice)
    : descriptionPath(std::move(descriptionPath))
{
    board.choice = boardChoice;
    if (board.choice.parallelCount != 0)
        board.choice = BoardChoice{boardChoice.boardType, 0, 0};
    reference.choice = referenceChoice;
}

LayerComparison::~LayerComparison()
{
    destroySessions(board.sessions);
    destroySessions(reference.sessions);
}

void LayerComparison::open(Side &side)
{
    side.model = openDescriptionOnBoards(descriptionPath, side.choice, side.sessions);
    LayerExtension::ofRuntime().enable(side.sessions.front(), false, true);
}

void LayerComparison::run(Side &side, const std::vector<float> &tensor)
{
    OutputBuffers outputs = outputBuffersFor(side.model.modelDims.outputs);
    double fps = 0.0;
    processFrame(side.sessions, tensor, outputs, fps);
}

void LayerComparison::compare(const std::vector<float> &boardTensor, const std::vector<float> &referenceTensor)
{
    const LayerExtension &extension = LayerExtension::ofRuntime();
    if (!opened) {
        if (!extension.available())
            throw std::runtime_error(noLayerProfileMessage);
        open(board);
        open(reference);
        opened = true;
    }
    run(board, boardTensor);
    run(reference, referenceTensor);

    // The layer lists are read after the frame: an int8 board's are its
    // quantised network's from its first frame on.
    const std::vector<LayerDescription> boardLayers = extension.layers(board.sessions.front());
    const std::vector<LayerDescription> referenceLayers = extension.layers(reference.sessions.front());
    std::unordered_map<std::string, std::uint32_t> referenceIndex;
    for (std::uint32_t i = 0; i < referenceLayers.size(); ++i)
        referenceIndex.emplace(referenceLayers[i].name, i);

    std::vector<std::uint32_t> shape;
    for (std::uint32_t i = 0; i < boardLayers.size(); ++i) {
        const auto twin = referenceIndex.find(boardLayers[i].name);
        if (twin == referenceIndex.end()
            || !extension.layerOutput(board.sessions.front(), 0, i, boardValues, shape)
            || !extension.layerOutput(reference.sessions.front(), 0, twin->second, referenceValues, shape)
            || boardValues.size() != referenceValues.size())
            continue;
        // Locked layer by layer: report() waits for one layer, not the frame.
        std::lock_guard<std::mutex> lock(mutex);
        auto [entry, added] = index.emplace(boardLayers[i].name, layers.size());
        if (added) {
            layers.push_back(LayerDifference{boardLayers[i].name, boardLayers[i].type, {}});
            agreements.emplace_back();
        }
        agreements[entry->second].add(boardValues.data(), referenceValues.data(), boardValues.size());
    }
    std::lock_guard<std::mutex> lock(mutex);
    ++frames;
}

LayerComparisonReport LayerComparison::report(double threshold) const
{
    std::lock_guard<std::mutex> lock(mutex);
    LayerComparisonReport report;
    report.frames = frames;
    report.threshold = threshold;
    report.layers = layers;
    for (std::size_t i = 0; i < layers.size(); ++i) {
        report.layers[i].difference = agreements[i].difference();
        if (!report.firstDivergent && report.layers[i].difference.cosine < threshold)
            report.firstDivergent = i;
    }
    return report;
}

void LayerComparison::restart()
{
    std::lock_guard<std::mutex> lock(mutex);
    frames = 0;
    layers.clear();
    agreements.clear();
    index.clear();
}
