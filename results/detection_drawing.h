// How decoded detections look: the colour of their class, the label's font and text.
#pragma once

#include "results/detection.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <string>
#include <vector>

// Gives every detection the colour of its class, classColour(): the same
// class has the same colour in every frame.
void assignClassColours(std::vector<Detection> &detections);

// "Times New" at 12 points (a serif face when that family is missing), then
// sized in pixels by the line height that the 12-point font has on the screen.
QFont detectionLabelFont();

// "cat: 0.87": the class label and the confidence with two decimals.
QString detectionLabelText(const Detection &detection, const std::vector<std::string> &labels);
