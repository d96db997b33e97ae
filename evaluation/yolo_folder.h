// A data set in the YOLO layout: DIR/images with the pictures, DIR/labels
// with a text file per picture (same base name), one object per line:
//   class cx cy w h      (centre, width and height over the picture's size)
// or class x1 y1 x2 y2 ... (a polygon, taken by its bounding box). Class
// names come from DIR/data.yaml's "names" (a list, or a map from index to
// name), else from DIR/classes.txt or a DIR/*.names file, one per line.
#pragma once

#include "evaluation/labelled_data.h"

#include <QString>

#include <string>
#include <vector>

// Images get the ids 1, 2, ... in natural order of their names. A picture
// without a label file has no objects. Throws std::runtime_error naming the
// file and line at fault: a line of another count of numbers, a class index
// out of range, no class names, a picture that cannot be read.
DetectionDataSet readYoloFolder(const QString &folder);

// The class names of the folder (data.yaml, classes.txt or *.names).
std::vector<std::string> readYoloClassNames(const QString &folder);
