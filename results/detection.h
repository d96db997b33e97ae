// One box found by a detector, in picture pixels.
#pragma once

#include <QColor>

#include <cstdint>

struct Detection
{
    std::int32_t x = 0;      // left edge, never below 0
    std::int32_t y = 0;      // top edge, never below 0
    std::int32_t width = 0;  // right edge minus left edge; 0 or less for a box off the picture
    std::int32_t height = 0; // bottom edge minus top edge; same remark
    double confidence = 0.0; // objectness probability times best class probability
    std::int32_t classIndex = 0; // index into the labels; -1 marks a suppressed candidate
    QColor colour;               // invalid until the drawing gives the class its colour
};
