#!/usr/bin/env python3
"""Writes the bundled example spectra into examples/ (deterministic).

nai_tof.txt    time-of-flight peak list of sodium iodide clusters: the mass
               scale carries a square-root-of-mass error (a flight-time offset
               and a small length error), 2 ppm noise, background peaks with
               13C isotopes, mass uncertainties (the 2 ppm standard deviation
               of each centroid, in the width column), and a few flagged
               (saturated) peaks.
nai_quad.txt   quadrupole-like unit-resolution peak list of the same clusters:
               masses to 0.1 amu with a linear offset.
nai_profile.mzML  the TOF spectrum as a profile (Gaussian peaks) in mzML.

Masses come from examples/nai.ref so the two always agree.
"""
import base64
import math
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(os.path.dirname(HERE), "examples")


def reference():
    peaks = []
    with open(os.path.join(EXAMPLES, "nai.ref"), newline="") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith(";"):
                continue
            parts = line.split()
            peaks.append((float(parts[0]), float(parts[1]) if len(parts) > 1 else 100.0))
    return peaks


RESOLUTION = 12000.0  # m / full width at half height of the profile peaks
NOISE_PPM = 2.0  # standard deviation of a centroid


def tof_error(m):
    # measured sqrt(m) = (1 + 15 ppm) sqrt(m) + 0.0004: the error grows like sqrt(m) and m.
    s = math.sqrt(m) * (1.0 + 15e-6) + 0.0004
    return s * s - m


def peaks_tof(rng):
    out = []
    for i, (m, inten) in enumerate(reference()):
        if m < 100.0:
            continue
        meas = m + tof_error(m) + rng.gauss(0.0, NOISE_PPM * 1e-6 * m)
        height = 5000.0 * inten / 100.0 * rng.uniform(0.9, 1.1)
        flags = 2 if i in (4, 9) else 0  # saturated: kept out of the matches
        out.append((meas, height, flags, m / RESOLUTION, NOISE_PPM * 1e-6 * m))
    for k in range(12):  # background series with isotopes
        m = 120.0 + 173.37 * k + rng.uniform(0, 20)
        h = rng.uniform(50, 300)
        for iso, rel in ((0.0, 1.0), (1.003355, 0.011 * m / 14.0 * 0.9), (2.00671, 0.004 * m / 14.0)):
            mm = m + iso
            out.append((mm + tof_error(mm), h * min(rel, 1.0), 0, mm / RESOLUTION, NOISE_PPM * 1e-6 * mm))
    out.sort()
    return out


def write_tof(rng):
    peaks = peaks_tof(rng)
    with open(os.path.join(EXAMPLES, "nai_tof.txt"), "w", newline="\n") as f:
        f.write("## Sodium iodide clusters, time-of-flight, made by tools/make_example_spectra.py\n")
        f.write("# mass range: 100 3000\n# time-of-flight: yes\n# accurate mass: yes\n")
        f.write("# columns: mass intensity flags width\n")
        for m, h, fl, _fwhm, sd in peaks:
            f.write("%.5f %.1f %d %.6f\n" % (m, h, fl, sd))
    return peaks


def write_quad(rng):
    with open(os.path.join(EXAMPLES, "nai_quad.txt"), "w", newline="\n") as f:
        f.write("## Sodium iodide clusters, quadrupole-like unit resolution\n")
        f.write("# mass range: 100 2000\n# columns: mass intensity\n")
        for m, inten in reference():
            if 100.0 <= m <= 2000.0:
                meas = m + 0.15 + 6e-5 * m + rng.gauss(0.0, 0.02)
                f.write("%.1f %.1f\n" % (meas, 1000.0 * inten / 100.0))


def write_mzml(peaks):
    mz, it = [], []
    for m, h, _fl, fwhm, _sd in peaks:
        sigma = fwhm / 2.3548
        for j in range(-6, 7):
            x = m + j * sigma / 2.0
            mz.append(x)
            it.append(h * math.exp(-0.5 * (j / 2.0) ** 2))
    order = sorted(range(len(mz)), key=lambda i: mz[i])
    mz = [mz[i] for i in order]
    it = [it[i] for i in order]
    bmz = base64.b64encode(struct.pack("<%dd" % len(mz), *mz)).decode()
    bit = base64.b64encode(struct.pack("<%df" % len(it), *it)).decode()
    n = len(mz)
    doc = f"""<?xml version="1.0" encoding="utf-8"?>
<mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0">
  <cvList count="1"><cv id="MS" fullName="Proteomics Standards Initiative Mass Spectrometry Ontology" URI="https://purl.obolibrary.org/obo/ms.obo"/></cvList>
  <run id="nai_profile">
    <spectrumList count="1">
      <spectrum index="0" id="scan=1" defaultArrayLength="{n}">
        <cvParam cvRef="MS" accession="MS:1000511" name="ms level" value="1"/>
        <cvParam cvRef="MS" accession="MS:1000128" name="profile spectrum"/>
        <cvParam cvRef="MS" accession="MS:1000130" name="positive scan"/>
        <binaryDataArrayList count="2">
          <binaryDataArray encodedLength="{len(bmz)}">
            <cvParam cvRef="MS" accession="MS:1000523" name="64-bit float"/>
            <cvParam cvRef="MS" accession="MS:1000576" name="no compression"/>
            <cvParam cvRef="MS" accession="MS:1000514" name="m/z array"/>
            <binary>{bmz}</binary>
          </binaryDataArray>
          <binaryDataArray encodedLength="{len(bit)}">
            <cvParam cvRef="MS" accession="MS:1000521" name="32-bit float"/>
            <cvParam cvRef="MS" accession="MS:1000576" name="no compression"/>
            <cvParam cvRef="MS" accession="MS:1000515" name="intensity array"/>
            <binary>{bit}</binary>
          </binaryDataArray>
        </binaryDataArrayList>
      </spectrum>
    </spectrumList>
  </run>
</mzML>
"""
    with open(os.path.join(EXAMPLES, "nai_profile.mzML"), "w", newline="\n") as f:
        f.write(doc)


def main():
    rng = random.Random(20261207)
    peaks = write_tof(rng)
    write_quad(rng)
    write_mzml(peaks)


if __name__ == "__main__":
    main()
