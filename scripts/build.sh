#!/bin/sh
# Configures and builds VRAX GUI in ./build (extra arguments go to cmake).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build --parallel
