// Pairs a data set's classes with the description's labels by name, case and
// spaces ignored ("Traffic Light" is "traffic light" is "trafficlight"); a
// class map file pairs the rest, one pair a line:
//   data set name = label      # a comment
#pragma once

#include <QString>

#include <string>
#include <utility>
#include <vector>

struct ClassMatching
{
    std::vector<int> labelOfClass; // per data set class: the label's index, -1 for none
    std::vector<int> classOfLabel; // per label: the data set class's index, -1 for none
    // One warning listing what matches nothing; empty when everything does.
    std::string warning;
};

using ClassMapping = std::vector<std::pair<std::string, std::string>>; // data set name, label

// Throws std::runtime_error naming the file and line of a line that is no
// pair, or that names a label the description does not have.
ClassMapping readClassMap(const QString &path, const std::vector<std::string> &labels);

// Data set classes that match no label are left out of the evaluation (the
// network cannot find them); the detections of labels that match no class
// are dropped, as the reference evaluation drops categories it does not know.
ClassMatching matchClasses(const std::vector<std::string> &classes, const std::vector<std::string> &labels,
                           const ClassMapping &mapping = {});

// The name as matching compares it.
QString comparableName(const std::string &name);
