#!/usr/bin/python3
"""The quantification of a real multiplex, done by hand from the document's
dump: peak areas between the default limits (trapezoidal rule), per dwell
time, divided by the photoelectron factors written out from the peak
library's formula, normalised to 100 %.

    quant_by_hand.py VLTDUMP VAMAS_FILE PKLIB [EXPECTED%...]

Prints "label percent" per region; with expected values, fails unless each
agrees to 1e-9 relative.
"""

import json
import subprocess
import sys


def photo_factor(pklib_path, symbol, region, photon=1486.6):
    """Al K-alpha factor of a photoelectron peak: KE^0.2 * (1 + 0.01547747 beta) * sigma;
    a level named without its spin-orbit part ("3d") sums its lines ("3d3/2",
    "3d5/2"); 1.0 when the library has no peak of that name."""
    lines = open(pklib_path, encoding="ascii").read().split("\n")
    names = []
    for line in lines:
        if not line:
            break
        names.append(line)
    inside = False
    lines_of_level = []
    for i, line in enumerate(lines):
        if line == "[PHYSICAL INFORMATION]":
            inside = lines[i + 1].split()[1] == symbol
        elif inside and line and line[0] in "-0123456789":
            f = line.split()
            if len(f) != 7:
                continue
            name = names[abs(int(f[0])) - 1]
            be, sigma_al, beta_al = float(f[1]), float(f[4]), float(f[6])
            factor = (photon - be) ** 0.2 * (1.0 + 0.01547747 * beta_al) * sigma_al
            if name == region:
                return factor
            rest = name[len(region):]
            if name.startswith(region) and rest.endswith("/2") and rest[:-2].isdigit():
                lines_of_level.append(factor)
    return sum(lines_of_level) if lines_of_level else 1.0


def main():
    vltdump, vamas, pklib = sys.argv[1:4]
    expected = [float(v) for v in sys.argv[4:]]
    doc = json.loads(subprocess.run([vltdump, vamas], capture_output=True, check=True).stdout)
    values = []
    labels = []
    for r in doc["positions"][0]["spectrumRegions"]:
        y = r["curves"][0]["values"]
        n = len(y)
        lo, hi = n // 10, n - max(1, n // 10)
        area = (sum(y[lo:hi + 1]) - (y[lo] + y[hi]) / 2.0) * r["step"]
        values.append(area / r["dwell"] / photo_factor(pklib, r["name"].strip(), r["region"].strip()))
        labels.append(r["name"].strip() + " " + r["region"].strip())
    total = sum(abs(v) for v in values)
    percent = [100.0 * v / total for v in values]
    for label, p in zip(labels, percent):
        print("%-8s %.12f" % (label, p))
    if expected:
        if len(expected) != len(percent) or any(abs(a - b) > 1e-9 * max(1.0, abs(b)) for a, b in zip(percent, expected)):
            sys.exit("the hand calculation disagrees with the expected percentages")


if __name__ == "__main__":
    main()
