#!/usr/bin/env python3
"""OvSentry's backup run beside cp and rsync, in one run.

10,000 files of 4 KiB in 100 folders have all changed since the last backup: the destination holds
an older copy of each. Each run starts from that state and brings the destination up to date:
- backup_bench: one backup thread with FRetain 0 (each copy to a temporary file beside the old copy,
  the old copy deleted, the temporary file renamed, the source's attributes set), its own time and
  the whole process (start-up of Qt included);
- `cp -r --preserve=timestamps` over the old copies (rewrites them in place: no temporary file, so a
  failed copy would destroy the previous one);
- `rsync -a` (a temporary file per changed file, renamed over the old copy, like ours).
Prints the medians of 5 runs and the ratios (the other tool's time / ours).
Usage: bench/backup_vs_cp_rsync.py BUILD_DIR [WORK_DIR]   (a Release build with -DOV_BENCH=ON)
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 5
FOLDERS = 100
PER_FOLDER = 100


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def write_tree(root):
    for d in range(FOLDERS):
        folder = os.path.join(root, f"d{d:03}")
        os.makedirs(folder, exist_ok=True)
        for f in range(PER_FOLDER):
            with open(os.path.join(folder, f"f{f:03}.dat"), "wb") as out:
                out.write(os.urandom(4096))


def restore(old, dst):
    """The destination as the last backup left it; not timed."""
    if os.path.exists(dst):
        shutil.rmtree(dst)
    subprocess.run(["cp", "-a", old, dst], check=True)
    os.sync()


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/bench"
    bench = os.path.join(build, "bench", "backup_bench")
    work = tempfile.mkdtemp(prefix="backupbench.", dir=sys.argv[2] if len(sys.argv) > 2 else None)
    try:
        src = os.path.join(work, "src")
        write_tree(src)
        # The last backup, in each tool's own layout: ours keeps the full path below the destination.
        old = os.path.join(work, "old")
        os.makedirs(old)
        subprocess.run([bench, src, old], check=True, stdout=subprocess.DEVNULL)
        shutil.copytree(src, os.path.join(old, "plain"), copy_function=shutil.copy2)
        time.sleep(1.1)  # the changed files get a newer time stamp than the old copies
        write_tree(src)
        os.sync()

        dst = os.path.join(work, "dst")
        ours, whole, cps, rsyncs = [], [], [], []
        for _ in range(RUNS):  # alternating, so drift hits all alike
            restore(old, dst)
            out = subprocess.run([bench, src, dst], check=True, capture_output=True, text=True).stdout.split()
            ours.append(float(out[out.index("ms") + 1]) / 1000)
            restore(old, dst)
            whole.append(timed([bench, src, dst]))
            restore(old, dst)
            cps.append(timed(["cp", "-r", "--preserve=timestamps", src + "/.", os.path.join(dst, "plain")]))
            restore(old, dst)
            rsyncs.append(timed(["rsync", "-a", src + "/", os.path.join(dst, "plain") + "/"]))
        # The last rsync run brought every file up to date.
        check = subprocess.run(["diff", "-r", src, os.path.join(dst, "plain")], capture_output=True)
        if check.returncode != 0:
            sys.exit("rsync left a difference")
        o, w, c, r = (statistics.median(x) for x in (ours, whole, cps, rsyncs))
        n = FOLDERS * PER_FOLDER
        print(f"{n} changed files of 4 KiB, FRetain 0: backup thread {o * 1000:.0f} ms ({n / o:.0f} files/s; "
              f"whole process {w * 1000:.0f} ms), cp {c * 1000:.0f} ms, rsync -a {r * 1000:.0f} ms")
        print(f"ratios: cp/backup {c / o:.2f} (whole process {c / w:.2f}), "
              f"rsync/backup {r / o:.2f} (whole process {r / w:.2f})")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
