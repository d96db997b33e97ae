#include "evaluation/detection_accuracy.h"

#include <algorithm>
#include <numeric>

const std::array<const char *, 12> cocoFigureNames = {"AP",  "AP50", "AP75", "APs", "APm", "APl",
                                                      "AR1", "AR10", "AR100", "ARs", "ARm", "ARl"};

namespace {

constexpr std::size_t allAreas = 0;
constexpr std::size_t hundred = 2; // index of 100 in the max detections

// The mean of the values that are not -1, over the given ranges; -1 if none.
class PresentMean
{
public:
    void add(double value)
    {
        if (value > -1.0) {
            sum += value;
            ++count;
        }
    }
    double value() const { return count > 0 ? sum / double(count) : -1.0; }

private:
    double sum = 0.0;
    std::size_t count = 0;
};

std::size_t thresholdIndex(double iou)
{
    for (std::size_t t = 0; t < coco::iouThresholdCount; ++t)
        if (coco::iouThreshold(t) == iou)
            return t;
    return coco::iouThresholdCount;
}

// AP over the thresholds [first, last), one category or all (k = K).
double averagePrecision(const BoxEvaluation &e, std::size_t first, std::size_t last, std::size_t k, std::size_t a,
                        std::size_t m)
{
    PresentMean mean;
    const std::size_t kFirst = k < e.categoryCount() ? k : 0;
    const std::size_t kLast = k < e.categoryCount() ? k + 1 : e.categoryCount();
    for (std::size_t t = first; t < last; ++t)
        for (std::size_t r = 0; r < coco::recallPointCount; ++r)
            for (std::size_t c = kFirst; c < kLast; ++c)
                mean.add(e.precision(t, r, c, a, m));
    return mean.value();
}

double averageRecall(const BoxEvaluation &e, std::size_t a, std::size_t m)
{
    PresentMean mean;
    for (std::size_t t = 0; t < coco::iouThresholdCount; ++t)
        for (std::size_t k = 0; k < e.categoryCount(); ++k)
            mean.add(e.recall(t, k, a, m));
    return mean.value();
}

double f1Score(double precision, double recall)
{
    return precision + recall > 0.0 && recall >= 0.0 ? 2.0 * precision * recall / (precision + recall) : 0.0;
}

} // namespace

std::array<double, 12> cocoSummary(const BoxEvaluation &e)
{
    const std::size_t all = e.categoryCount();
    const std::size_t T = coco::iouThresholdCount;
    const std::size_t t50 = thresholdIndex(0.5);
    const std::size_t t75 = thresholdIndex(0.75);
    return {averagePrecision(e, 0, T, all, allAreas, hundred),
            averagePrecision(e, t50, t50 + 1, all, allAreas, hundred),
            averagePrecision(e, t75, t75 + 1, all, allAreas, hundred),
            averagePrecision(e, 0, T, all, 1, hundred),
            averagePrecision(e, 0, T, all, 2, hundred),
            averagePrecision(e, 0, T, all, 3, hundred),
            averageRecall(e, allAreas, 0),
            averageRecall(e, allAreas, 1),
            averageRecall(e, allAreas, hundred),
            averageRecall(e, 1, hundred),
            averageRecall(e, 2, hundred),
            averageRecall(e, 3, hundred)};
}

ConfusionMatrix detectionConfusion(const std::vector<GroundTruthBox> &truth, const std::vector<DetectedBox> &detections,
                                   const std::vector<std::string> &labels, double threshold)
{
    std::vector<std::string> names = labels;
    names.push_back("background");
    ConfusionMatrix matrix(names);
    const std::size_t background = labels.size();

    std::vector<const GroundTruthBox *> objects;
    for (const GroundTruthBox &g : truth)
        if (g.category < labels.size())
            objects.push_back(&g);
    std::stable_sort(objects.begin(), objects.end(),
                     [](const GroundTruthBox *a, const GroundTruthBox *b) { return a->image < b->image; });
    std::vector<const DetectedBox *> found;
    for (const DetectedBox &d : detections)
        if (d.category < labels.size() && d.score > threshold)
            found.push_back(&d);
    std::stable_sort(found.begin(), found.end(), [](const DetectedBox *a, const DetectedBox *b) {
        return a->image != b->image ? a->image < b->image : a->score > b->score;
    });

    auto g = objects.begin();
    auto d = found.begin();
    std::vector<char> taken;
    while (g != objects.end() || d != found.end()) {
        std::size_t image = g != objects.end() ? (*g)->image : (*d)->image;
        if (d != found.end())
            image = std::min(image, (*d)->image);
        const auto gEnd = std::find_if(g, objects.end(), [image](const GroundTruthBox *o) { return o->image != image; });
        const auto dEnd = std::find_if(d, found.end(), [image](const DetectedBox *o) { return o->image != image; });
        taken.assign(std::size_t(gEnd - g), 0);
        for (; d != dEnd; ++d) {
            double best = 0.5;
            std::size_t match = taken.size();
            bool onCrowd = false;
            for (std::size_t i = 0; i < taken.size(); ++i) {
                const GroundTruthBox &object = *g[std::ptrdiff_t(i)];
                const double iou = coco::boxIou((*d)->box, object.box, object.crowd);
                if (object.crowd) {
                    onCrowd = onCrowd || iou >= 0.5;
                } else if (!taken[i] && iou >= best) {
                    best = iou;
                    match = i;
                }
            }
            if (match < taken.size()) {
                taken[match] = 1;
                matrix.add(g[std::ptrdiff_t(match)]->category, (*d)->category);
            } else if (!onCrowd) {
                matrix.add(background, (*d)->category);
            }
        }
        for (std::size_t i = 0; i < taken.size(); ++i)
            if (!taken[i] && !g[std::ptrdiff_t(i)]->crowd)
                matrix.add(g[std::ptrdiff_t(i)]->category, background);
        g = gEnd;
    }
    return matrix;
}

DetectionAccuracy detectionAccuracy(const std::vector<GroundTruthBox> &truth, const std::vector<DetectedBox> &detections,
                                    std::size_t imageCount, const std::vector<std::string> &labels, double threshold)
{
    const BoxEvaluation evaluation(truth, detections, imageCount, labels.size(), threshold);
    DetectionAccuracy accuracy;
    accuracy.coco = cocoSummary(evaluation);
    accuracy.threshold = threshold;
    const std::size_t T = coco::iouThresholdCount;
    const std::size_t t50 = thresholdIndex(0.5);
    std::size_t hits = 0, misses = 0, objects = 0;
    for (std::size_t k = 0; k < labels.size(); ++k) {
        ClassDetectionFigures c;
        c.label = labels[k];
        c.ap = averagePrecision(evaluation, 0, T, k, allAreas, hundred);
        c.ap50 = averagePrecision(evaluation, t50, t50 + 1, k, allAreas, hundred);
        c.instances = evaluation.instances(k);
        c.truePositives = evaluation.truePositives(k);
        c.falsePositives = evaluation.falsePositives(k);
        const std::size_t shown = c.truePositives + c.falsePositives;
        c.precision = shown > 0 ? double(c.truePositives) / double(shown) : 0.0;
        c.recall = c.instances > 0 ? double(c.truePositives) / double(c.instances) : -1.0;
        c.f1 = f1Score(c.precision, c.recall);
        for (std::size_t r = 0; r < coco::recallPointCount; ++r)
            c.curve[r] = evaluation.precision(t50, r, k, allAreas, hundred);
        hits += c.truePositives;
        misses += c.falsePositives;
        objects += c.instances;
        accuracy.classes.push_back(c);
    }
    accuracy.precision = hits + misses > 0 ? double(hits) / double(hits + misses) : 0.0;
    accuracy.recall = objects > 0 ? double(hits) / double(objects) : -1.0;
    accuracy.f1 = f1Score(accuracy.precision, accuracy.recall);
    accuracy.confusion = detectionConfusion(truth, detections, labels, threshold);
    return accuracy;
}
