// The mapping from network-input pixels back to the picture the user gave:
// against the pixels preparation really copied, for crops of either
// direction, odd sizes, strong reduction and enlargement.
#include "picture/picture_geometry.h"
#include "picture/picture_preparation.h"
#include "picture_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct GeometryCase
{
    int pictureWidth, pictureHeight;
    std::uint32_t width, height; // network input
    QImage::Format format;
};

void PrintTo(const GeometryCase &c, std::ostream *out)
{
    *out << c.pictureWidth << "x" << c.pictureHeight << " -> " << c.width << "x" << c.height << " format "
         << int(c.format);
}

class PictureGeometryTest : public testing::TestWithParam<GeometryCase>
{
};

} // namespace

TEST_P(PictureGeometryTest, MapsEveryNetworkPixelToTheOriginalPixelItWasCopiedFrom)
{
    const GeometryCase &c = GetParam();
    std::mt19937 random(std::uint32_t(c.pictureWidth * 7919 + c.pictureHeight));
    const QImage image = randomPicture(random, c.pictureWidth, c.pictureHeight, c.format);
    const PreparedPicture prepared = prepareDecodedPicture(image, makeRequest(c.width, c.height, 3), false);
    ASSERT_FALSE(prepared.picture.isNull());

    // The original is the caller's picture itself, not a copy.
    EXPECT_EQ(prepared.original.constBits(), image.constBits());
    EXPECT_EQ(prepared.crop, centreCrop(image.size(), c.width, c.height));

    const PictureGeometry geometry = pictureGeometry(prepared);
    ASSERT_FALSE(geometry.isNull());
    const QImage original = image.convertToFormat(QImage::Format_RGB32);
    const QImage network = prepared.picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < int(c.height); ++y)
        for (int x = 0; x < int(c.width); ++x)
            ASSERT_EQ(network.pixel(x, y), original.pixel(geometry.originalColumn(x), geometry.originalRow(y)))
                << "network pixel " << x << ", " << y;

    // In continuous coordinates every network pixel covers the original
    // pixel it was copied from, and the mapping goes back the same way.
    for (int x = 0; x < int(c.width); ++x) {
        const double left = geometry.toOriginal(QPointF(x, 0)).x();
        const double right = geometry.toOriginal(QPointF(x + 1, 0)).x();
        EXPECT_LE(std::floor(left), geometry.originalColumn(x)) << "column " << x;
        EXPECT_LT(geometry.originalColumn(x), right) << "column " << x;
        EXPECT_NEAR(geometry.toNetwork(QPointF(left, 0)).x(), x, 1e-9);
    }
    for (int y = 0; y < int(c.height); ++y) {
        const double top = geometry.toOriginal(QPointF(0, y)).y();
        const double bottom = geometry.toOriginal(QPointF(0, y + 1)).y();
        EXPECT_LE(std::floor(top), geometry.originalRow(y)) << "row " << y;
        EXPECT_LT(geometry.originalRow(y), bottom) << "row " << y;
        EXPECT_NEAR(geometry.toNetwork(QPointF(0, top)).y(), y, 1e-9);
    }
    // The whole input covers the crop exactly.
    EXPECT_EQ(geometry.toOriginal(QRectF(0, 0, c.width, c.height)), QRectF(prepared.crop));
    const QRect corners = geometry.originalPixels(QRect(0, 0, int(c.width), int(c.height)));
    EXPECT_TRUE(prepared.crop.contains(corners)) << "corners " << corners.x() << "," << corners.y() << " "
                                                 << corners.width() << "x" << corners.height();
}

INSTANTIATE_TEST_SUITE_P(
    Crops, PictureGeometryTest,
    testing::Values(GeometryCase{640, 480, 224, 224, QImage::Format_RGB32},  // columns cropped
                    GeometryCase{480, 640, 224, 224, QImage::Format_RGB32},  // rows cropped
                    GeometryCase{1001, 333, 160, 160, QImage::Format_RGB32}, // more than halved
                    GeometryCase{333, 1001, 160, 96, QImage::Format_RGB32},
                    GeometryCase{77, 45, 160, 160, QImage::Format_RGB32}, // enlarged
                    GeometryCase{45, 77, 161, 119, QImage::Format_RGB32},
                    GeometryCase{5, 3, 7, 9, QImage::Format_RGB32},
                    GeometryCase{1600, 1000, 416, 416, QImage::Format_RGB32},
                    GeometryCase{643, 487, 97, 61, QImage::Format_RGB888}, // decoded in another format
                    GeometryCase{211, 97, 160, 160, QImage::Format_Indexed8}));

TEST(PictureGeometryTest, BinaryImagesAndEmptyCropsHaveNoGeometry)
{
    PreparedPicture binary;
    binary.picture = QImage(8, 8, QImage::Format_RGB32);
    const PictureGeometry none = pictureGeometry(binary);
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ(none.toOriginal(QPointF(3.5, 2.0)), QPointF(3.5, 2.0));
    EXPECT_EQ(none.originalColumn(5), 5);
}

namespace {

struct FitCase
{
    PictureFit fit;
    int pictureWidth, pictureHeight;
    std::uint32_t width, height;
    QRect crop;      // expected
    QRect placement; // expected
};

void PrintTo(const FitCase &c, std::ostream *out)
{
    *out << int(c.fit) << ": " << c.pictureWidth << "x" << c.pictureHeight << " -> " << c.width << "x" << c.height;
}

class PictureFitTest : public testing::TestWithParam<FitCase>
{
};

} // namespace

// Every network pixel comes from the original pixel the geometry names, or
// is padding where the geometry names none; the placement maps back onto
// exactly what the network sees, so boxes land where they belong.
TEST_P(PictureFitTest, PlacesThePictureAndMapsBack)
{
    const FitCase &c = GetParam();
    std::mt19937 random(std::uint32_t(c.pictureWidth * 31 + c.pictureHeight));
    const QImage image = randomPicture(random, c.pictureWidth, c.pictureHeight);
    PictureRequest request = makeRequest(c.width, c.height, 3);
    request.fit = c.fit;
    request.padding = 114;
    const PreparedPicture prepared = prepareDecodedPicture(image, request, false);
    ASSERT_FALSE(prepared.picture.isNull());
    EXPECT_EQ(prepared.crop, c.crop);
    EXPECT_EQ(prepared.placement, c.placement);

    const PictureGeometry geometry = pictureGeometry(prepared);
    const QImage network = prepared.picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < int(c.height); ++y)
        for (int x = 0; x < int(c.width); ++x) {
            const int column = geometry.originalColumn(x);
            const int row = geometry.originalRow(y);
            if (c.placement.contains(x, y))
                ASSERT_EQ(network.pixel(x, y), image.pixel(column, row)) << x << ", " << y;
            else
                ASSERT_TRUE(network.pixel(x, y) == qRgb(114, 114, 114) && (column < 0 || row < 0)) << x << ", " << y;
        }
    const QRectF back = geometry.toOriginal(QRectF(c.placement));
    EXPECT_NEAR(back.left(), c.crop.left(), 1e-9);
    EXPECT_NEAR(back.top(), c.crop.top(), 1e-9);
    EXPECT_NEAR(back.right(), c.crop.left() + c.crop.width(), 1e-9);
    EXPECT_NEAR(back.bottom(), c.crop.top() + c.crop.height(), 1e-9);
    EXPECT_NEAR(geometry.toNetwork(QPointF(c.crop.topLeft())).x(), c.placement.left(), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Fits, PictureFitTest,
    testing::Values(FitCase{PictureFit::CentreCrop, 640, 480, 224, 224, {80, 0, 480, 480}, {0, 0, 224, 224}},
                    FitCase{PictureFit::Stretch, 640, 480, 224, 224, {0, 0, 640, 480}, {0, 0, 224, 224}},
                    FitCase{PictureFit::Stretch, 45, 77, 161, 119, {0, 0, 45, 77}, {0, 0, 161, 119}},
                    // 640 x 480 by 0.35: 224 x 168, 28 rows of padding above and below.
                    FitCase{PictureFit::Letterbox, 640, 480, 224, 224, {0, 0, 640, 480}, {0, 28, 224, 168}},
                    // 480 x 640 into 192 x 128: by 0.2, 96 x 128, 48 columns either side.
                    FitCase{PictureFit::Letterbox, 480, 640, 192, 128, {0, 0, 480, 640}, {48, 0, 96, 128}},
                    // 101 x 33 into 160: 160 x 52.28 rounds to 52, offset (160 - 52) / 2 = 54.
                    FitCase{PictureFit::Letterbox, 101, 33, 160, 160, {0, 0, 101, 33}, {0, 54, 160, 52}},
                    // Same aspect: no padding at all.
                    FitCase{PictureFit::Letterbox, 320, 240, 160, 120, {0, 0, 320, 240}, {0, 0, 160, 120}},
                    // Enlarged with an odd leftover: 7 x 3 by 16/7 into 16 x 16 is 16 x 7, 4 rows above, 5 below.
                    FitCase{PictureFit::Letterbox, 7, 3, 16, 16, {0, 0, 7, 3}, {0, 4, 16, 7}}));

TEST(PictureFitTest, BoxesMapBackToTheOriginalPixels)
{
    // A box around network pixels (0, 28) to (224, 196) of a letterboxed
    // 640 x 480 picture is the whole picture; half the input's width is
    // half the picture's.
    PreparedPicture prepared;
    prepared.original = QImage(640, 480, QImage::Format_RGB32);
    prepared.picture = QImage(224, 224, QImage::Format_RGB32);
    prepared.crop = QRect(0, 0, 640, 480);
    prepared.placement = QRect(0, 28, 224, 168);
    const PictureGeometry geometry = pictureGeometry(prepared);
    EXPECT_EQ(geometry.toOriginal(QRectF(0, 28, 224, 168)), QRectF(0, 0, 640, 480));
    EXPECT_EQ(geometry.toOriginal(QRectF(56, 70, 112, 42)), QRectF(160, 120, 320, 120));
}
