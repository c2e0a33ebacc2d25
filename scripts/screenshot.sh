#!/usr/bin/env bash
# Shows the main window on a virtual X display and saves a PNG of it.
#
#   scripts/screenshot.sh [--real] [output.png]
#
# By default it runs karvath_show_main, which fills the window with a few
# sample rows, a log line and the monthly schedule fields. With --real it runs
# the program itself from the build directory (the window shows at a first
# start, when no settings file lies beside the executable).
# Builds what is missing into $BUILD_DIR (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}

target=karvath_show_main
if [ "${1:-}" = "--real" ]; then
  target=karvath
  shift
fi
out=${1:-out/karvath-main.png}

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
fi
cmake --build "$BUILD_DIR" -j2 --target "$target" >/dev/null
if [ "$target" = karvath ]; then
  program=$BUILD_DIR/karvath
else
  program=$BUILD_DIR/tests/app/karvath_show_main
fi
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
if [ ! -x "$program" ]; then
  echo "no $target in $BUILD_DIR" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

# Inside the virtual display: start the program, wait for its window, grab it,
# and end the program again.
xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$program" "$out" <<'INNER'
set -euo pipefail
program=$1
out=$2
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$(mktemp -d)
export KARVATH_SHOW_MS=20000
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --onlyvisible --name "Karvath v1.74" 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "the main window did not show" >&2
  exit 1
fi
sleep 1  # let it paint
import -window "$window" "$out"
INNER
echo "$out"
