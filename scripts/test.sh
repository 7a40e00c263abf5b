#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer, fuzzes the settings-file
# reader, the task-file reader and the text filter for a bounded time, and runs every test. Exits
# non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
build=build/asan
cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DOV_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES="qt.core.qobject.connect=false"

# The fuzz targets need clang and libFuzzer; each runs on a copy of its seed corpus.
fuzz=build/fuzz
CC=clang CXX=clang++ cmake -G Ninja -S . -B "$fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOV_FUZZ=ON -DOV_TESTS=OFF >/dev/null
cmake --build "$fuzz" -j "$jobs" --target ini_reader_fuzz task_filter_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus" "$corpus.log"' EXIT
run_fuzz() { # target, seed folder, what
  rm -rf "${corpus:?}"/*
  cp "fuzz/corpus/$2"/* "$corpus"/
  echo "fuzzing $3 for ${OV_FUZZ_SECONDS:-60} s"
  "$fuzz/fuzz/$1" -max_total_time="${OV_FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=0 "$corpus" 2>"$corpus.log" || { tail -n 60 "$corpus.log"; exit 1; }
  tail -n 2 "$corpus.log"
}
run_fuzz ini_reader_fuzz ini "the settings-file reader"
run_fuzz task_filter_fuzz task "the task-file reader and the text filter"

ctest --test-dir "$build" --output-on-failure -j "$jobs"
