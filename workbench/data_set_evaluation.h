// The window's Evaluate Data Set: every picture of a labelled data set once
// through the boards (and the reference, while comparing), scored, on a
// worker thread. Progress and the end come as queued signals; cancel() ends
// it early, abandon() when closing.
#pragma once

#include "engine/frame_pipeline.h"
#include "engine/model_session.h"
#include "evaluation/data_set_report.h"
#include "sources/picture_list_source.h"
#include "workbench/background_job.h"
#include "workbench/data_set_scoring.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class FrameRun;
class ReferenceRun;

class DataSetEvaluation : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        DataSetChoice choice;
        FramePipeline::Boards boards;
        OpenedModel model;      // as opened; a detector's threshold is lowered for the run
        PictureReading reading; // with the fit in use
        ReferenceRun *reference = nullptr; // null: no comparison; outlives the evaluation
        QString board;          // names for the report
        QString referenceBoard;
    };

    explicit DataSetEvaluation(QObject *parent = nullptr);
    ~DataSetEvaluation() override;

    // Starts the work; one at a time.
    void start(Request request);
    bool isRunning() const { return job.isRunning(); }
    // Ends the run early: the frames on the boards come back, then
    // finished() says it was cancelled. Any time.
    void cancel();
    // Closing: cancels and waits; no signal follows.
    void abandon();

signals:
    // Pictures scored so far of all of them (total 0 while the data set is read).
    void progress(quint64 done, quint64 total);
    // The report, or the failure's message, or neither when cancelled.
    void finished(std::shared_ptr<const DataSetReport> report, const QString &failure);

private:
    // On the worker: reads, runs and scores.
    std::shared_ptr<const DataSetReport> evaluate(const Request &request);

    BackgroundJob job{this};
    std::atomic<bool> cancelled{false};
    std::mutex runMutex;
    FrameRun *running = nullptr; // the worker's run, for cancel()
};
