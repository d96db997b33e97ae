// One frame's result as one line of JSON: the format of result files
// (vrax-run --results, the window's recordings), one line per frame.
//
//   {"source": "dog.jpg", "frame": 12, "source_index": 0, "time_s": 0.48,
//    "detections": [{"class": 1, "label": "dog", "confidence": 0.91, "box": [x, y, w, h]}],
//    "top": [{"class": 3, "label": "cat", "probability": 0.72}],
//    "mask": {"width": 160, "height": 160, "classes": [{"class": 1, "pixels": 812}]}}
//
// A line carries the key of its network kind only: "detections" for the
// detectors (boxes in the original picture's pixels, most confident first),
// "top" for classifiers (the five most probable classes), "mask" for
// segmentation (the output grid's size and, per class present, its cells;
// class 0 is the background). "frame" is the frame's running number in its
// run, the number vrax-run --save puts in its file names; "source_index" the
// picture's index in its list or the video frame's number; "time_s" is there
// for video frames only, to the microsecond. Numbers are written in the
// shortest form that reads back exactly; probabilities as their single-
// precision values read (0.659001).
#pragma once

#include "description/nn_description.h"
#include "results/frame_result.h"

#include <QByteArray>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <functional>

// Classes a classifier's line lists.
constexpr std::size_t resultRecordTopCount = 5;

struct ResultRecordOrigin
{
    QString source;               // the picture's or video's file name, a camera's device
    std::uint64_t frame = 0;      // running number of the frame in its run, from 0
    std::uint64_t sourceIndex = 0; // the picture's index in its list, the video frame's number
    double timeSeconds = -1.0;    // position in a video; negative for still pictures
};

// Turns a box in network-input pixels into the original picture's pixels
// (continuous coordinates, as the window draws it there).
using BoxToOriginal = std::function<QRectF(const QRectF &networkBox)>;

// The line, ending in '\n'. Without a mapping the boxes stay in network
// pixels; mapped boxes are written to a thousandth of a pixel. Labels come
// from the description; a class without one gets none.
QByteArray resultRecordLine(const ResultRecordOrigin &origin, const FrameResult &result,
                            const NnDescription &description, const BoxToOriginal &toOriginal = {});
