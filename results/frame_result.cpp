#include "results/frame_result.h"

#include "results/detection_drawing.h"
#include "results/segmentation_overlay.h"
#include "results/softmax.h"
#include "results/vector_state.h"
#include "results/yolo_decoder.h"

#include <QSize>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

// A larger grid than this (256 MiB of classes) is taken for a broken model.
constexpr std::uint64_t maxCells = std::uint64_t(1) << 28;

// Boxes are clamped to the network input, as the window has always drawn
// them on the picture the network saw.
std::vector<Detection> detectionsOf(const OutputBuffers &outputs, const ModelDims &modelDims,
                                    const NnDescription &description)
{
    const TensorDims input = modelDims.inputs.empty() ? TensorDims{} : modelDims.inputs.front();
    const QSize inputSize(int(std::min<std::uint64_t>(input.width, std::numeric_limits<int>::max())),
                          int(std::min<std::uint64_t>(input.height, std::numeric_limits<int>::max())));
    std::vector<Detection> detections = decodeDetections(outputs, modelDims.outputs, input, inputSize, description);
    assignClassColours(detections);
    return detections;
}

// Every class of the first output, most probable first (probabilities as the
// description's output activation makes them); equal probabilities
// keep the order of the classes, and a probability that is not a number
// (from scores that are not) ranks last.
std::vector<RankedClass> rankingOf(const OutputBuffers &outputs, OutputActivation activation)
{
    std::vector<RankedClass> ranking;
    if (outputs.empty())
        return ranking;
    const std::vector<float> &scores = outputs.front();
    const std::vector<float> probabilities = classProbabilities(scores.data(), scores.size(), activation);
    ranking.reserve(probabilities.size());
    for (std::size_t i = 0; i < probabilities.size(); ++i)
        ranking.push_back({std::int32_t(i), probabilities[i]});
    const auto key = [](float p) { return std::isnan(p) ? -std::numeric_limits<float>::infinity() : p; };
    std::stable_sort(ranking.begin(), ranking.end(), [&](const RankedClass &a, const RankedClass &b) {
        return key(a.probability) > key(b.probability);
    });
    return ranking;
}

// Whether every complete cell of a depth-last map holds a probability distribution.
bool cellsAreDistributions(const std::vector<float> &values, std::uint64_t cells, std::uint32_t depth)
{
    for (std::uint64_t cell = 0; cell < cells; ++cell)
        if (!isProbabilityDistribution(values.data() + cell * depth, depth))
            return false;
    return true;
}

// The class of every cell of the first output; cells past the end of a short
// buffer are background.
ClassMap classMapOf(const OutputBuffers &outputs, const ModelDims &modelDims, OutputActivation activation)
{
    ClassMap map;
    if (outputs.empty() || modelDims.outputs.empty())
        return map;
    const TensorDims &dims = modelDims.outputs.front();
    const std::vector<float> &values = outputs.front();
    const std::uint64_t cells = std::uint64_t(dims.width) * dims.height;
    // A map that holds not even one complete cell means nothing.
    if (dims.depth == 0 || dims.depth > values.size() || cells == 0 || cells > maxCells)
        return map;
    const std::uint64_t completeCells = std::min<std::uint64_t>(values.size() / dims.depth, cells);
    map.width = std::uint32_t(dims.width);
    map.height = std::uint32_t(dims.height);
    map.classes.assign(std::size_t(cells), 0);
    clearUpperVectorState();
    const CellValues kind = activation == OutputActivation::None
                                    || (activation == OutputActivation::Automatic && dims.depth > 1
                                        && cellsAreDistributions(values, completeCells, dims.depth))
                                ? CellValues::Probabilities
                                : CellValues::Scores;
    for (std::uint64_t cell = 0; cell < completeCells; ++cell)
        map.classes[std::size_t(cell)] = std::uint8_t(std::min<std::uint32_t>(
            segmentationCellClass(values.data() + cell * dims.depth, dims.depth, kind), 255));
    return map;
}

} // namespace

FrameResult decodeFrameResult(const OutputBuffers &outputs, const ModelDims &modelDims,
                              const NnDescription &description)
{
    FrameResult result;
    switch (description.neural_network) {
    case NetworkKind::Classifier:
        result.ranking = rankingOf(outputs, description.output_activation);
        break;
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5:
        result.detections = detectionsOf(outputs, modelDims, description);
        break;
    case NetworkKind::Unet:
        result.classMap = classMapOf(outputs, modelDims, description.output_activation);
        break;
    default:
        throw std::runtime_error("Unexpected neural network");
    }
    return result;
}
