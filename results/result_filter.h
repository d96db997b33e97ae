// What of a frame's result the user wants to see: a detector's confidence
// and IoU thresholds in place of the description's, and classes left out.
// The window's View menu sets it; it applies to what is drawn, recorded and
// saved from the next frame decoded (and to the frame shown, decoded again).
#pragma once

#include "description/nn_description.h"
#include "results/frame_result.h"
#include "tensor/tensor_shapes.h"

#include <mutex>
#include <optional>
#include <vector>

struct ResultFilter
{
    std::optional<double> confidence; // detections must exceed it; unset: the description's
    std::optional<double> iou;        // overlap that suppresses a box; unset: the description's
    std::vector<bool> hidden;         // by class index; classes beyond its end are shown

    bool hides(std::int32_t classIndex) const
    {
        return classIndex >= 0 && std::size_t(classIndex) < hidden.size() && hidden[std::size_t(classIndex)];
    }
    bool isNeutral() const;
    bool operator==(const ResultFilter &other) const
    {
        return confidence == other.confidence && iou == other.iou && hidden == other.hidden;
    }
};

// The description with the filter's thresholds.
NnDescription withThresholds(NnDescription description, const ResultFilter &filter);

// Leaves the hidden classes out: their boxes, their places in a classifier's
// ranking, their cells of a class map (which become background).
void removeHiddenClasses(FrameResult &result, const ResultFilter &filter);

// The outputs decoded as the description says, with the filter applied.
FrameResult decodeFilteredResult(const OutputBuffers &outputs, const ModelDims &modelDims,
                                 const NnDescription &description, const ResultFilter &filter);

// The detections whose confidence exceeds the threshold. Boxes are
// suppressed from the most confident down, so those of a result decoded at
// a lower threshold are exactly the ones decoding at this one gives.
std::vector<Detection> detectionsAbove(const std::vector<Detection> &detections, double threshold);

// The filter as the window sets it and the board thread reads it, frame by
// frame.
class SharedResultFilter
{
public:
    ResultFilter get() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return filter;
    }
    void set(ResultFilter newFilter)
    {
        std::lock_guard<std::mutex> lock(mutex);
        filter = std::move(newFilter);
    }

private:
    mutable std::mutex mutex;
    ResultFilter filter;
};
