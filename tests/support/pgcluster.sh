#!/usr/bin/env bash
# A private PostgreSQL server for the tests that need one, shared by them through CTest fixtures:
#   pgcluster.sh start STATE_DIR [--fsync]
#                                  creates a cluster in a new temporary folder and starts it on a
#                                  free port, with a socket folder of its own; writes
#                                  STATE_DIR/cluster.env for the tests to read. The tests' server
#                                  skips fsync; --fsync writes through to the disk as a club's
#                                  server does (the benchmarks)
#   pgcluster.sh stop STATE_DIR    stops it and removes its folder
# The server refuses to run as root, so under root it runs as user nobody. Anyone may log in as
# role "racr" without a password, over the socket or 127.0.0.1: the server is the tests' alone.
set -euo pipefail

action=${1:-}
state=${2:-}
fsync=off
[ "${3:-}" != --fsync ] || fsync=on
[ -n "$state" ] || { echo "usage: $0 start STATE_DIR [--fsync] | stop STATE_DIR" >&2; exit 2; }
env_file="$state/cluster.env"

as_server=()
[ "$(id -u)" -ne 0 ] || as_server=(runuser -u nobody --)

start() {
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb): run ./dev.sh build, which installs" \
         "the package postgresql, then test again." >&2
    exit 1
  fi
  # A cluster left by an interrupted run is stopped first.
  [ ! -f "$env_file" ] || stop
  mkdir -p "$state"
  local base
  base=$(mktemp -d /tmp/racr-pg.XXXXXX)
  chmod 755 "$base"
  mkdir "$base/socket"
  [ ${#as_server[@]} -eq 0 ] || chown -R nobody "$base"
  "${as_server[@]}" "$bin/initdb" -D "$base/data" -U racr --auth=trust --no-locale -E UTF8 >"$base/initdb.log" 2>&1 \
    || { cat "$base/initdb.log" >&2; rm -rf "$base"; exit 1; }

  # A port nobody listens on; another program may take it meanwhile, so a failed start tries
  # another one.
  local port tries=0
  while :; do
    port=$((20000 + RANDOM % 40000))
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then continue; fi
    if "${as_server[@]}" "$bin/pg_ctl" -D "$base/data" -l "$base/server.log" -w -t 60 \
         -o "-p $port -k $base/socket -c listen_addresses=127.0.0.1 -c fsync=$fsync -c max_connections=200" \
         start >/dev/null; then
      break
    fi
    tries=$((tries + 1))
    if [ "$tries" -ge 5 ]; then
      cat "$base/server.log" >&2
      rm -rf "$base"
      exit 1
    fi
  done
  cat >"$env_file" <<END
PGTEST_BIN=$bin
PGTEST_BASE=$base
PGTEST_SOCKET=$base/socket
PGTEST_PORT=$port
PGTEST_USER=racr
END
  echo "PostgreSQL $("$bin/postgres" --version | awk '{print $3}') started on port $port (socket folder $base/socket)"
}

stop() {
  [ -f "$env_file" ] || return 0
  local PGTEST_BIN PGTEST_BASE
  PGTEST_BIN=$(sed -n 's/^PGTEST_BIN=//p' "$env_file")
  PGTEST_BASE=$(sed -n 's/^PGTEST_BASE=//p' "$env_file")
  if [ -d "$PGTEST_BASE/data" ]; then
    "${as_server[@]}" "$PGTEST_BIN/pg_ctl" -D "$PGTEST_BASE/data" -m fast -w stop >/dev/null || true
  fi
  case "$PGTEST_BASE" in /tmp/racr-pg.*) rm -rf "$PGTEST_BASE" ;; esac
  rm -f "$env_file"
}

case "$action" in
  start) start ;;
  stop) stop; echo "PostgreSQL stopped" ;;
  *) echo "usage: $0 start STATE_DIR [--fsync] | stop STATE_DIR" >&2; exit 2 ;;
esac
