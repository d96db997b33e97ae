// Paths that name no file (a named pipe, a socket, a device, a link that
// loops) handed to every reader and writer of the application, and to its
// two commands. Each is refused by name before anything opens it. Opening a
// pipe would wait for a writer without end: ctest's time limit on this suite
// is what fails a reader that opens one.
#include "accel/model_preparation.h"
#include "description/description_reader.h"
#include "outputs/frame_recorder.h"
#include "picture/picture_saving.h"
#include "sources/camera_source.h"
#include "sources/picture_list_source.h"
#include "sources/video_source.h"
#include "support/command_run.h"
#include "support/failure_message.h"
#include "support/shared_data.h"
#include "support/small_disk.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

// Makes the special files a test asks for in a folder of its own.
class SpecialFiles
{
public:
    QString pipe(const QString &name)
    {
        const QString path = dir.filePath(name);
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0) << path.toStdString();
        return path;
    }
    QString socket(const QString &name)
    {
        const QString path = dir.filePath(name);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0) << path.toStdString();
        ::close(fd); // the socket file stays
        return path;
    }
    // name -> name.other -> name
    QString loop(const QString &name)
    {
        const QString path = dir.filePath(name);
        const QString other = path + QStringLiteral(".other");
        QFile::link(other, path);
        QFile::link(path, other);
        return path;
    }
    QString filePath(const QString &name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
};

std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

PictureReading pictureReading()
{
    PictureReading reading;
    reading.request.width = 8;
    reading.request.height = 8;
    reading.request.depth = 3;
    reading.request.divider = {255.0, 255.0, 255.0};
    return reading;
}

// A reader or writer of the application, given a path.
struct Use
{
    const char *what;
    const char *suffix; // the path's, which decides how some readers read it
    const char *meant;  // the kind of file the message says was expected
    std::function<void(const QString &path)> call;
};

std::vector<Use> everyUse()
{
    const auto model = [](const QString &path) { prepareModel(BoardType::Simulator, utf8(path)); };
    return {
        {"picture", ".png", "picture file",
         [](const QString &path) { readPictureFile(path, pictureReading(), {}); }},
        {"raw picture", ".bin", "picture file",
         [](const QString &path) { readPictureFile(path, pictureReading(), {}); }},
        {"video", ".mp4", "video file",
         [](const QString &path) { VideoSource(path, pictureReading().request, false); }},
        {"description", ".xml", "description file",
         [](const QString &path) {
             NnDescription description;
             readDescription(description, utf8(path));
         }},
        {"ONNX model", ".onnx", "model file", model},
        {"DarkNet model", ".cfg", "model file", model},
        {"binary model", ".vrax", "model file", model},
        {"saved result", ".png", "picture file",
         [](const QString &path) {
             QImage image(4, 4, QImage::Format_RGB32);
             image.fill(Qt::red);
             savePicture(image, path);
         }},
        {"recording", ".avi", "video file",
         [](const QString &path) {
             FrameRecorder::Settings settings;
             settings.videoPath = path;
             settings.recordsPath = path + QStringLiteral(".jsonl");
             settings.frameSize = QSize(64, 48);
             FrameRecorder(settings, [](const Frame &) { return QImage(); },
                           [](const Frame &) { return QByteArray(); });
         }},
    };
}

} // namespace

TEST(FileFaults, EveryReaderAndWriterRefusesWhatIsNoFile)
{
    SpecialFiles files;
    for (const Use &use : everyUse()) {
        SCOPED_TRACE(use.what);
        const QString suffix = QString::fromLatin1(use.suffix);
        const struct
        {
            QString path;
            std::string message;
        } cases[] = {
            {files.pipe(QStringLiteral("pipe-%1%2").arg(use.what, suffix)),
             std::string(" is a named pipe, not a ") + use.meant},
            {files.socket(QStringLiteral("socket-%1%2").arg(use.what, suffix)),
             std::string(" is a socket, not a ") + use.meant},
            {files.loop(QStringLiteral("loop-%1%2").arg(use.what, suffix)), ": Too many levels of symbolic links"},
        };
        for (const auto &c : cases) {
            const std::string message = failureMessage([&] { use.call(c.path); });
            EXPECT_NE(message.find(utf8(c.path)), std::string::npos) << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
        }
    }
}

// A device reads without end (/dev/zero would be a model of endless zeros)
// or acts on the hardware; a camera is opened only when it is a video device.
TEST(FileFaults, DevicesAreNoFilesAndOnlyVideoDevicesAreCameras)
{
    const std::string model = failureMessage([] { prepareModel(BoardType::Simulator, "/dev/zero"); });
    EXPECT_NE(model.find("/dev/zero is a character device, not a model file"), std::string::npos) << model;
    const std::string picture = failureMessage([] { readPictureFile(QStringLiteral("/dev/zero"), pictureReading(), {}); });
    EXPECT_NE(picture.find("/dev/zero is a character device, not a picture file"), std::string::npos) << picture;

    SpecialFiles files;
    const QString regular = writeTestFile(files.filePath(QStringLiteral("video0")), "not a camera");
    const struct
    {
        QString device;
        std::string message;
    } cameras[] = {
        {QStringLiteral("/dev/zero"), "Camera /dev/zero: it is a character device, not a camera"},
        {files.pipe(QStringLiteral("video1")), "it is a named pipe, not a camera"},
        {regular, "it is not a camera (no video device)"},
    };
    for (const auto &c : cameras) {
        const std::string message =
            failureMessage([&] { CameraSource(c.device, QSize(), pictureReading().request, false); });
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

// The commands, as a user runs them: a pipe as picture, video, description
// or model ends with status 1 and the pipe named, before any board work.
TEST(FileFaults, CommandsRefusePipesByName)
{
    SpecialFiles files;
    const QString examples = QString::fromStdString(sourceDir()) + QStringLiteral("/examples/classifier/");
    const QString description = examples + QStringLiteral("shapes_classifier.xml");
    QFile original(description);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QString pipedModel = files.pipe(QStringLiteral("model.onnx"));
    const QString pipedModelDescription = writeTestFile(
        files.filePath(QStringLiteral("piped_model.xml")),
        original.readAll().replace("shapes_classifier.onnx", QFile::encodeName(pipedModel)));
    const struct
    {
        std::string arguments;
        std::string message;
    } cases[] = {
        {utf8(description + " " + files.pipe(QStringLiteral("p.png"))), "p.png is a named pipe, not a picture file"},
        {utf8(description + " " + files.pipe(QStringLiteral("p.mp4"))), "p.mp4: it is a named pipe, not a video file"},
        {utf8(files.pipe(QStringLiteral("p.xml")) + " " + examples + "pictures/star.png"),
         "p.xml is a named pipe, not a description file"},
        {utf8(pipedModelDescription + " " + examples + "pictures/star.png"),
         "model.onnx is a named pipe, not a model file"},
    };
    for (const auto &c : cases) {
        for (const auto &program : {std::string(VRAXGUI_APP) + " --check", std::string(VRAX_RUN_PATH) + " --quiet"}) {
            if (program.find("vrax-run") != std::string::npos && c.message.find("video") != std::string::npos)
                continue; // vrax-run reads pictures only
            const CommandRun run = runCommand(program, c.arguments);
            EXPECT_EQ(run.status, 1) << program << " " << c.arguments << "\n" << run.output;
            EXPECT_NE(run.output.find(c.message), std::string::npos) << program << " " << c.arguments << "\n"
                                                                      << run.output;
        }
    }
}

namespace {

// A PNG file whose header announces width x height pixels and that holds a
// few: what the size check reads, without the memory a real one takes.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    const auto bigEndian = [](quint32 value) {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = char(value >> (24 - 8 * i));
        return bytes;
    };
    const auto chunk = [&](const QByteArray &type, const QByteArray &data) {
        const QByteArray typed = type + data;
        // CRC-32 of PNG (ISO 3309), bit by bit.
        quint32 crc = 0xffffffffu;
        for (const char byte : typed) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return bigEndian(quint32(data.size())) + typed + bigEndian(~crc);
    };
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
    const QByteArray pixels = qCompress(QByteArray(64, '\0')).mid(4); // a zlib stream
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", pixels)
           + chunk("IEND", QByteArray());
}

} // namespace

// A picture is measured before it is decoded: above the limit it is refused
// with its size, at once, whether the window, --check or vrax-run reads it.
TEST(FileFaults, PicturesAboveThePixelLimitAreRefusedWithTheirSize)
{
    QTemporaryDir dir;
    const QString huge = writeTestFile(dir.filePath(QStringLiteral("huge.png")), pngHeaderOnly(20000, 20000));
    const std::string says = "huge.png is 20000 x 20000 pixels (400 megapixels), more than the limit of 100 megapixels";
    const std::string read = failureMessage([&] { readPictureFile(huge, pictureReading(), {}); });
    EXPECT_NE(read.find(says), std::string::npos) << read;

    const QString description = QString::fromStdString(sourceDir()) + "/examples/classifier/shapes_classifier.xml";
    for (const auto &program : {std::string(VRAXGUI_APP) + " --check", std::string(VRAX_RUN_PATH) + " --quiet"}) {
        const CommandRun run = runCommand(program, utf8(description + " " + huge));
        EXPECT_EQ(run.status, 1) << program << "\n" << run.output;
        EXPECT_NE(run.output.find(says), std::string::npos) << program << "\n" << run.output;
    }

    // vrax-run takes another limit.
    const QString circle = QString::fromStdString(sourceDir()) + "/examples/classifier/pictures/circle.png";
    const CommandRun limited =
        runCommand(VRAX_RUN_PATH, utf8("--quiet --max-megapixels 0.05 " + description + " " + circle));
    EXPECT_EQ(limited.status, 1) << limited.output;
    EXPECT_NE(limited.output.find("circle.png is 320 x 240 pixels (0.0768 megapixels), more than the limit of 0.05 "
                                  "megapixels"),
              std::string::npos)
        << limited.output;

    // The limit is the reading's: pictures and video frames up to it pass.
    PictureReading small = pictureReading();
    small.request.pixelLimit = 320 * 240;
    const QString video = QString::fromStdString(sourceDir()) + "/examples/video/shapes.avi";
    EXPECT_NO_THROW(VideoSource(video, small.request, false));
    small.request.pixelLimit = 50000;
    const std::string frames = failureMessage([&] { VideoSource(video, small.request, false); });
    EXPECT_NE(frames.find("shapes.avi: its frames are 320 x 240 pixels (0.0768 megapixels), more than the limit of "
                          "0.05 megapixels"),
              std::string::npos)
        << frames;
}

// Results are saved in the format their suffix names; a suffix of no format
// saved here is refused with those that are.
TEST(FileFaults, SavedPicturesTakeTheFormatTheirSuffixNames)
{
    QTemporaryDir dir;
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const struct
    {
        const char *name;
        QByteArray format;
    } cases[] = {
        {"r.png", "png"}, {"r.jpg", "jpeg"}, {"r.JPEG", "jpeg"}, {"r.bmp", "bmp"}, {"r.tif", "tiff"}, {"r.tiff", "tiff"},
    };
    for (const auto &c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        EXPECT_EQ(failureMessage([&] { savePicture(image, path); }), "(no failure)") << c.name;
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), c.format) << c.name;
        EXPECT_EQ(reader.read().size(), image.size()) << c.name;
    }
    const std::string refused = failureMessage([&] { savePicture(image, dir.filePath(QStringLiteral("r.docx"))); });
    EXPECT_NE(refused.find("r.docx: pictures are saved as "), std::string::npos) << refused;
    EXPECT_NE(refused.find(".tiff"), std::string::npos) << refused;
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("r.docx"))));
    EXPECT_EQ(pictureSavePath(QStringLiteral("/p/result")), QStringLiteral("/p/result.png"));
    EXPECT_EQ(pictureSavePath(QStringLiteral("/p/result.bmp")), QStringLiteral("/p/result.bmp"));
}

// Replacing a result on a full disk keeps the old file whole and says why.
TEST(FileFaults, SavingOnAFullDiskKeepsTheOldFile)
{
    SmallDisk disk(2 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(Qt::yellow);
    const QString path = disk.filePath(QStringLiteral("result.png"));
    savePicture(small, path);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();

    QImage noise(600, 600, QImage::Format_RGB32); // about 1 MB as PNG
    QRandomGenerator random(3);
    for (int y = 0; y < noise.height(); ++y)
        random.fillRange(reinterpret_cast<quint32 *>(noise.scanLine(y)), noise.width());
    disk.fillLeaving(64 << 10);
    const std::string message = failureMessage([&] { savePicture(noise, path); });
    EXPECT_NE(message.find("Cannot save the result to " + utf8(path) + ": No space left on device"),
              std::string::npos)
        << message;
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), before);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files).size(), 2) << "result.png and the filler, no leftover";
}

// Every output of vrax-run is checked before the board is opened: a board
// that would fail to open (VRAX_Initialize) is never reached, the output is
// named with the reason, and nothing is created.
TEST(FileFaults, VraxRunChecksEveryOutputBeforeTheBoard)
{
    SpecialFiles files;
    const QString regular = writeTestFile(files.filePath(QStringLiteral("regular.txt")), "a file");
    files.pipe(QStringLiteral("piped.jsonl"));
    const struct
    {
        const char *name;
        QStringList options;
        std::string message; // {DIR} is the folder of the special files
    } cases[] = {
        {"json in a missing folder", {"--json", "{DIR}/missing/f.json"},
         "Cannot write {DIR}/missing/f.json: No such file or directory"},
        {"json onto a folder", {"--json", "{DIR}"}, "Cannot write {DIR}: it is a folder, not a figures file"},
        {"json onto a pipe", {"--json", files.pipe(QStringLiteral("f.json"))},
         "f.json: it is a named pipe, not a figures file"},
        {"json through a looping link", {"--json", files.loop(QStringLiteral("loop.json"))},
         "loop.json: Too many levels of symbolic links"},
        {"results onto a socket", {"--results", files.socket(QStringLiteral("r.jsonl"))},
         "r.jsonl: it is a socket, not a results file"},
        {"save under a file", {"--save", "{DIR}/regular.txt/pictures"},
         "Cannot write {DIR}/regular.txt/pictures: Not a directory"},
        {"record in a missing folder", {"--record", "{DIR}/missing/r.avi"},
         "Cannot write {DIR}/missing/r.avi: No such file or directory"},
        {"record beside a pipe", {"--record", "{DIR}/piped.mp4"},
         "Cannot write {DIR}/piped.jsonl: it is a named pipe, not a results file"},
        {"record and results into one file", {"--results", "{DIR}/same.jsonl", "--record", "{DIR}/same.avi"},
         "--results and --record would both write {DIR}/same.jsonl"},
    };
    const QString description = QString::fromStdString(sourceDir()) + "/examples/classifier/shapes_classifier.xml";
    const QString picture = QString::fromStdString(sourceDir()) + "/examples/classifier/pictures/star.png";
    const std::string folder = utf8(QFileInfo(regular).absolutePath());
    for (const auto &c : cases) {
        QString arguments = QStringLiteral("--quiet");
        for (const QString &option : c.options)
            arguments += QStringLiteral(" '%1'").arg(QString(option).replace("{DIR}", QFileInfo(regular).absolutePath()));
        const CommandRun run = runCommand("VRAX_FAULTS=VRAX_Initialize=16 " + std::string(VRAX_RUN_PATH),
                                          utf8(arguments + " " + description + " " + picture));
        std::string message = c.message;
        for (std::size_t at; (at = message.find("{DIR}")) != std::string::npos;)
            message.replace(at, 5, folder);
        EXPECT_EQ(run.status, 1) << c.name << "\n" << run.output;
        EXPECT_NE(run.output.find(message), std::string::npos) << c.name << "\n" << run.output;
        EXPECT_EQ(run.output.find("VRAX_Initialize"), std::string::npos) << c.name << "\n" << run.output;
    }
    EXPECT_EQ(QDir(QFileInfo(regular).absolutePath()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 1)
        << "regular.txt alone: nothing was created";
}

// A full disk under vrax-run's --results and --json: the system's reason,
// not "Unknown error"; the results end with their last whole line, and an
// older figures file stays as it was.
TEST(FileFaults, VraxRunOnAFullDiskSaysSo)
{
    SmallDisk disk(1 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason();
    const QString description = QString::fromStdString(sourceDir()) + "/examples/classifier/shapes_classifier.xml";
    const QString pictures = QString::fromStdString(sourceDir()) + "/examples/classifier/pictures";
    const QString json = writeTestFile(disk.filePath(QStringLiteral("f.json")), "{\"old\": true}\n");
    const QString results = disk.filePath(QStringLiteral("r.jsonl"));
    disk.fillLeaving(8 << 10);
    // About 250 bytes a line: 400 lines do not fit.
    CommandRun run = runCommand(VRAX_RUN_PATH, utf8("--quiet -n 400 --results " + results + " " + description + " "
                                                    + pictures));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(utf8("Cannot write " + results + ": No space left on device")), std::string::npos)
        << run.output;
    QFile written(results);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray lines = written.readAll();
    EXPECT_TRUE(lines.endsWith('\n')) << lines.right(80).toStdString();
    for (const QByteArray &line : lines.trimmed().split('\n'))
        EXPECT_TRUE(QJsonDocument::fromJson(line).isObject()) << line.toStdString();
    written.close();

    QFile::remove(results);
    disk.fillLeaving(0);
    run = runCommand(VRAX_RUN_PATH, utf8("--quiet --json " + json + " " + description + " " + pictures));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(utf8("Cannot write " + json + ": No space left on device")), std::string::npos)
        << run.output;
    QFile old(json);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("{\"old\": true}\n"));
}
