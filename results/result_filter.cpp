#include "results/result_filter.h"

#include <algorithm>

bool ResultFilter::isNeutral() const
{
    return !confidence && !iou && std::none_of(hidden.begin(), hidden.end(), [](bool h) { return h; });
}

NnDescription withThresholds(NnDescription description, const ResultFilter &filter)
{
    if (filter.confidence)
        description.yolo_confidence_threshold = *filter.confidence;
    if (filter.iou)
        description.yolo_iou_threshold = *filter.iou;
    return description;
}

void removeHiddenClasses(FrameResult &result, const ResultFilter &filter)
{
    if (filter.hidden.empty())
        return;
    const auto hidden = [&](std::int32_t k) { return filter.hides(k); };
    result.detections.erase(std::remove_if(result.detections.begin(), result.detections.end(),
                                           [&](const Detection &d) { return hidden(d.classIndex); }),
                            result.detections.end());
    result.ranking.erase(std::remove_if(result.ranking.begin(), result.ranking.end(),
                                        [&](const RankedClass &c) { return hidden(c.classIndex); }),
                         result.ranking.end());
    for (std::uint8_t &cell : result.classMap.classes)
        if (cell != 0 && hidden(cell))
            cell = 0;
}

FrameResult decodeFilteredResult(const OutputBuffers &outputs, const ModelDims &modelDims,
                                 const NnDescription &description, const ResultFilter &filter)
{
    if (filter.isNeutral())
        return decodeFrameResult(outputs, modelDims, description);
    FrameResult result = decodeFrameResult(outputs, modelDims, withThresholds(description, filter));
    removeHiddenClasses(result, filter);
    return result;
}

std::vector<Detection> detectionsAbove(const std::vector<Detection> &detections, double threshold)
{
    std::vector<Detection> kept;
    kept.reserve(detections.size());
    for (const Detection &d : detections)
        if (d.confidence > threshold)
            kept.push_back(d);
    return kept;
}
