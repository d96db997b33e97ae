// Folders opened as picture lists.
#include "picture/picture_folder.h"

#include "support/failure_message.h"
#include "support/test_files.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(PictureFolder, ListsThePicturesInsideInNaturalOrder)
{
    QTemporaryDir dir;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (const char *name : {"frame10.png", "frame2.png", "Frame1.PNG", "frame1b.jpg", "sub/frame0.png"})
        picture.save(writeTestFile(dir.filePath(QString::fromLatin1(name)), {}), "PNG");
    writeTestFile(dir.filePath(QStringLiteral("notes.txt")), "text");
    writeTestFile(dir.filePath(QStringLiteral("frame3.bin")), "raw");

    QStringList names;
    for (const QString &path : picturesInFolder(dir.path())) {
        EXPECT_TRUE(QFileInfo(path).isAbsolute());
        names << QFileInfo(path).fileName();
    }
    EXPECT_EQ(names, (QStringList{"Frame1.PNG", "frame1b.jpg", "frame2.png", "frame10.png"}));
}

TEST(PictureFolder, AFolderWithoutPicturesIsNamed)
{
    QTemporaryDir dir;
    writeTestFile(dir.filePath(QStringLiteral("notes.txt")), "text");
    writeTestFile(dir.filePath(QStringLiteral("sub/inside.png")), "");
    const struct
    {
        QString folder;
        const char *message;
    } cases[] = {
        {dir.path(), "holds no pictures"},
        {dir.filePath(QStringLiteral("missing")), "does not exist"},
    };
    for (const auto &c : cases) {
        const std::string message = failureMessage([&] { picturesInFolder(c.folder); });
        EXPECT_NE(message.find(c.folder.toStdString()), std::string::npos) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}
