#include "results/label_placement.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <tuple>

namespace {

// Moves the rectangle the least distance that puts it inside area, or at
// area's left or top edge where it is larger.
QRect shiftedInside(QRect rect, const QRect &area)
{
    if (rect.right() > area.right())
        rect.moveRight(area.right());
    if (rect.left() < area.left())
        rect.moveLeft(area.left());
    if (rect.bottom() > area.bottom())
        rect.moveBottom(area.bottom());
    if (rect.top() < area.top())
        rect.moveTop(area.top());
    return rect;
}

// The first earlier label that the rectangle covers, or null.
const QRect *firstCovered(const QRect &rect, const std::vector<QRect> &placed)
{
    for (const QRect &other : placed)
        if (rect.intersects(other))
            return &other;
    return nullptr;
}

std::int64_t overlapArea(const QRect &a, const std::vector<QRect> &placed)
{
    std::int64_t area = 0;
    for (const QRect &other : placed) {
        const QRect common = a.intersected(other);
        if (!common.isEmpty())
            area += std::int64_t(common.width()) * common.height();
    }
    return area;
}

// What a label may hide of a box: inside its outline, or the box itself when
// it is too small to have an inside.
QRect insideOf(const QRect &box)
{
    const QRect inside = box.normalized().adjusted(1, 1, -1, -1);
    return inside.isEmpty() ? box.normalized() : inside;
}

// How much of the objects a label hides: the share of each box it covers,
// added up. A small object weighs as much as a large one, so a label keeps
// clear of the small objects first; a corner of a large one (less than a
// tenth of it) hides nothing that matters.
double hiddenShare(const QRect &label, const std::vector<QRect> &insides)
{
    constexpr double negligible = 0.1;
    double hidden = 0.0;
    for (const QRect &inside : insides) {
        const QRect common = label.intersected(inside);
        if (common.isEmpty())
            continue;
        const double share = double(common.width()) * common.height() / (double(inside.width()) * inside.height());
        if (share >= negligible)
            hidden += share;
    }
    return hidden;
}

} // namespace

std::vector<QRect> placeLabels(const std::vector<QRect> &boxes, const std::vector<QSize> &sizes,
                               const QRect &visible)
{
    std::vector<QRect> placed;
    const std::size_t count = std::min(boxes.size(), sizes.size());
    placed.reserve(count);
    std::vector<QRect> insides;
    insides.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        if (!boxes[i].normalized().isEmpty())
            insides.push_back(insideOf(boxes[i]));

    for (std::size_t i = 0; i < count; ++i) {
        const QRect &box = boxes[i];
        const QSize &size = sizes[i];
        const std::array<QRect, 4> places{
            QRect(QPoint(box.left(), box.top() - size.height() + 1), size), // above, on the top edge
            QRect(box.topLeft(), size),                                  // inside at the top
            QRect(QPoint(box.left(), box.bottom() + 1), size),          // below
            QRect(QPoint(box.left(), box.bottom() + 1 - size.height()), size), // inside at the bottom
        };
        // Least covering of other labels, then least hidden of the objects,
        // then a place that did not have to move, then the order above.
        using Cost = std::tuple<std::int64_t, double, bool>;
        QRect best;
        Cost bestCost{std::numeric_limits<std::int64_t>::max(), 0.0, true};
        for (const QRect &place : places) {
            const QRect candidate = shiftedInside(place, visible);
            const Cost cost{overlapArea(candidate, placed), hiddenShare(candidate, insides), candidate != place};
            if (cost < bestCost) {
                best = candidate;
                bestCost = cost;
            }
        }
        // Crowded: the labels stack downwards from the usual place, below
        // the labels in the way, as long as a few steps find room.
        QRect stacked = shiftedInside(places[0], visible);
        for (int step = 0; std::get<0>(bestCost) > 0 && step < 8; ++step) {
            const QRect *blocking = firstCovered(stacked, placed);
            if (!blocking) {
                best = stacked;
                break;
            }
            stacked = shiftedInside(QRect(QPoint(stacked.left(), blocking->bottom() + 1), size), visible);
        }
        placed.push_back(best);
    }
    return placed;
}
