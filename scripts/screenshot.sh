#!/usr/bin/env bash
# Renders the main window with a fresh starter library to a PNG, headless.
# Usage: scripts/screenshot.sh [out.png]   (build first with scripts/setup.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-shots/main.png}")
mkdir -p "$(dirname "$out")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/screens.json" HOME="$tmp" XDG_CONFIG_HOME="$tmp/config" \
  XDG_DATA_HOME="$tmp/data" "${BUILD_DIR:-build}/src/app/tamrisk" --library "$tmp/codedb.mdb" --screenshot "$out"
echo "$out"
