#!/usr/bin/env python3
"""Writes a large LC-MS run as indexed mzML, and a reference list of its lock masses.

    make_large_mzml.py OUT.mzML [--spectra N] [--ms1-peaks P] [--ms2-peaks Q] [--ref OUT.ref]
                       [--drift-ppm A B] [--no-index] [--seed S]

The run repeats a cycle of one MS1 scan and four MS2 scans, one scan every 0.2 s. m/z arrays are 64-bit
floats and intensities 32-bit, both zlib-compressed, as instruments write them. Every MS1 scan holds the
reference masses (the .ref file) among its background peaks, shifted by a drift that goes linearly from A
to B ppm over the run (default 2 to 8) plus 0.3 ppm of noise. The defaults (12,000 spectra, 28,000 peaks
per MS1 scan) give about 1.0 GB; --spectra 1700 --ms1-peaks 1200 --ms2-peaks 250 gives a 14 MB run like a real
Orbitrap file.

Background spectra are drawn once as a pool and reused, so writing is limited by the disk, not Python.
"""
import argparse
import base64
import hashlib
import random
import struct
import zlib

LOCKS = [152.995833, 262.981453, 371.101234, 445.120025, 536.165365, 622.028960, 785.842633,
         922.009798, 1059.957582, 1221.990637, 1384.838431, 1521.971475, 1713.825013, 1885.776941]
CYCLE = 5
POOL = 24


def array_xml(values, fmt, accession, kind, count):
    data = zlib.compress(struct.pack("<%d%s" % (count, fmt), *values), 6)
    text = base64.b64encode(data).decode("ascii")
    width = ("MS:1000523", "64-bit float") if fmt == "d" else ("MS:1000521", "32-bit float")
    return ('\t\t\t\t\t<binaryDataArray encodedLength="%d">\n'
            '\t\t\t\t\t\t<cvParam cvRef="MS" accession="%s" name="%s"/>\n'
            '\t\t\t\t\t\t<cvParam cvRef="MS" accession="MS:1000574" name="zlib compression"/>\n'
            '\t\t\t\t\t\t<cvParam cvRef="MS" accession="%s" name="%s"/>\n'
            '\t\t\t\t\t\t<binary>%s</binary>\n'
            '\t\t\t\t\t</binaryDataArray>\n') % (len(text), width[0], width[1], accession, kind, text)


def background(rng, count, low, high):
    mz = sorted(rng.uniform(low, high) for _ in range(count))
    return mz, [rng.expovariate(1 / 2000.0) for _ in range(count)]


def arrays_xml(mz, intensity):
    return ('\t\t\t\t<binaryDataArrayList count="2">\n' + array_xml(mz, "d", "MS:1000514", "m/z array", len(mz)) +
            array_xml(intensity, "f", "MS:1000515", "intensity array", len(intensity)) +
            '\t\t\t\t</binaryDataArrayList>\n\t\t\t</spectrum>\n').encode("ascii")


def spectrum_head(index, scan, rt, level, count, precursor):
    lines = ['\t\t\t<spectrum index="%d" id="controllerType=0 controllerNumber=1 scan=%d" '
             'defaultArrayLength="%d">\n' % (index, scan, count),
             '\t\t\t\t<cvParam cvRef="MS" accession="MS:1000511" name="ms level" value="%d"/>\n' % level,
             '\t\t\t\t<cvParam cvRef="MS" accession="%s"/>\n'
             % ('MS:1000579" name="MS1 spectrum' if level == 1 else 'MS:1000580" name="MSn spectrum'),
             '\t\t\t\t<cvParam cvRef="MS" accession="MS:1000127" name="centroid spectrum"/>\n',
             '\t\t\t\t<cvParam cvRef="MS" accession="MS:1000130" name="positive scan"/>\n',
             '\t\t\t\t<scanList count="1">\n\t\t\t\t\t<cvParam cvRef="MS" accession="MS:1000795" '
             'name="no combination"/>\n\t\t\t\t\t<scan>\n',
             '\t\t\t\t\t\t<cvParam cvRef="MS" accession="MS:1000016" name="scan start time" value="%.4f" '
             'unitCvRef="UO" unitAccession="UO:0000031" unitName="minute"/>\n' % (rt / 60.0)]
    if level == 1:
        lines.append('\t\t\t\t\t\t<scanWindowList count="1"><scanWindow>'
                     '<cvParam cvRef="MS" accession="MS:1000501" name="scan window lower limit" value="100"/>'
                     '<cvParam cvRef="MS" accession="MS:1000500" name="scan window upper limit" value="2000"/>'
                     '</scanWindow></scanWindowList>\n')
    lines.append('\t\t\t\t\t</scan>\n\t\t\t\t</scanList>\n')
    if precursor:
        lines.append('\t\t\t\t<precursorList count="1"><precursor><selectedIonList count="1"><selectedIon>'
                     '<cvParam cvRef="MS" accession="MS:1000744" name="selected ion m/z" value="%.5f"/>'
                     '</selectedIon></selectedIonList></precursor></precursorList>\n' % precursor)
    return "".join(lines).encode("ascii")


HEAD = """<?xml version="1.0" encoding="utf-8"?>
%s<mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0">
\t<cvList count="2">
\t\t<cv id="MS" fullName="Proteomics Standards Initiative Mass Spectrometry Ontology" URI="https://purl.obolibrary.org/obo/ms.obo"/>
\t\t<cv id="UO" fullName="Unit Ontology" URI="https://purl.obolibrary.org/obo/uo.obo"/>
\t</cvList>
\t<fileDescription><fileContent><cvParam cvRef="MS" accession="MS:1000579" name="MS1 spectrum"/></fileContent></fileDescription>
\t<softwareList count="1"><software id="generator" version="1"><cvParam cvRef="MS" accession="MS:1000799" name="custom unreleased software tool" value="make_large_mzml"/></software></softwareList>
\t<instrumentConfigurationList count="1">
\t\t<instrumentConfiguration id="IC1">
\t\t\t<componentList count="3">
\t\t\t\t<source order="1"><cvParam cvRef="MS" accession="MS:1000073" name="electrospray ionization"/></source>
\t\t\t\t<analyzer order="2"><cvParam cvRef="MS" accession="MS:1000484" name="orbitrap"/></analyzer>
\t\t\t\t<detector order="3"><cvParam cvRef="MS" accession="MS:1000624" name="inductive detector"/></detector>
\t\t\t</componentList>
\t\t</instrumentConfiguration>
\t</instrumentConfigurationList>
\t<dataProcessingList count="1"><dataProcessing id="dp"><processingMethod order="1" softwareRef="generator"><cvParam cvRef="MS" accession="MS:1000544" name="Conversion to mzML"/></processingMethod></dataProcessing></dataProcessingList>
\t<run id="run" defaultInstrumentConfigurationRef="IC1">
\t\t<spectrumList count="%d" defaultDataProcessingRef="dp">
"""


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("out")
    ap.add_argument("--spectra", type=int, default=12000)
    ap.add_argument("--ms1-peaks", type=int, default=28000)
    ap.add_argument("--ms2-peaks", type=int, default=600)
    ap.add_argument("--ref")
    ap.add_argument("--drift-ppm", type=float, nargs=2, default=(2.0, 8.0))
    ap.add_argument("--no-index", action="store_true")
    ap.add_argument("--seed", type=int, default=19)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    ms1_pool = [background(rng, a.ms1_peaks - len(LOCKS), 100.0, 2000.0) for _ in range(POOL)]
    ms2_pool = []
    for _ in range(POOL):
        mz, inten = background(rng, a.ms2_peaks, 100.0, 1500.0)
        ms2_pool.append((arrays_xml(mz, inten), len(mz)))
    indexed = not a.no_index
    sha = hashlib.sha1()
    offsets = []
    with open(a.out, "wb") as f:
        pos = 0

        def put(b):
            nonlocal pos
            f.write(b)
            sha.update(b)
            pos += len(b)

        put((HEAD % ('<indexedmzML xmlns="http://psi.hupo.org/ms/mzml">\n' if indexed else "", a.spectra))
            .encode("ascii"))
        for i in range(a.spectra):
            scan, rt = i + 1, 0.2 * i
            offsets.append(("controllerType=0 controllerNumber=1 scan=%d" % scan, pos))
            if i % CYCLE == 0:
                mz, inten = ms1_pool[(i // CYCLE) % POOL]
                drift = a.drift_ppm[0] + (a.drift_ppm[1] - a.drift_ppm[0]) * i / max(1, a.spectra - 1)
                locks = [(m * (1 + (drift + rng.gauss(0.0, 0.3)) * 1e-6), rng.uniform(2e5, 1e6)) for m in LOCKS]
                peaks = sorted(list(zip(mz, inten)) + locks)
                put(spectrum_head(i, scan, rt, 1, len(peaks), 0) +
                    arrays_xml([p[0] for p in peaks], [p[1] for p in peaks]))
            else:
                arrays, count = ms2_pool[i % POOL]
                precursor = ms1_pool[0][0][(i * 7919) % len(ms1_pool[0][0])]
                put(spectrum_head(i, scan, rt, 2, count, precursor) + arrays)
        put(b"\t\t</spectrumList>\n\t</run>\n</mzML>\n")
        if indexed:
            index_at = pos
            put(b'<indexList count="1">\n\t<index name="spectrum">\n')
            for ident, at in offsets:
                put(('\t\t<offset idRef="%s">%d</offset>\n' % (ident, at)).encode("ascii"))
            put(b"\t</index>\n</indexList>\n")
            put(("<indexListOffset>%d</indexListOffset>\n<fileChecksum>" % index_at).encode("ascii"))
            f.write(sha.hexdigest().encode("ascii") + b"</fileChecksum>\n</indexedmzML>\n")
    if a.ref:
        with open(a.ref, "w") as r:
            r.write("; lock masses of make_large_mzml.py\n; mass        relative intensity\n")
            for m in LOCKS:
                r.write("%.6f   100.0\n" % m)


if __name__ == "__main__":
    main()
