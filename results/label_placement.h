// Where the labels of detections go: inside the visible picture, clear of one
// another and of the objects where the room allows.
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

// One rectangle per box, in the same pixels as boxes and visible. A label has
// four places: above its box at the box's left edge (as it always has had),
// inside the box at its top, below the box, inside at its bottom; each is
// first shifted into the visible area (a label wider or taller than the area
// starts at its left or top edge). The place taken covers the least of the
// labels placed before it, then hides the least of the objects (the share of
// each box's inside it covers, added up where it is a tenth or more, so that
// small objects stay in sight), then did not have to move, then comes first. When every place
// covers an earlier label, the label goes below the labels in the way of its
// usual place if a few such steps find room. Labels are placed in list order,
// so the first boxes (the most confident) keep their usual place.
std::vector<QRect> placeLabels(const std::vector<QRect> &boxes, const std::vector<QSize> &sizes,
                               const QRect &visible);
