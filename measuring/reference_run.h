// The frames of a run again on a reference board (the simulator, the CPU
// reference), one at a time after the board's answer, compared with the
// board's outputs and results: vrax-run's --compare-with and the window's
// View > Compare with Simulator.
#pragma once

#include "accel/board_session.h"
#include "measuring/frame_comparison.h"
#include "measuring/layer_comparison.h"
#include "engine/model_session.h"
#include "results/result_filter.h"
#include "sources/picture_list_source.h"

#include <QImage>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class LayerComparison;

class ReferenceRun
{
public:
    // Opens the description on the reference board. Blocking: the model is
    // compiled. Throws the messages of opening a description.
    ReferenceRun(const std::string &descriptionPath, const BoardChoice &choice);
    ~ReferenceRun();
    ReferenceRun(const ReferenceRun &) = delete;
    ReferenceRun &operator=(const ReferenceRun &) = delete;

    // How the board under test prepares its pictures: its tensor is reused
    // when the reference takes the same layout, otherwise the picture is
    // prepared again. Not while frames are compared.
    void setBoardReading(const PictureReading &boardReading);

    // From the next frame on, also compares the frames layer by layer on the
    // comparison given (null: no longer). Not while frames are compared.
    void setLayerComparison(std::shared_ptr<LayerComparison> layers);
    const std::shared_ptr<LayerComparison> &layerComparison() const { return layers; }

    // A detector's results are decoded down to this confidence (an
    // evaluation's), below the description's; the comparison still weighs
    // only the detections shown. Not while frames are compared.
    void setLowestConfidence(double confidence) { lowestConfidence = confidence; }

    // Runs the picture on the reference and compares the outputs and result
    // with the board's, both as the filter shows them (and the layers, see
    // setLayerComparison). Returns the
    // reference's result (down to the lowest confidence). From one thread at
    // a time (the one delivering the board's frames); throws when the
    // reference fails.
    FrameResult compare(const QImage &networkPicture, const std::vector<float> &boardTensor,
                        const OutputBuffers &boardOutputs, const FrameResult &boardResult,
                        const ResultFilter &shown = ResultFilter());

    // Any thread.
    ComparisonReport report() const;
    // Forgets the frames compared so far, the layers' too; any thread.
    void restart();

    NetworkKind kind() const { return model.description.neural_network; }

private:
    void compareLayers(const std::vector<float> &boardTensor, const std::vector<float> &ownTensor);

    std::vector<RuntimeHandle> sessions;
    OpenedModel model;
    PictureReading reading;
    bool sameInput = true;
    double lowestConfidence = 1.0;
    std::shared_ptr<LayerComparison> layers;
    mutable std::mutex mutex;
    FrameComparison comparison{NetworkKind::Classifier};
};

// The comparison as a table of text, one figure a line, the names padded to
// 26 characters: "Against 0 (simulator) (500 frames)", then each output's
// differences and the agreement of the results.
QString comparisonTable(const ComparisonReport &report, NetworkKind kind, const QString &reference);
