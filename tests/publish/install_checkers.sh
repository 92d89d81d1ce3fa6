#!/usr/bin/env bash
# Installs the web page checkers the club-page tests run into DIR (a folder of the build, never the
# source tree): the Nu HTML Checker (vnu-jar, run with Debian's Java) and axe-core (injected into
# Chromium). Pinned versions, so that a new rule elsewhere cannot fail a build that did not change.
# Nothing is fetched when DIR already holds these versions.
set -euo pipefail
dir=$(realpath -m "${1:?usage: install_checkers.sh DIR}")
versions=(vnu-jar@26.9.27 axe-core@4.14.1)

installed() {
  local name=${1%@*} version=${1##*@}
  node -e 'process.exit(require(process.argv[1]).version === process.argv[2] ? 0 : 1)' \
    "$dir/node_modules/$name/package.json" "$version" 2>/dev/null
}

missing=()
for package in "${versions[@]}"; do
  installed "$package" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v npm >/dev/null; then
  echo "npm is missing: install Debian's nodejs and npm (./dev.sh build does), then run the tests again." >&2
  exit 1
fi
mkdir -p "$dir"
echo "Installing ${missing[*]} into $dir"
# --ignore-scripts: vnu-jar would otherwise fetch a Java runtime of its own; Debian's runs it.
if ! npm install --prefix "$dir" --no-audit --no-fund --save-exact --ignore-scripts "${versions[@]}"; then
  echo "Could not install ${versions[*]} from the npm registry into $dir; the club-page tests need them." >&2
  echo "Check the network or the npm proxy (npm config get registry), then run the tests again." >&2
  exit 1
fi
