// COCO annotation files ("instances_val2017.json" and the like): images with
// their file names, categories, and boxes with their area and crowd flag.
#pragma once

#include "evaluation/labelled_data.h"

#include <QString>

// Reads the boxes of the file. With an images folder, every image's
// file_name is taken relative to it and must exist there; without one the
// images are not looked for (scoring a results file needs none). The area
// decides small, medium and large; width x height where it is missing.
// Throws std::runtime_error naming the file and the entry at fault: an image
// or category listed twice, an annotation of an unknown image or category, a
// box that is not four numbers, a missing picture.
DetectionDataSet readCocoAnnotations(const QString &path, const QString &imagesFolder = QString());
