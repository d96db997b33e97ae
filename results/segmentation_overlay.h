// Paints a segmentation network's class map over a picture.
#pragma once

#include "results/frame_result.h"
#include "tensor/tensor_shapes.h"

#include <QRgb>

#include <cstddef>
#include <vector>

class QImage;

// What a segmentation network's values per cell are: raw scores, which a
// softmax turns into probabilities, or the probabilities themselves.
enum class CellValues { Scores, Probabilities };

// The class of one cell of a depth-last class map (depth values): depth 1
// gives 1 for a value of 0.5 or more, else 0; depth 2 or more gives the
// foreground class (1 to depth - 1) whose probability exceeds 0.5 (the first
// of the largest where given probabilities exceed 0.5 more than once), else 0
// (the background).
std::uint32_t segmentationCellClass(const float *values, std::uint32_t depth, CellValues kind = CellValues::Scores);

// Paints the pixels of the picture that the class map gives to a foreground
// class, fully opaque: class k in colours[k - 1]; classes without a colour
// paint nothing. A map of another size than the picture is stretched over the
// whole picture (nearest neighbour).
void paintClassMap(QImage &picture, const ClassMap &map, const std::vector<QRgb> &colours);

// The class map as a picture of its own size: class k in colours[k - 1],
// everything else transparent. For laying the map over a picture of any size.
QImage classMapMask(const ClassMap &map, const std::vector<QRgb> &colours);
