#!/usr/bin/env python3
"""Writes a copy of an mzML run whose m/z values drift over retention time.

    tools/inject_drift.py IN.mzML OUT.mzML --drift linear:2:8 [--noise-ppm 0.2] [--seed 1]

Each m/z value of every spectrum becomes m * (1 + (d(t) + n) * 1e-6), where
t is the spectrum's retention time, d the drift in ppm and n a normal
deviate of --noise-ppm standard deviation drawn for each value. Drifts:

    linear:A:B       from A ppm at the first spectrum to B ppm at the last
    step:A:B         A ppm up to the middle of the run, B ppm after it
    wave:M:A:P       M + A * sin(2 pi t / P), P in seconds

Arrays keep their precision and compression; the copy has no index (the
offsets of an index would no longer hold). Input may be gzip-compressed.
This makes test data for `masscal recalibrate`; it needs only Python.
"""
import argparse
import base64
import gzip
import math
import random
import re
import struct
import sys
import zlib

SPECTRUM = re.compile(rb"<spectrum\b.*?</spectrum>", re.S)
ARRAY = re.compile(rb"<binaryDataArray\b[^>]*>.*?</binaryDataArray>", re.S)
BINARY = re.compile(rb"<binary>(.*?)</binary>", re.S)
RT = re.compile(rb'accession="MS:1000016"[^>]*?value="([^"]+)"([^>]*)')


def drift_function(text, first, last):
    kind, *args = text.split(":")
    a = [float(x) for x in args]
    if kind == "linear" and len(a) == 2:
        span = max(last - first, 1e-9)
        return lambda t: a[0] + (a[1] - a[0]) * (t - first) / span
    if kind == "step" and len(a) == 2:
        middle = 0.5 * (first + last)
        return lambda t: a[0] if t < middle else a[1]
    if kind == "wave" and len(a) == 3:
        return lambda t: a[0] + a[1] * math.sin(2 * math.pi * t / a[2])
    sys.exit(f"inject_drift: --drift {text}: expected linear:A:B, step:A:B or wave:M:A:P")


def seconds(block):
    m = RT.search(block)
    if not m:
        return None
    value = float(m.group(1))
    return value * 60.0 if b'unitName="minute"' in m.group(2) else value


def shift(array, factor_of):
    if b'accession="MS:1000514"' not in array:
        return array
    m = BINARY.search(array)
    if not m or not m.group(1).strip():
        return array
    raw = base64.b64decode(m.group(1))
    packed = b'accession="MS:1000574"' in array
    if packed:
        raw = zlib.decompress(raw)
    fmt = "d" if b'accession="MS:1000523"' in array else "f"
    values = struct.unpack(f"<{len(raw) // struct.calcsize(fmt)}{fmt}", raw)
    raw = struct.pack(f"<{len(values)}{fmt}", *(v * factor_of() for v in values))
    if packed:
        raw = zlib.compress(raw)
    text = base64.b64encode(raw)
    array = array[: m.start(1)] + text + array[m.end(1):]
    return re.sub(rb'encodedLength="\d+"', b'encodedLength="%d"' % len(text), array, count=1)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("input")
    p.add_argument("output")
    p.add_argument("--drift", required=True)
    p.add_argument("--noise-ppm", type=float, default=0.0)
    p.add_argument("--seed", type=int, default=1)
    args = p.parse_args()
    opener = gzip.open if args.input.endswith(".gz") else open
    with opener(args.input, "rb") as f:
        text = f.read()
    times = [t for t in (seconds(b.group(0)) for b in SPECTRUM.finditer(text)) if t is not None]
    if not times:
        sys.exit(f"inject_drift: {args.input}: no spectrum states a retention time")
    drift = drift_function(args.drift, min(times), max(times))
    rng = random.Random(args.seed)

    def spectrum(m):
        block = m.group(0)
        t = seconds(block)
        if t is None:
            return block
        d = drift(t)
        return ARRAY.sub(lambda a: shift(a.group(0), lambda: 1 + (d + rng.gauss(0, args.noise_ppm)) * 1e-6), block)

    text = SPECTRUM.sub(spectrum, text)
    if b"<indexedmzML" in text:
        start = text.index(b"<mzML")
        end = text.index(b"</mzML>") + len(b"</mzML>")
        head = text[: text.index(b"<indexedmzML")]
        text = head + text[start:end] + b"\n"
    opener = gzip.open if args.output.endswith(".gz") else open
    with opener(args.output, "wb") as f:
        f.write(text)


if __name__ == "__main__":
    main()
