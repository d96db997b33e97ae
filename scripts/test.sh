#!/bin/sh
# Builds VRAX GUI with warnings as errors and runs every test suite headless:
# the normal suite (the end-to-end tests under Xvfb included), the Debian
# package installed into a scratch folder and used from there, the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded suites
# under ThreadSanitizer, and a short run of each fuzz target.
set -eu
cd "$(dirname "$0")/.."
# Line tables are all the debug information a test run needs (file and line
# in backtraces and sanitizer reports); full debug information takes about
# half again as long to compile and link.
lines_only="-O2 -g1 -DNDEBUG"
export VRAX_TEST_FLAGS="$lines_only"
export VRAX_SANITIZER_FLAGS="-O1 -g1 -DNDEBUG"
./scripts/build.sh -DVRAX_WERROR=ON -DVRAX_BUILD_TESTS=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$lines_only" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$lines_only"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 -j2
./scripts/package-test.sh
./scripts/sanitizer-tests.sh address
./scripts/sanitizer-tests.sh thread
VRAX_FUZZ_SECONDS=${VRAX_FUZZ_SECONDS:-10} ./scripts/fuzz-smoke.sh
