#!/usr/bin/env bash
# Configures and builds Karvath into ./build (or $BUILD_DIR); BUILD_TARGETS
# names the targets to build when not all of them are needed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
targets=()
for t in ${BUILD_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$BUILD_DIR" -j"$(nproc)" "${targets[@]}"
