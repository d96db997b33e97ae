// Paints a segmentation network's class map over a picture.
#pragma once

#include "tensor/tensor_shapes.h"

#include <QRgb>

#include <cstddef>
#include <vector>

class QImage;

// count opaque colours from a generator seeded with seed: for each colour three
// successive values, whose low 8 bits give blue, green and red.
std::vector<QRgb> randomClassColours(std::size_t count, quint32 seed);

// Number of colours a class map of this depth needs: one for a single mask
// channel, one per foreground class (1 to depth - 1) otherwise.
std::size_t segmentationColourCount(std::uint32_t depth);

// Paints the pixels that the depth-last class map (width x height x depth
// values) gives to a foreground class in that class's colour, fully opaque.
// Depth 1: a value of 0.5 or more paints colours[0]. Depth 2 or more: the
// class whose softmax probability exceeds 0.5 paints colours[class - 1];
// class 0 is the background. A map of another size than the picture is
// stretched over the whole picture (nearest neighbour); pixels past the end of
// a short buffer paint nothing.
void paintSegmentation(QImage &picture, const std::vector<float> &values, const TensorDims &dims,
                       const std::vector<QRgb> &colours);
