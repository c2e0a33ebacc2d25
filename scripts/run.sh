#!/usr/bin/env bash
# Installs what is missing, builds, and starts Karvath.
#
# By default a demo SQL Server stand-in serves sample databases on 127.0.0.1 so
# that Karvath can be tried without a server; it stops when Karvath ends.
# KARVATH_DEMO=0 starts Karvath alone, for a real SQL Server.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
BUILD_TARGETS="karvath karvath-standin" scripts/build.sh

# Karvath keeps its settings file and log.txt beside the executable: give the
# demo a directory of its own.
app_dir=${KARVATH_HOME:-$root/out/karvath}
mkdir -p "$app_dir"
cp -f build/karvath "$app_dir/karvath"

if [ "${KARVATH_DEMO:-1}" = 0 ]; then
  exec "$app_dir/karvath"
fi

demo_dir=$root/out/demo
mkdir -p "$demo_dir"
port=${KARVATH_DEMO_PORT:-14333}
build/tools/standin/karvath-standin --state tools/standin/demo/demo.ini --data-dir "$demo_dir/data" \
  --port "$port" --log "$demo_dir/standin.log" --parent-pid $$ >"$demo_dir/standin.out" 2>&1 &
standin=$!
trap 'kill $standin 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  grep -q '^PORT ' "$demo_dir/standin.out" 2>/dev/null && break
  kill -0 $standin 2>/dev/null || { cat "$demo_dir/standin.out"; exit 1; }
  sleep 0.1
done

cat <<TXT
The demo SQL Server stand-in is serving on 127.0.0.1 port $port.
Type into Karvath:
  数据库IP:  127.0.0.1,$port
  用户名:    sa
  密码:      Karvath#2026
Then click 连接. Karvath lives in the tray: closing the window only hides it;
quit with the tray menu's 退出.
TXT
"$app_dir/karvath"
