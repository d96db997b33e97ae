// Decoding of YOLO-style outputs: anchor groups, strides, box formulas,
// clamping, thresholds, suppression, and the refusal of bad input.
#include "results/yolo_decoder.h"
#include "support/failure_message.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr float quiet = -100.0f; // objectness score of an anchor that sees nothing

// Raw outputs of a detector under construction, every anchor quiet.
struct Heads
{
    NnDescription description;
    std::vector<TensorDims> dims;
    OutputBuffers outputs;
    TensorDims input{};
    QSize picture{4096, 4096};

    Heads(NetworkKind kind, int classes, std::vector<double> anchors)
    {
        description.neural_network = kind;
        for (int k = 0; k < classes; ++k)
            description.labels.push_back("class" + std::to_string(k));
        description.yolo_anchors = std::move(anchors);
        description.yolo_confidence_threshold = 0.3;
        description.yolo_iou_threshold = 0.45;
    }
    std::uint32_t fields() const { return std::uint32_t(description.labels.size() + 5); }

    void addOutput(std::uint32_t width, std::uint32_t height, std::uint32_t anchors, std::uint32_t extra = 0)
    {
        const TensorDims d{width, height, anchors * fields() + extra};
        dims.push_back(d);
        outputs.emplace_back(std::size_t(width) * height * d.depth, 0.0f);
        for (std::size_t cell = 0; cell < std::size_t(width) * height; ++cell) {
            float *values = outputs.back().data() + cell * d.depth;
            for (std::uint32_t a = 0; a < anchors; ++a)
                values[a * fields() + 4] = quiet;
            for (std::uint32_t e = 0; e < extra; ++e) // would pass if it were read
                values[anchors * fields() + e] = 50.0f;
        }
    }
    // Raw tx, ty, tw, th, objectness, class scores of one anchor.
    void set(std::size_t output, std::uint32_t row, std::uint32_t column, std::uint32_t anchor,
             std::vector<float> raw)
    {
        const TensorDims &d = dims[output];
        const std::size_t at = (std::size_t(row) * d.width + column) * d.depth + anchor * fields();
        std::copy(raw.begin(), raw.end(), outputs[output].begin() + std::ptrdiff_t(at));
    }
    std::vector<Detection> decode() const { return decodeDetections(outputs, dims, input, picture, description); }
};

struct Box
{
    int x, y, width, height;
};

void expectBox(const Detection &d, Box box)
{
    EXPECT_EQ(d.x, box.x);
    EXPECT_EQ(d.y, box.y);
    EXPECT_EQ(d.width, box.width);
    EXPECT_EQ(d.height, box.height);
}

// yolo3 with one-pixel cells: a box from cell (row, column) with an anchor of
// even size 2k spans column - k to column + k.
Heads pixelGrid(int anchorsPerCell, std::vector<double> anchors)
{
    Heads heads(NetworkKind::Yolo3, 2, std::move(anchors));
    heads.input = {128, 128, 3};
    heads.addOutput(128, 128, std::uint32_t(anchorsPerCell));
    heads.description.yolo_confidence_threshold = 0.1;
    return heads;
}

} // namespace

TEST(YoloDecoder, WorkedBoxesOfEachKind)
{
    const struct
    {
        NetworkKind kind;
        std::vector<double> anchors;
        std::uint32_t inputSize, grid;
        Box expected;
    } cases[] = {
        {NetworkKind::Yolo2, {1.5, 2.0}, 0, 4, {56, 16, 48, 64}},
        {NetworkKind::Yolo3, {100, 60}, 512, 16, {30, 18, 100, 60}},
        {NetworkKind::Yolo5, {1.25, 2.0}, 0, 4, {15, 4, 10, 16}},
    };
    for (const auto &c : cases) {
        Heads heads(c.kind, 1, c.anchors);
        heads.input = {c.inputSize, c.inputSize, 3};
        heads.addOutput(c.grid, c.grid, 1);
        heads.set(0, 1, 2, 0, {0, 0, 0, 0, 10, 0});
        const auto found = heads.decode();
        ASSERT_EQ(found.size(), 1u);
        expectBox(found[0], c.expected);
        EXPECT_FALSE(found[0].colour.isValid());
    }
}

TEST(YoloDecoder, ConfidenceIsObjectnessTimesTheFirstBestClass)
{
    for (NetworkKind kind : {NetworkKind::Yolo2, NetworkKind::Yolo3, NetworkKind::Yolo5}) {
        Heads heads(kind, 2, {1, 1});
        heads.input = {64, 64, 3};
        heads.addOutput(2, 2, 1);
        heads.set(0, 0, 0, 0, {0, 0, 0, 0, 0, 0, 0});
        heads.description.yolo_confidence_threshold = 0.2;
        auto found = heads.decode();
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].confidence, 0.25);
        EXPECT_EQ(found[0].classIndex, 0);

        // Exactly at the threshold is not enough.
        heads.description.yolo_confidence_threshold = 0.25;
        EXPECT_TRUE(heads.decode().empty());
        heads.description.yolo_confidence_threshold = 1.0;
        heads.set(0, 0, 0, 0, {0, 0, 0, 0, 50, 50, 50});
        EXPECT_TRUE(heads.decode().empty());
    }
    // A single class under softmax has probability 1.
    Heads single(NetworkKind::Yolo2, 1, {1, 1});
    single.addOutput(1, 1, 1);
    single.set(0, 0, 0, 0, {0, 0, 0, 0, 1, -30});
    single.description.yolo_confidence_threshold = 0.1;
    ASSERT_EQ(single.decode().size(), 1u);
    EXPECT_EQ(single.decode()[0].confidence, 1.0 / (1.0 + double(std::exp(-1.0f))));
}

// Which anchor pair and stride each output uses: the box width reveals it.
TEST(YoloDecoder, AnchorGroupsAndStridesFollowTheOutputPosition)
{
    struct Case
    {
        NetworkKind kind;
        int outputs, output, anchor;
        int pair;
        double unit; // pixels per anchor unit
    };
    const Case cases[] = {
        {NetworkKind::Yolo2, 2, 0, 1, 1, 32}, {NetworkKind::Yolo2, 2, 1, 1, 1, 32},
        {NetworkKind::Yolo3, 3, 0, 0, 6, 1},  {NetworkKind::Yolo3, 3, 1, 2, 5, 1},
        {NetworkKind::Yolo3, 3, 2, 0, 0, 1},  {NetworkKind::Yolo5, 3, 0, 2, 2, 8},
        {NetworkKind::Yolo5, 3, 2, 0, 6, 32}, {NetworkKind::Yolo5, 4, 3, 1, 10, 64},
    };
    for (const Case &c : cases) {
        std::vector<double> anchors; // pair j is (j + 1, 1)
        for (int j = 0; j < 12; ++j)
            anchors.insert(anchors.end(), {j + 1.0, 1.0});
        Heads heads(c.kind, 1, anchors);
        heads.input = {256, 256, 3};
        for (int o = 0; o < c.outputs; ++o)
            heads.addOutput(8, 1, 3); // one grid for all: the stride comes from the position
        heads.set(std::size_t(c.output), 0, 7, std::uint32_t(c.anchor), {0, 0, 0, 0, 10, 0});
        const auto found = heads.decode();
        ASSERT_EQ(found.size(), 1u);
        const double width = (c.pair + 1) * c.unit;
        const double centre = c.kind == NetworkKind::Yolo5 ? 7.5 * c.unit : 240.0;
        EXPECT_EQ(found[0].width, int(width)) << int(c.kind) << " output " << c.output;
        EXPECT_EQ(found[0].x, int(centre - width / 2)) << int(c.kind) << " output " << c.output;
    }
}

TEST(YoloDecoder, BoxesAreClampedToThePicture)
{
    struct Case
    {
        std::uint32_t column;
        double anchorWidth, anchorHeight;
        int pictureWidth;
        Box expected;
    };
    // yolo3, one row of four 25-pixel cells on a 100 x 100 input.
    const Case cases[] = {
        {0, 40, 21, 100, {0, 39, 32, 21}},  // past the left edge
        {3, 40, 21, 100, {67, 39, 32, 21}}, // past the right edge: ends at 99
        {1, 10, 120, 100, {32, 0, 10, 99}}, // past the top and bottom edges
        {3, 10, 21, 50, {82, 39, -33, 21}}, // wholly right of a narrower picture: kept
    };
    for (const Case &c : cases) {
        Heads heads(NetworkKind::Yolo3, 1, {c.anchorWidth, c.anchorHeight});
        heads.input = {100, 100, 3};
        heads.picture = {c.pictureWidth, 100};
        heads.addOutput(4, 1, 1);
        heads.set(0, 0, c.column, 0, {0, 0, 0, 0, 10, 0});
        const auto found = heads.decode();
        ASSERT_EQ(found.size(), 1u);
        expectBox(found[0], c.expected);
    }
}

TEST(YoloDecoder, HugeAndNonFiniteEdgesBecomeDefinedIntegers)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        std::vector<float> raw;
        double anchorWidth;
        Box expected;
    };
    const Case cases[] = {
        {{0, 0, inf, 0, 10, 0}, 1, {0, 0, 639, 32}},        // infinite width: the whole row
        {{0, 0, 1e30f, 1e30f, 10, 0}, 1, {0, 0, 639, 479}}, // exp overflows
        {{nan, 0, 0, 0, 10, 0}, 1, {0, 0, 0, 32}},          // NaN centre: edges at 0
        {{0, 0, inf, 0, 10, 0}, -1, {std::numeric_limits<std::int32_t>::max(), 0,
                                     std::numeric_limits<std::int32_t>::min(), 32}}, // inverted box
    };
    for (const Case &c : cases) {
        Heads heads(NetworkKind::Yolo2, 1, {c.anchorWidth, 1.0});
        heads.picture = {640, 480};
        heads.addOutput(1, 1, 1);
        heads.set(0, 0, 0, 0, c.raw);
        const auto found = heads.decode();
        ASSERT_EQ(found.size(), 1u);
        expectBox(found[0], c.expected);
    }
}

TEST(YoloDecoder, SuppressionIsGreedyAcrossClassesAndStrictlyAboveTheThreshold)
{
    struct Case
    {
        Box first, second; // first is the more confident
        double iouThreshold;
        bool secondKept;
    };
    const Case cases[] = {
        {{0, 0, 100, 100}, {80, 80, 20, 20}, 0.03, false}, // IoU 0.04
        {{0, 0, 100, 100}, {80, 80, 20, 20}, 0.05, true},
        {{0, 0, 10, 10}, {5, 0, 10, 10}, 1.0 / 3.0, true}, // IoU exactly 1/3
        {{0, 0, 10, 10}, {5, 0, 10, 10}, 0.33, false},
    };
    for (const Case &c : cases) {
        // Anchor 0 makes the first box, anchor 1 (another class) the second.
        Heads heads = pixelGrid(2, {double(c.first.width), double(c.first.height), double(c.second.width),
                                    double(c.second.height)});
        heads.description.yolo_iou_threshold = c.iouThreshold;
        const auto centre = [](Box b, bool vertical) {
            return std::uint32_t(vertical ? b.y + b.height / 2 : b.x + b.width / 2);
        };
        heads.set(0, centre(c.first, true), centre(c.first, false), 0, {0, 0, 0, 0, 3, 5, -5});
        heads.set(0, centre(c.second, true), centre(c.second, false), 1, {0, 0, 0, 0, 2, -5, 5});
        const auto found = heads.decode();
        ASSERT_EQ(found.size(), c.secondKept ? 2u : 1u) << c.iouThreshold;
        expectBox(found[0], c.first);
        EXPECT_EQ(found[0].classIndex, 0);
        if (c.secondKept) {
            expectBox(found[1], c.second);
            EXPECT_EQ(found[1].classIndex, 1);
        }
    }
}

TEST(YoloDecoder, EqualConfidencesKeepDecodeOrder)
{
    // Same confidence everywhere: the box decoded first (earlier output, then
    // row, then column) survives and suppresses the others; each would leave
    // a box of another shape.
    Heads heads = pixelGrid(1, {40, 40, 40, 40});
    heads.addOutput(128, 128, 1);
    heads.set(1, 20, 5, 0, {0, 0, 0, 0, 2, 1, 0});  // later output: {0, 0, 25, 40}
    heads.set(0, 21, 8, 0, {0, 0, 0, 0, 2, 1, 0});  // later row: {0, 1, 28, 40}
    heads.set(0, 20, 12, 0, {0, 0, 0, 0, 2, 1, 0}); // first in decode order
    heads.set(0, 20, 14, 0, {0, 0, 0, 0, 2, 1, 0}); // later column: {0, 0, 34, 40}
    const auto found = heads.decode();
    ASSERT_EQ(found.size(), 1u);
    expectBox(found[0], {0, 0, 32, 40});
}

TEST(YoloDecoder, TooFewAnchorPairsAreRefusedBeforeAnythingIsRead)
{
    struct Case
    {
        NetworkKind kind;
        int outputs;
        std::size_t anchorValues; // two per pair; an odd last value is no pair
        const char *missing;      // "needed, given", or null when enough
    };
    const Case cases[] = {
        {NetworkKind::Yolo2, 2, 6, nullptr},       {NetworkKind::Yolo2, 2, 5, "need 3, the description gives 2"},
        {NetworkKind::Yolo3, 2, 12, nullptr},      {NetworkKind::Yolo3, 2, 11, "need 6, the description gives 5"},
        {NetworkKind::Yolo5, 3, 6, "need 9, the description gives 3"},
    };
    for (const Case &c : cases) {
        Heads heads(c.kind, 1, std::vector<double>(c.anchorValues, 1.0));
        heads.input = {64, 64, 3};
        for (int o = 0; o < c.outputs; ++o)
            heads.addOutput(2, 2, 3);
        heads.set(0, 0, 0, 0, {0, 0, 0, 0, 10, 0});
        const std::string expected =
            c.missing ? std::string("Too few anchor pairs in yolo_anchors: the network's outputs ") + c.missing
                      : "(no failure)";
        EXPECT_EQ(failureMessage([&] { checkAnchorCount(heads.description, heads.dims); }), expected);
        EXPECT_EQ(failureMessage([&] { heads.decode(); }), expected);
    }
    // The classifier and segmentation kinds use no anchors.
    Heads classifier(NetworkKind::Classifier, 1, {});
    classifier.addOutput(2, 2, 3);
    EXPECT_NO_THROW(checkAnchorCount(classifier.description, classifier.dims));
    EXPECT_THROW(classifier.decode(), std::runtime_error);
}

// What opening a description checks: the outputs hold exactly the labels and
// anchors the description gives (a COCO detector: 80 labels, 3 anchors a cell).
TEST(YoloDecoder, OutputsThatDoNotFitTheDescriptionAreRefused)
{
    const std::vector<TensorDims> coco{{10, 10, 255}, {20, 20, 255}};
    const struct
    {
        const char *name;
        NetworkKind kind;
        int labels;
        std::size_t anchorValues;
        std::vector<TensorDims> outputs;
        const char *message; // null: fits
    } cases[] = {
        {"fits", NetworkKind::Yolo3, 80, 12, coco, nullptr},
        {"two labels missing", NetworkKind::Yolo3, 78, 12, coco,
         "Output 0 of the model holds 255 values per cell, but the description's 3 anchors per cell and 78 labels "
         "need 249 (3 x (78 + 5))"},
        {"two anchor values too many", NetworkKind::Yolo3, 80, 14, coco,
         "yolo_anchors holds 7 (width, height) pairs, which the 2 outputs of the model cannot share equally"},
        {"one anchor value too many", NetworkKind::Yolo3, 80, 13, coco,
         "yolo_anchors holds 13 numbers: anchors are (width, height) pairs, so the count must be even"},
        {"four anchors a cell", NetworkKind::Yolo5, 80, 16, coco,
         "Output 0 of the model holds 255 values per cell, but the description's 4 anchors per cell and 80 labels "
         "need 340 (4 x (80 + 5))"},
        {"no anchors", NetworkKind::Yolo5, 80, 0, coco, "yolo_anchors holds no (width, height) pair"},
        {"second output differs", NetworkKind::Yolo3, 80, 12, {{10, 10, 255}, {20, 20, 256}},
         "Output 1 of the model holds 256 values per cell, but the description's 3 anchors per cell and 80 labels "
         "need 255 (3 x (80 + 5))"},
        {"yolo2 uses every anchor in each output", NetworkKind::Yolo2, 1, 10, {{13, 13, 30}}, nullptr},
        {"yolo2 with one anchor too few", NetworkKind::Yolo2, 1, 8, {{13, 13, 30}},
         "Output 0 of the model holds 30 values per cell, but the description's 4 anchors per cell and 1 label "
         "need 24 (4 x (1 + 5))"},
        {"classifier", NetworkKind::Classifier, 3, 0, {{1, 1, 1000}}, nullptr},
    };
    for (const auto &c : cases) {
        Heads heads(c.kind, c.labels, std::vector<double>(c.anchorValues, 1.0));
        EXPECT_EQ(failureMessage([&] { checkDetectorOutputs(heads.description, c.outputs); }),
                  c.message ? c.message : "(no failure)")
            << c.name;
    }
}

TEST(YoloDecoder, ReadsOnlyWhatTheBuffersHold)
{
    // Extra channels past the last whole anchor are ignored.
    Heads extra(NetworkKind::Yolo3, 1, {10, 10, 20, 20});
    extra.input = {64, 64, 3};
    extra.addOutput(2, 2, 2, 3);
    extra.set(0, 1, 1, 1, {0, 0, 0, 0, 10, 0});
    const auto found = extra.decode();
    ASSERT_EQ(found.size(), 1u);
    expectBox(found[0], {38, 38, 20, 20});

    // A buffer shorter than its dimensions: the whole anchors in it are
    // decoded, nothing past its end is read (the sanitizer build checks).
    Heads shortBuffer(NetworkKind::Yolo2, 1, {1, 1});
    shortBuffer.addOutput(4, 4, 1);
    shortBuffer.set(0, 0, 1, 0, {0, 0, 0, 0, 10, 0});
    shortBuffer.outputs[0].resize(2 * 6 + 4); // cells 0 and 1, and part of cell 2
    shortBuffer.outputs[0].shrink_to_fit();
    EXPECT_EQ(shortBuffer.decode().size(), 1u);

    // Fewer buffers than dimensions, or none at all.
    shortBuffer.outputs.clear();
    EXPECT_TRUE(shortBuffer.decode().empty());
}

// Objectness scores around the one whose probability equals the threshold:
// skipping hopeless anchors early must decide exactly as the probability does
// (one class: the confidence is the objectness).
TEST(YoloDecoder, DecidesLikeTheProbabilityNearTheThreshold)
{
    for (double threshold : {1e-6, 0.25, 0.5, 0.9, 0.999999}) {
        const float boundary = float(std::log(threshold / (1.0 - threshold)));
        std::vector<float> scores;
        for (int step = -100; step < 100; ++step) {
            float score = boundary;
            for (int i = 0; i < std::abs(step); ++i)
                score = std::nextafter(score, step < 0 ? -1e30f : 1e30f);
            scores.push_back(score);
        }
        for (int j = -20; j <= 20; ++j)
            scores.push_back(boundary + 1e-3f * float(j) / 10.0f);
        Heads heads(NetworkKind::Yolo2, 1, {0.01, 0.01});
        heads.description.yolo_confidence_threshold = threshold;
        heads.description.yolo_iou_threshold = 1.0; // keep every box
        heads.addOutput(std::uint32_t(scores.size()), 1, 1);
        std::size_t passing = 0;
        for (std::size_t c = 0; c < scores.size(); ++c) {
            heads.set(0, 0, std::uint32_t(c), 0, {0, 0, 0, 0, scores[c], 0});
            passing += 1.0 / (1.0 + double(std::exp(-scores[c]))) > threshold;
        }
        EXPECT_EQ(heads.decode().size(), passing) << threshold;
        EXPECT_GT(passing, 0u);
    }
}
