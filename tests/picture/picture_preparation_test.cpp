#include "picture/image_tensor.h"
#include "picture/nearest_scaling.h"
#include "picture/picture_preparation.h"
#include "picture/planar_layout.h"
#include "picture_test_support.h"
#include "support/failure_message.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>

namespace {

// What preparation must give, step by step with Qt's own calls and the
// per-pixel rule.
PreparedPicture referencePreparation(const QImage &image, const PictureRequest &request, bool planar)
{
    PreparedPicture prepared;
    const QRect crop = centreCrop(image.size(), request.width, request.height);
    if (crop.isEmpty())
        return prepared; // the caller refuses a null picture
    prepared.picture = image.copy(crop).scaled(int(request.width), int(request.height),
                                               Qt::IgnoreAspectRatio, Qt::FastTransformation);
    for (int y = 0; y < prepared.picture.height(); ++y)
        for (int x = 0; x < prepared.picture.width(); ++x)
            appendPixel(request, prepared.picture.pixel(x, y), prepared.tensor);
    if (planar)
        prepared.tensor = interleavedToPlanar(prepared.tensor, request.width, request.height,
                                              request.depth, 3);
    return prepared;
}

std::string failureOf(const PictureRequest &request, bool planar = false)
{
    return failureMessage([&] { preparePicture(request, planar); });
}

struct CropCase
{
    int pictureWidth, pictureHeight;
    std::uint32_t width, height;
    QRect expected;
};

class CentreCropTest : public testing::TestWithParam<CropCase>
{
};

TEST_P(CentreCropTest, CropsToTheNetworkAspectRatio)
{
    const CropCase &c = GetParam();
    EXPECT_EQ(centreCrop(QSize(c.pictureWidth, c.pictureHeight), c.width, c.height), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CentreCropTest,
    testing::Values(CropCase{640, 480, 224, 224, QRect(80, 0, 480, 480)},
                    CropCase{300, 200, 224, 224, QRect(50, 0, 200, 200)},
                    CropCase{480, 640, 224, 224, QRect(0, 80, 480, 480)},
                    // The quotient is truncated and the offset rounds down.
                    CropCase{640, 427, 300, 200, QRect(0, 0, 640, 426)},
                    // 1 / (1 / 93.0) is just below 93: the last row goes.
                    CropCase{1, 93, 1, 93, QRect(0, 0, 1, 92)},
                    CropCase{224, 224, 224, 224, QRect(0, 0, 224, 224)},
                    CropCase{7, 3, 1, 1000, QRect(3, 0, 0, 3)},
                    CropCase{0, 10, 4, 4, QRect()}, CropCase{10, 10, 0, 4, QRect()},
                    CropCase{10, 10, 4, 0, QRect()}));

TEST(CropAndScale, PicksThePixelsThatQImageScaledPicks)
{
    std::mt19937 random(7);
    // Sizes where the scaling's fixed-point steps round differently, tiny
    // and large factors, unchanged axes, and random ones.
    std::vector<std::array<int, 4>> sizes = {
        {93, 1, 256, 1},   {98, 1, 1, 1},     {196, 3, 2, 5},  {273, 2, 384, 2}, {322, 1, 1, 1},
        {1, 92, 1, 93},    {1, 1, 255, 254},  {2, 2, 600, 3},  {1565, 1, 1063, 777},
        {768, 576, 416, 416}, {576, 576, 576, 576}, {3000, 2000, 224, 224}};
    for (int i = 0; i < 300; ++i) {
        const int limit = i % 10 == 0 ? 1500 : 120;
        sizes.push_back({1 + int(random() % limit), 1 + int(random() % limit),
                         1 + int(random() % limit), 1 + int(random() % limit)});
    }
    for (const auto &s : sizes) {
        const QImage image = randomPicture(random, s[0] + 3, s[1] + 2);
        const QRect crop(2, 1, s[0], s[1]);
        const QImage expected = image.copy(crop).scaled(s[2], s[3], Qt::IgnoreAspectRatio,
                                                        Qt::FastTransformation);
        const QImage actual = cropAndScale(image, crop, QSize(s[2], s[3]));
        ASSERT_EQ(actual.format(), expected.format());
        ASSERT_TRUE(actual == expected)
            << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3];
    }
}

TEST(PrepareDecodedPicture, EqualsTheStepByStepRuleBitForBit)
{
    std::mt19937 random(11);
    const QImage::Format formats[] = {QImage::Format_RGB32,      QImage::Format_ARGB32,
                                      QImage::Format_ARGB32_Premultiplied, QImage::Format_Indexed8,
                                      QImage::Format_Grayscale8, QImage::Format_RGB888,
                                      QImage::Format_RGB16};
    const std::array<double, 3> dividers[] = {{255.0, 255.0, 255.0}, {58.395, 57.12, 57.375},
                                              {1.0, 3.0, 0.1}, {0.0, -2.5, 7.0}};
    const std::array<double, 3> adders[] = {{0.0, 0.0, 0.0}, {-0.485, -0.456, -0.406},
                                            {-123.675, 0.1, 1e10}};
    for (int i = 0; i < 400; ++i) {
        const QImage::Format format = formats[i % 7];
        const auto colour = InputFormat(random() % 7);
        const bool intensity = colour == InputFormat::Intensity;
        const bool planar = !intensity && random() % 3 == 0;
        const std::uint32_t depth = planar ? 3 : (intensity ? 1 : 3) + random() % 2;
        const PictureRequest request = makeRequest(1 + random() % 40, 1 + random() % 40, depth, colour,
                                                   dividers[random() % 4], adders[random() % 3]);
        const QImage image = randomPicture(random, 1 + random() % 60, 1 + random() % 60, format);

        const PreparedPicture expected = referencePreparation(image, request, planar);
        const PreparedPicture actual = prepareDecodedPicture(image, request, planar);
        ASSERT_TRUE(actual.picture == expected.picture) << "case " << i;
        ASSERT_TRUE(sameBits(actual.tensor, expected.tensor)) << "case " << i;
    }
}

TEST(PrepareDecodedPicture, EmptyNetworkInputGivesNoPicture)
{
    const QImage picture = QImage(4, 4, QImage::Format_RGB32);
    for (auto size : {std::array<std::uint32_t, 2>{0, 4}, {4, 0}, {0, 0}, {4000000000u, 4}}) {
        const PreparedPicture prepared = prepareDecodedPicture(picture, makeRequest(size[0], size[1], 4),
                                                               false);
        EXPECT_TRUE(prepared.picture.isNull());
        EXPECT_TRUE(prepared.tensor.empty());
    }
    // A crop of no rows: a very wide network for a narrow picture.
    EXPECT_TRUE(prepareDecodedPicture(picture, makeRequest(1000, 1, 4), false).picture.isNull());
}

class PreparePictureFiles : public testing::Test
{
protected:
    std::string write(const QString &name, const QByteArray &bytes)
    {
        return writeTestFile(dir.filePath(name), bytes).toStdString();
    }

    QTemporaryDir dir;
};

TEST_F(PreparePictureFiles, ReadsPicturesWhateverTheirName)
{
    std::mt19937 random(3);
    const QImage picture = randomPicture(random, 64, 48);
    const std::string path = dir.filePath(QStringLiteral("photo ü.bin")).toStdString();
    ASSERT_TRUE(picture.save(QString::fromStdString(path), "PNG"));

    PictureRequest request = makeRequest(32, 32, 4, InputFormat::Bgr);
    request.path = path;
    const PreparedPicture prepared = preparePicture(request, false);
    const PreparedPicture expected = referencePreparation(picture, request, false);
    EXPECT_TRUE(prepared.picture == expected.picture);
    EXPECT_TRUE(sameBits(prepared.tensor, expected.tensor));
}

TEST_F(PreparePictureFiles, BinaryImageOfExactSizeIsTheTensor)
{
    // 2 x 2 pixels of depth 4: rgb values then the unused fourth one.
    const std::vector<float> values = {1, 2, 3, 9, 255, 0, 128, 9, 0, 0, 0, 9, 300, 10, 10, 9};
    PictureRequest request = makeRequest(2, 2, 4, InputFormat::Rgb, {1, 1, 1});
    request.path = write(QStringLiteral("raw.dat"),
                         QByteArray(reinterpret_cast<const char *>(values.data()), 64));
    const PreparedPicture prepared = preparePicture(request, false);
    EXPECT_EQ(prepared.tensor, values);
    ASSERT_EQ(prepared.picture.size(), QSize(2, 2));
    EXPECT_EQ(prepared.picture.pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(prepared.picture.pixel(1, 0), qRgb(255, 0, 128));
    EXPECT_EQ(prepared.picture.pixel(1, 1), qRgb(0, 0, 0)) << "300 is no colour";

    const std::vector<float> planes(12, 7.0f);
    request.depth = 3;
    request.path = write(QStringLiteral("planar.dat"),
                         QByteArray(reinterpret_cast<const char *>(planes.data()), 48));
    EXPECT_EQ(preparePicture(request, true).tensor, planes) << "binary images are fed unchanged";
}

TEST_F(PreparePictureFiles, UnreadableFilesAreNamedInTheFailure)
{
    PictureRequest request = makeRequest(2, 2, 4);
    request.path = write(QStringLiteral("note.txt"), "0123456789");
    EXPECT_EQ(failureOf(request), "Wrong binary image size: " + request.path
                                      + " holds 10 bytes, but the network's input of 2 x 2 x 4 values as 4-byte "
                                        "floats takes 64");

    // Named like a picture, but not one: the reader's reason, not the binary size.
    for (const char *name : {"text.jpg", "text.PNG", "text.bmp"}) {
        request.path = write(QString::fromLatin1(name), "just some text");
        EXPECT_EQ(failureOf(request), "Cannot read picture: " + request.path + " (Unsupported image format)");
    }

    request.path = dir.filePath(QStringLiteral("missing.png")).toStdString();
    EXPECT_EQ(failureOf(request), "Unable to open binary image file: " + request.path);

    request.path = dir.path().toStdString();
    EXPECT_EQ(failureOf(request), "Unable to open binary image file: " + request.path);

    request.path = write(QStringLiteral("empty"), QByteArray());
    request.width = 0;
    const PreparedPicture prepared = preparePicture(request, false);
    EXPECT_TRUE(prepared.picture.isNull()) << "the caller reports the picture as not loadable";
}

TEST_F(PreparePictureFiles, FormatThatDoesNotFitTheDepthIsRefusedFirst)
{
    PictureRequest request = makeRequest(2, 2, 4, InputFormat::Intensity);
    request.path = dir.filePath(QStringLiteral("missing.png")).toStdString();
    EXPECT_EQ(failureOf(request),
              "The input format \"intensity\" does not fit the input depth 4 (depth 1 or 2 needed)");
    request = makeRequest(5, 5, 4);
    EXPECT_NE(failureOf(request, true).find("three colour planes"), std::string::npos);
}

} // namespace
