// The view of the YOLO-style detectors: boxes and labels over the picture.
#pragma once

#include "results/detection.h"
#include "results/nn_results.h"

#include <vector>

class DetectionResults : public NnResults
{
public:
    DetectionResults(const NnDescription &description, const ModelDims &modelDims, QImage *picture,
                     QLabel *const *pictureLabel);

    // Draws the frame's detections on a copy of the window's picture and
    // shows the copy; the window's picture stays clean.
    void showResults(const OutputBuffers &outputs) override;

    // The frame's detections, most confident first, colours not yet set.
    std::vector<Detection> decodeDetections(const OutputBuffers &outputs) const;
};
