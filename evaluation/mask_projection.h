// A segmentation network's class grid brought to the picture's own pixels,
// to be compared with the picture's mask.
#pragma once

#include "picture/picture_geometry.h"

#include <QSize>

#include <cstdint>
#include <vector>

// The grid (gridWidth x gridHeight, row by row) covers the network's whole
// input; each picture pixel takes the cell under its centre, mapped through
// the geometry. Pixels the network never saw (beyond a centre crop, or on
// letterbox padding) are background (0).
std::vector<std::uint8_t> classesAtPictureSize(const std::vector<std::uint8_t> &grid, int gridWidth, int gridHeight,
                                               const PictureGeometry &geometry, const QSize &pictureSize);
