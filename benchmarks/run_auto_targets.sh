#!/bin/sh
# The window's Run Auto and vrax-run against the engine and against boards of
# a known speed, side by side: each round runs, in turn,
#   - the engine's own forward loop on the host's cores (2 and 4 threads, the
#     better counts),
#   - Run Auto in the window under an X server (xvfb-run), as the status line
#     shows it, with the default settings, on the simulator on the host's
#     cores and on a 1000 fps board (VRAX_SIM_BOARD_TIME=0:4ms),
#   - vrax-run on a 2000 fps board (0:2ms) and on the host's cores,
# all with the COCO detector yolo-fastest-1.1-xl over dog, horses and person.
# Prints each round and the medians of the ratios (BENCHMARKS.md).
#
# Usage: run_auto_targets.sh [BUILD_DIR] [ROUNDS]
set -eu
build=${1:-build}
rounds=${2:-3}
shared=${VRAX_SHARED_DIR:-$(dirname "$0")/../../shared}
shared=$(cd "$shared" && pwd)
models=$shared/models
pictures="$shared/pictures/dog.jpg $shared/pictures/horses.jpg $shared/pictures/person.jpg"
engine=$build/benchmarks/simulator/runtime_throughput_benchmark
window=$build/benchmarks/run_auto_bench
runner=$build/runner/vrax-run
for file in "$models/yolo-fastest-1.1-xl.cfg" "$engine" "$window" "$runner"; do
    [ -e "$file" ] || { echo "missing: $file" >&2; exit 1; }
done
export VRAX_SHARED_DIR="$shared"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/runner/detector_description.sh"
write_detector_description "$models" yolo-fastest-1.1-xl "$work/detector.xml"

# A counter of a Google Benchmark CSV line: csv_value FILE NAME_PATTERN COLUMN_NAME
csv_value() {
    awk -F, -v pattern="$2" -v column="$3" '
        NR == 1 || /^name,/ { for (i = 1; i <= NF; i++) if ($i == column || $i == "\"" column "\"") c = i; next }
        $1 ~ pattern && c { print $c; exit }' "$1"
}
json_value() { sed -n "s/.*\"$2\": \([0-9.e+-]*\).*/\1/p" "$1" | head -n 1; }
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

round=1
while [ "$round" -le "$rounds" ]; do
    "$engine" --benchmark_filter='raw_forward/yolo-fastest-1.1-xl/threads:[24]/' --benchmark_format=csv \
        >"$work/engine.csv" 2>/dev/null
    # The better of 2 and 4 threads, and its CPU a frame (the whole process).
    engineFps=$(awk -F, '/raw_forward/ && $7 > best { best = $7 } END { print best }' "$work/engine.csv")
    engineCpu=$(awk -F, -v best="$engineFps" '/raw_forward/ && $7 == best { print $11 }' "$work/engine.csv")

    xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" "$window" \
        --benchmark_filter='BM_RunAutoTargets' --benchmark_format=csv >"$work/window.csv" 2>/dev/null
    windowFps=$(csv_value "$work/window.csv" 'BM_RunAutoTargets/0/' status_fps)
    windowProcessCpu=$(csv_value "$work/window.csv" 'BM_RunAutoTargets/0/' process_cpu_ms_per_frame)
    windowBoardFps=$(csv_value "$work/window.csv" 'BM_RunAutoTargets/4/' status_fps)
    windowCpu=$(csv_value "$work/window.csv" 'BM_RunAutoTargets/4/' host_cpu_ms_per_frame)
    windowInFlight=$(csv_value "$work/window.csv" 'BM_RunAutoTargets/4/' in_flight)

    VRAX_SIM_BOARD_TIME=0:2ms "$runner" -q --warmup 12 -n 6000 --json "$work/board.json" "$work/detector.xml" \
        $pictures
    runnerBoardFps=$(json_value "$work/board.json" throughput_fps)
    runnerCpu=$(json_value "$work/board.json" host_cpu_ms_per_frame)
    "$runner" -q --warmup 4 -n 120 --json "$work/cores.json" "$work/detector.xml" $pictures
    runnerFps=$(json_value "$work/cores.json" throughput_fps)
    runnerProcessCpu=$(json_value "$work/cores.json" process_cpu_ms_per_frame)

    awk -v round="$round" -v e="$engineFps" -v w="$windowFps" -v wb="$windowBoardFps" -v f="$windowInFlight" \
        -v wc="$windowCpu" -v rb="$runnerBoardFps" -v rc="$runnerCpu" -v r="$runnerFps" 'BEGIN {
        printf "round %d: engine %.1f fps; Run Auto %.1f fps (%.3f); Run Auto, 1000 fps board, %d in flight: %.0f fps (%.3f), host CPU %.3f ms a frame; vrax-run, 2000 fps board: %.0f fps (%.3f), host CPU %.3f ms a frame; vrax-run %.1f fps (%.3f)\n",
            round, e, w, w / e, f, wb, wb / 1000, wc, rb, rb / 2000, rc, r, r / e }' >&2
    ratio "$windowFps" "$engineFps" >>"$work/windowEngine"; echo >>"$work/windowEngine"
    ratio "$windowBoardFps" 1000 >>"$work/windowBoard"; echo >>"$work/windowBoard"
    echo "$windowCpu" >>"$work/windowCpu"
    ratio "$runnerBoardFps" 2000 >>"$work/runnerBoard"; echo >>"$work/runnerBoard"
    echo "$runnerCpu" >>"$work/runnerCpu"
    ratio "$runnerFps" "$engineFps" >>"$work/runnerEngine"; echo >>"$work/runnerEngine"
    # CPU a frame, the whole process: the ratio the two reach on cores of their own.
    ratio "$engineCpu" "$windowProcessCpu" >>"$work/windowEngineCpu"; echo >>"$work/windowEngineCpu"
    ratio "$engineCpu" "$runnerProcessCpu" >>"$work/runnerEngineCpu"; echo >>"$work/runnerEngineCpu"
    echo "round $round: CPU a frame: engine $engineCpu ms, Run Auto $windowProcessCpu ms, vrax-run $runnerProcessCpu ms" >&2
    round=$((round + 1))
done

echo "medians over $rounds rounds:"
echo "  Run Auto / engine on the host's cores      $(median "$work/windowEngine")   (target >= 0.90)"
echo "    engine / Run Auto CPU a frame            $(median "$work/windowEngineCpu")   (the same on cores of their own)"
echo "  Run Auto / 1000 fps board                  $(median "$work/windowBoard")   (target >= 0.90)"
echo "  Run Auto host CPU per frame, 1000 fps board $(median "$work/windowCpu") ms   (target <= 0.5)"
echo "  vrax-run / 2000 fps board                  $(median "$work/runnerBoard")   (target >= 0.95)"
echo "  vrax-run host CPU per frame, 2000 fps board $(median "$work/runnerCpu") ms   (target <= 0.3)"
echo "  vrax-run / engine on the host's cores      $(median "$work/runnerEngine")"
echo "    engine / vrax-run CPU a frame            $(median "$work/runnerEngineCpu")"
