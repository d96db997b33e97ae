#include "workbench/data_set_evaluation.h"

#include "measuring/reference_run.h"
#include "workbench/frame_run.h"

#include <QCoreApplication>

DataSetEvaluation::DataSetEvaluation(QObject *parent) : QObject(parent) {}

DataSetEvaluation::~DataSetEvaluation()
{
    abandon();
}

void DataSetEvaluation::start(Request request)
{
    cancelled = false;
    auto report = std::make_shared<std::shared_ptr<const DataSetReport>>();
    job.start([this, request = std::move(request), report] { *report = evaluate(request); },
              [this, report](std::exception_ptr failure) {
                  QString message;
                  if (failure) {
                      try {
                          std::rethrow_exception(failure);
                      } catch (const std::exception &error) {
                          message = QString::fromUtf8(error.what());
                      } catch (...) {
                          message = QCoreApplication::translate("Workbench", "Unknown failure");
                      }
                  }
                  emit finished(cancelled ? nullptr : *report, cancelled ? QString() : message);
              });
}

void DataSetEvaluation::cancel()
{
    cancelled = true;
    std::lock_guard<std::mutex> lock(runMutex);
    if (running)
        running->stop();
}

void DataSetEvaluation::abandon()
{
    cancel();
    job.abandon();
}

std::shared_ptr<const DataSetReport> DataSetEvaluation::evaluate(const Request &request)
{
    emit progress(0, 0);
    DataSetScoring scoring(request.choice, request.model.description, request.model.modelDims);
    const auto total = quint64(scoring.pictures().size());
    if (cancelled || total == 0)
        return nullptr;

    OpenedModel scored = request.model;
    const bool detector = isDetector(scored.description.neural_network);
    if (detector)
        scored.description.yolo_confidence_threshold = request.choice.confidence;
    if (request.reference)
        request.reference->setLowestConfidence(detector ? request.choice.confidence : 1.0);
    PictureListSource source(scoring.pictures(), request.reading, {}, nullptr, 0, false);
    quint64 done = 0;
    FrameRun run(request.boards, source, scored, request.reference, [&](FramePtr frame) {
        scoring.add(frame->origin.number, frame->picture, frame->result);
        if (request.reference)
            scoring.add(frame->origin.number, frame->picture, frame->reference, ScoredBoard::Reference);
        emit progress(++done, total);
    });
    std::exception_ptr failure;
    try {
        bool started = false;
        {
            // cancel() sets its flag before it looks for the run: either the
            // run is not started, or it is stopped once started.
            std::lock_guard<std::mutex> lock(runMutex);
            if (!cancelled) {
                running = &run;
                run.start(total);
                started = true;
            }
        }
        if (started)
            run.wait();
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> lock(runMutex);
        running = nullptr;
    }
    if (request.reference)
        request.reference->setLowestConfidence(1.0);
    if (failure)
        std::rethrow_exception(failure);
    if (cancelled)
        return nullptr;

    auto report = std::make_shared<DataSetReport>();
    report->dataSet = request.choice.path;
    report->format = scoring.format();
    report->pictures = std::size_t(total);
    report->warning = scoring.warning();
    report->confidence = request.choice.confidence;
    report->threshold = request.model.description.yolo_confidence_threshold;
    report->resize = request.reading.request.fit;
    report->board = request.board;
    report->accuracy = scoring.figures();
    if (request.reference) {
        report->reference = request.referenceBoard;
        report->referenceAccuracy = scoring.figures(ScoredBoard::Reference);
    }
    return report;
}
