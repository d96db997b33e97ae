// vrax-run --dataset: the data set read, its pictures the run's inputs, each
// frame scored as it comes back (and the reference board's result beside
// it), and at the end the report and the COCO results file.
#pragma once

#include "engine/model_session.h"
#include "evaluation/data_set_report.h"
#include "runner/evaluation_options.h"
#include "sources/frame.h"
#include "workbench/data_set_scoring.h"

#include <QStringList>

#include <memory>

class BatchEvaluation
{
public:
    // Reads the data set for the opened model. Throws RunFailure naming the
    // file, or the data set and description that do not go together.
    BatchEvaluation(const EvaluationOptions &options, const OpenedModel &model);

    const QStringList &pictures() const { return scoring->pictures(); }
    // The model the frames are decoded with: a detector's threshold lowered
    // to the evaluation's confidence.
    const OpenedModel &scoredModel() const { return scored; }
    double confidence() const { return choice.confidence; }

    // Scores the frame (picture n of the run is picture n of the data set),
    // and the reference's result when compared. On the delivering thread.
    void add(const Frame &frame, bool compared);
    // The result as the description shows it: a detector's boxes above its
    // own threshold (what --results and --save write).
    FrameResult shown(const FrameResult &result) const;

    DataSetReport report(const QString &board, const QString &reference, PictureFit fit) const;
    // Writes --coco-results when given. Throws RunFailure naming the file.
    void writeCocoResults() const;

private:
    EvaluationOptions options;
    DataSetChoice choice;
    OpenedModel scored;
    double threshold = 0.0; // the description's
    std::unique_ptr<DataSetScoring> scoring;
};
