// An evaluation on a labelled data set while its pictures go through the
// boards: the data set read, its classes matched to the description's
// labels, each frame's result scored as it comes back (the board's, and the
// reference board's when comparing), and the figures at the end. The same
// for vrax-run --dataset and the window's Evaluate Data Set.
#pragma once

#include "evaluation/accuracy_figures.h"
#include "evaluation/data_set.h"
#include "picture/picture_request.h"
#include "results/frame_result.h"
#include "tensor/tensor_shapes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// What to evaluate on.
struct DataSetChoice
{
    QString path;     // a COCO annotation file (.json) or a folder (YOLO, a folder per class, masks)
    QString images;   // COCO: the pictures' folder; empty: images/ beside the file, or its folder
    QString classMap; // "data set name = label" lines; empty: names alone
    double confidence = 0.001; // detectors: results decoded down to this, as the peers evaluate
};

// Which board a result came from.
enum class ScoredBoard { Board = 0, Reference = 1 };

class DataSetScoring
{
public:
    // Reads the data set and matches its classes to the labels. Throws
    // std::runtime_error naming the file at fault, or the data set and the
    // description when the data set is not for this kind of network.
    DataSetScoring(const DataSetChoice &choice, const NnDescription &description, const ModelDims &modelDims);
    ~DataSetScoring();
    DataSetScoring(const DataSetScoring &) = delete;
    DataSetScoring &operator=(const DataSetScoring &) = delete;

    DataSetKind format() const { return data->kind; }
    // Every picture of the data set once, in its order: frame n is picture n.
    const QStringList &pictures() const { return paths; }
    // Names that matched nothing, one message; empty when all did.
    const std::string &warning() const { return matchWarning; }

    // Scores one picture's result (its boxes in network pixels, mapped to the
    // picture's through the prepared picture's geometry). From one thread at
    // a time; throws naming a mask that cannot be read or does not fit.
    void add(std::size_t picture, const PreparedPicture &prepared, const FrameResult &result,
             ScoredBoard board = ScoredBoard::Board);
    // Whether the board's results have been scored.
    bool scored(ScoredBoard board) const;
    // The figures over every picture scored; threshold: the description's,
    // for a detector's counts at a threshold.
    AccuracyFigures figures(ScoredBoard board = ScoredBoard::Board) const;
    // A detector's boxes in the reference's results format (ids as in the
    // data set, boxes in the pictures' own pixels).
    QByteArray cocoResults(ScoredBoard board = ScoredBoard::Board) const;

private:
    struct Tally;

    std::shared_ptr<const LabelledData> data;
    QStringList paths;
    std::string matchWarning;
    NetworkKind kind;
    double threshold;
    std::vector<std::string> labels;       // the description's, or a segmentation network's classes
    std::vector<int> labelOfClass;         // per data set class
    std::vector<int> classOfLabel;         // per label
    std::array<std::unique_ptr<Tally>, 2> tallies;
};
