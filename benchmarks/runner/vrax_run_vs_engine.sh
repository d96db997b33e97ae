#!/bin/sh
# vrax-run with four units on the simulator against the engine's own forward
# loop on four threads, on the yolo-fastest detector and three photos, in
# turn for several rounds so that both share the machine's changing load;
# prints the medians and their ratio, and the ratio of their CPU per frame,
# which the machine's load does not change (BENCHMARKS.md).
#
# Usage: vrax_run_vs_engine.sh [BUILD_DIR] [ROUNDS] [FRAMES]
set -eu
build=${1:-build}
rounds=${2:-5}
frames=${3:-240}
shared=${VRAX_SHARED_DIR:-$(dirname "$0")/../../../shared}
shared=$(cd "$shared" && pwd)
models=$shared/models
pictures=$shared/pictures
engine=$build/benchmarks/simulator/runtime_throughput_benchmark
runner=$build/runner/vrax-run
for file in "$models/yolo-fastest-1.1.cfg" "$pictures/dog.jpg" "$engine" "$runner"; do
    [ -e "$file" ] || { echo "missing: $file" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/detector_description.sh"
write_detector_description "$models" yolo-fastest-1.1 "$work/detector.xml"

round=1
while [ "$round" -le "$rounds" ]; do
    # items_per_second and cpu_ms_per_frame (the whole process's CPU)
    "$engine" --benchmark_filter='raw_forward/yolo-fastest-1.1/threads:4' --benchmark_format=csv 2>/dev/null |
        grep '^"raw_forward' | awk -F, '{ print $7; print $11 >"/dev/stderr" }' >>"$work/engine" 2>>"$work/engineCpu"
    "$runner" -q --warmup 4 -n "$frames" --json "$work/run.json" "$work/detector.xml" \
        "$pictures/dog.jpg" "$pictures/person.jpg" "$pictures/horses.jpg"
    sed -n 's/.*"throughput_fps": \([0-9.e+-]*\).*/\1/p' "$work/run.json" >>"$work/runner"
    sed -n 's/.*"process_cpu_ms_per_frame": \([0-9.e+-]*\).*/\1/p' "$work/run.json" >>"$work/runnerCpu"
    echo "round $round: engine $(tail -n 1 "$work/engine") fps $(tail -n 1 "$work/engineCpu") ms CPU," \
        "vrax-run $(tail -n 1 "$work/runner") fps $(tail -n 1 "$work/runnerCpu") ms CPU a frame" >&2
    round=$((round + 1))
done

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
engineFps=$(median "$work/engine")
runnerFps=$(median "$work/runner")
echo "medians over $rounds rounds: engine, 4 threads $engineFps fps; vrax-run, 4 units $runnerFps fps"
awk -v r="$runnerFps" -v e="$engineFps" 'BEGIN { printf "vrax-run / engine: %.3f\n", r / e }'
# CPU per frame does not depend on what else the machine runs: the engine's
# over vrax-run's is the ratio the two would reach on cores of their own.
engineCpu=$(median "$work/engineCpu")
runnerCpu=$(median "$work/runnerCpu")
echo "medians of the CPU per frame: engine $engineCpu ms; vrax-run $runnerCpu ms"
awk -v r="$runnerCpu" -v e="$engineCpu" 'BEGIN { printf "engine / vrax-run CPU per frame: %.3f\n", e / r }'
