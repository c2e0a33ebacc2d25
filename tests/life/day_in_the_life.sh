#!/usr/bin/env bash
# A day in the life of Karvath, driven through its real window as a user would:
# connect to the stand-in server, pick a database, clean its log, set a daily
# check a few seconds ahead, switch unattended mode on, close the window, wait
# for the check to write log.txt; then end the program and start it again from
# the same directory and see it come back hidden, reconnected, with its
# schedule. Everything runs on a private Xvfb display; no window manager, so
# the window has no frame and its client area is the X window itself.
#
# Usage: day_in_the_life.sh BUILD_DIR [OUT_DIR]
#   BUILD_DIR holds karvath and tools/standin/karvath-standin; screenshots and
#   the records of the run go to OUT_DIR (default
#   BUILD_DIR/tests/life/day-in-the-life), emptied first.
set -euo pipefail

BUILD=$(cd "${1:?usage: day_in_the_life.sh BUILD_DIR [OUT_DIR]}" && pwd)
OUT=${2:-$BUILD/tests/life/day-in-the-life}
HERE=$(cd "$(dirname "$0")" && pwd)
SOURCE=$(cd "$HERE/../.." && pwd)
KARVATH_EXE=$BUILD/karvath
STANDIN_EXE=$BUILD/tools/standin/karvath-standin
DEMO_STATE=$SOURCE/tools/standin/demo/demo.ini
DATABASE=Shop            # a FULL-recovery database of the demo state with a real log file
PASSWORD='Karvath#2026'  # the demo state's login sa

for tool in Xvfb xdotool import python3 iconv; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
[ -x "$KARVATH_EXE" ] || { echo "no karvath in $BUILD" >&2; exit 1; }
[ -x "$STANDIN_EXE" ] || { echo "no karvath-standin in $BUILD" >&2; exit 1; }

mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.txt "$OUT"/*.ini "$OUT"/*.log
WORK=$(mktemp -d "${TMPDIR:-/tmp}/karvath-life.XXXXXX")
RUN=$WORK/run  # the directory the program runs from: settings and log.txt appear here
mkdir -p "$RUN" "$WORK/data"
# A name of its own for each run, so that no other Karvath on this machine
# (another run of this test included) counts as a running copy of this one and
# makes it refuse to start ("程序已经启动").
EXE_NAME=karvath-life-${WORK##*.}
cp "$KARVATH_EXE" "$RUN/$EXE_NAME"
SETTINGS="$RUN/配置文件.ini"
ACTIVITY="$RUN/log.txt"
RECORD=$WORK/standin.log

START=$(date +%s)
XVFB_PID="" STANDIN_PID="" KARVATH_PID="" WATCHDOG_PID=""

say() { echo "[life +$(($(date +%s) - START))s] $*"; }

stop_pid() {  # ends one process this script started and reaps it
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  local rc=$?
  set +e
  # Keep the records beside the screenshots: they are what a failure needs.
  [ -f "$SETTINGS" ] && cp "$SETTINGS" "$OUT/settings-gbk.ini" &&
    iconv -f GBK -t UTF-8 "$SETTINGS" >"$OUT/settings-utf8.ini"
  [ -f "$ACTIVITY" ] && cp "$ACTIVITY" "$OUT/log-gbk.txt" &&
    iconv -f GBK -t UTF-8 "$ACTIVITY" >"$OUT/log-utf8.txt"
  [ -f "$RECORD" ] && cp "$RECORD" "$OUT/standin.log"
  [ -f "$WORK/karvath-1.txt" ] && cp "$WORK"/karvath-*.txt "$OUT/"
  stop_pid "$KARVATH_PID"
  stop_pid "$STANDIN_PID"
  stop_pid "$XVFB_PID"
  stop_pid "$WATCHDOG_PID"
  rm -rf "$WORK"
  if [ "$rc" -eq 0 ]; then say "PASS"; else say "FAILED (exit $rc); records in $OUT"; fi
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# Ends the run (through the traps above) before the test runner's own timeout
# would kill this script and leave the display and the program behind; it
# gives up when this script is gone, so it never signals another process.
python3 -c '
import os, signal, sys, time
parent, deadline = int(sys.argv[1]), time.time() + int(sys.argv[2])
while time.time() < deadline:
    time.sleep(1)
    if os.getppid() != parent:
        sys.exit(0)
os.kill(parent, signal.SIGTERM)
' $$ 150 &
WATCHDOG_PID=$!

SHOT=0
shot() {  # screenshot of the whole screen into OUT, numbered in order
  [ -n "$XVFB_PID" ] || return 0
  SHOT=$((SHOT + 1))
  import -display "$DISPLAY" -window root "$OUT/$(printf '%02d' "$SHOT")-$1.png" 2>/dev/null || true
}

fail() {
  echo "FAIL: $*" >&2
  shot failure
  exit 1
}

wait_until() {  # wait_until SECONDS DESCRIPTION COMMAND... — polls every 0.2 s
  local limit=$1 what=$2
  shift 2
  local end=$(($(date +%s) + limit))
  until "$@"; do
    [ "$(date +%s)" -lt "$end" ] || fail "timed out after ${limit}s waiting for $what"
    sleep 0.2
  done
}

wait_until_quiet() {  # wait_until_quiet SECONDS COMMAND... — false when time runs out
  local end=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$end" ] || return 1
    sleep 0.2
  done
}

# --- X display ---------------------------------------------------------------
# The first free display number from :90 on; Xvfb's own lock decides races.
display_ready() { [ -S "/tmp/.X11-unix/X$N" ] && xdotool getmouselocation >/dev/null 2>&1; }
for N in $(seq 90 140); do
  [ -e "/tmp/.X$N-lock" ] || [ -e "/tmp/.X11-unix/X$N" ] && continue
  Xvfb ":$N" -noreset -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.txt" 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$N"
  for _ in $(seq 100); do
    display_ready && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  display_ready && break
  stop_pid "$XVFB_PID"
  XVFB_PID=""
done
[ -n "$XVFB_PID" ] || fail "no Xvfb display could be started"
unset XAUTHORITY WAYLAND_DISPLAY
say "Xvfb on $DISPLAY"

# --- The stand-in server ----------------------------------------------------
"$STANDIN_EXE" --state "$DEMO_STATE" --port 0 --data-dir "$WORK/data" --log "$RECORD" \
  --parent-pid $$ >"$WORK/standin.out" 2>"$WORK/standin.err" &
STANDIN_PID=$!
port_ready() { grep -q '^PORT [0-9]' "$WORK/standin.out"; }
wait_until 20 "the stand-in's port" port_ready
PORT=$(sed -n 's/^PORT \([0-9]*\).*/\1/p' "$WORK/standin.out" | head -n1)
SERVER="127.0.0.1,$PORT"
say "stand-in on $SERVER"

# --- Karvath ------------------------------------------------------------------
RUNS=0
start_karvath() {
  RUNS=$((RUNS + 1))
  # The test runner may ask for the offscreen platform; this run needs the X
  # display. Under AddressSanitizer, strict string checks are off for the
  # program: libxkbcommon-x11, which the X platform loads, strndup()s keymap
  # names that have a length but no terminating zero (legal, but reported in
  # strict mode). Every other option the runner set stays in force.
  local asan=${ASAN_OPTIONS:-}
  (cd "$RUN" && exec env QT_QPA_PLATFORM=xcb \
    ASAN_OPTIONS="${asan:+$asan:}strict_string_checks=0" "./$EXE_NAME") \
    >"$WORK/karvath-$RUNS.txt" 2>&1 &
  KARVATH_PID=$!
}

# Visible top-level windows of the program, the main window's caption starting
# with "Karvath v".
main_window() { xdotool search --onlyvisible --name '^Karvath v' 2>/dev/null | head -n1 || true; }
program_windows() { xdotool search --onlyvisible --class "$EXE_NAME" 2>/dev/null || true; }
have_main_window() { [ -n "$(main_window)" ]; }
alive() { kill -0 "$KARVATH_PID" 2>/dev/null || fail "Karvath ended unexpectedly"; }

# Click at a client-area position of the main window (a few pixels into the control).
click() {
  alive
  xdotool mousemove --sync $((WIN_X + $1)) $((WIN_Y + $2)) click 1
  sleep 0.3
}
# Click into an edit box and type ASCII text into it.
type_into() {
  alive
  xdotool mousemove --sync $((WIN_X + $1)) $((WIN_Y + $2)) click 1 sleep 0.2 type --delay 30 "$3"
  sleep 0.2
}

# Waits for a message box (a visible window of the program other than the main
# window), screenshots it and dismisses it with Return.
dismiss_message() {
  local name=$1 box=""
  message_up() {
    box=$(program_windows | grep -vx "$WIN" | head -n1)
    [ -n "$box" ]
  }
  wait_until 30 "the message box \"$name\"" message_up
  sleep 0.3
  shot "$name"
  xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box"
  xdotool key Return
  message_gone() { ! grep -qx "$box" <<<"$(program_windows)"; }
  wait_until 10 "the message box \"$name\" to close" message_gone
}

# Settings file and activity log in UTF-8 (they are GBK on disk).
settings_text() { iconv -f GBK -t UTF-8 "$SETTINGS" 2>/dev/null; }
activity_text() { iconv -f GBK -t UTF-8 "$ACTIVITY" 2>/dev/null; }

say "first start, no settings file"
[ ! -e "$SETTINGS" ] || fail "settings file exists before the first start"
start_karvath
wait_until 30 "the main window to show" have_main_window
WIN=$(main_window)
eval "$(xdotool getwindowgeometry --shell "$WIN" | sed 's/^/WIN_/')"
say "main window $WIN at $WIN_X,$WIN_Y ${WIN_WIDTH}x$WIN_HEIGHT"
sleep 0.5
shot start

# Client places of the controls (as laid out by the program's control table);
# the schedule controls sit in 分组框2 at 7,278.
GX=7 GY=278
type_into $((72 + 10)) $((16 + 16)) "$SERVER"      # 编辑框_IP
type_into $((72 + 10)) $((56 + 16)) "sa"           # 编辑框_用户名
type_into $((72 + 10)) $((96 + 16)) "$PASSWORD"    # 编辑框_密码
shot login-typed
click $((104 + 40)) $((133 + 16))                  # 按钮_连接
say "connecting"
dismiss_message 连接成功
say "connected"
shot connected
grep -qx "ip=$SERVER" <<<"$(settings_text | tr -d '\r')" || fail "the connect did not save the server address"

# 组合框_库名: open its list with the mouse, find the database by typing its
# first letters, take it with Return.
click $((72 + 20)) $((176 + 10))
sleep 0.5
shot database-list
xdotool type --delay 60 "$DATABASE"
sleep 0.3
xdotool key Return
sleep 0.5
shot database-chosen
chosen() { grep -qx "指定库=$DATABASE" <<<"$(settings_text | tr -d '\r')"; }
wait_until 5 "指定库=$DATABASE in the settings file" chosen

say "chose $DATABASE, cleaning"
# 按钮_一键清理: four statements with 500 ms waits around them, a refresh, a
# last half-second wait; the button reads 一键清理 again afterwards.
click $((104 + 40)) $((211 + 16))
sleep 1.2
shot cleaning
cleaned() { grep -aq "^SQL	[0-9]*	ALTER DATABASE $DATABASE SET RECOVERY FULL\$" "$RECORD"; }
wait_until 20 "the cleanup statements" cleaned
sleep 2.5
shot cleaned

say "cleaned"
# Daily schedule a few seconds ahead of the local clock (what the program reads).
click $((GX + 8 + 10)) $((GY + 53 + 8))             # 选择框_每天
sleep 0.3
DUE=$(($(date +%s) + 25))  # room for a busy machine; a check before the close fails
HOUR=$(date -d "@$DUE" +%-H) MINUTE=$(date -d "@$DUE" +%-M) SECOND=$(date -d "@$DUE" +%-S)
type_into $((GX + 82 + 10)) $((GY + 47 + 10)) "$HOUR"    # 编辑框_时
type_into $((GX + 120 + 10)) $((GY + 47 + 10)) "$MINUTE" # 编辑框_分
type_into $((GX + 159 + 10)) $((GY + 47 + 10)) "$SECOND" # 编辑框_秒
shot schedule-typed
click $((GX + 201 + 20)) $((GY + 45 + 11))           # 按钮_确定
confirmed() { grep -qx "模式=每天一次" <<<"$(settings_text | tr -d '\r')"; }
wait_until 5 "the confirmed schedule in the settings file" confirmed
# 选择框1 挂机 starts the one-second tick, and the tick must fall inside the
# scheduled second: one that fires late across a second boundary skips a
# second. The click goes in just after a second begins, so the ticks come
# early in their seconds, far from the boundary, even on a busy machine.
xdotool mousemove --sync $((WIN_X + 243 + 8)) $((WIN_Y + 93 + 20))
python3 -c 'import time; time.sleep(1.05 - time.time() % 1)'
xdotool click 1
unattended() { grep -qx "是否挂机=是" <<<"$(settings_text | tr -d '\r')"; }
wait_until 5 "是否挂机=是 in the settings file" unattended
shot unattended
# The 是否挂机 write and the start of the tick come in the same handler.
PHASE=$(stat -c %y "$SETTINGS" | sed 's/.*:[0-9][0-9]\.\([0-9][0-9][0-9]\).*/0.\1/')
[ "$(date +%s)" -lt $((DUE - 1)) ] || fail "the scheduled second passed while it was being set"
say "ticks at about +${PHASE}s into each second"
say "daily check due at $HOUR:$MINUTE:$SECOND"

# Close the window as its close button would: it hides, the program runs on.
python3 "$HERE/wm_delete.py" "$WIN"
window_hidden() { ! have_main_window; }
wait_until 10 "the window to hide on close" window_hidden
shot closed
alive
[ ! -e "$ACTIVITY" ] || fail "the scheduled check ran before the window was closed"

# The scheduled check measures the log and writes the activity log to log.txt.
checked() { grep -q "${DATABASE}检测到日志大小" <<<"$(activity_text)"; }
# A tick that comes late across a second boundary skips that second, and the
# schedule then misses it, as a scheduled second without a tick is missed. On a
# loaded machine that can happen to the one second this run scheduled: that is
# no fault of the program, and the runner tries the scenario once more.
if ! wait_until_quiet $((DUE - $(date +%s) + 15)) checked; then
  shot missed
  echo "MISSED: no tick fell in the scheduled second $HOUR:$MINUTE:$SECOND" >&2
  exit 75
fi
say "scheduled check done"
sleep 0.5

# --- What the first run left behind --------------------------------------------
python3 - "$SETTINGS" "$ACTIVITY" "$RECORD" "$SERVER" "$PASSWORD" "$DATABASE" \
  "$HOUR" "$MINUTE" "$SECOND" <<'EOF' || fail "the first run's records are wrong"
import re, sys
settings, activity, record, server, password, database, hour, minute, second = sys.argv[1:]
problems = []

raw = open(settings, "rb").read()
text = raw.decode("gbk")
if "\n" in text.replace("\r\n", "") or "\r" in text.replace("\r\n", ""):
    problems.append("settings file lines do not all end in CR LF")
sections, current = {}, None
for line in text.split("\r\n"):
    if line.startswith("[") and line.endswith("]"):
        current = sections.setdefault(line[1:-1], {})
    elif "=" in line and current is not None:
        key, value = line.split("=", 1)
        current[key] = value
expected = {
    "配置": {"ip": server, "用户名": "sa", "密码": password, "是否挂机": "是", "指定库": database},
    "定时配置": {"模式": "每天一次", "时": hour, "分": minute, "秒": second},
}
for section, keys in expected.items():
    for key, value in keys.items():
        got = sections.get(section, {}).get(key)
        if got != value:
            problems.append(f"[{section}] {key}={got!r}, expected {value!r}")

log = open(activity, "rb").read().decode("gbk")
time_re = r"\d{4}年\d{1,2}月\d{1,2}日(\d{1,2}时)?(\d{1,2}分)?(\d{1,2}秒)?"
if not re.search(rf"^{time_re}  {re.escape(database)}清理完毕，共释放了-?[\d.]+[KMG]B\r$", log, re.M):
    problems.append("log.txt lacks the cleanup report line")
if not re.search(rf"^{time_re}  {re.escape(database)}检测到日志大小-?[\d.]+[KMG]B\r$", log, re.M):
    problems.append("log.txt lacks the size line")
if not log.endswith("\r\n"):
    problems.append("log.txt does not end with CR LF")

events = [line.rstrip("\n").split("\t") for line in open(record, encoding="utf-8")]
if not any(e[0] == "LOGIN" and e[2] == "sa" and e[3] == password and e[-1] == "ok" for e in events):
    problems.append("no accepted login of sa in the stand-in's record")
wanted = [f"ALTER DATABASE {database} SET RECOVERY SIMPLE ",
          f"USE {database}",
          f"DBCC SHRINKFILE (N'{database}_log' , 0, TRUNCATEONLY)",
          f"ALTER DATABASE {database} SET RECOVERY FULL"]
statements = [(e[1], e[2]) for e in events if e[0] == "SQL" and len(e) >= 3]
found = [i for i, (_, sql) in enumerate(statements) if sql in wanted]
sequence = [statements[i][1] for i in found]
if sequence != wanted:
    problems.append(f"cleanup statements in the record: {sequence!r}")
elif len({statements[i][0] for i in found}) != 1:
    problems.append("the cleanup statements came on more than one connection")
elif found != list(range(found[0], found[0] + 4)):
    problems.append("other statements came between the cleanup statements")

for p in problems:
    print("  " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
say "settings, log.txt and the stand-in's record hold the day's work"

# --- End and start again ------------------------------------------------------
cp "$SETTINGS" "$WORK/settings-before"
stop_pid "$KARVATH_PID"
KARVATH_PID=""
MARK=$(wc -l <"$RECORD")
say "second start, settings present, unattended"
start_karvath
SINCE=$WORK/record-since-restart
since_restart() { tail -n +$((MARK + 1)) "$RECORD" >"$SINCE"; }
reconnected() {
  since_restart
  grep -aq "^LOGIN	[0-9]*	sa	.*	ok\$" "$SINCE" &&
    grep -aq "^SQL	[0-9]*	SELECT Name FROM Master\.\.SysDatabases\$" "$SINCE"
}
wait_until 30 "the login and catalogue queries after the restart" reconnected
sleep 1.5
alive
shot restarted
[ -z "$(program_windows)" ] || fail "a window is visible after the restart"
since_restart
grep -aq "^SQL	[0-9]*	SELECT count(NAME) FROM MASTER\.DBO\.SYSDATABASES\$" "$SINCE" ||
  fail "no database count after the restart"
grep -aqF "select database_id,name,physical_name AS CurrentLocation,state_desc,size from sys.master_files where database_id=db_id(N'$DATABASE');" "$SINCE" ||
  fail "the restart did not list the log of $DATABASE"
! grep -aq "SHRINKFILE" "$SINCE" || fail "the restart cleaned a log"
cmp -s "$SETTINGS" "$WORK/settings-before" || fail "the restart changed the settings file"
say "restarted hidden, reconnected, settings unchanged"
