#!/usr/bin/env python3
"""The plain copy beside cp, in one run.

Copies one 1 GiB file (page cache warm) and a folder of 10,000 files of 4 KiB, each with copy_bench
(one copy thread per file, time stamps and attributes carried over) and with
`cp -r --preserve=timestamps` (the same work), and prints the medians of 5 runs and the throughput
ratio, with copy_bench's own time and with its whole process (start-up of Qt included).
Usage: bench/copy_vs_cp.py BUILD_DIR [WORK_DIR]   (a Release build with -DOV_BENCH=ON)
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 5


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def engine_time(cmd):
    """copy_bench's own figure: the copies without the process and Qt start-up."""
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout.split()
    return float(out[out.index("ms") + 1]) / 1000


def clear(path):
    if os.path.isdir(path):
        shutil.rmtree(path)
    elif os.path.exists(path):
        os.remove(path)
    os.sync()  # every run starts without another run's dirty pages


def compare(name, src, dst, bench, size):
    ours, whole, cps = [], [], []
    for _ in range(RUNS):  # alternating, so drift hits both alike
        clear(dst)
        ours.append(engine_time([bench, src, dst]))
        clear(dst)
        whole.append(timed([bench, src, dst]))
        clear(dst)
        cps.append(timed(["cp", "-r", "--preserve=timestamps", src, dst]))
    clear(dst)
    o, w, c = statistics.median(ours), statistics.median(whole), statistics.median(cps)
    mib = size / 2**20
    print(f"{name}: copy threads {o * 1000:.0f} ms ({mib / o:.0f} MiB/s; whole process {w * 1000:.0f} ms), "
          f"cp {c * 1000:.0f} ms ({mib / c:.0f} MiB/s), throughput ratio {c / o:.2f} "
          f"(whole process {c / w:.2f})")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/bench"
    bench = os.path.join(build, "bench", "copy_bench")
    work = tempfile.mkdtemp(prefix="copybench.", dir=sys.argv[2] if len(sys.argv) > 2 else None)
    try:
        big = os.path.join(work, "big.bin")
        with open(big, "wb") as f:
            block = os.urandom(1 << 20)
            for i in range(1024):
                f.write(block[i:] + block[:i])
        subprocess.run(["cat", big], check=True, stdout=subprocess.DEVNULL)  # warm the cache
        compare("1 GiB file", big, os.path.join(work, "big.out"), bench, 1 << 30)
        os.remove(big)

        small = os.path.join(work, "small")
        os.mkdir(small)
        for i in range(10000):
            with open(os.path.join(small, f"f{i:05}.dat"), "wb") as f:
                f.write(os.urandom(4096))
        compare("10,000 files of 4 KiB", small, os.path.join(work, "small.out"), bench, 10000 * 4096)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
