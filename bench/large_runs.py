#!/usr/bin/env python3
"""Throughput and peak memory of the program on large LC-MS runs:

    large_runs.py PROGRAM [BASELINE_PROGRAM] [--dir DIR]

Writes (or reuses, in DIR) a run of about 1 GB and one of about 14 MB with tools/make_large_mzml.py, then
times `calibrate` over all MS1 scans and `apply` of the calibration to the whole run, each under
/usr/bin/time -v: wall time, input MB/s and peak resident memory. With a second program (an older build,
say) both are run on the same files one after the other and the ratio is printed.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "..", "tools", "make_large_mzml.py")
RUNS = {"14 MB": ["--spectra", "1700", "--ms1-peaks", "1200", "--ms2-peaks", "250"], "1 GB": []}


def timed(argv):
    """Wall seconds, processor seconds (user and system) and peak resident KiB of one run."""
    res = subprocess.run(["/usr/bin/time", "-v"] + argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                         text=True)
    if res.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(argv), res.stderr[-2000:]))
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", res.stderr).group(1)
    seconds = 0.0
    for part in wall.split(":"):
        seconds = seconds * 60 + float(part)
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", res.stderr).group(1))
    cpu = sum(float(re.search(r"%s time \(seconds\): (\S+)" % k, res.stderr).group(1)) for k in ("User", "System"))
    return seconds, cpu, rss


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("program")
    ap.add_argument("baseline", nargs="?")
    ap.add_argument("--dir", help="where the runs are written (kept there for the next time)")
    a = ap.parse_args()
    folder = a.dir or tempfile.mkdtemp(prefix="masscal-large-")
    os.makedirs(folder, exist_ok=True)
    programs = [("now", os.path.abspath(a.program))]
    if a.baseline:
        programs.append(("before", os.path.abspath(a.baseline)))
    try:
        ref = os.path.join(folder, "locks.ref")
        print("%-6s %-8s %-9s %9s %9s %9s %10s" % ("run", "program", "command", "seconds", "cpu s", "MB/s", "peak MiB"))
        for name, extra in RUNS.items():
            path = os.path.join(folder, name.replace(" ", "") + ".mzML")
            if not os.path.exists(path):
                subprocess.run([sys.executable, GENERATOR, path, "--ref", ref] + extra, check=True)
            size_mb = os.path.getsize(path) / 1e6
            cal = os.path.join(folder, "run.cal")
            out = os.path.join(folder, "out.mzML")
            figures = {}
            for label, prog in programs:
                for command, argv in (("calibrate", [prog, "calibrate", path, ref, "--ms-level", "1", "--out", cal]),
                                      ("apply", [prog, "apply", cal, path, "-o", out])):
                    seconds, cpu, rss = timed(argv)
                    figures[(label, command)] = seconds
                    print("%-6s %-8s %-9s %9.2f %9.2f %9.0f %10.1f" % (name, label, command, seconds, cpu,
                                                                       size_mb / seconds, rss / 1024), flush=True)
            if a.baseline:
                for command in ("calibrate", "apply"):
                    print("%-6s %-8s %-9s %8.2fx faster" % (name, "ratio", command,
                                                            figures[("before", command)] / figures[("now", command)]))
            if os.path.exists(out):
                os.remove(out)
    finally:
        if not a.dir:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
