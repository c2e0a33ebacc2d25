#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz, then:
#   scripts/fuzz.sh                    a short smoke run of every target (CI)
#   scripts/fuzz.sh run TARGET SECONDS fuzz one target; new inputs go to
#                                      build-fuzz/work/TARGET, crashes to build-fuzz/crashes
# Targets: settings text_to_int number_text standin_request.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
TARGETS=(settings text_to_int number_text standin_request)

cmake -S fuzz -B "$BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
mkdir -p "$BUILD_DIR/crashes"

fuzz() {  # target, libFuzzer options...
  local target=$1
  shift
  mkdir -p "$BUILD_DIR/work/$target"
  "$BUILD_DIR/karvath_fuzz_$target" -artifact_prefix="$BUILD_DIR/crashes/$target-" \
    -max_len=12000 -rss_limit_mb=2048 "$@" "$BUILD_DIR/work/$target" "fuzz/corpus/$target"
}

case "${1:-smoke}" in
  smoke)
    for t in "${TARGETS[@]}"; do
      log="$BUILD_DIR/smoke-$t.log"
      if ! fuzz "$t" -runs=4000 -max_total_time=20 -print_final_stats=1 >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz smoke: $t FAILED (log: $log)"
        exit 1
      fi
      echo "fuzz smoke: $t ok, $(grep -E '^stat::number_of_executed_units' "$log" | tr -s ' ')"
    done
    ;;
  run)
    fuzz "$2" -max_total_time="$3" -print_final_stats=1
    ;;
  *)
    echo "usage: $0 [smoke | run TARGET SECONDS]" >&2
    exit 2
    ;;
esac
