#!/usr/bin/env python3
"""The text-filter benchmark beside what a Python user would write: fnmatch and re over the same
million file names, and the runaway expression, which Python's re does not stop.

Usage: bench/filter_vs_python.py BUILD_DIR   (a Release build with -DOV_BENCH=ON)
"""
import fnmatch
import json
import os
import re
import statistics
import subprocess
import sys
import time

EXTS = ["txt", "doc", "pdf", "jpg", "tmp", "TXT", "docx", "c", "cpp", "xlsx", "raw", "png"]
NAMES = [f"{'~' if i % 17 == 0 else ''}report-{i:06d}-final.{EXTS[i % 12]}" for i in range(1000000)]
MASKS = ["*.txt", "*.doc", "*.pdf", "*.jpg", "*.png", "*.xls?", "~*.tmp", "report-0*-final.c", "*.[ch]pp",
         "img_????.raw"]
REGEX = r"\.(txt|doc|pdf|jpg|png)$|\.xls.$|^~.*\.tmp$|^report-0.*-final\.c$|\.[ch]pp$|^img_....\.raw$"
RUNAWAY_SECONDS = 10


def median_ms(fn, runs=5):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        passed = fn()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times), passed


def masks_once():
    compiled = [re.compile(fnmatch.translate(m.casefold())) for m in MASKS]
    return sum(1 for n in NAMES if any(c.match(n.casefold()) for c in compiled))


def regex_once():
    r = re.compile(REGEX, re.IGNORECASE)
    return sum(1 for n in NAMES if r.search(n))


def runaway_python():
    code = "import re; print(bool(re.search(r'(a+)+$', 'a' * 254 + '!')))"
    start = time.perf_counter()
    try:
        subprocess.run([sys.executable, "-c", code], timeout=RUNAWAY_SECONDS, check=True)
        return f"{(time.perf_counter() - start) * 1000:.0f} ms"
    except subprocess.TimeoutExpired:
        return f"not finished after {RUNAWAY_SECONDS} s (stopped by the script)"


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/bench"
    out = subprocess.run([os.path.join(build, "bench", "filter_bench"), "--benchmark_repetitions=5",
                          "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    ours = {b["run_name"]: b for b in json.loads(out)["benchmarks"] if b["aggregate_name"] == "median"}

    def ms(name):
        b = ours[name]
        factor = {"ms": 1.0, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]
        return b["real_time"] * factor, int(b.get("passed", 0))

    py_masks, py_masks_passed = median_ms(masks_once)
    py_regex, py_regex_passed = median_ms(regex_once)
    our_masks, our_masks_passed = ms("BM_MaskList")
    our_regex, our_regex_passed = ms("BM_RegularExpression")
    assert py_masks_passed == our_masks_passed, (py_masks_passed, our_masks_passed)
    assert py_regex_passed == our_regex_passed, (py_regex_passed, our_regex_passed)
    our_runaway, _ = ms("BM_RunawayExpression")
    print(f"1,000,000 names, {our_masks_passed} pass")
    print(f"mask list:          filter_bench {our_masks:.1f} ms, fnmatch {py_masks:.1f} ms, "
          f"ratio {py_masks / our_masks:.1f}")
    print(f"regular expression: filter_bench {our_regex:.1f} ms, re {py_regex:.1f} ms, "
          f"ratio {py_regex / our_regex:.1f}")
    print(f"runaway (a+)+$ on 254 a's and '!': filter_bench stops it in {our_runaway:.1f} ms (no match), "
          f"Python re: {runaway_python()}")


if __name__ == "__main__":
    main()
