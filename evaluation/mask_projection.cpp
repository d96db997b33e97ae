#include "evaluation/mask_projection.h"

#include <cmath>

std::vector<std::uint8_t> classesAtPictureSize(const std::vector<std::uint8_t> &grid, int gridWidth, int gridHeight,
                                               const PictureGeometry &geometry, const QSize &pictureSize)
{
    const int width = pictureSize.width();
    const int height = pictureSize.height();
    std::vector<std::uint8_t> classes(std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0)), 0);
    const QSize network = geometry.networkSize();
    if (network.isEmpty() || gridWidth <= 0 || gridHeight <= 0
        || grid.size() < std::size_t(gridWidth) * std::size_t(gridHeight))
        return classes;
    const QRectF seen(geometry.placement());
    // Rows and columns map independently: one table per axis.
    std::vector<int> columns(std::size_t(std::max(width, 0))), rows(std::size_t(std::max(height, 0)));
    for (int x = 0; x < width; ++x) {
        const double nx = geometry.toNetwork(QPointF(x + 0.5, 0.0)).x();
        columns[std::size_t(x)] = nx >= seen.left() && nx < seen.right()
                                      ? std::min(int(std::floor(nx * gridWidth / network.width())), gridWidth - 1)
                                      : -1;
    }
    for (int y = 0; y < height; ++y) {
        const double ny = geometry.toNetwork(QPointF(0.0, y + 0.5)).y();
        rows[std::size_t(y)] = ny >= seen.top() && ny < seen.bottom()
                                   ? std::min(int(std::floor(ny * gridHeight / network.height())), gridHeight - 1)
                                   : -1;
    }
    for (int y = 0; y < height; ++y) {
        const int row = rows[std::size_t(y)];
        if (row < 0)
            continue;
        for (int x = 0; x < width; ++x) {
            const int column = columns[std::size_t(x)];
            if (column >= 0)
                classes[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                    grid[std::size_t(row) * std::size_t(gridWidth) + std::size_t(column)];
        }
    }
    return classes;
}
