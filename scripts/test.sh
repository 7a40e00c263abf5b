#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer, fuzzes the file readers
# for a bounded time, and runs every test. Exits non-zero on any failure.
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
targets=(ini_reader_fuzz:ini task_filter_fuzz:task archive_header_fuzz:archive)
CC=clang CXX=clang++ cmake -G Ninja -S . -B "$fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOV_FUZZ=ON -DOV_TESTS=OFF >/dev/null
cmake --build "$fuzz" -j "$jobs" --target "${targets[@]%%:*}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for t in "${targets[@]}"; do
  target=${t%%:*} corpus=$work/${t#*:}
  mkdir -p "$corpus"
  cp fuzz/corpus/"${t#*:}"/* "$corpus"/
  echo "fuzzing $target for ${OV_FUZZ_SECONDS:-40} s"
  "$fuzz/fuzz/$target" -max_total_time="${OV_FUZZ_SECONDS:-40}" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=0 "$corpus" 2>"$work/log" || { tail -n 60 "$work/log"; exit 1; }
  tail -n 1 "$work/log"
done

ctest --test-dir "$build" --output-on-failure -j "$jobs"
