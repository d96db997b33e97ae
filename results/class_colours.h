// One colour per class, the same in every frame and every view: a class is
// drawn in its colour whichever classes appear beside it.
#pragma once

#include <QColor>
#include <QRgb>

#include <cstddef>
#include <cstdint>
#include <vector>

// The colour of class classIndex (from 0): sixteen light, well-told-apart
// colours first (yellow, green, red, cyan, magenta, ...), then hues a golden
// angle apart. Light enough for black label text. A negative index (no
// class) is grey.
QColor classColour(std::int32_t classIndex);

// The colours of a segmentation network's foreground classes 1 to 255, for
// paintClassMap() and classMapMask(): class k in element k - 1, which is
// classColour(k - 1).
const std::vector<QRgb> &segmentationColours();
