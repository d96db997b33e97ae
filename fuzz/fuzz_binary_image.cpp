// Arbitrary bytes as the file a user picks as a picture: the first bytes give
// the network input (width, height, depth, format, normalisation, planar
// board), the rest is the file. preparePicture decodes it as a picture or
// reads it as a raw binary image; readBinaryImage and tensorToImage are also
// called directly, the latter with tensors of any length.
#include "picture/binary_image.h"
#include "picture/image_tensor.h"
#include "picture/input_depth.h"
#include "picture/picture_preparation.h"
#include "picture/picture_request.h"

#include "fuzz_input_file.h"
#include "fuzz_values.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

// Qt 5's picture reader has no allocation limit: a header announcing a huge
// picture makes it allocate that much, as it would for a real huge picture.
// Such files are left to the binary image calls, so that a run stays within
// the fuzzer's memory limit.
constexpr int largestSide = 4096;
constexpr qint64 largestArea = 4096 * 1024;

bool decodesWithinLimit(const std::string &path)
{
    QImageReader reader(QString::fromStdString(path));
    if (!reader.canRead())
        return true; // no decoder takes it: preparePicture reads a binary image
    const QSize size = reader.size();
    return size.isValid() && size.width() <= largestSide && size.height() <= largestSide
           && qint64(size.width()) * size.height() <= largestArea;
}

PictureRequest consumeRequest(FuzzedDataProvider &provider, std::uint32_t largest)
{
    PictureRequest request;
    request.width = provider.ConsumeIntegralInRange<std::uint32_t>(0, largest);
    request.height = provider.ConsumeIntegralInRange<std::uint32_t>(0, largest);
    request.depth = provider.ConsumeIntegralInRange<std::uint32_t>(0, 5);
    // 7 is no known format.
    request.format = InputFormat(provider.ConsumeIntegralInRange<std::uint32_t>(0, 7));
    for (double &value : request.divider)
        value = provider.ConsumeBool() ? consumeRawDouble(provider) : 255.0;
    for (double &value : request.adder)
        value = provider.ConsumeBool() ? consumeRawDouble(provider) : 0.0;
    return request;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// What preparePicture promises when it returns.
void checkPrepared(const PreparedPicture &prepared, const PictureRequest &request, bool planar,
                   bool decoded)
{
    if (prepared.picture.isNull())
        return;
    check(prepared.picture.width() == int(request.width)
          && prepared.picture.height() == int(request.height));
    const std::size_t pixels = std::size_t(request.width) * request.height;
    if (decoded && planar)
        check(prepared.tensor.size() == std::size_t((request.width + 1) & ~1u) * request.height * 3);
    else
        check(prepared.tensor.size() == pixels * request.depth);
}

void fuzzPreparation(FuzzedDataProvider &provider, FuzzInputFile &file)
{
    PictureRequest request = consumeRequest(provider, 64);
    const bool planar = provider.ConsumeBool();
    const std::vector<std::uint8_t> contents = provider.ConsumeRemainingBytes<std::uint8_t>();
    request.path = file.write(contents.data(), contents.size());
    if (!decodesWithinLimit(request.path))
        return;
    PreparedPicture prepared;
    try {
        prepared = preparePicture(request, planar);
    } catch (const std::runtime_error &) {
        return;
    }
    const bool decoded = !QImageReader(QString::fromStdString(request.path)).read().isNull();
    checkPrepared(prepared, request, planar, decoded);
}

void fuzzBinaryImage(FuzzedDataProvider &provider, FuzzInputFile &file)
{
    // Any dimensions: the size check must not overflow.
    PictureRequest request;
    request.width = provider.ConsumeIntegral<std::uint32_t>();
    request.height = provider.ConsumeIntegral<std::uint32_t>();
    request.depth = provider.ConsumeIntegral<std::uint32_t>();
    const std::vector<std::uint8_t> contents = provider.ConsumeRemainingBytes<std::uint8_t>();
    request.path = file.write(contents.data(), contents.size());
    try {
        const std::vector<float> tensor = readBinaryImage(request);
        check(tensor.size() * 4 == contents.size());
        check(contents.empty() || std::memcmp(tensor.data(), contents.data(), contents.size()) == 0);
    } catch (const std::runtime_error &) {
    }
}

void fuzzTensorToImage(FuzzedDataProvider &provider)
{
    // A tensor of any length for a picture of at most 256 x 256.
    const PictureRequest request = consumeRequest(provider, 256);
    const std::vector<std::uint8_t> bytes = provider.ConsumeRemainingBytes<std::uint8_t>();
    std::vector<float> tensor(bytes.size() / sizeof(float));
    if (!tensor.empty())
        std::memcpy(tensor.data(), bytes.data(), tensor.size() * sizeof(float));
    const QImage image = tensorToImage(request, tensor);
    if (request.width == 0 || request.height == 0)
        check(image.isNull());
    else
        check(image.width() == int(request.width) && image.height() == int(request.height)
              && image.format() == QImage::Format_RGB32);
}

} // namespace

// Fontconfig, which the toolkit asks for fonts the first time a picture
// decoder needs one (SVG text), keeps some of its setup unreachable for good.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Some picture decoders (SVG text) need the toolkit's fonts, as in the
    // application itself. The application object is never destroyed: the
    // offscreen platform leaves its screen objects behind on destruction,
    // which the leak check would report at exit.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication *application = new QGuiApplication(*argc, *argv);
    (void)application;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static FuzzInputFile file(".picture");
    FuzzedDataProvider provider(data, size);
    switch (provider.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        fuzzPreparation(provider, file);
        break;
    case 1:
        fuzzBinaryImage(provider, file);
        break;
    default:
        fuzzTensorToImage(provider);
        break;
    }
    return 0;
}
