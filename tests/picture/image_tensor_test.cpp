#include "picture/image_tensor.h"
#include "picture/planar_layout.h"
#include "picture_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct PixelCase
{
    InputFormat format;
    std::uint32_t depth;
    std::vector<float> expected;
};

class AppendPixelTest : public testing::TestWithParam<PixelCase>
{
};

// Red 51, green 102, blue 204 divided by 255 give 0.2, 0.4 and 0.8.
TEST_P(AppendPixelTest, ValuesFollowTheFormatAndDepth)
{
    const PixelCase &c = GetParam();
    const PictureRequest request = makeRequest(1, 1, c.depth, c.format);
    std::vector<float> tensor = {42.0f};
    appendPixel(request, qRgba(51, 102, 204, 7), tensor);
    std::vector<float> expected = {42.0f};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(tensor, expected);
}

const float R = float(51 / 255.0), G = float(102 / 255.0), B = float(204 / 255.0);
const float I = float((0.587 * (102 / 255.0) + 0.299 * (51 / 255.0)) + 0.114 * (204 / 255.0));

INSTANTIATE_TEST_SUITE_P(
    Formats, AppendPixelTest,
    testing::Values(PixelCase{InputFormat::Rgb, 3, {R, G, B}}, PixelCase{InputFormat::Rbg, 3, {R, B, G}},
                    PixelCase{InputFormat::Grb, 3, {G, R, B}}, PixelCase{InputFormat::Gbr, 3, {G, B, R}},
                    PixelCase{InputFormat::Brg, 3, {B, R, G}}, PixelCase{InputFormat::Bgr, 3, {B, G, R}},
                    PixelCase{InputFormat::Bgr, 4, {B, G, R, 0.0f}},
                    PixelCase{InputFormat::Intensity, 1, {I}},
                    PixelCase{InputFormat::Intensity, 2, {I, 0.0f}}));

TEST(TensorToImage, UndoesTheNormalisation)
{
    std::mt19937 random(5);
    const QImage picture = randomPicture(random, 13, 7);
    for (int format = 0; format < 6; ++format) {
        for (std::uint32_t depth : {3u, 4u}) {
            // Exact in float: each value keeps its integer through the round trip.
            const PictureRequest request = makeRequest(13, 7, depth, InputFormat(format), {2.0, 0.5, 1.0},
                                                       {-64.0, 3.0, 0.0});
            EXPECT_TRUE(tensorToImage(request, imageToTensor(picture, request)) == picture)
                << "format " << format << " depth " << depth;
        }
    }
    QImage grey(3, 1, QImage::Format_RGB32);
    grey.setPixel(0, 0, qRgb(0, 0, 0));
    grey.setPixel(1, 0, qRgb(77, 77, 77));
    grey.setPixel(2, 0, qRgb(255, 255, 255));
    const PictureRequest intensity = makeRequest(3, 1, 2, InputFormat::Intensity, {1, 1, 1});
    EXPECT_TRUE(tensorToImage(intensity, {0.0f, 5.0f, 77.0f, 5.0f, 255.0f, 5.0f}) == grey);
}

TEST(TensorToImage, ColourOutOfRangeOrMissingGivesOpaqueBlack)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const PictureRequest request = makeRequest(6, 1, 3, InputFormat::Rgb, {1, 1, 1});
    const std::vector<float> tensor = {
        -0.9f, 255.9f, 10.0f, // truncated toward zero: 0, 255, 10
        256.0f, 1.0f, 1.0f,   // red too large
        1.0f, -1.0f, 1.0f,    // green too small
        1.0f, 1.0f, nan,      // no number
        1.0f, 2.0f, 3e38f,    // far out of range
        1.0f, 2.0f};          // the tensor ends before the blue value
    const QImage image = tensorToImage(request, tensor);
    ASSERT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 255, 10));
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(image.pixel(x, 0), qRgb(0, 0, 0)) << "pixel " << x;
    EXPECT_TRUE(tensorToImage(makeRequest(0, 5, 3), tensor).isNull());
}

TEST(InterleavedToPlanar, SplitsChannelPositionsIntoEvenRows)
{
    // 3 x 2 pixels of stride 4: value = 10 * pixel + channel.
    std::vector<float> interleaved;
    for (int pixel = 0; pixel < 6; ++pixel)
        for (int channel = 0; channel < 4; ++channel)
            interleaved.push_back(float(10 * pixel + channel));
    const std::vector<float> expected = {0, 10, 20, 0, 30, 40, 50, 0, 1, 11, 21, 0,
                                         31, 41, 51, 0, 2, 12, 22, 0, 32, 42, 52, 0};
    EXPECT_EQ(interleavedToPlanar(interleaved, 3, 2, 4, 3), expected);

    // A short input leaves zeros rather than reading past its end.
    interleaved = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<float> shortExpected = {0, 3, 6, 9, 1, 4, 7, 0, 2, 5, 8, 0};
    EXPECT_EQ(interleavedToPlanar(interleaved, 2, 2, 3, 3), shortExpected);
    EXPECT_THROW(interleavedToPlanar({}, 0xffffffffu, 0xffffffffu, 3, 0xffffffffu), std::length_error);
}

} // namespace
