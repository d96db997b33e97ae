#include "picture/nearest_scaling.h"

#include <vector>

namespace {

// Beyond these, QImage::scaled paints in another way, which may pick other
// pixels; such sizes take the long way.
constexpr int largestSide = 0x7fff;
constexpr int largestFactor = 256;

bool hasOrdinarySize(const QSize &from, const QSize &to)
{
    return from.width() <= largestSide && from.height() <= largestSide
           && to.width() <= largestSide && to.height() <= largestSide
           && to.width() < qint64(from.width()) * largestFactor
           && to.height() < qint64(from.height()) * largestFactor;
}

} // namespace

// Asked of QImage::scaled itself on a line of numbered pixels.
std::vector<int> nearestSourcePixels(int from, int to)
{
    if (to <= 0)
        return {};
    if (from <= 0 || from > 0xffffff) // no pixels, or more than the numbers can tell apart
        return std::vector<int>(std::size_t(to), -1);
    QImage line(from, 1, QImage::Format_RGB32);
    QRgb *numbers = reinterpret_cast<QRgb *>(line.scanLine(0));
    for (int i = 0; i < from; ++i)
        numbers[i] = 0xff000000u | QRgb(i + 1);
    const QImage scaled = line.scaled(to, 1, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    std::vector<int> map(std::size_t(to), -1);
    if (line.isNull() || scaled.width() != to || scaled.height() != 1)
        return map;
    const QRgb *picked = reinterpret_cast<const QRgb *>(scaled.constScanLine(0));
    for (int i = 0; i < to; ++i) {
        const int number = int(picked[i] & 0xffffffu);
        map[std::size_t(i)] = number >= 1 && number <= from ? number - 1 : -1;
    }
    return map;
}

QImage cropAndScale(const QImage &image, const QRect &crop, const QSize &size)
{
    const bool direct = image.format() == QImage::Format_RGB32 && !crop.isEmpty()
                        && image.rect().contains(crop) && !size.isEmpty()
                        && hasOrdinarySize(crop.size(), size);
    if (!direct)
        return image.copy(crop).scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    QImage scaled(size, QImage::Format_RGB32);
    if (scaled.isNull())
        return scaled;
    const std::vector<int> columns = nearestSourcePixels(crop.width(), size.width());
    const std::vector<int> rows = nearestSourcePixels(crop.height(), size.height());
    for (int y = 0; y < size.height(); ++y) {
        QRgb *out = reinterpret_cast<QRgb *>(scaled.scanLine(y));
        const int row = rows[std::size_t(y)];
        if (row < 0) {
            std::fill(out, out + size.width(), QRgb(0));
            continue;
        }
        const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(crop.top() + row))
                         + crop.left();
        for (int x = 0; x < size.width(); ++x) {
            const int column = columns[std::size_t(x)];
            out[x] = column >= 0 ? in[column] : QRgb(0);
        }
    }
    return scaled;
}
