// Where the labels of detections go: inside the visible picture, and clear of
// one another where the room allows.
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

// One rectangle per box, in the same pixels as boxes and visible. A label
// goes above its box at the box's left edge, as it always has; when that
// leaves the visible area, or covers a label placed before it, the next place
// that does neither is taken: inside the box at its top, below the box,
// inside at its bottom. Every place is first shifted into the visible area
// (a label wider or taller than the area starts at its left or top edge).
// When every place covers an earlier label, the label goes below the labels
// in the way of its usual place if a few such steps find room, else to the
// place that covers the least. Labels are placed in list order, so the first boxes (the most
// confident) keep their usual place.
std::vector<QRect> placeLabels(const std::vector<QRect> &boxes, const std::vector<QSize> &sizes,
                               const QRect &visible);
