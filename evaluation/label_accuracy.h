// Classifier and segmentation figures, tallied one picture at a time.
#pragma once

#include "evaluation/confusion_matrix.h"

#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ClassificationAccuracy
{
    struct Class
    {
        std::string label;
        std::size_t pictures = 0;
        double top1 = -1.0; // -1 without pictures
        double top5 = -1.0;
    };
    std::size_t pictures = 0;
    double top1 = 0.0;
    double top5 = 0.0;
    std::vector<Class> classes;
    ConfusionMatrix confusion; // [true label][top label]
};

class ClassificationTally
{
public:
    explicit ClassificationTally(std::vector<std::string> labels);
    // ranking: label indexes, most probable first.
    void add(std::size_t truth, const std::vector<std::size_t> &ranking);
    ClassificationAccuracy accuracy() const;

private:
    std::vector<std::string> labels;
    std::vector<std::size_t> pictures, top1, top5;
    ConfusionMatrix confusion;
};

struct SegmentationAccuracy
{
    struct Class
    {
        std::string label;
        std::size_t pixels = 0; // in the masks
        double iou = -1.0;      // -1 where neither mask nor network has the class
    };
    double meanIou = -1.0; // over the classes present
    double pixelAccuracy = -1.0;
    std::vector<Class> classes;
    ConfusionMatrix confusion; // pixels, [mask class][network class]
};

// The pixel value a mask leaves out of every figure.
constexpr std::uint8_t maskIgnored = 255;

class SegmentationTally
{
public:
    // Class 0 is the background.
    explicit SegmentationTally(std::vector<std::string> labels);
    // Equal sizes, row by row; a mask class beyond the labels counts as a
    // pixel the network got wrong.
    void add(const std::vector<std::uint8_t> &mask, const std::vector<std::uint8_t> &predicted);
    SegmentationAccuracy accuracy() const;

private:
    std::vector<std::string> labels;
    ConfusionMatrix confusion;
    std::size_t outOfRange = 0;
};

// {"top1": .., "top5": .., "classes": [{"label", "pictures", "top1", "top5"}]}
QJsonObject classificationAccuracyJson(const ClassificationAccuracy &accuracy);
// {"mIoU": .., "pixel_accuracy": .., "classes": [{"label", "IoU", "pixels"}]}
QJsonObject segmentationAccuracyJson(const SegmentationAccuracy &accuracy);
std::string classificationAccuracyTable(const ClassificationAccuracy &accuracy);
std::string segmentationAccuracyTable(const SegmentationAccuracy &accuracy);
