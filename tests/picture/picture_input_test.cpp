#include "picture/binary_image.h"
#include "picture/cloud_net_plus_input.h"
#include "picture/input_depth.h"
#include "picture_test_support.h"
#include "support/failure_message.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <stdexcept>
#include <string>

namespace {

std::string fitFailure(InputFormat format, std::uint32_t depth, bool planar)
{
    const std::string message = failureMessage([&] { checkInputFormatFits(format, depth, planar); });
    return message == "(no failure)" ? "" : message;
}

TEST(InputDepth, FormatsFitExactlyTheDepthTheyFill)
{
    for (int format = 0; format < 7; ++format) {
        const bool intensity = InputFormat(format) == InputFormat::Intensity;
        for (std::uint32_t depth = 0; depth <= 6; ++depth) {
            const bool interleavedFits = intensity ? depth == 1 || depth == 2 : depth == 3 || depth == 4;
            const bool planarFits = !intensity && depth == 3;
            EXPECT_EQ(fitFailure(InputFormat(format), depth, false).empty(), interleavedFits)
                << format << " depth " << depth;
            EXPECT_EQ(fitFailure(InputFormat(format), depth, true).empty(), planarFits)
                << format << " depth " << depth << " planar";
        }
    }
}

TEST(InputDepth, RefusalNamesTheFormatAndTheDepth)
{
    EXPECT_EQ(fitFailure(InputFormat::Rgb, 1, false),
              "The input format \"rgb\" does not fit the input depth 1 (depth 3 or 4 needed)");
    EXPECT_EQ(fitFailure(InputFormat::Intensity, 4, false),
              "The input format \"intensity\" does not fit the input depth 4 (depth 1 or 2 needed)");
    EXPECT_EQ(fitFailure(InputFormat::Bgr, 4, true),
              "The input format \"bgr\" does not fit the input depth 4 on a board that takes three "
              "colour planes (depth 3 needed)");
    EXPECT_EQ(fitFailure(InputFormat::Intensity, 3, true),
              "The input format \"intensity\" cannot feed a board that takes three colour planes "
              "(input depth 3)");
    EXPECT_EQ(fitFailure(InputFormat(9), 3, false), "Unknown input format 9");
}

TEST(InputDepth, OnlyTheInterleavedBoardsRoundToEven)
{
    const std::pair<std::uint32_t, std::uint32_t> rounding[] = {{0, 0}, {1, 2}, {2, 2}, {3, 4},
                                                                {4, 4}, {0xffffffffu, 0xffffffffu}};
    for (const auto &r : rounding) {
        EXPECT_EQ(roundedInputDepth(false, r.first), r.second);
        EXPECT_EQ(roundedInputDepth(true, r.first), r.first);
    }
}

TEST(BinaryImage, SizeMustBeExactlyTheTensor)
{
    QTemporaryDir dir;
    PictureRequest request = makeRequest(2, 2, 4);
    request.path = writeTestFile(dir.filePath(QStringLiteral("raw")), QByteArray(64, '\0')).toStdString();
    EXPECT_EQ(readBinaryImage(request), std::vector<float>(16, 0.0f));
    for (auto dims : {std::array<std::uint32_t, 3>{2, 2, 3}, {3, 2, 4}, {0xffffffffu, 0xffffffffu, 4},
                      {0x40000000u, 2, 2}}) {
        request.width = dims[0];
        request.height = dims[1];
        request.depth = dims[2];
        EXPECT_THROW(readBinaryImage(request), std::runtime_error) << dims[0] << "x" << dims[1];
    }
}

// The side file is read from the current directory.
class CloudNetPlusInput : public testing::Test
{
protected:
    void SetUp() override
    {
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(previous); }

    void writeSideFile(const std::vector<float> &values)
    {
        writeTestFile(dir.filePath(QStringLiteral("cloud_net_plus.bin")),
                      QByteArray(reinterpret_cast<const char *>(values.data()), int(values.size() * sizeof(float))));
    }

    QTemporaryDir dir;
    QString previous;
};

TEST_F(CloudNetPlusInput, PathsAreRecognisedAnywhere)
{
    EXPECT_TRUE(isCloudNetPlusPath("/data/cloud_net_plus/scene.png"));
    EXPECT_TRUE(isCloudNetPlusPath("cloud_net_plus.png"));
    EXPECT_FALSE(isCloudNetPlusPath("/data/Cloud_Net_Plus/scene.png"));
    EXPECT_FALSE(isCloudNetPlusPath("/data/cloud_net/scene.png"));
}

TEST_F(CloudNetPlusInput, MissingFileLeavesTheTensorAlone)
{
    std::vector<float> tensor = {1, 2, 3};
    EXPECT_EQ(failureMessage([&] { readCloudNetPlusInput(tensor, 3); }), "Cannot load cloud_net_plus.bin");
    EXPECT_EQ(tensor, (std::vector<float>{1, 2, 3}));
}

TEST_F(CloudNetPlusInput, ShortFileKeepsTheRestLongFileIsCutAndModelInputIsPadded)
{
    writeSideFile({7, 8});
    std::vector<float> tensor = {1, 2, 3};
    readCloudNetPlusInput(tensor, 100);
    ASSERT_EQ(tensor.size(), cloudNetPlusValueCount);
    EXPECT_EQ(tensor[0], 7.0f);
    EXPECT_EQ(tensor[1], 8.0f);
    EXPECT_EQ(tensor[2], 3.0f) << "beyond the file the old value stays";
    EXPECT_EQ(tensor[3], 0.0f);

    std::vector<float> long_(cloudNetPlusValueCount + 5, 4.0f);
    writeSideFile(long_);
    tensor.assign(cloudNetPlusValueCount * 2, 9.0f);
    readCloudNetPlusInput(tensor, 0);
    EXPECT_EQ(tensor, std::vector<float>(cloudNetPlusValueCount, 4.0f));

    writeSideFile(std::vector<float>(cloudNetPlusValueCount, 1.0f));
    tensor.assign(cloudNetPlusValueCount + 10, 9.0f);
    readCloudNetPlusInput(tensor, cloudNetPlusValueCount + 20);
    ASSERT_EQ(tensor.size(), cloudNetPlusValueCount + 20);
    EXPECT_EQ(tensor[cloudNetPlusValueCount - 1], 1.0f);
    EXPECT_EQ(std::count(tensor.begin() + cloudNetPlusValueCount, tensor.end(), 0.0f), 20);
}

} // namespace
