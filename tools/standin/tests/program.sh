#!/usr/bin/env bash
# The karvath-standin program's own behaviour: the PORT line, stopping on SIGTERM, stopping
# when --parent-pid ends, and refusing a broken state file.
#   program.sh PATH-TO-karvath-standin
set -u
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

wait_for_port() {
  for _ in $(seq 100); do
    grep -q '^PORT [0-9][0-9]*$' "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}

# SIGTERM ends it with status 0.
"$program" --port 0 --data-dir "$work/data" >"$work/a" 2>&1 &
pid=$!
wait_for_port "$work/a" || fail "no PORT line: $(cat "$work/a")"
[ -d "$work/data" ] || fail "--data-dir not created"
kill -TERM "$pid"
wait "$pid"
[ $? -eq 0 ] || fail "SIGTERM did not end it cleanly"

# It ends by itself once the process named by --parent-pid is gone.
sleep 30 &
parent=$!
"$program" --port 0 --parent-pid "$parent" >"$work/b" 2>&1 &
pid=$!
wait_for_port "$work/b" || fail "no PORT line with --parent-pid"
kill -0 "$pid" || fail "ended while its parent lived"
kill "$parent"
wait "$parent" 2>/dev/null
for _ in $(seq 40); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  fail "still running after its parent ended"
fi
wait "$pid" || fail "bad exit status after the parent ended"

# A broken state file is refused with the line at fault.
printf '[database]\nname = A\nrecovery = PARTIAL\n' >"$work/bad.ini"
if "$program" --state "$work/bad.ini" --port 0 >"$work/c" 2>&1; then fail "bad state accepted"; fi
grep -q 'line 3: recovery must be' "$work/c" || fail "no line number: $(cat "$work/c")"
echo "OK"
