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

# name -> median of items_per_second (column 7 of the csv)
medians=$(grep -v '^"machine/' "$results" | awk -F, '{ gsub(/"/, "", $1); sub(/\/iterations:1\/manual_time/, "", $1); print $1, $7 }' |
    sort -k1,1 -k2,2g |
    awk '{ v[$1] = v[$1] " " $2; n[$1]++ }
         END { for (k in v) { split(substr(v[k], 2), a, " "); m = (n[k] % 2) ? a[(n[k] + 1) / 2] : (a[n[k] / 2] + a[n[k] / 2 + 1]) / 2; printf "%s %.1f\n", k, m } }' |
    sort)
cores=$(grep '^"machine/cores_available' "$results" | sed 's/.*cores=\([0-9.]*\).*/\1/' | sort -g | tr '\n' ' ')
echo "cores available to this process in each round (sorted): $cores"
echo "median frames per second over $rounds rounds:"
echo "$medians" | awk '{ printf "  %-66s %8.1f\n", $1, $2 }'

echo "ratios:"
for model in yolo-fastest-1.1 face_expression_112; do
    echo "$medians" | awk -v m="$model" '
        $1 == "raw_forward/" m "/threads:1" { r1 = $2 }
        $1 == "raw_forward/" m "/threads:4" { r4 = $2 }
        $1 == "runtime/" m "/units:1" { u1 = $2 }
        $1 == "runtime/" m "/units:4" { u4 = $2 }
        END { printf "  %-20s runtime 1 unit / raw 1 thread %.3f   runtime 4 units / raw 4 threads %.3f   4 units / 1 unit %.3f\n",
                     m, u1 / r1, u4 / r4, u4 / u1 }'
done
