#include "picture/planar_layout.h"

#include <limits>
#include <stdexcept>

namespace {

std::uint64_t checkedProduct(std::uint64_t a, std::uint64_t b)
{
    if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a)
        throw std::length_error("Planar tensor too large");
    return a * b;
}

} // namespace

std::vector<float> interleavedToPlanar(const std::vector<float> &tensor, std::uint32_t width,
                                       std::uint32_t height, std::uint32_t stride,
                                       std::uint32_t planes)
{
    const std::uint64_t rowLength = (std::uint64_t(width) + 1) & ~std::uint64_t(1);
    const std::uint64_t size = checkedProduct(checkedProduct(rowLength, height), planes);
    if (size > std::vector<float>().max_size())
        throw std::length_error("Planar tensor too large");
    std::vector<float> planar(static_cast<std::size_t>(size), 0.0f);

    const std::uint64_t available = tensor.size();
    float *out = planar.data();
    for (std::uint32_t plane = 0; plane < planes; ++plane) {
        for (std::uint32_t y = 0; y < height; ++y) {
            std::uint64_t index = std::uint64_t(y) * width * stride + plane;
            for (std::uint32_t x = 0; x < width; ++x, index += stride)
                out[x] = index < available ? tensor[static_cast<std::size_t>(index)] : 0.0f;
            out += rowLength; // the pad value of an odd row stays 0.0
        }
    }
    return planar;
}
