#!/bin/sh
# Runs every variant of runtime_throughput_benchmark once per round, for
# several rounds, so that the variants share the machine's changing load; then
# prints the median frames per second of each and the ratios that
# BENCHMARKS.md reports.
#
# Usage: compare_throughput.sh [BENCHMARK_PROGRAM] [ROUNDS]
set -eu
program=${1:-build/benchmarks/simulator/runtime_throughput_benchmark}
rounds=${2:-7}
results=$(mktemp)
trap 'rm -f "$results"' EXIT

round=1
while [ "$round" -le "$rounds" ]; do
    "$program" --benchmark_format=csv 2>/dev/null | grep '^"' >>"$results"
    round=$((round + 1))
done

# median of a csv column per benchmark name: median COLUMN
median() {
    grep -v '^"machine/' "$results" |
        awk -F, -v c="$1" '{ gsub(/"/, "", $1); sub(/\/iterations:1\/manual_time/, "", $1); print $1, $c }' |
        sort -k1,1 -k2,2g |
        awk '{ v[$1] = v[$1] " " $2; n[$1]++ }
             END { for (k in v) { split(substr(v[k], 2), a, " "); m = (n[k] % 2) ? a[(n[k] + 1) / 2] : (a[n[k] / 2] + a[n[k] / 2 + 1]) / 2; printf "%s %.3f\n", k, m } }' |
        sort
}
fps=$(median 7)          # items_per_second
cpu=$(median 11)         # cpu_ms_per_frame

cores=$(grep '^"machine/cores_available' "$results" | sed 's/.*cores=\([0-9.]*\).*/\1/' | sort -g | tr '\n' ' ')
echo "cores available to this process in each round (sorted): $cores"
echo "medians over $rounds rounds:                                        frames/s   CPU ms/frame"
echo "$fps" | while read -r name value; do
    echo "$cpu" | awk -v n="$name" -v f="$value" '$1 == n { printf "  %-66s %8.1f %10.2f\n", n, f, $2 }'
done

echo "ratios:"
for model in yolo-fastest-1.1 face_expression_112; do
    { echo "$fps" | sed 's/^/fps /'; echo "$cpu" | sed 's/^/cpu /'; } | awk -v m="$model" '
        $2 == "raw_forward/" m "/threads:1" { r1[$1] = $3 }
        $2 == "raw_forward/" m "/threads:4" { r4[$1] = $3 }
        $2 == "runtime/" m "/units:1" { u1[$1] = $3 }
        $2 == "runtime/" m "/units:4" { u4[$1] = $3 }
        END {
            printf "  %s\n", m
            printf "    throughput: runtime 1 unit / raw 1 thread %.3f, runtime 4 units / raw 4 threads %.3f\n", u1["fps"] / r1["fps"], u4["fps"] / r4["fps"]
            printf "    scaling:    runtime 4 units / 1 unit %.3f (raw 4 threads / 1 thread %.3f on the same machine)\n", u4["fps"] / u1["fps"], r4["fps"] / r1["fps"]
            printf "    CPU cost:   raw / runtime per frame, 1 unit %.3f, 4 units %.3f\n", r1["cpu"] / u1["cpu"], r4["cpu"] / u4["cpu"]
        }'
done
