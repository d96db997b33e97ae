#!/bin/sh
# Builds VRAX GUI with warnings as errors and runs every test suite headless:
# the normal suite (the end-to-end tests under Xvfb included), the Debian
# package installed into a scratch folder and used from there, the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded suites
# under ThreadSanitizer, and a short run of each fuzz target.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh -DVRAX_WERROR=ON -DVRAX_BUILD_TESTS=ON
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 -j2
./scripts/package-test.sh
./scripts/sanitizer-tests.sh address
./scripts/sanitizer-tests.sh thread
VRAX_FUZZ_SECONDS=${VRAX_FUZZ_SECONDS:-10} ./scripts/fuzz-smoke.sh
