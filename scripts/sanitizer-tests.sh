#!/bin/sh
# Builds and runs the test suites under a sanitizer:
#   address  AddressSanitizer + UndefinedBehaviorSanitizer over every suite
#   thread   ThreadSanitizer over the suites that run threads: the workbench
#            (its worker and runs), the runtime's units, the frame pipeline, the window's
#            Run Auto, closing and Compare with Simulator, Evaluate Data Set,
#            and recording
set -eu
cd "$(dirname "$0")/.."
# Lightly optimised code, as the sanitizers advise (a quarter less compile
# time than -O2), with line tables (VRAX_SANITIZER_FLAGS from
# scripts/test.sh, or full debug information when run on its own).
flags=${VRAX_SANITIZER_FLAGS:-"-O1 -g -DNDEBUG"}
kind=${1:?usage: sanitizer-tests.sh address|thread}
suppressions="$PWD/tests/sanitizers"
export QT_QPA_PLATFORM=offscreen

case "$kind" in
address)
  dir=build-asan
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DVRAX_WERROR=ON \
    -DVRAX_SANITIZE="address;undefined" >/dev/null
  cmake --build "$dir" --parallel
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # The end-to-end tests look at the normal build's window; the in-process
  # window suites cover the same code here.
  ctest --test-dir "$dir" --output-on-failure --timeout 900 -j2 -LE e2e
  ;;
thread)
  dir=build-tsan
  suites="workbench_test frame_processing_test frame_pipeline_test runtime_stress_test runtime_calls_test int8_board_test layer_profile_test window_commands_test fault_injection_test statistics_dock_test evaluation_window_test frame_recorder_test video_window_test"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DVRAX_WERROR=ON \
    -DVRAX_SANITIZE=thread >/dev/null
  # shellcheck disable=SC2086
  cmake --build "$dir" --parallel --target $suites
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp"
  for suite in $suites; do
    echo "== $suite (ThreadSanitizer)"
    "$(find "$dir/tests" -type f -name "$suite" | head -n 1)" >"$dir/$suite.log" 2>&1 ||
      { cat "$dir/$suite.log"; echo "$suite failed under ThreadSanitizer" >&2; exit 1; }
  done
  ;;
*)
  echo "unknown sanitizer kind: $kind" >&2
  exit 2
  ;;
esac
