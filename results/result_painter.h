// Draws a frame's result over its picture at the resolution of the painter's
// device, whatever the picture's scale: boxes, labels and captions are as
// sharp and as large on a fitted or zoomed picture as at 1:1.
#pragma once

#include "results/frame_result.h"

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QTransform>

#include <string>
#include <vector>

class QPainter;

struct ResultPlacement
{
    // Network-input coordinates (pixel (x, y) covers [x, x + 1) x [y, y + 1))
    // to the painter's device pixels.
    QTransform networkToDevice;
    // Device pixels of the visible picture: labels and the caption stay inside.
    QRect visible;
    // Device pixels of the network input's picture, where a segmentation mask goes.
    QRectF networkArea;
    // Labels and caption; detectionLabelFont() by default.
    QFont font;
};

// Draws the boxes, then the labels clear of one another (placeLabels), then
// the classifier's caption (its most probable label and the probability) and
// the segmentation mask, when the result has them. mask is classMapMask() of
// the result's class map; a null mask draws no segmentation.
void drawFrameResult(QPainter &painter, const FrameResult &result, const std::vector<std::string> &labels,
                     const ResultPlacement &placement, const QImage &mask = QImage());

// The label font for a picture drawn at target of which visible is in sight,
// sized to the picture as it is seen: a 28th of the shorter side of the part
// in sight, at least 9 pixels, and at most base's size, or on an area larger
// than 1280 pixels that size in proportion. base is sized in pixels or points.
QFont labelFontFor(const QFont &base, const QRect &target, const QRect &visible);

// "cat: 0.87", the classifier's caption for its most probable class; empty
// without a ranking.
QString classifierCaption(const FrameResult &result, const std::vector<std::string> &labels);
