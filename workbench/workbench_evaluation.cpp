// The workbench's part in accuracy on labelled data: Evaluate Data Set, the
// fit of pictures to the input chosen in the View menu, and the result filter.
#include "workbench/workbench.h"

#include "accel/attached_boards.h"
#include "measuring/reference_run.h"

void Workbench::connectEvaluation()
{
    connect(&evaluation, &DataSetEvaluation::progress, this, &Workbench::evaluationProgress);
    connect(&evaluation, &DataSetEvaluation::finished, this,
            [this](std::shared_ptr<const DataSetReport> report, const QString &failure) {
                busyState.set(Activity::Idle);
                emit statisticsChanged();
                if (!failure.isEmpty())
                    emit failed(tr("Evaluate Data Set"), failure);
                else if (report)
                    emit evaluationFinished(std::move(report));
            });
}

bool Workbench::evaluateDataSet(const DataSetChoice &choice)
{
    if (!mayStart(tr("Evaluate Data Set"), true))
        return false;
    DataSetEvaluation::Request request;
    request.choice = choice;
    request.boards = boards.pipelineBoards();
    request.model = opened.model;
    request.reading = opened.reading;
    request.reference = compared.get();
    request.board = QString::fromStdString(
        boardName(board().boardType, board().boardIndex, board().parallelCount > 0));
    if (compared) {
        request.referenceBoard = QString::fromStdString(boardName(BoardType::Simulator, 0));
        compared->restart();
    }
    busyState.set(Activity::Evaluating);
    evaluation.start(std::move(request));
    return true;
}

void Workbench::cancelEvaluation()
{
    if (busyState.activity() == Activity::Evaluating)
        evaluation.cancel();
}

void Workbench::applyPictureFit()
{
    opened.reading = pictureReadingOf(opened.model.description, opened.model.modelDims, boards.choice().boardType);
    if (fitChosen)
        opened.reading.request.fit = *fitChosen;
    opened.reading.request.pixelLimit = pixelLimit;
}

PictureFit Workbench::pictureFit() const
{
    return fitChosen.value_or(hasDescription() ? description().resize : PictureFit::CentreCrop);
}

bool Workbench::setPictureFit(std::optional<PictureFit> fit)
{
    if (fit == fitChosen)
        return true;
    if (!mayStart(tr("Resize")))
        return false;
    fitChosen = fit;
    if (!hasDescription())
        return true;
    applyPictureFit();
    if (compared)
        compared->setBoardReading(opened.reading);
    // Prepared pictures were fitted the other way.
    cache.clear();
    if (!inputs.isEmpty() && !inputs.isStream())
        startPictures(inputs.pictures(), true);
    return true;
}

void Workbench::setResultFilter(const ResultFilter &newFilter)
{
    filter.set(newFilter);
    emit resultFilterChanged();
}

FrameResult Workbench::filteredResult() const
{
    if (!shown || !hasDescription())
        return FrameResult();
    return decodeFilteredResult(shown->outputs, modelDims(), description(), filter.get());
}
