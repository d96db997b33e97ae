// Paints a segmentation network's class map over a picture.
#pragma once

#include "results/frame_result.h"
#include "tensor/tensor_shapes.h"

#include <QRgb>

#include <cstddef>
#include <vector>

class QImage;

// The class of one cell of a depth-last class map (depth values): depth 1
// gives 1 for a value of 0.5 or more, else 0; depth 2 or more gives the
// foreground class (1 to depth - 1) whose softmax probability exceeds 0.5,
// else 0 (the background).
std::uint32_t segmentationCellClass(const float *values, std::uint32_t depth);

// count opaque colours from a generator seeded with seed: for each colour three
// successive values, whose low 8 bits give blue, green and red.
std::vector<QRgb> randomClassColours(std::size_t count, quint32 seed);

// Number of colours a class map of this depth needs: one for a single mask
// channel, one per foreground class (1 to depth - 1) otherwise.
std::size_t segmentationColourCount(std::uint32_t depth);

// Paints the pixels of the picture that the class map gives to a foreground
// class, fully opaque: class k in colours[k - 1]; classes without a colour
// paint nothing. A map of another size than the picture is stretched over the
// whole picture (nearest neighbour).
void paintClassMap(QImage &picture, const ClassMap &map, const std::vector<QRgb> &colours);

// The class map as a picture of its own size: class k in colours[k - 1],
// everything else transparent. For laying the map over a picture of any size.
QImage classMapMask(const ClassMap &map, const std::vector<QRgb> &colours);
