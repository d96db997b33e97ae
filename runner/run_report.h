// The figures of a run as a table for people and as JSON for programs.
#pragma once

#include "runner/batch_run.h"

#include <QByteArray>
#include <QString>

QString figuresTable(const RunFigures &figures);

// {"frames", "seconds", "throughput_fps", "board_fps", "latency_ms" {p50, p90,
// p99, max, mean}, "stages_ms" {read, prepare, board, decode, draw, queued,
// waiting}, "first_frame_ms", "open_ms", "board", "units", "sessions",
// "host_cpu_ms_per_frame", "process_cpu_ms_per_frame", "stage_percentiles_ms",
// and "comparison" when the run compared the board with a reference}.
QByteArray figuresJson(const RunFigures &figures);
