// Detections in the reference's results format, a list of
//   {"image_id": 42, "category_id": 18, "bbox": [x, y, w, h], "score": 0.93}
// with ids as in the data set and boxes in the pictures' own pixels.
#pragma once

#include "evaluation/labelled_data.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

struct CocoResults
{
    std::vector<DetectedBox> detections;
    // Detections of categories the data set does not have: dropped, as the
    // reference evaluation drops them.
    std::size_t unknownCategory = 0;
    std::int64_t firstUnknownCategory = 0;
};

// Throws std::runtime_error naming the file and the detection at fault: no
// list, a detection without a box or score, an image id the data set does
// not have ("image_id 7 of detection 3 is not among the images of ...").
CocoResults readCocoResults(const QString &path, const DetectionDataSet &data);

// The list, one detection per line.
QByteArray cocoResultsJson(const std::vector<DetectedBox> &detections, const DetectionDataSet &data);
