#!/usr/bin/env bash
# Runs a client nobody here wrote against the karvath-standin program:
#   clients.sh tsql|isql PATH-TO-karvath-standin DEMO-STATE-FILE
# Starts the program on an ephemeral loopback port, lists the databases, reads
# sys.master_files, and checks that a wrong password is refused cleanly.
set -u
client=$1
program=$2
state=$3

work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; echo "--- output:"; cat "$work/out" 2>/dev/null; exit 1; }

"$program" --state "$state" --data-dir "$work/data" --port 0 --log "$work/events.log" \
  --parent-pid $$ >"$work/port" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
  grep -q '^PORT ' "$work/port" 2>/dev/null && break
  sleep 0.05
done
port=$(awk '/^PORT /{print $2}' "$work/port")
[ -n "$port" ] || fail "the stand-in printed no port: $(cat "$work/server.err")"

files_query="select database_id,name,physical_name AS CurrentLocation,state_desc,size from sys.master_files where database_id=db_id(N'Shop');"

case "$client" in
  tsql)
    run() { printf '%s\ngo\nexit\n' "$1" | timeout 20 tsql -H 127.0.0.1 -p "$port" -U sa -P "$2" >"$work/out" 2>&1; }
    run "SELECT NAME FROM MASTER.DBO.SYSDATABASES" 'Karvath#2026' || fail "tsql list"
    for db in master tempdb model msdb Shop Archive HR Legacy; do
      grep -qx "$db" "$work/out" || fail "tsql: $db not listed"
    done
    grep -q '(9 rows affected)' "$work/out" || fail "tsql: row count"
    run "$files_query" 'Karvath#2026' || fail "tsql files"
    grep -qP "^5\tShop_log\t$work/data/Shop_log.ldf\tONLINE\t157287$" "$work/out" || fail "tsql: log row"
    grep -qP "^5\tShop\t/var/opt/mssql/data/Shop.mdf\tONLINE\t65536$" "$work/out" || fail "tsql: data row"
    if run "SELECT 1" 'wrong'; then fail "tsql: wrong password accepted"; fi
    grep -q "Login failed for user 'sa'." "$work/out" || fail "tsql: no 18456 message"
    ;;
  isql)
    conn="DRIVER=SQL Server;SERVER=127.0.0.1,$port;UID=sa;PWD=Karvath#2026;DATABASE=master;"
    run() { printf '%s\n' "$2" | timeout 20 isql -b -v -d'|' -k "$1" >"$work/out" 2>&1; }
    run "$conn" "SELECT Name FROM Master..SysDatabases" || fail "isql list"
    for db in master tempdb model msdb Shop Archive HR Legacy; do
      grep -qx "$db" "$work/out" || fail "isql: $db not listed"
    done
    run "$conn" "$files_query" || fail "isql files"
    grep -qx "5|Shop_log|$work/data/Shop_log.ldf|ONLINE|157287" "$work/out" || fail "isql: log row"
    run "$conn" "DBCC SHRINKFILE (N'Archive_log' , 0, TRUNCATEONLY)" || true
    grep -q "Could not locate file 'Archive_log' for database 'master'" "$work/out" || fail "isql: 8985"
    # The port can also be given with the PORT keyword.
    run "DRIVER=SQL Server;SERVER=127.0.0.1;PORT=$port;UID=sa;PWD=Karvath#2026;" \
      "SELECT count(name) FROM master.dbo.sysdatabases" || fail "isql PORT keyword"
    grep -qx "9" "$work/out" || fail "isql: count"
    if run "DRIVER=SQL Server;SERVER=127.0.0.1,$port;UID=sa;PWD=wrong;" "SELECT 1"; then
      fail "isql: wrong password accepted"
    fi
    grep -q "Login failed for user 'sa'." "$work/out" || fail "isql: no 18456 message"
    ;;
  *)
    fail "unknown client $client"
    ;;
esac

grep -q "^LOGIN	.*	sa	wrong	" "$work/events.log" || fail "the event log lacks the refused login"
# The event log stays text: control characters inside fields are escaped.
[ "$(tr -d '\000' <"$work/events.log" | wc -c)" = "$(wc -c <"$work/events.log")" ] ||
  fail "the event log holds a NUL byte"
echo "OK: $client"
