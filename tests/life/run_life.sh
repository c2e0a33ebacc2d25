#!/usr/bin/env bash
# Runs the day-in-the-life scenario, and once more when the only thing that
# went wrong was a scheduled second in which no tick fell (exit 75): the
# schedule allows that miss, a loaded machine can cause it, and a second run
# schedules another second. Any other failure fails at once.
here=$(cd "$(dirname "$0")" && pwd)
for attempt in 1 2; do
  bash "$here/day_in_the_life.sh" "$@"
  rc=$?
  [ "$rc" -eq 75 ] || exit "$rc"
  echo "attempt $attempt: the scheduled second was missed; trying again"
done
exit 1
