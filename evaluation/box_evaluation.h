// Detector accuracy computed the way the published COCO box evaluation
// computes it, so that the figures equal the ones people quote:
//  - IoU thresholds 0.50, 0.55, ..., 0.95 and 101 recall points 0, 0.01, ..., 1
//    (each grid value made with the same arithmetic as the reference's);
//  - per image and category the 100 highest-scoring detections, equal scores
//    kept in the order they were given; a detection takes the best-overlapping
//    object still free, objects outside the area range or crowds last;
//  - a detection matched to a crowd region (whose IoU is the intersection over
//    the detection's own area) or to an object outside the area range counts
//    neither way, nor does an unmatched detection outside the area range;
//  - detections of all images merged by score (ties in image order), the
//    precision made monotone, read at the first point reaching each recall;
//  - -1 where a category has no object in the area range ("absent"), left out
//    of every mean.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

// [x, y, width, height] in picture pixels.
struct Box
{
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// Images and categories are indexes into the data set's lists, which keep
// ascending ids: the evaluation's order for equal scores follows them.
struct GroundTruthBox
{
    std::size_t image = 0;
    std::size_t category = 0;
    Box box;
    double area = 0.0; // decides small, medium and large
    bool crowd = false;
};

struct DetectedBox
{
    std::size_t image = 0;
    std::size_t category = 0;
    Box box;
    double score = 0.0;
};

// The reference's parameter grids.
namespace coco {
constexpr std::size_t iouThresholdCount = 10;
constexpr std::size_t recallPointCount = 101;
constexpr std::size_t areaRangeCount = 4; // all, small (< 32²), medium, large (> 96²)
constexpr std::array<std::size_t, 3> maxDetections{1, 10, 100};
double iouThreshold(std::size_t index);
double recallPoint(std::size_t index);
// Intersection over union; over the detection's own area for a crowd.
double boxIou(const Box &detection, const Box &object, bool crowd);
} // namespace coco

class BoxEvaluation
{
public:
    // threshold: the confidence above which detections count for the
    // counts at a threshold (IoU 0.5, all areas, 100 detections).
    BoxEvaluation(const std::vector<GroundTruthBox> &truth, const std::vector<DetectedBox> &detections,
                  std::size_t imageCount, std::size_t categoryCount, double threshold);

    std::size_t categoryCount() const { return categories; }

    // Interpolated precision at IoU threshold t, recall point r, category k,
    // area range a and max-detections index m; -1 when absent.
    double precision(std::size_t t, std::size_t r, std::size_t k, std::size_t a, std::size_t m) const;
    // Largest recall reached; -1 when absent.
    double recall(std::size_t t, std::size_t k, std::size_t a, std::size_t m) const;

    // Objects of the category that are no crowd, in all areas.
    std::size_t instances(std::size_t k) const { return objectCounts[k]; }
    // Detections above the threshold that found an object, or none, at IoU
    // 0.5 (crowd matches left out).
    std::size_t truePositives(std::size_t k) const { return hits[k]; }
    std::size_t falsePositives(std::size_t k) const { return misses[k]; }

private:
    std::size_t categories;
    std::vector<double> precisions; // [t][r][k][a][m]
    std::vector<double> recalls;    // [t][k][a][m]
    std::vector<std::size_t> objectCounts;
    std::vector<std::size_t> hits;
    std::vector<std::size_t> misses;

    friend class BoxAccumulation;
};
