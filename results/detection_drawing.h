// Draws decoded detections: a box and a label box with the class name and the
// confidence, in one colour per class.
#pragma once

#include "results/detection.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <string>
#include <vector>

class QImage;
class QPainter;

// Gives every detection the colour of its class. Classes take yellow, green
// and red in the order in which they first appear in the list, then yellow
// again; all detections of a class share its colour.
void assignClassColours(std::vector<Detection> &detections);

// "Times New" at 12 points (a serif face when that family is missing), then
// sized in pixels by the line height that the 12-point font has on the screen.
QFont detectionLabelFont();

// "cat: 0.87": the class label and the confidence with two decimals.
QString detectionLabelText(const Detection &detection, const std::vector<std::string> &labels);

// Draws the label box of one detection: above the box, or inside it at its
// top edge when there is no room above.
void drawDetectionLabel(QPainter &painter, const Detection &detection, const std::vector<std::string> &labels,
                        const QColor &colour, const QFont &font);

// Draws every detection's box and label onto canvas in list order, so that a
// later detection paints over an earlier one.
void drawDetections(QImage &canvas, const std::vector<Detection> &detections, const std::vector<std::string> &labels);
