#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: in the
# normal build (./build), then, after a short run of every fuzz target, under
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer (./build-asan).
# Stops at the first failing step; the last lines are the sanitizer run's CTest
# summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
BUILD_DIR=build-asan scripts/build.sh -DKARVATH_SANITIZE=ON
scripts/fuzz.sh
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 300)
# Third-party leaks are suppressed by frame, each one explained in the file.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-asan
ctest --output-on-failure -j"$(nproc)" --timeout 600
