// The figures of a run as a table for people and as JSON for programs.
#pragma once

#include "runner/batch_run.h"
#include "runner/profile_output.h"

#include <QByteArray>
#include <QString>

#include <QStringList>

// With the slowest layers of --profile and the layers of --compare-layers.
QString figuresTable(const RunFigures &figures);

// What the run's layer profile is set against.
ProfileSetting profileSettingOf(const RunFigures &figures);

// What the program knows of itself, for the record of a run.
struct RunSetting
{
    QString program;         // "vrax-run"
    QString version;         // the program's version
    QStringList commandLine; // the program and its arguments as given
};

// {"frames", "seconds", "throughput_fps", "board_fps", "latency_ms" {p50, p90,
// p99, max, mean}, "stages_ms" {read, prepare, board, decode, draw, queued,
// waiting}, "first_frame_ms", "open_ms", "board", "units", "sessions",
// "host_cpu_ms_per_frame", "process_cpu_ms_per_frame", "stage_percentiles_ms",
// and "comparison" when the run compared the board with a reference}, and
// what repeats the run: "program" {name, version}, "runtime_version",
// "started" (ISO 8601 with the UTC offset), "host" {cpu, cores, system,
// kernel}, "boards" [{type, index, name}], "files" [{role (description,
// model, weights), path, bytes, sha256}], "input" {width, height, depth},
// "in_flight" and "command_line"; "layers_compare" and
// "first_divergent_layer" with --compare-layers (insertLayerComparison).
QByteArray figuresJson(const RunFigures &figures, const RunSetting &setting = {});
