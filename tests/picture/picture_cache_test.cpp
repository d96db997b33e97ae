// Pictures decoded once: a file changed on disk is read again at once, a
// broken rewrite fails as it would uncached, and the budget holds.
#include "sources/picture_list_source.h"
#include "picture/picture_test_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QImage>
#include <QTemporaryDir>

#include <stdexcept>

namespace {

const PictureReading reading{makeRequest(4, 4, 4), false};

void writePicture(const QString &path, QColor colour, int secondsFromNow)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path);
    // A rewrite within the file system's time resolution must still count
    // as a change: the test moves the time on explicitly.
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTime().addSecs(secondsFromNow), QFileDevice::FileModificationTime);
}

} // namespace

TEST(PictureCache, ReadsAChangedFileAgainAndFailsOnABrokenRewrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("picture.png");
    PictureCache cache;

    writePicture(path, Qt::red, 0);
    EXPECT_EQ(readPictureFile(path, reading, {}, nullptr, &cache).tensor.at(0), 1.0f); // red
    EXPECT_EQ(cache.entryCount(), 1u);
    EXPECT_EQ(readPictureFile(path, reading, {}, nullptr, &cache).tensor.at(0), 1.0f);

    writePicture(path, Qt::blue, 10);
    EXPECT_EQ(readPictureFile(path, reading, {}, nullptr, &cache).tensor.at(0), 0.0f); // blue

    writeTestFile(path, "not a picture");
    EXPECT_THROW(readPictureFile(path, reading, {}, nullptr, &cache), std::runtime_error);
    EXPECT_EQ(cache.entryCount(), 0u); // the blue picture is not kept for the broken file
}

// Run Auto's frames take a cached picture's tensor shared, not copied; its
// values are those a reading without the cache gives.
TEST(PictureCache, FramesShareTheCachedTensor)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("picture.png");
    writePicture(path, Qt::red, 0);
    PictureCache cache;
    PictureListSource source({path}, reading, {}, &cache);
    Frame first;
    Frame second;
    ASSERT_TRUE(source.next(first));
    ASSERT_TRUE(source.next(second));
    ASSERT_TRUE(first.sharedTensor && second.sharedTensor);
    EXPECT_EQ(first.sharedTensor.get(), second.sharedTensor.get());
    EXPECT_TRUE(second.picture.tensor.empty());
    EXPECT_EQ(second.tensor(), readPictureFile(path, reading, {}).tensor);
    EXPECT_EQ(second.picture.picture, readPictureFile(path, reading, {}).picture);
}

TEST(PictureCache, KeepsWithinItsBudgetDroppingTheLeastRecentlyUsed)
{
    auto picture = [](std::size_t values) {
        auto p = std::make_shared<PreparedPicture>();
        p->tensor.assign(values, 0.0f);
        return p;
    };
    const PictureCache::FileStamp stamp{1, QDateTime::fromSecsSinceEpoch(1)};
    PictureCache cache(1000 * sizeof(float));
    cache.insert("a", stamp, picture(400));
    cache.insert("b", stamp, picture(400));
    ASSERT_NE(cache.find("a", stamp), nullptr); // a is now the most recently used
    cache.insert("c", stamp, picture(400));
    EXPECT_NE(cache.find("a", stamp), nullptr);
    EXPECT_EQ(cache.find("b", stamp), nullptr);
    EXPECT_NE(cache.find("c", stamp), nullptr);
    EXPECT_LE(cache.bytesUsed(), 1000 * sizeof(float));

    cache.insert("huge", stamp, picture(2000)); // larger than the whole budget: not kept
    EXPECT_EQ(cache.find("huge", stamp), nullptr);
    EXPECT_EQ(cache.entryCount(), 2u);
    cache.setBudget(0);
    EXPECT_EQ(cache.bytesUsed(), 0u);
}
