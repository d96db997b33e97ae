#include "picture/binary_image.h"

#include "files/regular_file.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

// depth x width x height x 4, or 0 with ok false when it does not fit 64 bits.
std::uint64_t expectedBytes(const PictureRequest &request, bool &ok)
{
    const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t bytes = 4;
    ok = true;
    for (std::uint64_t factor : {std::uint64_t(request.depth), std::uint64_t(request.width),
                                 std::uint64_t(request.height)}) {
        if (factor != 0 && bytes > limit / factor) {
            ok = false;
            return 0;
        }
        bytes *= factor;
    }
    return bytes;
}

} // namespace

std::vector<float> readBinaryImage(const PictureRequest &request)
{
    checkRegularFile(request.path, "picture file");
    // QFile refuses directories, which a plain stream would open.
    QFile file(QString::fromUtf8(request.path.data(), int(request.path.size())));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Unable to open binary image file: " + request.path);

    bool ok = false;
    const std::uint64_t expected = expectedBytes(request, ok);
    const qint64 size = file.size();
    if (!ok || size < 0 || std::uint64_t(size) != expected)
        throw std::runtime_error("Wrong binary image size: " + request.path + " holds " + std::to_string(size)
                                 + " bytes, but the network's input of " + std::to_string(request.width) + " x "
                                 + std::to_string(request.height) + " x " + std::to_string(request.depth)
                                 + " values as 4-byte floats takes " + (ok ? std::to_string(expected) : "more"));

    std::vector<float> tensor(static_cast<std::size_t>((size + 3) / 4), 0.0f);
    if (size > 0 && file.read(reinterpret_cast<char *>(tensor.data()), size) != size)
        throw std::runtime_error("Unable to read binary image file: " + request.path);
    return tensor;
}
