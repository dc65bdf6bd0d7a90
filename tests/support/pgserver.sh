#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests: pgserver.sh start|stop DIR
# initdb into DIR/data, trust authentication, listening on the unix socket DIR/.s.PGSQL.5432 and
# on 127.0.0.1 at a free port written to DIR/port (libpq ignores sslmode on a socket, so the tests
# of connection parameters need TCP). Run by root, the server runs as the unprivileged user postgres; when that user cannot
# reach DIR (a private home above it), the data lives in a private folder under /tmp and DIR holds
# a link to its socket. A watchdog stops a server that outlives the test run.
set -euo pipefail
action=${1:?start or stop}
dir=${2:?folder}
bindir=${PG_BINDIR:-/usr/lib/postgresql/15/bin}
watchdog_seconds=${PG_WATCHDOG_SECONDS:-1800}

as_server() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop() {
  if [ -f "$dir/watchdog.pid" ]; then
    kill -- "-$(cat "$dir/watchdog.pid")" 2>/dev/null || true
    rm -f "$dir/watchdog.pid"
  fi
  local data
  data=$(cat "$dir/datadir" 2>/dev/null || true)
  if [ -n "$data" ] && [ -f "$data/postmaster.pid" ]; then
    as_server "$bindir/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  if [ -n "$data" ] && [ "$data" != "$dir/data" ]; then rm -rf "$data"; fi
  rm -rf "$dir"
}

start() {
  [ -x "$bindir/initdb" ] || { echo "PostgreSQL 15 is not installed ($bindir/initdb): run scripts/setup.sh" >&2; exit 1; }
  stop
  mkdir -p "$dir"
  local data="$dir/data" sockdir="$dir"
  if [ "$(id -u)" = 0 ]; then
    chown postgres "$dir"
    if ! runuser -u postgres -- test -w "$dir"; then
      sockdir=$(mktemp -d /tmp/tamrisk-pg.XXXXXX)
      chown postgres "$sockdir"
      chmod 700 "$sockdir"
      data="$sockdir/data"
    fi
  fi
  echo "$data" >"$dir/datadir"
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  echo "$port" >"$dir/port"
  as_server "$bindir/initdb" -D "$data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 --no-sync >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; exit 1; }
  as_server "$bindir/pg_ctl" -D "$data" -l "$data/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $sockdir -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=100" \
    start >/dev/null || { cat "$data/server.log" >&2; exit 1; }
  # The socket is named after the port; clients find it under the default port's name.
  ln -sf "$sockdir/.s.PGSQL.$port" "$dir/.s.PGSQL.5432"
  # Stops the server should the cleanup step never run (an interrupted test run).
  setsid bash -c "sleep $watchdog_seconds; '$bindir/pg_ctl' -D '$data' -m immediate stop" \
    >/dev/null 2>&1 </dev/null &
  echo $! >"$dir/watchdog.pid"
}

case "$action" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
