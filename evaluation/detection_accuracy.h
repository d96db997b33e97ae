// What a detector's evaluation reports: the twelve COCO box figures, per
// class AP and AP50 with the number of objects and the precision-recall
// curve, and at the description's confidence threshold the precision, recall,
// F1 and the confusion matrix.
#pragma once

#include "evaluation/box_evaluation.h"
#include "evaluation/confusion_matrix.h"

#include <array>
#include <string>
#include <vector>

// Names of the twelve figures, in the reference's order.
extern const std::array<const char *, 12> cocoFigureNames;

struct ClassDetectionFigures
{
    std::string label;
    double ap = -1.0;   // IoU 0.50:0.95; -1 without objects
    double ap50 = -1.0;
    std::size_t instances = 0; // objects that are no crowd
    // At the threshold (IoU 0.5).
    std::size_t truePositives = 0;
    std::size_t falsePositives = 0;
    double precision = 0.0;
    double recall = -1.0; // -1 without objects
    double f1 = 0.0;
    // Precision at IoU 0.5 at each of the 101 recall points; -1 without objects.
    std::array<double, coco::recallPointCount> curve{};
};

struct DetectionAccuracy
{
    std::array<double, 12> coco{}; // -1 where no category has objects
    std::vector<ClassDetectionFigures> classes;
    double threshold = 0.0;
    // Over all classes at the threshold.
    double precision = 0.0;
    double recall = -1.0;
    double f1 = 0.0;
    ConfusionMatrix confusion;
};

// labels: one name per category (the data set's classes, in its order).
DetectionAccuracy detectionAccuracy(const std::vector<GroundTruthBox> &truth, const std::vector<DetectedBox> &detections,
                                    std::size_t imageCount, const std::vector<std::string> &labels, double threshold);

// The reference's summary of an evaluation.
std::array<double, 12> cocoSummary(const BoxEvaluation &evaluation);

// Per image, detections above the threshold, best first, each take the
// free object of any class that overlaps them most at IoU 0.5 or more:
// [object's class][detection's class]. A detection that finds none counts
// in the "background" row (unless it lies on a crowd), an object that none
// found in the "background" column.
ConfusionMatrix detectionConfusion(const std::vector<GroundTruthBox> &truth, const std::vector<DetectedBox> &detections,
                                   const std::vector<std::string> &labels, double threshold);
