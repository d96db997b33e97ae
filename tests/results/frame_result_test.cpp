// decodeFrameResult: the same boxes the window has always drawn, the
// classifier's full ranking, and the segmentation's class per cell.
#include "results/detection_drawing.h"
#include "results/frame_result.h"
#include "results/softmax.h"
#include "results/yolo_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

std::vector<std::int32_t> classOrder(const FrameResult &result)
{
    std::vector<std::int32_t> order;
    for (const RankedClass &ranked : result.ranking)
        order.push_back(ranked.classIndex);
    return order;
}

NnDescription descriptionOf(NetworkKind kind, int labels = 0)
{
    NnDescription description;
    description.neural_network = kind;
    for (int k = 0; k < labels; ++k)
        description.labels.push_back("class" + std::to_string(k));
    return description;
}

} // namespace

// Boxes in network-input pixels, clamped to the input, with class colours:
// bit for bit what decodeDetections gives for a picture of the input's size.
TEST(FrameResultTest, DetectionsAreTheDecodersClampedToTheNetworkInput)
{
    NnDescription description = descriptionOf(NetworkKind::Yolo3, 3);
    description.yolo_anchors = {10, 14, 23, 27, 37, 58, 81, 82, 135, 169, 344, 319};
    description.yolo_confidence_threshold = 0.3;
    description.yolo_iou_threshold = 0.45;
    ModelDims dims;
    dims.inputs = {{96, 64, 3}};
    dims.outputs = {{3, 2, 3 * 8}, {6, 4, 3 * 8}};
    std::mt19937 random(5);
    std::uniform_real_distribution<float> score(-4.0f, 4.0f);
    OutputBuffers outputs;
    for (const TensorDims &d : dims.outputs) {
        outputs.emplace_back(elementCount(d));
        for (float &v : outputs.back())
            v = score(random);
    }

    const FrameResult result = decodeFrameResult(outputs, dims, description);
    std::vector<Detection> expected =
        decodeDetections(outputs, dims.outputs, dims.inputs.front(), QSize(96, 64), description);
    assignClassColours(expected);
    ASSERT_GE(result.detections.size(), 3u);
    ASSERT_EQ(result.detections.size(), expected.size());
    bool reachesAnEdge = false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Detection &d = result.detections[i];
        const Detection &e = expected[i];
        EXPECT_EQ(std::tie(d.x, d.y, d.width, d.height, d.classIndex), std::tie(e.x, e.y, e.width, e.height, e.classIndex));
        EXPECT_EQ(d.confidence, e.confidence);
        EXPECT_EQ(d.colour, e.colour);
        EXPECT_LE(d.x + d.width, 95);
        EXPECT_LE(d.y + d.height, 63);
        reachesAnEdge = reachesAnEdge || d.x + d.width == 95 || d.y + d.height == 63;
    }
    EXPECT_TRUE(reachesAnEdge) << "no box was clamped: the case does not test the clamping";
    EXPECT_TRUE(result.ranking.empty());
    EXPECT_TRUE(result.classMap.classes.empty());
}

struct RankingCase
{
    const char *name;
    std::vector<float> scores;
    std::vector<std::int32_t> order;
};

class FrameResultRankingTest : public testing::TestWithParam<RankingCase>
{
};

TEST_P(FrameResultRankingTest, RanksEveryClassMostProbableFirst)
{
    const RankingCase &c = GetParam();
    ModelDims dims;
    dims.outputs = {{std::uint32_t(c.scores.size()), 1, 1}};
    const FrameResult result = decodeFrameResult({c.scores}, dims, descriptionOf(NetworkKind::Classifier, 2));
    EXPECT_EQ(classOrder(result), c.order);
    double sum = 0.0;
    for (const RankedClass &ranked : result.ranking)
        sum += std::isnan(ranked.probability) ? 0.0 : ranked.probability;
    if (!c.scores.empty() && !std::isnan(result.ranking.front().probability)) {
        EXPECT_NEAR(sum, 1.0, 1e-5);
    }
    EXPECT_TRUE(result.detections.empty());
}

const float notANumber = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Scores, FrameResultRankingTest,
    testing::Values(RankingCase{"ordered", {1.0f, 3.0f, 2.0f}, {1, 2, 0}},
                    RankingCase{"ties keep the class order", {2.0f, 5.0f, 2.0f, 2.0f}, {1, 0, 2, 3}},
                    RankingCase{"more classes than labels", {0.0f, 1.0f, 2.0f, 3.0f, 4.0f}, {4, 3, 2, 1, 0}},
                    RankingCase{"no scores", {}, {}},
                    RankingCase{"not a number", {1.0f, notANumber, 2.0f}, {0, 1, 2}}),
    [](const testing::TestParamInfo<RankingCase> &info) {
        std::string name = info.param.name;
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

struct ActivationCase
{
    const char *name;
    std::vector<float> values;
    OutputActivation activation;
    bool shownAsTheyAre; // else their softmax
};

// An output that already is a probability distribution is shown as it is,
// unless the description asks for a softmax; one that is not gets a softmax,
// unless the description says it holds the probabilities.
TEST(FrameResultTest, ProbabilitiesAreShownAsTheyAre)
{
    const ActivationCase cases[] = {
        {"distribution", {0.000274f, 0.998865f, 0.000384f, 0.000249f, 0.000004f, 0.000012f, 0.000213f},
         OutputActivation::Automatic, true},
        {"sum within 1e-3", {0.2f, 0.3f, 0.5009f}, OutputActivation::Automatic, true},
        {"sum beyond 1e-3", {0.2f, 0.3f, 0.5011f}, OutputActivation::Automatic, false},
        {"a value below 0", {-0.1f, 0.6f, 0.5f}, OutputActivation::Automatic, false},
        {"a value above 1", {1.5f, -0.5f}, OutputActivation::Automatic, false},
        {"raw scores", {2.0f, 1.0f, 0.1f}, OutputActivation::Automatic, false},
        {"said to be a distribution", {2.0f, 1.0f, 0.1f}, OutputActivation::None, true},
        {"softmax asked for", {0.1f, 0.7f, 0.2f}, OutputActivation::Softmax, false},
    };
    for (const ActivationCase &c : cases) {
        NnDescription description = descriptionOf(NetworkKind::Classifier, int(c.values.size()));
        description.output_activation = c.activation;
        ModelDims dims;
        dims.outputs = {{1, 1, std::uint32_t(c.values.size())}};
        const FrameResult result = decodeFrameResult({c.values}, dims, description);
        const std::vector<float> expected =
            c.shownAsTheyAre ? c.values : softmax(c.values.data(), c.values.size());
        ASSERT_EQ(result.ranking.size(), expected.size()) << c.name;
        for (const RankedClass &ranked : result.ranking)
            EXPECT_EQ(ranked.probability, expected[std::size_t(ranked.classIndex)]) << c.name;
    }
}

// A segmentation output of probabilities per cell: the class above one half
// wins, which a second softmax would flatten below it.
TEST(FrameResultTest, SegmentationProbabilitiesAreTakenAsTheyAre)
{
    const std::vector<float> cells{0.2f, 0.55f, 0.25f, /**/ 0.6f, 0.3f, 0.1f, /**/ 0.1f, 0.2f, 0.7f};
    ModelDims dims;
    dims.outputs = {{3, 1, 3}};
    const struct
    {
        OutputActivation activation;
        std::vector<std::uint8_t> classes;
    } cases[] = {
        {OutputActivation::Automatic, {1, 0, 2}},
        {OutputActivation::None, {1, 0, 2}},
        {OutputActivation::Softmax, {0, 0, 0}}, // e^0.55 / (e^0.2 + e^0.55 + e^0.25) = 0.41
    };
    for (const auto &c : cases) {
        NnDescription description = descriptionOf(NetworkKind::Unet);
        description.output_activation = c.activation;
        EXPECT_EQ(decodeFrameResult({cells}, dims, description).classMap.classes, c.classes) << int(c.activation);
    }
    // One cell that is no distribution: every cell is taken as raw scores.
    std::vector<float> scores = cells;
    scores[8] = 3.0f;
    EXPECT_EQ(decodeFrameResult({scores}, dims, descriptionOf(NetworkKind::Unet)).classMap.classes,
              (std::vector<std::uint8_t>{0, 0, 2}));
}

TEST(FrameResultTest, EmptyOrMalformedSegmentationOutputsGiveNoMap)
{
    ModelDims dims;
    dims.outputs = {{4, 4, 0}};
    EXPECT_TRUE(decodeFrameResult({{}}, dims, descriptionOf(NetworkKind::Unet)).classMap.classes.empty());
    dims.outputs = {{4, 4, 3}};
    EXPECT_TRUE(decodeFrameResult({{1.0f}}, dims, descriptionOf(NetworkKind::Unet)).classMap.classes.empty());
    EXPECT_TRUE(decodeFrameResult({}, dims, descriptionOf(NetworkKind::Unet)).classMap.classes.empty());
}
