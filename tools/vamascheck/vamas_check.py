#!/usr/bin/env python3
"""vamas_check.py: opens VAMAS files with this program's reader (through
vltdump) and compares every block with what xylib's xyconv reads.

usage: vamas_check.py [--vltdump PATH] [--xyconv PATH] FILE_OR_FOLDER...

For each file that opens, every block must give
  - the same number of points and the same ordinates (the first corresponding
    variable, to the six decimals xyconv prints; count rates, unit "c/s", times
    the block's collection time, as the program keeps counts),
  - the same energies to 1e-6 eV: on a kinetic-energy abscissa the region's
    start plus i steps (without the work-function offset, which the document
    adds only on display); on a binding-energy abscissa the source energy
    minus the displayed kinetic energy (start + offset + i steps).
Blocks map to regions and levels in file order: block k is region k mod R of
level k div R, or, for a profile written region by region, region k div L of
level k mod L. A file whose comment lines give a synthetic peak's generating
function ("Eo = ...") must have its largest ordinate at Eo (kinetic energy).

Prints one line per file and exits with 1 when any check fails, 77 when
xyconv is not installed.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys

ENERGY_TOLERANCE = 1e-6


def xyconv_blocks(xyconv, path):
    """The blocks as xyconv reads them: abscissa label, x texts, y texts."""
    out = subprocess.run([xyconv, "-t", "vamas", path, "-"], capture_output=True, text=True, check=True).stdout
    blocks = []
    for line in out.splitlines():
        if line.startswith("### block"):
            blocks.append({"label": "", "x": [], "y": []})
        elif not blocks:
            continue
        elif line.startswith("# abscissa label:"):
            blocks[-1]["label"] = line.split(":", 1)[1].strip()
        elif line.startswith("# signal collection time:"):
            blocks[-1]["time"] = float(line.split(":", 1)[1])
        elif line and not line.startswith("#"):
            cols = line.split()
            if len(cols) >= 2:
                blocks[-1]["x"].append(cols[0])
                blocks[-1]["y"].append(cols[1])
    return blocks


def printed_equal(ours, text, scale=1.0):
    """ours rounds to xyconv's printed text, times scale."""
    decimals = len(text.split(".")[1]) if "." in text and "e" not in text.lower() else 6
    return abs(ours - scale * float(text)) <= scale * 0.5 * 10.0 ** -decimals * (1 + 1e-9) + 1e-12 * abs(ours)


def count_rate_blocks(path):
    """How many blocks give their signal as a count rate (a unit line "c/s")."""
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    return len(re.findall(r"^c/s[ \t\r]*$", text, re.M))


def synthetic_peak(path):
    """Eo of an NPL synthetic spectrum's generating function, or None."""
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    m = re.search(r"^\s*Eo\s*=\s*([-+0-9.Ee]+)", text, re.M)
    return float(m.group(1)) if m else None


def compare(blocks, regions, hv, rates, place):
    """Problems of each block against the region and level place(k) gives."""
    problems = []
    for k, b in enumerate(blocks):
        r, l = place(k)
        rgn = regions[r]
        scale = b["time"] if rates and b.get("time", 0.0) > 0.0 else 1.0
        values = rgn["curves"][l]["values"]
        where = "block %d (region %d, level %d)" % (k, r, l)
        if len(values) != len(b["y"]):
            problems.append("%s: %d points, xyconv %d" % (where, len(values), len(b["y"])))
            continue
        bad = [i for i, (v, t) in enumerate(zip(values, b["y"])) if not printed_equal(v, t, scale)]
        if bad:
            i = bad[0]
            problems.append("%s: %d ordinates differ, first at %d: %r against %s x %g" % (where, len(bad), i, values[i], b["y"][i], scale))
        binding = "binding" in b["label"].lower()
        worst = 0.0
        for i, t in enumerate(b["x"]):
            ke = rgn["start"] + i * rgn["step"]
            ours = hv - (ke + rgn["offset"]) if binding else ke
            worst = max(worst, abs(ours - float(t)))
        if worst > ENERGY_TOLERANCE:
            problems.append("%s: energies off by up to %.3g eV (%s)" % (where, worst, b["label"]))
    return problems


def check(path, vltdump, xyconv):
    problems = []
    run = subprocess.run([vltdump, path], capture_output=True, text=True)
    if run.returncode != 0:
        return "refused: " + run.stderr.strip(), []
    doc = json.loads(run.stdout)
    hv = doc["source"]["energy"]
    regions = doc["positions"][0]["spectrumRegions"]
    nr = len(regions)
    nl = len(regions[0]["curves"]) if regions else 0
    blocks = xyconv_blocks(xyconv, path)
    if len(blocks) != nr * nl:
        problems.append("%d blocks, the document has %d regions x %d levels" % (len(blocks), nr, nl))
        return "opened", problems
    # The program keeps counts: a block's count rates are read as counts
    # over its collection time (xyconv prints the rates).
    rates = count_rate_blocks(path) == len(blocks)
    order = ""
    found = compare(blocks, regions, hv, rates, lambda k: (k % nr, k // nr))
    if found and nr > 1 and nl > 1:
        # A profile written region by region: every level of a region, then the next.
        by_region = compare(blocks, regions, hv, rates, lambda k: (k // nl, k % nl))
        if not by_region:
            found, order = by_region, ", region by region"
    problems += found
    eo = synthetic_peak(path)
    if eo is not None:
        for r, rgn in enumerate(regions):
            for l, curve in enumerate(rgn["curves"]):
                values = curve["values"]
                i = max(range(len(values)), key=values.__getitem__)
                ke = rgn["start"] + rgn["offset"] + i * rgn["step"]
                if abs(ke - eo) > abs(rgn["step"]) / 2:
                    problems.append("region %d level %d: peak at %.4f eV kinetic, generated at %.4f eV" % (r, l, ke, eo))
    shape = "%d region(s) x %d level(s)%s" % (nr, nl, order)
    if eo is not None:
        shape += ", peak at Eo = %g eV" % eo
    return "opened, " + shape, problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--vltdump", default=os.path.join(here, "..", "..", "build", "tools", "vltdump", "vltdump"))
    parser.add_argument("--xyconv", default=shutil.which("xyconv"))
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    if not args.xyconv:
        print("xyconv (Debian libxy-bin) is not installed")
        return 77
    files = []
    for p in args.paths:
        if os.path.isdir(p):
            files += sorted(os.path.join(p, n) for n in os.listdir(p) if n.lower().endswith((".vms", ".npl")))
        else:
            files.append(p)
    failed = False
    for f in files:
        outcome, problems = check(f, args.vltdump, args.xyconv)
        print("%-40s %s%s" % (os.path.basename(f), outcome, "" if problems else ", agrees with xyconv"))
        for p in problems:
            print("    " + p)
        failed = failed or bool(problems) or outcome.startswith("refused")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
