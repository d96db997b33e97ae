// vrax-run's view inside the network: the layer profile as a file (JSON or
// CSV) and as the table of the slowest layers, and the layer comparison as
// JSON fields and as a table.
#pragma once

#include "measuring/layer_comparison.h"
#include "measuring/network_profile.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// What the profile is set against: the board's mean time per frame
// (submitted to outputs fetched, as the run measured it), the frames the run
// measured and its throughput.
struct ProfileSetting
{
    double boardFrameMs = 0.0;
    std::uint64_t frames = 0;
    double throughputFps = 0.0;
};

// {"layers": [{"name", "type", "output_shape", "params", "macs", "time_ms",
// "percent", "macs_per_s"}], "layers_total_ms", "frame_board_ms",
// "frame_engine_ms", "frames_timed", "macs", "macs_per_s" (over the layers'
// time), "macs_per_s_throughput" (at the run's frame rate, every unit
// together), "note" when the layers' sum and the board time differ by more
// than a tenth}, and "layers_compare" and "first_divergent_layer" when given.
QByteArray profileJson(const NetworkProfile &profile, const ProfileSetting &setting,
                       const std::optional<LayerComparisonReport> &layers = std::nullopt);

// One row per layer: name, type, output_shape ("1x16x48x48"), params, macs,
// time_ms, percent, macs_per_s; then a row "(layers)" with the layers' sums
// and a row "(board frame)" with the board's time per frame.
QByteArray profileCsv(const NetworkProfile &profile, const ProfileSetting &setting);

// Writes profileCsv to a path ending in ".csv" (any case), else profileJson.
// Throws std::runtime_error naming the file when it cannot be written.
void writeProfile(const QString &path, const NetworkProfile &profile, const ProfileSetting &setting,
                  const std::optional<LayerComparisonReport> &layers);

// The slowest layers, the sums, and the note when the layers' sum and the
// board time differ by more than a tenth.
QString slowestLayersTable(const NetworkProfile &profile, const ProfileSetting &setting, std::size_t rows = 10);

// When the layers' sum and the board's time per frame differ by more than a
// tenth of the board's time, what that means; empty otherwise.
QString layerSumNote(const NetworkProfile &profile, const ProfileSetting &setting);

// "layers_compare": [{"name", "type", "cosine", "worst_cosine", "max_abs",
// "mean_abs"}], "first_divergent_layer" (null when none), "layer_threshold",
// "layer_frames", inserted into object.
void insertLayerComparison(QJsonObject &object, const LayerComparisonReport &report);

// The first divergent layer (or that none is), then the layers with the
// lowest cosine, in the network's order.
QString layerComparisonTable(const LayerComparisonReport &report, const QString &reference, std::size_t rows = 10);
