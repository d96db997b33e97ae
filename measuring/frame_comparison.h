// The board's answers against a reference's (the simulator running the same
// model on the CPU), frame by frame: how far the raw outputs are apart and
// whether the interpreted results agree.
#pragma once

#include "description/nn_description.h"
#include "measuring/tensor_agreement.h"
#include "results/frame_result.h"
#include "tensor/tensor_shapes.h"

#include <cstdint>
#include <map>
#include <vector>

struct ComparisonReport
{
    std::uint64_t frames = 0;
    std::vector<TensorDifference> tensors; // in model output order

    // Classifiers: the board's most probable class is the reference's, and
    // the reference's most probable class is among the board's first five.
    double top1 = 1.0;
    double top5 = 1.0;

    // Detectors: reference detections matched by a board detection of the
    // same class with IoU >= 0.5 (each board detection matches once, the
    // reference's most confident first), as a share of the reference's; the
    // board's unmatched detections as a share of the board's.
    double matched = 1.0;
    double extra = 0.0;
    std::uint64_t referenceDetections = 0;
    std::uint64_t boardDetections = 0;

    // Segmentation: intersection over union of each class's cells, over all
    // frames, for every class either side found (0 is the background).
    std::map<int, double> maskIou;

    // One figure per network kind, 1 when the board answers as the
    // reference: classifiers top-1; detectors the matched detections over
    // all distinct detections (matched + missed + extra); segmentation the
    // mean IoU of the foreground classes.
    double agreement = 1.0;
};

class FrameComparison
{
public:
    explicit FrameComparison(NetworkKind kind);

    void addFrame(const OutputBuffers &board, const OutputBuffers &reference, const FrameResult &boardResult,
                  const FrameResult &referenceResult);
    ComparisonReport report() const;

private:
    struct Overlap
    {
        std::uint64_t intersection = 0;
        std::uint64_t unionCells = 0;
    };

    void compareDetections(const std::vector<Detection> &board, const std::vector<Detection> &reference);
    void compareMasks(const ClassMap &board, const ClassMap &reference);

    NetworkKind kind;
    std::uint64_t frames = 0;
    std::vector<TensorAgreement> tensors;
    std::uint64_t top1Agreed = 0;
    std::uint64_t top5Agreed = 0;
    std::uint64_t referenceDetections = 0;
    std::uint64_t boardDetections = 0;
    std::uint64_t matchedDetections = 0;
    std::map<int, Overlap> overlaps;
};

// Intersection over union of two boxes; 0 when either is empty.
double boxIou(const Detection &a, const Detection &b);
