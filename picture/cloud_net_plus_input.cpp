#include "picture/cloud_net_plus_input.h"

#include "files/regular_file.h"

#include <QFile>

#include <stdexcept>

bool isCloudNetPlusPath(const std::string &path)
{
    return path.find("cloud_net_plus") != std::string::npos;
}

void readCloudNetPlusInput(std::vector<float> &tensor, std::uint64_t requiredCount)
{
    checkRegularFile(QStringLiteral("cloud_net_plus.bin"), "cloud_net_plus input file");
    QFile file(QStringLiteral("cloud_net_plus.bin"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot load cloud_net_plus.bin");

    if (requiredCount > tensor.max_size())
        throw std::length_error("Input tensor too large");

    tensor.resize(cloudNetPlusValueCount, 0.0f);
    // A short or failing read keeps what the tensor held beyond the bytes read.
    file.read(reinterpret_cast<char *>(tensor.data()), qint64(cloudNetPlusValueCount * sizeof(float)));
    if (requiredCount > tensor.size())
        tensor.resize(static_cast<std::size_t>(requiredCount), 0.0f);
}
