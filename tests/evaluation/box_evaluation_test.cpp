// The COCO box figures on hand-worked cases whose answers follow from the
// reference evaluation's rules: thresholds, crowds, areas by the annotation's
// area, ties, 100 detections per image and category, images without objects.
#include "evaluation/detection_accuracy.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

GroundTruthBox object(std::size_t image, double x, double y, double w, double h, double area = -1.0,
                      bool crowd = false, std::size_t category = 0)
{
    return {image, category, {x, y, w, h}, area < 0.0 ? w * h : area, crowd};
}

DetectedBox found(std::size_t image, double x, double y, double w, double h, double score, std::size_t category = 0)
{
    return {image, category, {x, y, w, h}, score};
}

// 99 detections far from anything, all scoring s.
std::vector<DetectedBox> strays(std::size_t image, std::size_t count, double score, std::size_t category = 0)
{
    std::vector<DetectedBox> list;
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(found(image, 1000.0 + 20.0 * double(i), 1000.0, 10.0, 10.0, score, category));
    return list;
}

template <typename T>
std::vector<T> joined(std::vector<T> a, const std::vector<T> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct HandCase
{
    const char *name;
    std::vector<GroundTruthBox> truth;
    std::vector<DetectedBox> detections;
    std::size_t images;
    std::size_t categories;
    std::map<std::string, double> expected; // figure name -> value; -1 absent
};

void PrintTo(const HandCase &c, std::ostream *out)
{
    *out << c.name;
}

const std::vector<HandCase> &handCases()
{
    static const std::vector<HandCase> cases = {
        {"perfect box (medium)", {object(0, 10, 10, 50, 50)}, {found(0, 10, 10, 50, 50, 0.9)}, 1, 1,
         {{"AP", 1}, {"AP50", 1}, {"AP75", 1}, {"APs", -1}, {"APm", 1}, {"APl", -1}, {"AR1", 1}, {"AR10", 1},
          {"AR100", 1}, {"ARs", -1}, {"ARm", 1}, {"ARl", -1}}},
        // 100 x 62 inside 100 x 100: IoU 0.62 passes 0.50, 0.55 and 0.60 only.
        {"IoU 0.62 at 3 of 10 thresholds", {object(0, 0, 0, 100, 100)}, {found(0, 0, 0, 100, 62, 0.9)}, 1, 1,
         {{"AP", 0.3}, {"AP50", 1}, {"AP75", 0}, {"AR100", 0.3}, {"APl", 0.3}}},
        // Precision 1/2 where recall reaches 1, and made monotone before it.
        {"false positive before the true one", {object(0, 0, 0, 50, 50)},
         {found(0, 200, 200, 50, 50, 0.9), found(0, 0, 0, 50, 50, 0.8)}, 1, 1,
         {{"AP", 0.5}, {"AP50", 0.5}, {"AR1", 0}, {"AR10", 1}, {"AR100", 1}}},
        {"true positive before the false one", {object(0, 0, 0, 50, 50)},
         {found(0, 200, 200, 50, 50, 0.8), found(0, 0, 0, 50, 50, 0.9)}, 1, 1, {{"AP", 1}, {"AR1", 1}}},
        // 20 x 20 inside a 100 x 100 crowd: IoU over the detection's area is
        // 1, so it is matched to the crowd and counts neither way (plain IoU,
        // 0.04, would make it a false positive first: AP 0.5).
        {"detection on a crowd region", {object(0, 0, 0, 50, 50), object(0, 100, 100, 100, 100, -1, true)},
         {found(0, 120, 120, 20, 20, 0.95), found(0, 0, 0, 50, 50, 0.9)}, 1, 1, {{"AP", 1}, {"AR100", 1}}},
        // A quarter of it on the crowd: not matched, a false positive.
        {"detection partly on a crowd region", {object(0, 0, 0, 50, 50), object(0, 100, 100, 100, 100, -1, true)},
         {found(0, 70, 120, 40, 20, 0.95), found(0, 0, 0, 50, 50, 0.9)}, 1, 1, {{"AP", 0.5}}},
        {"only crowds: absent", {object(0, 100, 100, 100, 100, -1, true)}, {found(0, 100, 100, 100, 100, 0.9)}, 1, 1,
         {{"AP", -1}, {"AR100", -1}}},
        // 40 x 40 (1600, medium by width x height) with area 1000: small.
        {"area below 32² by area, not by width x height", {object(0, 0, 0, 40, 40, 1000)},
         {found(0, 0, 0, 40, 40, 0.9)}, 1, 1, {{"APs", 1}, {"APm", -1}, {"APl", -1}, {"ARs", 1}, {"ARm", -1}}},
        // 30 x 30 (900, small) with area 1100: medium.
        {"area above 32² by area, not by width x height", {object(0, 0, 0, 30, 30, 1100)},
         {found(0, 0, 0, 30, 30, 0.9)}, 1, 1, {{"APs", -1}, {"APm", 1}, {"APl", -1}}},
        // 90 x 90 (8100, medium) with area 9300: large.
        {"area above 96² by area, not by width x height", {object(0, 0, 0, 90, 90, 9300)},
         {found(0, 0, 0, 90, 90, 0.9)}, 1, 1, {{"APs", -1}, {"APm", -1}, {"APl", 1}, {"ARl", 1}}},
        // 100 x 100 (10000, large) with area 9000: medium.
        {"area below 96² by area, not by width x height", {object(0, 0, 0, 100, 100, 9000)},
         {found(0, 0, 0, 100, 100, 0.9)}, 1, 1, {{"APm", 1}, {"APl", -1}}},
        {"area exactly 32² is small and medium", {object(0, 0, 0, 32, 32, 1024)}, {found(0, 0, 0, 32, 32, 0.9)}, 1,
         1, {{"APs", 1}, {"APm", 1}, {"APl", -1}}},
        // A medium object found, and a small detection that found nothing: in
        // the "small" range the object does not count and the stray detection
        // is outside nothing, so it is a false positive there only.
        {"unmatched detection outside the area range is ignored",
         {object(0, 0, 0, 50, 50)}, {found(0, 300, 300, 10, 10, 0.95), found(0, 0, 0, 50, 50, 0.9)}, 1, 1,
         {{"AP", 0.5}, {"APm", 1}, {"APs", -1}}},
        // A crowd takes any number of detections, each left out.
        {"a crowd takes many detections", {object(0, 0, 0, 50, 50), object(0, 100, 100, 100, 100, -1, true)},
         {found(0, 110, 110, 20, 20, 0.95), found(0, 140, 140, 20, 20, 0.94), found(0, 170, 170, 20, 20, 0.93),
          found(0, 0, 0, 50, 50, 0.9)},
         1, 1, {{"AP", 1}}},
        // An object already taken is no match for a second detection: true,
        // false, true gives precision 1 up to recall 1/2, then 2/3.
        {"second detection on a taken object", {object(0, 0, 0, 50, 50), object(0, 100, 0, 50, 50)},
         {found(0, 0, 0, 50, 50, 0.9), found(0, 0, 0, 50, 50, 0.8), found(0, 100, 0, 50, 50, 0.7)}, 1, 1,
         {{"AP50", (51.0 + 50.0 * 2.0 / 3.0) / 101.0}}},
        // IoU 0.714 with the object, 1 (over its own area) with the crowd:
        // the object wins up to 0.70; above, the crowd takes the detection.
        {"an object beats a crowd that overlaps more", {object(0, 0, 0, 50, 70), object(0, 0, 0, 100, 100, -1, true)},
         {found(0, 0, 0, 50, 50, 0.9)}, 1, 1, {{"AP", 0.5}, {"AR100", 0.5}, {"AP75", 0}}},
        // In the medium range the small object does not count, so the
        // detection on it is left out (not a false positive), while the
        // medium stray is one: false, left out, true gives 1/2.
        {"detection on an object outside the area range",
         {object(0, 0, 0, 20, 20), object(0, 300, 300, 50, 50)},
         {found(0, 200, 200, 50, 50, 0.95), found(0, 0, 0, 20, 20, 0.9), found(0, 300, 300, 50, 50, 0.8)}, 1, 1,
         {{"APm", 0.5}, {"APs", 1}}},
        {"one detection per picture and class for AR1", {object(0, 0, 0, 50, 50), object(0, 100, 0, 50, 50)},
         {found(0, 0, 0, 50, 50, 0.9), found(0, 100, 0, 50, 50, 0.8)}, 1, 1, {{"AR1", 0.5}, {"AR10", 1}}},
        {"true box as the 11th detection", {object(0, 0, 0, 50, 50)},
         joined(strays(0, 10, 0.9), {found(0, 0, 0, 50, 50, 0.8)}), 1, 1, {{"AR10", 0}, {"AR100", 1}}},
        // Equal scores in one image: the one given first comes first.
        {"tie in one image, false one given first", {object(0, 0, 0, 50, 50)},
         {found(0, 200, 200, 50, 50, 0.5), found(0, 0, 0, 50, 50, 0.5)}, 1, 1, {{"AP", 0.5}, {"AR1", 0}}},
        {"tie in one image, true one given first", {object(0, 0, 0, 50, 50)},
         {found(0, 0, 0, 50, 50, 0.5), found(0, 200, 200, 50, 50, 0.5)}, 1, 1, {{"AP", 1}, {"AR1", 1}}},
        // Equal scores across images: image order decides, whatever the order given.
        {"tie across images, false one in the first image", {object(0, 0, 0, 50, 50), object(1, 0, 0, 50, 50)},
         {found(1, 0, 0, 50, 50, 0.5), found(0, 200, 200, 50, 50, 0.5), found(0, 0, 0, 50, 50, 0.4)}, 2, 1,
         // order: FP (image 0), TP (image 1), TP (0.4): precision 1/2 at recall 1/2, 2/3 at 1
         {{"AP50", (51 * (2.0 / 3.0) + 50 * (2.0 / 3.0)) / 101}}},
        // 99 strays at 0.9, then the true box: it is the 100th and counts at
        // precision 1/100; as the 101st it is cut.
        {"true box as the 100th detection", {object(0, 0, 0, 50, 50)},
         joined(strays(0, 99, 0.9), {found(0, 0, 0, 50, 50, 0.8)}), 1, 1, {{"AP", 0.01}, {"AR100", 1}, {"AR10", 0}}},
        {"true box as the 101st detection", {object(0, 0, 0, 50, 50)},
         joined(strays(0, 100, 0.9), {found(0, 0, 0, 50, 50, 0.8)}), 1, 1, {{"AP", 0}, {"AR100", 0}}},
        // The 100 are per image and category: 60 of each of two categories keep all.
        {"more than 100 detections over two categories",
         {object(0, 0, 0, 50, 50, -1, false, 0), object(0, 0, 0, 50, 50, -1, false, 1)},
         joined(joined(strays(0, 59, 0.9, 0), strays(0, 59, 0.9, 1)),
                {found(0, 0, 0, 50, 50, 0.8, 0), found(0, 0, 0, 50, 50, 0.8, 1)}),
         1, 2, {{"AR100", 1}, {"AP", 1.0 / 60.0}}},
        // The empty image's detection comes first by score: a false positive.
        {"image without objects", {object(0, 0, 0, 50, 50)},
         {found(1, 0, 0, 50, 50, 0.95), found(0, 0, 0, 50, 50, 0.9)}, 2, 1, {{"AP", 0.5}, {"AR100", 1}}},
        {"no detections at all", {object(0, 0, 0, 50, 50)}, {}, 1, 1, {{"AP", 0}, {"AR100", 0}, {"APs", -1}}},
        // A category without objects is left out of the means.
        {"category without objects", {object(0, 0, 0, 50, 50, -1, false, 0)},
         {found(0, 0, 0, 50, 50, 0.9, 0), found(0, 200, 200, 50, 50, 0.9, 1)}, 1, 2, {{"AP", 1}, {"AR100", 1}}},
        // One detection over two objects takes the better overlap; the other
        // object is missed.
        {"one detection, two objects", {object(0, 0, 0, 50, 50), object(0, 10, 0, 50, 50)},
         {found(0, 9, 0, 50, 50, 0.9)}, 1, 1, {{"AR100", 0.5}, {"AP50", 51.0 / 101.0}}},
    };
    return cases;
}

class HandWorked : public testing::TestWithParam<HandCase>
{
};

} // namespace

TEST_P(HandWorked, GivesTheReferenceFigures)
{
    const HandCase &c = GetParam();
    std::vector<std::string> labels;
    for (std::size_t k = 0; k < c.categories; ++k)
        labels.push_back("class " + std::to_string(k));
    const DetectionAccuracy accuracy = detectionAccuracy(c.truth, c.detections, c.images, labels, 0.5);
    for (const auto &[name, value] : c.expected) {
        const auto at = std::find(cocoFigureNames.begin(), cocoFigureNames.end(), name);
        ASSERT_NE(at, cocoFigureNames.end()) << name;
        EXPECT_NEAR(accuracy.coco[std::size_t(at - cocoFigureNames.begin())], value, 1e-12) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HandWorked, testing::ValuesIn(handCases()));

TEST(BoxEvaluationGrids, AreTheReferenceValues)
{
    // numpy.linspace(.5, .95, 10) and (0, 1, 101), to the last bit.
    const double thresholds[] = {0.5, 0.55, 0.6, 0.65, 0.7, 0.75, 0.8, 0.85, 0.8999999999999999, 0.95};
    for (std::size_t t = 0; t < coco::iouThresholdCount; ++t)
        EXPECT_EQ(coco::iouThreshold(t), thresholds[t]) << t;
    EXPECT_EQ(coco::recallPoint(0), 0.0);
    EXPECT_EQ(coco::recallPoint(29), 0.29);
    EXPECT_EQ(coco::recallPoint(57), 0.5700000000000001);
    EXPECT_EQ(coco::recallPoint(100), 1.0);
}

TEST(BoxEvaluationPerClass, CountsObjectsAndScoresAtTheThreshold)
{
    // Class 0: two objects, one found at 0.9, a stray at 0.7 and one at 0.3
    // (below the threshold); class 1: one object, nothing found, and a crowd.
    const std::vector<GroundTruthBox> truth = {object(0, 0, 0, 50, 50), object(1, 0, 0, 50, 50),
                                               object(0, 100, 0, 40, 40, -1, false, 1),
                                               object(0, 300, 300, 90, 90, -1, true, 1)};
    const std::vector<DetectedBox> detections = {found(0, 0, 0, 50, 50, 0.9), found(0, 200, 200, 30, 30, 0.7),
                                                 found(1, 0, 0, 50, 50, 0.3), found(0, 100, 0, 40, 40, 0.6, 0)};
    const DetectionAccuracy accuracy = detectionAccuracy(truth, detections, 2, {"a", "b"}, 0.5);
    ASSERT_EQ(accuracy.classes.size(), 2u);
    const ClassDetectionFigures &a = accuracy.classes[0];
    EXPECT_EQ(a.instances, 2u);
    EXPECT_EQ(a.truePositives, 1u);
    EXPECT_EQ(a.falsePositives, 2u); // the stray and the box on b's object
    EXPECT_DOUBLE_EQ(a.precision, 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(a.recall, 0.5);
    EXPECT_DOUBLE_EQ(a.f1, 0.4);
    EXPECT_DOUBLE_EQ(a.curve[0], 1.0);
    EXPECT_DOUBLE_EQ(a.curve[100], 0.5); // recall 1 with the 0.3 box: 2 of 4
    const ClassDetectionFigures &b = accuracy.classes[1];
    EXPECT_EQ(b.instances, 1u); // the crowd is no instance
    EXPECT_EQ(b.ap, 0.0);
    EXPECT_EQ(b.recall, 0.0);

    // Confusion at 0.5, true class by row: a's first object found as a, the
    // second missed (0.3 is below); b's object found as a; the stray is a
    // false a.
    const ConfusionMatrix &m = accuracy.confusion;
    ASSERT_EQ(m.labels, (std::vector<std::string>{"a", "b", "background"}));
    EXPECT_EQ(m.counts, (std::vector<std::size_t>{1, 0, 1, 1, 0, 0, 1, 0, 0}));
}
