// A labelled data set of any of the published layouts, told apart by what
// the path holds:
//  - a .json file: COCO annotations, pictures relative to the images folder
//    (by default the file's folder's images/ when there is one, else the
//    file's folder itself);
//  - a folder with labels/: YOLO; with masks/: pictures and masks;
//  - any other folder: a folder per class.
#pragma once

#include "evaluation/labelled_data.h"

#include <QString>

#include <string>
#include <vector>

enum class DataSetKind { Coco, Yolo, ClassFolders, Masks };

struct LabelledData
{
    DataSetKind kind = DataSetKind::Coco;
    DetectionDataSet boxes;          // Coco, Yolo
    ClassificationDataSet classes;   // ClassFolders
    SegmentationDataSet masks;       // Masks
};

// Throws std::runtime_error naming the path when it is none of these, and
// what the readers throw.
LabelledData openDataSet(const QString &path, const QString &imagesFolder = QString());

// The data set's class names in its order (none for masks).
std::vector<std::string> dataSetClassNames(const LabelledData &data);

// "COCO annotations", "YOLO folder", ...
const char *dataSetKindName(DataSetKind kind);
