#!/usr/bin/env python3
"""gzip, zip and AES-256 zip copies beside gzip -6, zip -6 and 7-Zip, in one run.

Writes one 1 GiB text-like file (page cache warm) and a folder of 10,000 files of 4 KiB, and
compresses each with copy_bench (one copy thread per file, the programs' way: one .gz or one-entry
.zip per file) and with the tool a user would pick instead:
  gzip:    gzip -6 -c SRC > DST.gz            (folder: gzip -6 -k -r, one .gz beside each file)
  zip:     zip -6 -q -j DST.zip SRC           (folder: zip -6 -q -r, one archive of all files)
  AES zip: 7zz a -tzip -mmt=1 -mem=AES256 -mx=5 -pPW DST.zip SRC   (folder: the same with -r)
Prints the medians of RUNS alternating runs (default 3) and the throughput ratio (tool time / ours),
and the peak memory of one copy_bench run on the large file.
Usage: bench/archive_vs_tools.py BUILD_DIR [WORK_DIR]   (a Release build with -DOV_BENCH=ON)
Environment: RUNS=N (default 3), ONLY=TEXT (only the cases whose name contains TEXT, e.g. "AES"),
SKIP_BIG=1 (only the small files).
"""
import glob
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = int(os.environ.get("RUNS", "3"))
PASSWORD = "bench-Passwort-1"  # 7-Zip refuses a non-ASCII password for "a" in the C locale
ONLY = os.environ.get("ONLY", "")  # run only the cases whose name contains this


def timed(cmd, **kw):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)
    return time.perf_counter() - start


def clear(paths):
    for path in paths:
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.remove(path)
    os.sync()  # every run starts without another run's dirty pages


def remove_beside(folder, pattern):
    for f in glob.glob(os.path.join(folder, pattern)):
        os.remove(f)


def compare(name, bench_cmd, tool_cmd, outputs, size, after_tool=lambda: None, shell=False):
    if ONLY not in name:
        return
    ours, theirs = [], []
    for _ in range(RUNS):  # alternating, so drift hits both alike
        clear(outputs)
        ours.append(timed(bench_cmd))
        clear(outputs)
        theirs.append(timed(tool_cmd, shell=shell))
        after_tool()
    clear(outputs)
    o, t = statistics.median(ours), statistics.median(theirs)
    mib = size / 2**20
    print(f"{name}: copy threads {o * 1000:.0f} ms ({mib / o:.0f} MiB/s), "
          f"tool {t * 1000:.0f} ms ({mib / t:.0f} MiB/s), throughput ratio {t / o:.2f}", flush=True)


def text_block(size):
    rnd = random.Random(5)
    words = [("%x" % rnd.getrandbits(rnd.choice((8, 16, 24, 32)))).encode() for _ in range(4096)]
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rnd.choices(words, k=12)) + b"\n"
    return bytes(out[:size])


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/bench"
    bench = os.path.join(build, "bench", "copy_bench")
    work = tempfile.mkdtemp(prefix="archivebench.", dir=sys.argv[2] if len(sys.argv) > 2 else None)
    try:
        block = text_block(64 << 20)
        if not os.environ.get("SKIP_BIG"):
            run_big(bench, work, block)
        run_small(bench, work, block)
    finally:
        shutil.rmtree(work)


def run_big(bench, work, block):
    big = os.path.join(work, "big.txt")
    with open(big, "wb") as f:
        for i in range(16):
            f.write(block[i * 4096:] + block[:i * 4096])
    subprocess.run(["cat", big], check=True, stdout=subprocess.DEVNULL)  # warm the cache
    out = os.path.join(work, "big.out")
    gz, zp = out + ".gz", out + ".zip"
    mem = subprocess.run(["/usr/bin/time", "-f", "%M", bench, "--zip-aes", PASSWORD, big, out],
                         check=True, capture_output=True, text=True).stderr.split()[-1]
    print(f"peak memory of one AES zip copy of 1 GiB: {int(mem) // 1024} MiB", flush=True)
    compare("1 GiB, gzip", [bench, "--gzip", big, out], f"gzip -6 -c '{big}' > '{gz}'", [gz], 1 << 30,
            shell=True)
    compare("1 GiB, zip", [bench, "--zip", big, out], ["zip", "-6", "-q", "-j", zp, big], [zp], 1 << 30)
    compare("1 GiB, AES-256 zip", [bench, "--zip-aes", PASSWORD, big, out],
            ["7zz", "a", "-tzip", "-mmt=1", "-mem=AES256", "-mx=5", "-p" + PASSWORD, zp, big], [zp], 1 << 30)
    os.remove(big)


def run_small(bench, work, block):
    small = os.path.join(work, "small")
    os.mkdir(small)
    for i in range(10000):
        with open(os.path.join(small, f"f{i:05}.txt"), "wb") as f:
            start = (i * 7919) % (len(block) - 4096)
            f.write(block[start:start + 4096])
    out = os.path.join(work, "small.out")
    zp = os.path.join(work, "small.zip")
    compare("10,000 files of 4 KiB, gzip", [bench, "--gzip", small, out], ["gzip", "-6", "-k", "-r", small],
            [out], 10000 * 4096, after_tool=lambda: remove_beside(small, "*.gz"))
    compare("10,000 files of 4 KiB, zip", [bench, "--zip", small, out], ["zip", "-6", "-q", "-r", zp, small],
            [out, zp], 10000 * 4096)
    compare("10,000 files of 4 KiB, AES-256 zip", [bench, "--zip-aes", PASSWORD, small, out],
            ["7zz", "a", "-tzip", "-mmt=1", "-mem=AES256", "-mx=5", "-p" + PASSWORD, "-r", zp, small],
            [out, zp], 10000 * 4096)


if __name__ == "__main__":
    main()
