// The board against the reference: raw output differences and the agreement
// of classes, boxes and masks, on hand-made frames whose answers are known.
#include "measuring/frame_comparison.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Detection box(int x, int y, int w, int h, int classIndex, double confidence = 0.9)
{
    return Detection{x, y, w, h, confidence, classIndex, {}};
}

FrameResult ranked(std::vector<int> classes)
{
    FrameResult result;
    for (int c : classes)
        result.ranking.push_back({c, 0.1f});
    return result;
}

TEST(FrameComparison, rawOutputDifferencesOverAllFrames)
{
    FrameComparison comparison(NetworkKind::Classifier);
    comparison.addFrame({{1, 2, 3}, {0, 0}}, {{1, 2, 3}, {0, 0}}, {}, {});
    comparison.addFrame({{1, 2, 5}, {1, 0}}, {{1, 2, 3}, {0, 1}}, {}, {});
    const ComparisonReport report = comparison.report();
    ASSERT_EQ(report.tensors.size(), 2u);
    EXPECT_DOUBLE_EQ(report.tensors[0].maxAbs, 2.0);
    EXPECT_DOUBLE_EQ(report.tensors[0].meanAbs, 2.0 / 6.0);
    EXPECT_NEAR(report.tensors[0].cosine, (14.0 + 20.0) / std::sqrt(14.0 + 30.0) / std::sqrt(28.0), 1e-12);
    EXPECT_NEAR(report.tensors[0].worstCosine, 20.0 / std::sqrt(30.0) / std::sqrt(14.0), 1e-12);
    // Orthogonal in the second frame; zero on both sides in the first counts as equal.
    EXPECT_DOUBLE_EQ(report.tensors[1].worstCosine, 0.0);
    EXPECT_DOUBLE_EQ(report.tensors[1].meanAbs, 0.5);
}

TEST(FrameComparison, classifierTopOneAndTopFive)
{
    FrameComparison comparison(NetworkKind::Classifier);
    comparison.addFrame({}, {}, ranked({3, 1, 2}), ranked({3, 2, 1}));             // both agree
    comparison.addFrame({}, {}, ranked({1, 2, 3, 4, 7, 0}), ranked({7, 1}));       // 7 is fifth
    comparison.addFrame({}, {}, ranked({1, 2, 3, 4, 5, 7}), ranked({7, 1}));       // 7 is sixth
    comparison.addFrame({}, {}, ranked({0, 1, 2, 3, 4, 5}), ranked({0, 1}));       // agree
    const ComparisonReport report = comparison.report();
    EXPECT_DOUBLE_EQ(report.top1, 0.5);
    EXPECT_DOUBLE_EQ(report.top5, 0.75);
    EXPECT_DOUBLE_EQ(report.agreement, 0.5);
}

struct DetectionCase
{
    const char *name;
    std::vector<Detection> board;
    std::vector<Detection> reference;
    double matched;
    double extra;
    double agreement;
};

void PrintTo(const DetectionCase &c, std::ostream *os)
{
    *os << c.name;
}

class DetectionAgreement : public ::testing::TestWithParam<DetectionCase>
{
};

TEST_P(DetectionAgreement, matchesSameClassBoxesWithIouOfAtLeastOneHalf)
{
    FrameComparison comparison(NetworkKind::Yolo3);
    FrameResult board, reference;
    board.detections = GetParam().board;
    reference.detections = GetParam().reference;
    comparison.addFrame({}, {}, board, reference);
    const ComparisonReport report = comparison.report();
    EXPECT_DOUBLE_EQ(report.matched, GetParam().matched);
    EXPECT_DOUBLE_EQ(report.extra, GetParam().extra);
    EXPECT_DOUBLE_EQ(report.agreement, GetParam().agreement);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DetectionAgreement,
    ::testing::Values(
        DetectionCase{"identical", {box(0, 0, 10, 10, 1), box(20, 20, 5, 5, 2)},
                      {box(0, 0, 10, 10, 1), box(20, 20, 5, 5, 2)}, 1.0, 0.0, 1.0},
        DetectionCase{"nothingOnEitherSide", {}, {}, 1.0, 0.0, 1.0},
        // IoU 50/150 = 1/3: too far apart; the board's box is extra.
        DetectionCase{"shiftedByHalf", {box(5, 0, 10, 10, 1)}, {box(0, 0, 10, 10, 1)}, 0.0, 1.0, 0.0},
        // IoU 80/120 = 2/3 is enough; another class is not.
        DetectionCase{"shiftedALittle", {box(2, 0, 10, 10, 1)}, {box(0, 0, 10, 10, 1)}, 1.0, 0.0, 1.0},
        DetectionCase{"otherClass", {box(0, 0, 10, 10, 2)}, {box(0, 0, 10, 10, 1)}, 0.0, 1.0, 0.0},
        // One board box can match one reference box only.
        DetectionCase{"twoReferencesOneBox", {box(0, 0, 10, 10, 1)},
                      {box(0, 0, 10, 10, 1), box(1, 0, 10, 10, 1, 0.5)}, 0.5, 0.0, 0.5},
        DetectionCase{"oneExtra", {box(0, 0, 10, 10, 1), box(50, 50, 10, 10, 1)}, {box(0, 0, 10, 10, 1)},
                      1.0, 0.5, 0.5},
        // Suppressed candidates count on neither side.
        DetectionCase{"suppressedIgnored", {box(0, 0, 10, 10, 1), box(0, 0, 3, 3, -1)},
                      {box(0, 0, 10, 10, 1), box(9, 9, 3, 3, -1)}, 1.0, 0.0, 1.0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FrameComparison, maskIouPerClass)
{
    FrameComparison comparison(NetworkKind::Unet);
    FrameResult board, reference;
    board.classMap = {4, 1, {0, 1, 1, 2}};
    reference.classMap = {4, 1, {0, 1, 2, 2}};
    comparison.addFrame({}, {}, board, reference);
    const ComparisonReport report = comparison.report();
    EXPECT_DOUBLE_EQ(report.maskIou.at(0), 1.0);
    EXPECT_DOUBLE_EQ(report.maskIou.at(1), 0.5);
    EXPECT_DOUBLE_EQ(report.maskIou.at(2), 0.5);
    EXPECT_DOUBLE_EQ(report.agreement, 0.5);
}

} // namespace
