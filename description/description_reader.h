// Reads an NN description file (XML) into an NnDescription record.
//
// <vrax_nn_description>
//   <input>  model, format, divider, adder, [resize], [padding],
//            [calibration] </input>
//   <output> neural_network, labels, yolo_anchors,
//            yolo_confidence_threshold, yolo_iou_threshold,
//            output_activation (optional) </output>
// </vrax_nn_description>
#pragma once

#include "description/nn_description.h"

#include <string>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

// Fills description from the file at path (UTF-8) or throws std::runtime_error.
// Fields stored before a failure keep their new values.
void readDescription(NnDescription &description, const std::string &path);

// Makes a relative modelPath relative to the description file's folder.
void resolveModelPath(const std::string &descriptionPath, std::string &modelPath);

// Required number child; lowest and highest are the allowed range.
void readNumber(const tinyxml2::XMLElement *parent, const char *name, double &value,
                double lowest, double highest);

// Required keyword children ("rgb"..., "classifier"...), looked up exactly.
void readInputFormat(const tinyxml2::XMLElement *parent, const char *name, InputFormat &format);
void readNetworkKind(const tinyxml2::XMLElement *parent, const char *name, NetworkKind &kind);
// Optional keyword child "softmax" or "none"; Automatic when it is absent.
void readOutputActivation(const tinyxml2::XMLElement *parent, const char *name, OutputActivation &activation);
// Optional: "crop", "stretch" or "letterbox"; an absent element leaves fit as it is.
void readPictureFit(const tinyxml2::XMLElement *parent, const char *name, PictureFit &fit);

// Required list children, one entry per line; both empty the list first.
// Empty lines and lines holding one tab are not labels; anchor lines that are
// not numbers are skipped.
void readLabels(const tinyxml2::XMLElement *parent, const char *name,
                std::vector<std::string> &labels);
void readAnchors(const tinyxml2::XMLElement *parent, const char *name,
                 std::vector<double> &anchors);
