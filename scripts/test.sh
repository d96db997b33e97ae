#!/bin/sh
# Builds VRAX GUI with warnings as errors and runs every test suite headless:
# the normal suite, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the threaded suites under ThreadSanitizer.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh -DVRAX_WERROR=ON -DVRAX_BUILD_TESTS=ON
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 -j2
./scripts/sanitizer-tests.sh address
./scripts/sanitizer-tests.sh thread
