#!/usr/bin/env bash
# Builds the benchmarks into build-bench (RelWithDebInfo, like the product) and
# runs them; the start-up benchmark runs on its own Xvfb display. Figures go to
# stdout; bench/RESULTS.md records them by hand with the machine they came from.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target karvath_bench_listing karvath_bench_monitor \
  karvath_bench_startup
echo "== listing"
# Pinned to one CPU, with the stand-in it starts: on this 2-vCPU VM a round trip
# whose two ends sit on different CPUs costs about 200 us more, and which
# connection's server thread lands where decides the figure more than the client.
taskset -c 0 "$BUILD_DIR/bench/karvath_bench_listing" "${LISTING_REPETITIONS:-21}"
echo "== unattended checks"
"$BUILD_DIR/bench/karvath_bench_monitor" "${CHECKS:-10000}"
echo "== start-up"
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  "$BUILD_DIR/bench/karvath_bench_startup" "${STARTUP_REPETITIONS:-9}"
