#!/usr/bin/env python3
"""Writes the bundled reference files of common calibrants (examples/*.ref).

Masses are monoisotopic masses of singly charged positive cluster ions,
computed from the atomic masses of the most abundant isotopes (AME2020 atomic
mass evaluation: Wang et al., Chinese Physics C 45 (2021) 030003) minus the
electron mass (CODATA 2018).
"""
import os
import sys

H = 1.00782503223
C = 12.0
O = 15.99491461957
NA = 22.9897692820
I = 126.9044719
CS = 132.9054519610
ELECTRON = 0.000548579909065

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "examples")


def write(name, title, unit, cation, count, first=0, intensity=None):
    lines = [f"; {title}", f"; [{unit}]n{cation}+ cluster ions, singly charged, monoisotopic (amu)",
             "; atomic masses: AME2020; electron mass: CODATA 2018", "; mass        relative intensity"]
    unit_mass = {"NaI": NA + I, "CsI": CS + I, "HCOONa": H + C + 2 * O + NA}[unit]
    cation_mass = {"Na": NA, "Cs": CS}[cation]
    for n in range(first, count + 1):
        mass = n * unit_mass + cation_mass - ELECTRON
        rel = intensity(n) if intensity else 100.0
        lines.append(f"{mass:.6f}   {rel:.1f}")
    with open(os.path.join(OUT, name), "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def main():
    os.makedirs(OUT, exist_ok=True)
    # Cluster series thin out towards high mass.
    write("nai.ref", "Sodium iodide clusters, positive mode", "NaI", "Na", 26,
          intensity=lambda n: max(5.0, 100.0 * 0.88 ** n))
    write("csi.ref", "Caesium iodide clusters, positive mode", "CsI", "Cs", 25,
          intensity=lambda n: max(5.0, 100.0 * 0.85 ** n))
    write("sodium_formate.ref", "Sodium formate clusters, positive mode", "HCOONa", "Na", 40, first=1,
          intensity=lambda n: max(5.0, 100.0 * 0.92 ** n))
    return 0


if __name__ == "__main__":
    sys.exit(main())
