// Labelled data sets as the readers give them: the pictures, the data set's
// own classes (ids and names as published) and the answers per picture.
#pragma once

#include "evaluation/box_evaluation.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DataSetImage
{
    std::int64_t id = 0;
    QString path; // absolute; empty when the annotations were read without their pictures
    int width = 0;
    int height = 0;
};

struct DataSetClass
{
    std::int64_t id = 0;
    std::string name; // UTF-8
};

// Boxes: a COCO annotation file or a YOLO folder. Images and classes in
// ascending id order, which the evaluation relies on for equal scores.
struct DetectionDataSet
{
    QString source;
    std::vector<DataSetImage> images;
    std::vector<DataSetClass> classes;
    std::vector<GroundTruthBox> objects; // image and category are indexes into the lists above
};

// A folder per class.
struct ClassifiedPicture
{
    QString path;
    std::size_t classIndex = 0;
};

struct ClassificationDataSet
{
    QString source;
    std::vector<DataSetClass> classes;
    std::vector<ClassifiedPicture> pictures;
};

// Pictures with masks of class indexes (0 the background).
struct MaskedPicture
{
    QString picture;
    QString mask;
};

struct SegmentationDataSet
{
    QString source;
    std::vector<MaskedPicture> pictures;
};
