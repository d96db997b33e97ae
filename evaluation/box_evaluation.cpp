#include "evaluation/box_evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

namespace coco {

// numpy.linspace's arithmetic: index * ((stop - start) / (count - 1)) + start,
// the last value the stop itself. Thresholds compare exactly with IoUs, so
// the same rounding matters.
double iouThreshold(std::size_t index)
{
    if (index + 1 >= iouThresholdCount)
        return 0.95;
    return double(index) * ((0.95 - 0.5) / double(iouThresholdCount - 1)) + 0.5;
}

double recallPoint(std::size_t index)
{
    if (index + 1 >= recallPointCount)
        return 1.0;
    return double(index) * ((1.0 - 0.0) / double(recallPointCount - 1)) + 0.0;
}

double boxIou(const Box &detection, const Box &object, bool crowd)
{
    const double w = std::min(detection.x + detection.width, object.x + object.width) - std::max(detection.x, object.x);
    if (!(w > 0.0))
        return 0.0;
    const double h =
        std::min(detection.y + detection.height, object.y + object.height) - std::max(detection.y, object.y);
    if (!(h > 0.0))
        return 0.0;
    const double intersection = w * h;
    const double detectionArea = detection.width * detection.height;
    const double union_ = crowd ? detectionArea : detectionArea + object.width * object.height - intersection;
    return intersection / union_;
}

} // namespace coco

namespace {

constexpr std::size_t T = coco::iouThresholdCount;
constexpr std::size_t R = coco::recallPointCount;
constexpr std::size_t A = coco::areaRangeCount;
constexpr std::size_t M = coco::maxDetections.size();
constexpr std::size_t mostDetections = coco::maxDetections.back();

struct AreaRange
{
    double lowest, highest;
};
constexpr std::array<AreaRange, A> areaRanges{{{0.0, 1e10}, {0.0, 32.0 * 32.0}, {32.0 * 32.0, 96.0 * 96.0},
                                               {96.0 * 96.0, 1e10}}};

bool outside(double area, const AreaRange &range)
{
    return area < range.lowest || area > range.highest;
}

// One detection's outcome in one area range: a bit per IoU threshold.
struct Outcome
{
    std::uint16_t matched = 0;
    std::uint16_t ignored = 0;
};

// The detections of one image and category (best first, at most 100) against
// its objects (in the data set's order). One is used for every image: its
// buffers are kept.
class ImageMatching
{
public:
    void reset(const std::vector<const DetectedBox *> &imageDetections,
               const std::vector<const GroundTruthBox *> &imageObjects)
    {
        detections = &imageDetections;
        objects = &imageObjects;
        ious.resize(imageDetections.size() * imageObjects.size());
        for (std::size_t d = 0; d < imageDetections.size(); ++d)
            for (std::size_t g = 0; g < imageObjects.size(); ++g)
                ious[d * imageObjects.size() + g] =
                    coco::boxIou(imageDetections[d]->box, imageObjects[g]->box, imageObjects[g]->crowd);
    }

    // Appends one outcome per detection; returns the objects that count.
    std::size_t match(const AreaRange &range, std::vector<Outcome> &outcomes)
    {
        const std::vector<const DetectedBox *> &detections = *this->detections;
        const std::vector<const GroundTruthBox *> &objects = *this->objects;
        const std::size_t G = objects.size();
        ignore.assign(G, 0);
        order.resize(G);
        std::size_t counted = 0;
        for (std::size_t g = 0; g < G; ++g) {
            ignore[g] = objects[g]->crowd || outside(objects[g]->area, range);
            counted += ignore[g] ? 0 : 1;
        }
        // Objects that count first, each group in the data set's order.
        std::size_t next = 0;
        for (int ignored = 0; ignored < 2; ++ignored)
            for (std::size_t g = 0; g < G; ++g)
                if (ignore[g] == ignored)
                    order[next++] = g;

        static const std::array<double, T> thresholds = [] {
            std::array<double, T> values{};
            for (std::size_t t = 0; t < T; ++t)
                values[t] = std::min(coco::iouThreshold(t), 1.0 - 1e-10);
            return values;
        }();
        const std::size_t first = outcomes.size();
        outcomes.resize(first + detections.size());
        for (std::size_t t = 0; t < T; ++t) {
            taken.assign(G, 0);
            for (std::size_t d = 0; d < detections.size(); ++d) {
                double best = thresholds[t];
                std::size_t found = G; // none
                for (std::size_t i = 0; i < G; ++i) {
                    const std::size_t g = order[i];
                    if (taken[i] && !objects[g]->crowd)
                        continue;
                    // A match with an object that counts beats any ignored one.
                    if (found < G && !ignore[order[found]] && ignore[g])
                        break;
                    const double iou = ious[d * G + g];
                    if (iou < best)
                        continue;
                    best = iou;
                    found = i;
                }
                if (found == G)
                    continue;
                taken[found] = 1;
                Outcome &outcome = outcomes[first + d];
                outcome.matched |= std::uint16_t(1u << t);
                if (ignore[order[found]])
                    outcome.ignored |= std::uint16_t(1u << t);
            }
        }
        for (std::size_t d = 0; d < detections.size(); ++d) {
            const Box &box = detections[d]->box;
            if (outside(box.width * box.height, range)) {
                Outcome &outcome = outcomes[first + d];
                outcome.ignored |= std::uint16_t(~outcome.matched & ((1u << T) - 1));
            }
        }
        return counted;
    }

private:
    const std::vector<const DetectedBox *> *detections = nullptr;
    const std::vector<const GroundTruthBox *> *objects = nullptr;
    std::vector<double> ious; // [detection][object]
    std::vector<char> ignore;
    std::vector<std::size_t> order;
    std::vector<char> taken; // per position in order
};

} // namespace

// All images' outcomes for one category, turned into precision and recall.
class BoxAccumulation
{
public:
    BoxAccumulation(BoxEvaluation &evaluation, std::size_t k) : evaluation(evaluation), k(k) {}

    // One image's detections (best first) and objects of this category.
    void addImage(const std::vector<const DetectedBox *> &detections, const std::vector<const GroundTruthBox *> &objects)
    {
        matching.reset(detections, objects);
        for (std::size_t a = 0; a < A; ++a)
            counted[a] += matching.match(areaRanges[a], outcomes[a]);
        for (std::size_t rank = 0; rank < detections.size(); ++rank) {
            scores.push_back(detections[rank]->score);
            ranks.push_back(std::uint8_t(rank));
        }
    }

    void finish(double threshold)
    {
        // Every image's detections merged by score, equal scores in the order
        // of images and ranks.
        std::vector<std::size_t> byScore(scores.size());
        std::iota(byScore.begin(), byScore.end(), std::size_t(0));
        std::stable_sort(byScore.begin(), byScore.end(),
                         [this](std::size_t i, std::size_t j) { return scores[i] > scores[j]; });

        evaluation.objectCounts[k] = counted[0];
        for (std::size_t i : byScore) {
            const Outcome &o = outcomes[0][i];
            if (!(scores[i] > threshold) || (o.ignored & 1u))
                continue;
            if (o.matched & 1u)
                ++evaluation.hits[k];
            else
                ++evaluation.misses[k];
        }

        std::vector<std::size_t> kept;
        std::vector<double> precision;
        std::vector<std::size_t> found;
        for (std::size_t m = 0; m < M; ++m) {
            kept.clear();
            for (std::size_t i : byScore)
                if (ranks[i] < coco::maxDetections[m])
                    kept.push_back(i);
            for (std::size_t a = 0; a < A; ++a) {
                if (counted[a] == 0)
                    continue; // absent: stays -1
                for (std::size_t t = 0; t < T; ++t)
                    curve(kept, outcomes[a], counted[a], t, a, m, precision, found);
            }
        }
    }

private:
    void curve(const std::vector<std::size_t> &kept, const std::vector<Outcome> &outcome, std::size_t objects,
               std::size_t t, std::size_t a, std::size_t m, std::vector<double> &precision,
               std::vector<std::size_t> &found)
    {
        const std::uint16_t bit = std::uint16_t(1u << t);
        const std::size_t n = kept.size();
        precision.resize(n);
        found.resize(n);
        std::size_t tp = 0, fp = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const Outcome &o = outcome[kept[i]];
            if (!(o.ignored & bit)) {
                if (o.matched & bit)
                    ++tp;
                else
                    ++fp;
            }
            found[i] = tp;
            precision[i] = double(tp) / (double(fp) + double(tp) + std::numeric_limits<double>::epsilon());
        }
        const std::size_t K = evaluation.categories;
        evaluation.recalls[((t * K + k) * A + a) * M + m] = n > 0 ? double(found[n - 1]) / double(objects) : 0.0;
        for (std::size_t i = n; i-- > 1;)
            precision[i - 1] = std::max(precision[i - 1], precision[i]);
        // The first detection whose recall (found / objects, as the reference
        // divides) reaches each point.
        for (std::size_t r = 0; r < R; ++r) {
            const std::size_t needed = leastFound(objects, r);
            const std::size_t at = std::size_t(std::lower_bound(found.begin(), found.end(), needed) - found.begin());
            evaluation.precisions[(((t * R + r) * K + k) * A + a) * M + m] = at < n ? precision[at] : 0.0;
        }
    }

    // The fewest objects found whose recall reaches recall point r.
    static std::size_t leastFound(std::size_t objects, std::size_t r)
    {
        const double point = coco::recallPoint(r);
        const auto reaches = [&](std::size_t v) { return double(v) / double(objects) >= point; };
        std::size_t v = std::min(objects, std::size_t(std::ceil(point * double(objects))));
        while (v > 0 && reaches(v - 1))
            --v;
        while (v < objects && !reaches(v))
            ++v;
        return v;
    }

    BoxEvaluation &evaluation;
    const std::size_t k;
    ImageMatching matching;
    std::array<std::size_t, A> counted{};
    std::array<std::vector<Outcome>, A> outcomes;
    std::vector<double> scores;
    std::vector<std::uint8_t> ranks;
};

BoxEvaluation::BoxEvaluation(const std::vector<GroundTruthBox> &truth, const std::vector<DetectedBox> &detections,
                             std::size_t imageCount, std::size_t categoryCount, double threshold)
    : categories(categoryCount), precisions(T * R * categoryCount * A * M, -1.0),
      recalls(T * categoryCount * A * M, -1.0), objectCounts(categoryCount, 0), hits(categoryCount, 0),
      misses(categoryCount, 0)
{
    // Objects by category and image in the data set's order; detections by
    // category and image, best first, equal scores in the order given.
    std::vector<const GroundTruthBox *> objects;
    objects.reserve(truth.size());
    for (const GroundTruthBox &g : truth)
        if (g.category < categoryCount && g.image < imageCount)
            objects.push_back(&g);
    std::stable_sort(objects.begin(), objects.end(), [](const GroundTruthBox *a, const GroundTruthBox *b) {
        return a->category != b->category ? a->category < b->category : a->image < b->image;
    });
    std::vector<const DetectedBox *> found;
    found.reserve(detections.size());
    for (const DetectedBox &d : detections)
        if (d.category < categoryCount && d.image < imageCount && !std::isnan(d.score))
            found.push_back(&d);
    std::stable_sort(found.begin(), found.end(), [](const DetectedBox *a, const DetectedBox *b) {
        if (a->category != b->category)
            return a->category < b->category;
        if (a->image != b->image)
            return a->image < b->image;
        return a->score > b->score;
    });

    auto g = objects.begin();
    auto d = found.begin();
    std::vector<const GroundTruthBox *> imageObjects;
    std::vector<const DetectedBox *> imageDetections;
    for (std::size_t k = 0; k < categoryCount; ++k) {
        BoxAccumulation accumulation(*this, k);
        while ((g != objects.end() && (*g)->category == k) || (d != found.end() && (*d)->category == k)) {
            std::size_t image = imageCount;
            if (g != objects.end() && (*g)->category == k)
                image = (*g)->image;
            if (d != found.end() && (*d)->category == k)
                image = std::min(image, (*d)->image);
            imageObjects.clear();
            for (; g != objects.end() && (*g)->category == k && (*g)->image == image; ++g)
                imageObjects.push_back(*g);
            imageDetections.clear();
            for (; d != found.end() && (*d)->category == k && (*d)->image == image; ++d)
                if (imageDetections.size() < mostDetections)
                    imageDetections.push_back(*d);
            accumulation.addImage(imageDetections, imageObjects);
        }
        accumulation.finish(threshold);
    }
}

double BoxEvaluation::precision(std::size_t t, std::size_t r, std::size_t k, std::size_t a, std::size_t m) const
{
    return precisions[(((t * R + r) * categories + k) * A + a) * M + m];
}

double BoxEvaluation::recall(std::size_t t, std::size_t k, std::size_t a, std::size_t m) const
{
    return recalls[((t * categories + k) * A + a) * M + m];
}
