#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what is missing, builds, then
#   ./dev.sh start   starts the statistics service simulator and the program
#   ./dev.sh test    runs every test
#   ./dev.sh build   only builds
set -euo pipefail
cd "$(dirname "$0")"
BUILD=${RACR_BUILD_DIR:-build}

packages=(build-essential cmake pkg-config qt6-base-dev libqt6sql6-sqlite libqt6sql6-odbc unixodbc
  unixodbc-dev libsqliteodbc libsimpleini-dev libxml2-dev libxslt1-dev libcurl4-openssl-dev
  libcpp-httplib-dev libsqlite3-dev libcsv-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation2
  xvfb libxcb1-dev)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

build() {
  install_missing
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD" -j"$(nproc)"
}

case "${1:-start}" in
  build)
    build ;;
  test)
    build
    ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" ;;
  start)
    build
    shift || true
    sim_pid=
    if ! (exec 3<>/dev/tcp/127.0.0.1/8680) 2>/dev/null; then
      "$BUILD/bin/stats-sim" --port 8680 >/dev/null &
      sim_pid=$!
      trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null' EXIT
    fi
    "$BUILD/bin/racr" "$@" ;;
  *)
    echo "usage: $0 [start|test|build]" >&2
    exit 2 ;;
esac
