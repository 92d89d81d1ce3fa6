#!/usr/bin/env bash
# One entry point for a fresh Debian 12 or 13 machine: installs what is missing, builds, then
#   ./dev.sh start   starts the statistics service simulator and the program
#   ./dev.sh test    runs every test
#   ./dev.sh build   only builds
#   ./dev.sh fuzz [SECONDS]  builds the fuzz target with clang and sanitizers in build-fuzz and runs
#                    it for SECONDS (default 60) from the seed corpus; a finding exits non-zero
#   ./dev.sh package builds the Debian package build/racr_<version>_amd64.deb and checks it with
#                    lintian, desktop-file-validate and appstreamcli
#   ./dev.sh check-release 12|13 [PACKAGE...]  as root: makes a fresh minimal Debian root of that
#                    release, adds the PACKAGEs, and runs `./dev.sh test` there on a clone of this
#                    branch, with a clean environment and no UTF-8 locale
set -euo pipefail
cd "$(dirname "$0")"
BUILD=${RACR_BUILD_DIR:-build}

# The build and test dependencies are listed once, in packaging/build-depends.txt, which the
# README's manual install line reads too.
mapfile -t packages < <(sed 's/#.*//' packaging/build-depends.txt | tr -s ' \t' '\n' | sed '/^$/d')

install_missing() {
  local missing=()
  # A package counts as present when an installed one provides it too: a Node.js from elsewhere
  # brings its own npm, and Debian's npm package could not be installed beside it.
  local provided
  provided=$(dpkg-query -W -f='${db:Status-Abbrev}${Provides}\n' 2>/dev/null | sed -n 's/^ii *//p' | tr ',' '\n' |
    sed 's/ *(.*//; s/^ *//')
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      grep -qxF "$p" <<<"$provided" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local root=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "$0: these Debian packages are missing and only root can install them:" >&2
      echo "  ${missing[*]}" >&2
      echo "Run this as root, then $0 again:" >&2
      echo "  apt-get install ${missing[*]}" >&2
      exit 1
    fi
    root=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${root[@]}" apt-get update -qq
  # The tests start PostgreSQL servers of their own; the server package would otherwise create and
  # start a system cluster that nothing here uses. postgresql-common reads this setting.
  if printf '%s\n' "${missing[@]}" | grep -q '^postgresql'; then
    "${root[@]}" mkdir -p /etc/postgresql-common/createcluster.d
    echo 'create_main_cluster = false' |
      "${root[@]}" tee /etc/postgresql-common/createcluster.d/racr-no-main-cluster.conf >/dev/null
  fi
  DEBIAN_FRONTEND=noninteractive "${root[@]}" apt-get install -y -qq "${missing[@]}"
}

build() {
  install_missing
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD" -j"$(nproc)"
}

# libFuzzer and the sanitizers come with clang; the fuzz build has a folder of its own so that it
# never mixes with the ordinary build.
fuzz() {
  local seconds=${1:-60}
  [[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "$0 fuzz: SECONDS must be a whole number of seconds, not '$seconds'" >&2; exit 2; }
  # libFuzzer's runtime is packaged per clang version: the one of the release's own clang.
  packages+=(clang)
  install_missing
  packages+=("libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev")
  install_missing
  local dir=${RACR_FUZZ_BUILD_DIR:-build-fuzz}
  CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRACR_FUZZ=ON \
    -DRACR_BUILD_TESTS=OFF -DRACR_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target racr_fuzz

  # The fuzzer adds what it finds to its corpus folder: work on a copy so the tree stays as it is.
  # A failing input is kept under the build folder, where a later run leaves it alone.
  local work findings status=0
  work=$(mktemp -d)
  trap "rm -rf '$work'" EXIT
  findings="$dir/fuzz-findings"
  mkdir -p "$work/corpus" "$findings"
  cp tests/fuzz/corpus/* "$work/corpus/"
  echo "Fuzzing for ${seconds} s (inputs that crash are saved in $findings/)"
  "$dir/bin/racr_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -dict=tests/fuzz/racr.dict -artifact_prefix="$findings/" -print_final_stats=1 \
    "$work/corpus" >"$work/fuzz.log" 2>&1 || status=$?
  # Progress lines are many and say nothing once the run is over.
  grep -vE '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)|^[[:space:]]+NEW_FUNC|# Uses: ' "$work/fuzz.log" || true
  if [ "$status" -ne 0 ]; then
    echo "The fuzzer found a fault (exit status $status); the input is in $findings/." >&2
    echo "Replay it with: $dir/bin/racr_fuzz $findings/<file>" >&2
    exit 1
  fi
}

# The package is made from the ordinary build folder (the tests' build), so CI builds nothing twice.
# The checkers look at the files as the package ships them.
package() {
  packages+=(file lintian desktop-file-utils appstream)
  build
  rm -f "$BUILD"/racr_*.deb
  (cd "$BUILD" && cpack -G DEB >/dev/null)
  local deb
  deb=$(ls "$BUILD"/racr_*.deb)
  echo "Built $deb"
  local tree
  tree=$(mktemp -d)
  trap "rm -rf '$tree'" EXIT
  dpkg-deb -x "$deb" "$tree"
  echo "lintian:"
  lintian --fail-on error "$deb"
  echo "desktop-file-validate:"
  desktop-file-validate "$tree"/usr/share/applications/*.desktop
  echo "appstreamcli validate:"
  appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
  echo "Package checked: $deb"
}

# A fresh minimal root shows what the README's commands need on a machine that has nothing else.
# The root stays in RACR_CHECK_DIR (default /var/tmp) for a look afterwards; RACR_CHECK_CACHE names
# a folder that keeps the downloaded packages from one run to the next.
check_release() {
  local release=${1:-} suite
  case "$release" in
    12) suite=bookworm ;;
    13) suite=trixie ;;
    *) echo "usage: $0 check-release 12|13 [PACKAGE...]" >&2; exit 2 ;;
  esac
  shift
  [ "$(id -u)" -eq 0 ] || { echo "$0 check-release: run it as root (debootstrap and chroot need root)" >&2; exit 1; }
  packages=(debootstrap git)
  install_missing
  local root cache=${RACR_CHECK_CACHE:-}
  root=$(mktemp -d "${RACR_CHECK_DIR:-/var/tmp}/racr-debian$release.XXXXXX")
  # It becomes /, which every user must be able to enter (the PostgreSQL tests run as nobody).
  chmod 755 "$root"
  echo "Debian $release ($suite) in $root"
  [ -z "$cache" ] || mkdir -p "$cache/debootstrap-$suite" "$cache/apt-$suite/partial"
  debootstrap --variant=minbase ${cache:+--cache-dir="$cache/debootstrap-$suite"} "$suite" "$root" \
    http://deb.debian.org/debian >"$root.debootstrap.log" ||
    { echo "$0 check-release: debootstrap failed, see $root.debootstrap.log" >&2; exit 1; }
  # The installer writes it on a real system; debootstrap does not, and browsers ask for localhost.
  printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
  # Global, for the trap: unmounted in reverse order however the run ends.
  mounted=()
  trap 'for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}"; done' EXIT
  for m in proc sys dev dev/pts dev/shm; do
    mount --bind "/$m" "$root/$m" && mounted+=("$root/$m")
  done
  if [ -n "$cache" ]; then
    mount --bind "$cache/apt-$suite" "$root/var/cache/apt/archives" && mounted+=("$root/var/cache/apt/archives")
  fi
  # The commit checked out here, committed: what a fresh clone of it gets.
  git clone -q "file://$PWD" "$root/srv/racr"
  git -C "$root/srv/racr" checkout -q "$(git rev-parse HEAD)"
  echo "Testing $(git log -1 --format='%h %s') in $root/srv/racr"
  local clean=(env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root)
  if [ $# -gt 0 ]; then
    chroot "$root" "${clean[@]}" DEBIAN_FRONTEND=noninteractive \
      sh -c 'apt-get update -qq && apt-get install -y -qq "$@"' sh "$@" >/dev/null
  fi
  chroot "$root" "${clean[@]}" sh -c 'cd /srv/racr && locale && ./dev.sh test'
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
  fuzz)
    fuzz "${2:-60}" ;;
  package)
    package ;;
  check-release)
    shift
    check_release "$@" ;;
  *)
    echo "usage: $0 [start|test|build|package|fuzz [SECONDS]|check-release 12|13 [PACKAGE...]]" >&2
    exit 2 ;;
esac
