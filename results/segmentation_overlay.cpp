#include "results/segmentation_overlay.h"

#include <QImage>

#include <cmath>

std::uint32_t segmentationCellClass(const float *values, std::uint32_t depth, CellValues kind)
{
    if (depth == 1)
        return values[0] >= 0.5f ? 1 : 0;
    if (kind == CellValues::Probabilities) {
        std::uint32_t winner = 0;
        for (std::uint32_t c = 1; c < depth; ++c)
            if (values[c] > 0.5f && (winner == 0 || values[c] > values[winner]))
                winner = c;
        return winner;
    }

    float largest = values[0];
    for (std::uint32_t c = 1; c < depth; ++c)
        if (values[c] > largest)
            largest = values[c];
    // The log-probability of a class is at most its distance to the largest
    // value, and e^-0.75 < 0.47: a cell whose foreground classes all lie
    // further below cannot win, and needs no exponentials.
    bool contender = false;
    for (std::uint32_t c = 1; c < depth && !contender; ++c)
        contender = double(values[c] - largest) >= -0.75;
    if (!contender)
        return 0;

    double sum = 0.0;
    for (std::uint32_t c = 0; c < depth; ++c)
        sum += std::exp(values[c] - largest); // single-precision exponential
    const double logSum = std::log(sum);

    std::uint32_t winner = 0;
    for (std::uint32_t c = 1; c < depth; ++c) {
        const double logProbability = double(values[c] - largest) - logSum;
        if (logProbability < -0.75)
            continue; // cannot exceed one half, as above
        if (float(std::exp(logProbability)) > 0.5f)
            winner = c;
    }
    return winner;
}

void paintClassMap(QImage &picture, const ClassMap &map, const std::vector<QRgb> &colours)
{
    const std::uint64_t mapWidth = map.width;
    const std::uint64_t mapHeight = map.height;
    if (picture.isNull() || mapWidth == 0 || mapHeight == 0 || map.classes.size() < mapWidth * mapHeight)
        return;
    if (picture.format() != QImage::Format_RGB32 && picture.format() != QImage::Format_ARGB32
        && picture.format() != QImage::Format_ARGB32_Premultiplied)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    const std::uint64_t pictureWidth = std::uint64_t(picture.width());
    const std::uint64_t pictureHeight = std::uint64_t(picture.height());
    std::vector<std::uint64_t> sourceColumn(pictureWidth);
    for (std::uint64_t x = 0; x < pictureWidth; ++x)
        sourceColumn[x] = x * mapWidth / pictureWidth;
    for (std::uint64_t y = 0; y < pictureHeight; ++y) {
        const std::uint8_t *classes = map.classes.data() + (y * mapHeight / pictureHeight) * mapWidth;
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(int(y)));
        for (std::uint64_t x = 0; x < pictureWidth; ++x) {
            const std::uint8_t cls = classes[sourceColumn[x]];
            if (cls != 0 && cls <= colours.size())
                line[x] = colours[cls - 1];
        }
    }
}

QImage classMapMask(const ClassMap &map, const std::vector<QRgb> &colours)
{
    if (map.width == 0 || map.height == 0 || map.width > 0x7fff || map.height > 0x7fff
        || map.classes.size() < std::size_t(map.width) * map.height)
        return QImage();
    QImage mask(int(map.width), int(map.height), QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull())
        return mask;
    for (int y = 0; y < mask.height(); ++y) {
        const std::uint8_t *classes = map.classes.data() + std::size_t(y) * map.width;
        auto *line = reinterpret_cast<QRgb *>(mask.scanLine(y));
        for (int x = 0; x < mask.width(); ++x) {
            const std::uint8_t cls = classes[x];
            line[x] = cls != 0 && cls <= colours.size() ? colours[cls - 1] : QRgb(0);
        }
    }
    return mask;
}
