#!/usr/bin/env bash
# Builds the suite and shows the shared library at work through ovtool: a settings file is written,
# read back and listed in a temporary folder, and the start-up helpers report what they find.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=build/release
cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOV_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
ovtool="$build/ovtool/ovtool"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" OV_REGISTRY_MACHINE="$work/machine.ini"
mkdir -p "$HOME"
ini="$work/OvSentry.ini"

step() { printf '\n$ %s\n' "$*"; "$@"; }

step "$ovtool" ini set "$ini" Config Interval 30
step "$ovtool" ini set "$ini" Config Directory "$HOME/Documents/Projekte – 2026"
step "$ovtool" ini set "$ini" Dir01 Task "$HOME/Orvanta/Daily.buj"
step "$ovtool" ini get "$ini" config INTERVAL
step "$ovtool" ini dump "$ini"
printf '\nThe file as written (UTF-16LE with its mark):\n'
od -A d -t x1 -N 48 "$ini"
printf '\n$ %s\n' "$ovtool ini get $ini Config Missing"
"$ovtool" ini get "$ini" Config Missing || echo "(exit code $?)"
step "$ovtool" info
printf '\n$ LANG=de_DE.UTF-8 %s info\n' "$ovtool"
LANG=de_DE.UTF-8 LC_ALL= "$ovtool" info
