#!/usr/bin/env python3
"""Encrypting 1 GiB: ovtool's encrypted container beside `openssl enc -aes-256-ctr`, in one run.

Both read the same file and write their output next to it, in /dev/shm unless BENCH_DIR says
otherwise, so that the disk does not decide. openssl does AES-256 in counter mode only; ovtool does
the same cipher plus PBKDF2 and the HMAC-SHA1 over all encrypted data that the format needs. Median of 5 alternating runs each; prints both and the ratio
(openssl's time / ovtool's time, above 1 means ovtool is faster).
Usage: bench/aes_vs_openssl.py BUILD_DIR [SIZE_MIB]   (a Release build with -DOV_BENCH=ON)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True)
    return time.perf_counter() - start


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/bench"
    mib = int(sys.argv[2]) if len(sys.argv) > 2 else 1024
    ovtool = os.path.join(build, "ovtool", "ovtool")
    where = os.environ.get("BENCH_DIR", "/dev/shm" if os.path.isdir("/dev/shm") else None)
    with tempfile.TemporaryDirectory(dir=where) as tmp:
        src = os.path.join(tmp, "src.bin")
        with open(src, "wb") as f:
            chunk = os.urandom(1 << 20)
            for _ in range(mib):
                f.write(chunk)
        pw = os.path.join(tmp, "pw")
        with open(pw, "w") as f:
            f.write("benchmark password\n")
        subprocess.run(["cat", src], stdout=subprocess.DEVNULL, check=True)  # warm the cache
        ours_cmd = [ovtool, "encrypt", "--password-file", pw, "--key-mode", "3", src, os.path.join(tmp, "ours")]
        ssl_cmd = ["openssl", "enc", "-aes-256-ctr", "-K", "00" * 32, "-iv", "00" * 16,
                   "-in", src, "-out", os.path.join(tmp, "theirs")]
        ours, theirs = [], []
        for _ in range(5):
            ours.append(timed(ours_cmd))
            theirs.append(timed(ssl_cmd))
        o, t = statistics.median(ours), statistics.median(theirs)
        print(f"{mib} MiB: ovtool encrypt (AES-256 + HMAC-SHA1) {o:.2f} s ({mib / o:.0f} MiB/s), "
              f"openssl enc -aes-256-ctr {t:.2f} s ({mib / t:.0f} MiB/s), ratio {t / o:.2f}")


if __name__ == "__main__":
    main()
