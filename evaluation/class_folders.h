// Data sets for classifiers and segmentation networks, read from folders:
//  - a folder per class: DIR/<class name>/*.png (any picture format);
//  - pictures and masks: DIR/images/NAME.* with DIR/masks/NAME.png, a mask
//    holding the class index of each pixel (0 the background, 255 a pixel
//    left out), 8-bit grey or with a colour table.
#pragma once

#include "evaluation/labelled_data.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

// Classes are the subfolders holding pictures, in name order. Throws
// std::runtime_error naming the folder when none holds a picture.
ClassificationDataSet readClassFolders(const QString &folder);

// Throws std::runtime_error naming the picture whose mask is missing.
SegmentationDataSet readMaskFolder(const QString &folder);

// The class index of every pixel, row by row. Throws std::runtime_error
// naming the file when it cannot be read or holds colours, not indexes.
std::vector<std::uint8_t> readClassMask(const QString &path, QSize &size);
