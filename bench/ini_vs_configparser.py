#!/usr/bin/env python3
"""The settings-file benchmark beside Python's configparser, in one run.

Writes 25 sections x 10,000 keys as UTF-16LE and reads every key back with configparser, runs
ini_bench for the same work, and prints both with their ratio.
Usage: bench/ini_vs_configparser.py BUILD_DIR   (a Release build with -DOV_BENCH=ON)
"""
import configparser
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

SECTIONS, KEYS = 25, 10000


def configparser_once(path):
    start = time.perf_counter()
    cp = configparser.ConfigParser(interpolation=None)
    cp.optionxform = str
    cp["Unicode"] = {"Encoding": "UTF-16LE"}
    for s in range(SECTIONS):
        cp[f"Section{s}"] = {f"Key{k}": f"Value of key {k}" for k in range(KEYS)}
    with open(path, "w", encoding="utf-16", newline="\r\n") as f:
        cp.write(f)
        f.flush()
        os.fsync(f.fileno())
    back = configparser.ConfigParser(interpolation=None)
    back.optionxform = str
    back.read(path, encoding="utf-16")
    chars = sum(len(back[f"Section{s}"][f"Key{k}"]) for s in range(SECTIONS) for k in range(KEYS))
    assert chars > 0
    return time.perf_counter() - start


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/bench"
    with tempfile.TemporaryDirectory() as d:
        py = statistics.median(configparser_once(os.path.join(d, "s.ini")) for _ in range(5))
    out = subprocess.run([os.path.join(build, "bench", "ini_bench"), "--benchmark_filter=WriteAndRead",
                          "--benchmark_repetitions=5", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("aggregate_name") == "median"]
    ours = runs[0]["real_time"] / 1000.0 if runs[0]["time_unit"] == "ms" else runs[0]["real_time"]
    print(f"write + read, 250,000 keys: ini_bench {ours * 1000:.0f} ms, configparser {py * 1000:.0f} ms, "
          f"configparser / ini_bench = {py / ours:.1f}")


if __name__ == "__main__":
    main()
