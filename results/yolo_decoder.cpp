#include "results/yolo_decoder.h"

#include "results/vector_state.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

constexpr std::uint64_t boxFields = 5; // tx, ty, tw, th, objectness

// Index of the first anchor pair that output o (of count) uses.
std::uint64_t firstAnchorPair(NetworkKind kind, std::uint64_t o, std::uint64_t count, std::uint64_t anchorsPerCell)
{
    switch (kind) {
    case NetworkKind::Yolo3:
        return (count - 1 - o) * anchorsPerCell; // the first output uses the last group
    case NetworkKind::Yolo5:
        return o * anchorsPerCell;
    default:
        return 0; // yolo2: every output uses the first group
    }
}

double sigmoid(double value)
{
    return 1.0 / (1.0 + std::exp(-value));
}

// The objectness exponential is taken in single precision.
double objectnessProbability(float score)
{
    return 1.0 / (1.0 + double(std::exp(-score)));
}

// A raw objectness score below this value cannot give a probability above
// the threshold: the margin of 1e-3 is thousands of times the error of the
// single-precision exponential, so skipping such anchors without computing
// their probability changes no result. Outside the range where that bound is
// safe, no anchor is skipped early.
double objectnessCutoff(double threshold)
{
    if (!(threshold >= 1e-30 && threshold <= 1.0 - 1e-12))
        return -std::numeric_limits<double>::infinity();
    return std::log(threshold / (1.0 - threshold)) - 1e-3;
}

// Truncates toward zero. A NaN edge has no place and becomes 0; edges beyond
// the 32-bit range stay at its ends, so later arithmetic is always defined.
std::int32_t truncateEdge(double edge)
{
    if (std::isnan(edge))
        return 0;
    if (edge >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (edge <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(edge);
}

std::int32_t saturate(std::int64_t value)
{
    return std::int32_t(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

// Best class (the first of equal maxima) and its probability: a softmax over
// the class scores for yolo2, a sigmoid of each score otherwise.
struct BestClass
{
    std::int32_t index = 0;
    double probability = 0.0;
};

BestClass bestClass(const float *scores, std::uint64_t classCount, bool useSoftmax)
{
    BestClass best;
    if (useSoftmax) {
        double largest = scores[0];
        for (std::uint64_t k = 1; k < classCount; ++k)
            largest = std::max(largest, double(scores[k]));
        double sum = 0.0;
        for (std::uint64_t k = 0; k < classCount; ++k)
            sum += std::exp(double(scores[k]) - largest);
        const double logSum = std::log(sum);
        best.probability = std::exp(double(scores[0]) - largest - logSum);
        for (std::uint64_t k = 1; k < classCount; ++k) {
            const double p = std::exp(double(scores[k]) - largest - logSum);
            if (p > best.probability)
                best = {std::int32_t(k), p};
        }
    } else {
        best.probability = sigmoid(scores[0]);
        for (std::uint64_t k = 1; k < classCount; ++k) {
            const double p = sigmoid(scores[k]);
            if (p > best.probability)
                best = {std::int32_t(k), p};
        }
    }
    return best;
}

struct Edges
{
    double left, top, right, bottom;
};

// What stays the same for every cell of one output.
struct OutputLayout
{
    NetworkKind kind;
    double gridWidth, gridHeight; // cells
    double inputWidth, inputHeight;
    double stride;                // yolo5: 2^(o+3) pixels
    const double *anchors;        // this output's group of (width, height) pairs
    std::uint64_t anchorsPerCell;
    std::uint64_t classCount;
    double threshold;
};

Edges boxEdges(const OutputLayout &layout, const float *raw, double column, double row, double anchorWidth,
               double anchorHeight)
{
    const double sx = sigmoid(raw[0]);
    const double sy = sigmoid(raw[1]);
    const double tw = raw[2];
    const double th = raw[3];
    switch (layout.kind) {
    case NetworkKind::Yolo3: {
        const double nx = (sx + column) / layout.gridWidth;
        const double ny = (sy + row) / layout.gridHeight;
        const double nw = std::exp(tw) * anchorWidth / layout.inputWidth;
        const double nh = std::exp(th) * anchorHeight / layout.inputHeight;
        return {(nx - 0.5 * nw) * layout.inputWidth, (ny - 0.5 * nh) * layout.inputHeight,
                (nx + 0.5 * nw) * layout.inputWidth, (ny + 0.5 * nh) * layout.inputHeight};
    }
    case NetworkKind::Yolo5: {
        const double so = layout.stride;
        const double cx = (2.0 * sx + column - 0.5) * so;
        const double cy = (2.0 * sy + row - 0.5) * so;
        const double gw = 2.0 * sigmoid(tw);
        const double gh = 2.0 * sigmoid(th);
        const double w = gw * gw * anchorWidth * so;
        const double h = gh * gh * anchorHeight * so;
        return {cx - 0.5 * w, cy - 0.5 * h, cx + 0.5 * w, cy + 0.5 * h};
    }
    default: { // yolo2: anchors in cells of 32 pixels
        const double cx = (sx + column) * 32.0;
        const double cy = (sy + row) * 32.0;
        const double w = std::exp(tw) * anchorWidth * 32.0;
        const double h = std::exp(th) * anchorHeight * 32.0;
        return {cx - 0.5 * w, cy - 0.5 * h, cx + 0.5 * w, cy + 0.5 * h};
    }
    }
}

// Clamps the box to the picture: left and top at 0 or more, right and bottom
// at the last column and row at most.
void setRectangle(Detection &detection, const Edges &edges, const QSize &pictureSize)
{
    const std::int32_t left = std::max(truncateEdge(edges.left), 0);
    const std::int32_t top = std::max(truncateEdge(edges.top), 0);
    const std::int64_t right = std::min<std::int64_t>(truncateEdge(edges.right), std::int64_t(pictureSize.width()) - 1);
    const std::int64_t bottom =
        std::min<std::int64_t>(truncateEdge(edges.bottom), std::int64_t(pictureSize.height()) - 1);
    detection.x = left;
    detection.y = top;
    detection.width = saturate(right - left);
    detection.height = saturate(bottom - top);
}

// Appends the candidates of one output whose confidence passes the threshold.
void decodeOutput(const std::vector<float> &values, const TensorDims &dims, const OutputLayout &layout,
                  const QSize &pictureSize, std::vector<Detection> &candidates)
{
    // Without columns no row holds a cell, however many rows are claimed.
    if (dims.width == 0)
        return;
    clearUpperVectorState();
    const std::uint64_t fields = layout.classCount + boxFields;
    const bool useSoftmax = layout.kind == NetworkKind::Yolo2;
    const double cutoff = objectnessCutoff(layout.threshold);
    for (std::uint64_t row = 0; row < dims.height; ++row) {
        for (std::uint64_t column = 0; column < dims.width; ++column) {
            const std::uint64_t cell = (row * dims.width + column) * dims.depth;
            for (std::uint64_t a = 0; a < layout.anchorsPerCell; ++a) {
                const std::uint64_t at = cell + a * fields;
                // Offsets only grow: the first anchor past the end of a short
                // buffer ends the output.
                if (at + fields > values.size())
                    return;
                const float *raw = values.data() + at;
                // confidence = P * p <= P: an anchor whose objectness cannot
                // pass the threshold needs no class scores.
                if (double(raw[4]) < cutoff)
                    continue;
                const double objectness = objectnessProbability(raw[4]);
                if (!(objectness > layout.threshold))
                    continue;
                const BestClass best = bestClass(raw + boxFields, layout.classCount, useSoftmax);
                const double confidence = objectness * best.probability;
                if (!(confidence > layout.threshold))
                    continue;
                Detection detection;
                setRectangle(detection,
                             boxEdges(layout, raw, double(column), double(row), layout.anchors[2 * a],
                                      layout.anchors[2 * a + 1]),
                             pictureSize);
                detection.confidence = confidence;
                detection.classIndex = best.index;
                candidates.push_back(detection);
            }
        }
    }
}

// Overlap area of two boxes, in double so that no sum can overflow.
inline double overlapArea(const Detection &a, const Detection &b)
{
    const double overlapWidth =
        std::min(double(a.x) + a.width, double(b.x) + b.width) - std::max(double(a.x), double(b.x));
    const double overlapHeight =
        std::min(double(a.y) + a.height, double(b.y) + b.height) - std::max(double(a.y), double(b.y));
    if (overlapWidth <= 0.0 || overlapHeight <= 0.0)
        return 0.0;
    return overlapWidth * overlapHeight;
}

void suppressOverlaps(std::vector<Detection> &candidates, double iouThreshold, std::vector<Detection> &kept)
{
    clearUpperVectorState();
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Detection &current = candidates[i];
        if (current.classIndex == -1)
            continue;
        kept.push_back(current);
        const double currentArea = double(current.width) * double(current.height);
        for (std::size_t j = i + 1; j < candidates.size(); ++j) {
            Detection &other = candidates[j];
            if (other.classIndex == -1)
                continue; // already suppressed: marking it again changes nothing
            const double overlap = overlapArea(current, other);
            const double otherArea = double(other.width) * double(other.height);
            // Both areas and the overlap zero give NaN, which suppresses nothing.
            if (overlap / (otherArea + currentArea - overlap) > iouThreshold)
                other.classIndex = -1;
        }
    }
}

} // namespace

std::uint64_t anchorPairsNeeded(const NnDescription &description, const std::vector<TensorDims> &outputs)
{
    const NetworkKind kind = description.neural_network;
    if (!isDetector(kind) || description.labels.empty())
        return 0;
    const std::uint64_t fields = description.labels.size() + boxFields;
    std::uint64_t needed = 0;
    for (std::uint64_t o = 0; o < outputs.size(); ++o) {
        const std::uint64_t anchorsPerCell = outputs[o].depth / fields;
        if (anchorsPerCell > 0)
            needed = std::max(needed, firstAnchorPair(kind, o, outputs.size(), anchorsPerCell) + anchorsPerCell);
    }
    return needed;
}

void checkAnchorCount(const NnDescription &description, const std::vector<TensorDims> &outputs)
{
    const std::uint64_t needed = anchorPairsNeeded(description, outputs);
    const std::uint64_t given = description.yolo_anchors.size() / 2;
    if (given < needed)
        throw std::runtime_error("Too few anchor pairs in yolo_anchors: the network's outputs need "
                                 + std::to_string(needed) + ", the description gives " + std::to_string(given));
}

void checkDetectorOutputs(const NnDescription &description, const std::vector<TensorDims> &outputs)
{
    const NetworkKind kind = description.neural_network;
    if (!isDetector(kind) || outputs.empty())
        return;
    const std::size_t values = description.yolo_anchors.size();
    if (values % 2 != 0)
        throw std::runtime_error("yolo_anchors holds " + std::to_string(values)
                                 + " numbers: anchors are (width, height) pairs, so the count must be even");
    const std::uint64_t pairs = values / 2;
    if (pairs == 0)
        throw std::runtime_error("yolo_anchors holds no (width, height) pair");
    const std::uint64_t sharing = kind == NetworkKind::Yolo2 ? 1 : outputs.size();
    if (pairs % sharing != 0)
        throw std::runtime_error("yolo_anchors holds " + std::to_string(pairs) + " (width, height) pairs, which the "
                                 + std::to_string(sharing) + " outputs of the model cannot share equally");
    const std::uint64_t anchorsPerCell = pairs / sharing;
    const std::uint64_t labels = description.labels.size();
    const std::uint64_t needed = anchorsPerCell * (labels + boxFields);
    const auto counted = [](std::uint64_t count, const char *thing) {
        return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
    };
    for (std::size_t o = 0; o < outputs.size(); ++o)
        if (outputs[o].depth != needed)
            throw std::runtime_error("Output " + std::to_string(o) + " of the model holds "
                                     + std::to_string(outputs[o].depth) + " values per cell, but the description's "
                                     + counted(anchorsPerCell, "anchor") + " per cell and " + counted(labels, "label")
                                     + " need " + std::to_string(needed) + " (" + std::to_string(anchorsPerCell)
                                     + " x (" + std::to_string(labels) + " + 5))");
}

std::vector<Detection> decodeDetections(const OutputBuffers &outputs, const std::vector<TensorDims> &outputDims,
                                        const TensorDims &inputDims, const QSize &pictureSize,
                                        const NnDescription &description)
{
    const NetworkKind kind = description.neural_network;
    if (!isDetector(kind))
        throw std::runtime_error("Unexpected neural network");
    std::vector<Detection> kept;
    const std::size_t outputCount = std::min(outputs.size(), outputDims.size());
    if (outputCount == 0 || description.labels.empty())
        return kept;
    checkAnchorCount(description, outputDims);

    const std::uint64_t classCount = description.labels.size();
    const std::uint64_t fields = classCount + boxFields;
    std::vector<Detection> candidates;
    for (std::size_t o = 0; o < outputCount; ++o) {
        const TensorDims &dims = outputDims[o];
        const std::uint64_t anchorsPerCell = dims.depth / fields;
        if (anchorsPerCell == 0)
            continue; // too shallow for even one anchor
        const OutputLayout layout{kind,
                                  double(dims.width),
                                  double(dims.height),
                                  double(inputDims.width),
                                  double(inputDims.height),
                                  std::ldexp(1.0, int(std::min<std::size_t>(o, 2000)) + 3),
                                  description.yolo_anchors.data()
                                      + 2 * firstAnchorPair(kind, o, outputDims.size(), anchorsPerCell),
                                  anchorsPerCell,
                                  classCount,
                                  description.yolo_confidence_threshold};
        decodeOutput(outputs[o], dims, layout, pictureSize, candidates);
    }

    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Detection &a, const Detection &b) { return a.confidence > b.confidence; });
    suppressOverlaps(candidates, description.yolo_iou_threshold, kept);
    return kept;
}
