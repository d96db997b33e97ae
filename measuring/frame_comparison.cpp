#include "measuring/frame_comparison.h"

#include <algorithm>
#include <cmath>

namespace {

double share(std::uint64_t part, std::uint64_t whole, double whenEmpty)
{
    return whole == 0 ? whenEmpty : double(part) / double(whole);
}

} // namespace

double boxIou(const Detection &a, const Detection &b)
{
    if (a.width <= 0 || a.height <= 0 || b.width <= 0 || b.height <= 0)
        return 0.0;
    const double left = std::max(a.x, b.x);
    const double top = std::max(a.y, b.y);
    const double right = std::min(double(a.x) + a.width, double(b.x) + b.width);
    const double bottom = std::min(double(a.y) + a.height, double(b.y) + b.height);
    const double intersection = std::max(0.0, right - left) * std::max(0.0, bottom - top);
    const double unionArea = double(a.width) * a.height + double(b.width) * b.height - intersection;
    return unionArea > 0.0 ? intersection / unionArea : 0.0;
}

FrameComparison::FrameComparison(NetworkKind kind) : kind(kind) {}

void FrameComparison::addFrame(const OutputBuffers &board, const OutputBuffers &reference,
                               const FrameResult &boardResult, const FrameResult &referenceResult)
{
    ++frames;
    if (tensors.size() < board.size())
        tensors.resize(board.size());
    for (std::size_t t = 0; t < board.size() && t < reference.size(); ++t)
        tensors[t].add(board[t].data(), reference[t].data(), std::min(board[t].size(), reference[t].size()));

    if (kind == NetworkKind::Classifier && !referenceResult.ranking.empty() && !boardResult.ranking.empty()) {
        const std::int32_t expected = referenceResult.ranking.front().classIndex;
        top1Agreed += boardResult.ranking.front().classIndex == expected;
        const std::size_t five = std::min<std::size_t>(5, boardResult.ranking.size());
        top5Agreed += std::any_of(boardResult.ranking.begin(), boardResult.ranking.begin() + long(five),
                                  [expected](const RankedClass &c) { return c.classIndex == expected; });
    }
    if (isDetector(kind))
        compareDetections(boardResult.detections, referenceResult.detections);
    if (kind == NetworkKind::Unet)
        compareMasks(boardResult.classMap, referenceResult.classMap);
}

void FrameComparison::compareDetections(const std::vector<Detection> &board, const std::vector<Detection> &reference)
{
    std::vector<const Detection *> references;
    for (const Detection &d : reference)
        if (d.classIndex >= 0)
            references.push_back(&d);
    std::stable_sort(references.begin(), references.end(),
                     [](const Detection *x, const Detection *y) { return x->confidence > y->confidence; });
    std::vector<bool> used(board.size(), false);
    std::uint64_t boardCount = 0;
    for (const Detection &d : board)
        boardCount += d.classIndex >= 0;

    for (const Detection *wanted : references) {
        std::size_t best = board.size();
        double bestIou = 0.5;
        for (std::size_t i = 0; i < board.size(); ++i) {
            if (used[i] || board[i].classIndex != wanted->classIndex)
                continue;
            const double iou = boxIou(board[i], *wanted);
            if (iou >= bestIou) {
                bestIou = iou;
                best = i;
            }
        }
        if (best < board.size()) {
            used[best] = true;
            ++matchedDetections;
        }
    }
    referenceDetections += references.size();
    boardDetections += boardCount;
}

void FrameComparison::compareMasks(const ClassMap &board, const ClassMap &reference)
{
    const std::size_t n = std::min(board.classes.size(), reference.classes.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = board.classes[i];
        const int y = reference.classes[i];
        if (x == y) {
            ++overlaps[x].intersection;
            ++overlaps[x].unionCells;
        } else {
            ++overlaps[x].unionCells;
            ++overlaps[y].unionCells;
        }
    }
}

ComparisonReport FrameComparison::report() const
{
    ComparisonReport report;
    report.frames = frames;
    for (const TensorAgreement &tensor : tensors)
        report.tensors.push_back(tensor.difference());
    switch (kind) {
    case NetworkKind::Classifier:
        report.top1 = share(top1Agreed, frames, 1.0);
        report.top5 = share(top5Agreed, frames, 1.0);
        report.agreement = report.top1;
        break;
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5: {
        report.referenceDetections = referenceDetections;
        report.boardDetections = boardDetections;
        report.matched = share(matchedDetections, referenceDetections, 1.0);
        const std::uint64_t extra = boardDetections - matchedDetections;
        report.extra = share(extra, boardDetections, 0.0);
        report.agreement = share(matchedDetections, referenceDetections + extra, 1.0);
        break;
    }
    case NetworkKind::Unet: {
        double sum = 0.0;
        int foreground = 0;
        for (const auto &[cls, overlap] : overlaps) {
            const double iou = share(overlap.intersection, overlap.unionCells, 1.0);
            report.maskIou[cls] = iou;
            if (cls != 0) {
                sum += iou;
                ++foreground;
            }
        }
        report.agreement = foreground == 0 ? 1.0 : sum / foreground;
        break;
    }
    }
    return report;
}
