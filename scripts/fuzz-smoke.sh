#!/bin/sh
# Builds the fuzz targets with clang (address and undefined-behaviour checks)
# and runs each one briefly over its seed corpus. Fails on any crash, hang,
# leak or sanitizer report, leaving the input that caused it in the work folder.
# The mutations start from a fixed seed, so that a run repeats the one before
# it (long runs with fresh seeds are for finding faults, see fuzz/README.md).
#
#   scripts/fuzz-smoke.sh            # 20 seconds per target
#   VRAX_FUZZ_SECONDS=60 scripts/fuzz-smoke.sh
#   VRAX_FUZZ_BUILD_DIR=/tmp/b scripts/fuzz-smoke.sh
#   VRAX_FUZZ_SEED=0 scripts/fuzz-smoke.sh   # libFuzzer picks a seed itself
set -eu
cd "$(dirname "$0")/.."
# Optimised code with line tables (VRAX_TEST_FLAGS from scripts/test.sh, or
# full debug information when run on its own).
flags=${VRAX_TEST_FLAGS:-"-O2 -g -DNDEBUG"}
root=$(pwd)
build=${VRAX_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${VRAX_FUZZ_SECONDS:-20}
seed=${VRAX_FUZZ_SEED:-1}

start=$(date +%s)
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" \
  -DVRAX_BUILD_FUZZERS=ON -DVRAX_BUILD_TESTS=OFF -DVRAX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target fuzzers --parallel 2 >/dev/null
built=$(date +%s)
echo "fuzz-smoke: fuzz targets built in $((built - start)) s"

work=$(mktemp -d "${TMPDIR:-/tmp}/vrax-fuzz-smoke.XXXXXX")
failed=0
for corpus in "$root"/fuzz/corpus/*/; do
  target=$(basename "$corpus")
  binary="$build/fuzz/$target"
  if [ ! -x "$binary" ]; then
    echo "fuzz-smoke: $target: no such fuzz target in $build" >&2
    failed=1
    continue
  fi
  # The committed seeds are copied: new inputs found on the way stay out of the tree.
  mkdir -p "$work/$target/corpus" "$work/$target/findings"
  cp "$corpus"* "$work/$target/corpus/"
  dict=""
  [ -f "$root/fuzz/$target.dict" ] && dict="-dict=$root/fuzz/$target.dict"
  log="$work/$target/log.txt"
  # shellcheck disable=SC2086
  if "$binary" -seed="$seed" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      $dict -artifact_prefix="$work/$target/findings/" "$work/$target/corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    echo "fuzz-smoke: $target: $runs runs, $coverage, no findings"
  else
    failed=1
    echo "fuzz-smoke: $target FAILED; inputs in $work/$target/findings:" >&2
    ls "$work/$target/findings" >&2 || true
    grep -A 30 -E '^==[0-9]+==ERROR|runtime error|^SUMMARY|deadly signal|timeout' "$log" | head -n 60 >&2 || true
  fi
done

echo "fuzz-smoke: total $(( $(date +%s) - start )) s"
if [ "$failed" -ne 0 ]; then
  echo "fuzz-smoke: findings kept in $work" >&2
  exit 1
fi
rm -rf "$work"
