#!/usr/bin/env python3
"""End-to-end timings of the masscal program: cli_bench.py PROGRAM [EXAMPLES]

- `calibrate` on the bundled time-of-flight example, and on a 100,000-peak
  spectrum (the example's peaks among uniform background peaks);
- `calibrate --batch` over 1,000 spectra (the example with fresh noise in
  each) with 1 and with 2 worker threads: spectra per second and speed-up.

Each timing is the best of a few runs (wall clock, process start included).
"""
import os
import random
import subprocess
import sys
import tempfile
import time


def best_of(runs, argv):
    best = float("inf")
    for _ in range(runs):
        t0 = time.perf_counter()
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        best = min(best, time.perf_counter() - t0)
    return best


def read_peaks(path):
    head, peaks = [], []
    with open(path) as f:
        for line in f:
            if line.startswith("#"):
                head.append(line)
            else:
                peaks.append([float(x) for x in line.split()])
    return head, peaks


def write_peaks(path, head, peaks):
    with open(path, "w") as f:
        f.writelines(head)
        for m, h, fl, w in peaks:
            f.write("%.5f %.1f %d %.4f\n" % (m, h, fl, w))


def main():
    prog = os.path.abspath(sys.argv[1])
    examples = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "..", "examples")
    tof, ref = os.path.join(examples, "nai_tof.txt"), os.path.join(examples, "nai.ref")
    head, peaks = read_peaks(tof)
    rng = random.Random(7)
    with tempfile.TemporaryDirectory() as tmp:
        big = os.path.join(tmp, "big.txt")
        noise = [[rng.uniform(100.0, 3000.0), rng.uniform(1.0, 40.0), 0, 0.05] for _ in range(100000 - len(peaks))]
        write_peaks(big, head, sorted(peaks + noise))
        start = best_of(10, [prog, "poly", "text", "0 1 0 + 1x^1"])
        one = best_of(10, [prog, "calibrate", tof, ref])
        hundred_k = best_of(3, [prog, "calibrate", big, ref])
        print("program start (poly text):        %8.1f ms" % (start * 1e3))
        print("calibrate, example (%d peaks):   %8.1f ms" % (len(peaks), one * 1e3))
        print("calibrate, 100,000 peaks:         %8.1f ms" % (hundred_k * 1e3))

        files = []
        for i in range(1000):
            jitter = [[m * (1 + rng.gauss(0.0, 1e-6)), h, fl, w] for m, h, fl, w in peaks]
            files.append(os.path.join(tmp, "s%04d.txt" % i))
            write_peaks(files[-1], head, jitter)
        rates, work = {}, {}
        for jobs in (1, 2):
            t = best_of(3, [prog, "calibrate", "--batch", "--no-progress", "--jobs", str(jobs)] + files + [ref])
            rates[jobs] = len(files) / t
            work[jobs] = t - start
            print("batch of 1,000, %d thread%s:        %8.0f spectra/s (%.2f s)" % (jobs, "" if jobs == 1 else "s",
                                                                               rates[jobs], t))
        print("speed-up from 1 to 2 threads:     %8.2f x (%d cores); %.2f x without the program start"
              % (rates[2] / rates[1], os.cpu_count(), work[1] / work[2]))


if __name__ == "__main__":
    main()
