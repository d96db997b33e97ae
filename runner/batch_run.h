// One run of vrax-run: the description opened on the boards, the inputs run
// round and round through the frame pipeline, the figures collected, the
// results written.
#pragma once

#include "evaluation/data_set_report.h"
#include "measuring/frame_comparison.h"
#include "measuring/layer_comparison.h"
#include "measuring/network_profile.h"
#include "measuring/run_statistics.h"
#include "runner/runner_options.h"
#include "tensor/tensor_shapes.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

struct RunFigures
{
    QString description;
    QString model;        // the model file the description names, absolute
    TensorDims input{};   // the network's input
    QDateTime started;    // when the run began
    QString board; // "0 (simulator)", "2:1 (TK307.04)", "2:all (TK307.04)"
    BoardAddress address; // the board, or with parallel its type
    bool parallel = false;
    std::uint32_t sessions = 0;
    std::uint32_t units = 0;    // units per session x sessions
    std::uint32_t inFlight = 0; // frames in flight at most: the units, or fewer by --in-flight
    std::uint64_t frames = 0;
    double seconds = 0.0;
    double throughputFps = 0.0;
    double boardFps = 0.0;
    LatencySummary latency;
    std::array<LatencySummary, stageCount> stages;
    double openMs = 0.0;
    double firstFrameMs = 0.0;
    double hostCpuMsPerFrame = 0.0;
    double processCpuMsPerFrame = 0.0; // the simulator's units included
    std::optional<ComparisonReport> comparison;
    QString comparedWith;
    NetworkKind kind = NetworkKind::Classifier;
    std::optional<DataSetReport> evaluation; // --dataset
    std::optional<NetworkProfile> profile;       // --profile
    std::optional<LayerComparisonReport> layers; // --compare-layers
};

// A file or the board failed; what() names the file or the step.
class RunFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Frames finished so far and the frames the run will have (0 when it runs
// for a time), called from the delivering thread.
using RunProgress = std::function<void(std::uint64_t done, std::uint64_t total, double elapsedSeconds)>;

// Runs as the options say. Throws RunFailure.
RunFigures runBatch(const RunnerOptions &options, const RunProgress &progress);

// "0 (simulator)", "2:1 (TK307.04)"; parallel runs give "all" for the index.
QString boardLabel(const BoardAddress &address, bool parallel);
