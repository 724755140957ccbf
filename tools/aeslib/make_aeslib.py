#!/usr/bin/python3
"""Writes the three Auger sensitivity-factor libraries from published physics.

    /usr/bin/python3 tools/aeslib/make_aeslib.py BOTE_SALVAT_FILE OUTPUT_DIR

BOTE_SALVAT_FILE is the parameter file of the Bote-Salvat cross-sections
(../shared/data/auger/bote_salvat_xione.jl). Writes aes_hsa_dir.dat,
aes_hsa_diff.dat and aes_cma_diff.dat into OUTPUT_DIR. Every term and its
source is described in res/README.md. Needs Debian python3-xraylib.
"""

import math
import os
import re
import sys

import xraylib as xrl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pklib"))
import make_pklib  # noqa: E402  the Auger line names and energies of the peak library

E0 = 10000.0        # primary energy of the libraries, eV
AVOGADRO = 6.02214076e23
# Relative resolution of the analyser for the differential-mode width; an
# assumed setting, not a measured or published value (see res/README.md).
RESOLUTION = 0.005
SUBSHELL = {"K": 1, "L1": 2, "L2": 3, "L3": 4, "M1": 5, "M2": 6, "M3": 7, "M4": 8, "M5": 9}
# Elements that are not solids at room temperature: their atomic density and
# size come from the average over the solid elements of the table. Bromine is
# a liquid, but xraylib tabulates the density of its vapour (0.007 g/cm^3),
# which would put its factor twenty times below its neighbours'.
GASES = {1, 2, 7, 8, 9, 10, 17, 18, 35, 36, 54, 86}


def read_bote_salvat(path):
    """{Z: (Be, Anlj, G, edge, A)} from the Julia parameter file."""
    text = open(path, encoding="utf-8").read()
    data = {}
    for m in re.finditer(r"BoteSalvatElementDatum\((\d+),(.*?)\)\s*,?\s*(?=BoteSalvatElementDatum\(|\)\s*$|\)\s*\n)",
                         text, re.S):
        z = int(m.group(1))
        arrays = re.findall(r"\[([^\]]*)\]", m.group(2))
        if len(arrays) != 5:
            continue

        def rows(s):
            return [[float(v) for v in row.split()] for row in s.split(";") if row.strip()]
        be = [float(v) for v in arrays[0].replace(",", " ").split()]
        anlj = [float(v) for v in arrays[1].replace(",", " ").split()]
        g = rows(arrays[2])
        edge = [float(v) for v in arrays[3].replace(",", " ").split()]
        a = rows(arrays[4])
        data[z] = (be, anlj, g, edge, a)
    return data


def bote_salvat(params, z, subshell, energy, edge):
    """Ionisation cross-section (cm^2) of one sub-shell, after the reference
    implementation beside the parameters."""
    be, anlj, g, _, a = params[z]
    i = subshell - 1
    if i >= len(be):
        return 0.0
    u = energy / edge
    if u <= 1.0:
        return 0.0
    if u <= 16.0:
        c = a[i]
        opu = 1.0 / (1.0 + u)
        f = c[0] + c[1] * u + opu * (c[2] + opu ** 2 * (c[3] + opu ** 2 * c[4]))
        x = (u - 1.0) * (f / u) ** 2
    else:
        rev = 5.10998918e5
        beta2 = energy * (energy + 2.0 * rev) / (energy + rev) ** 2
        xx = math.sqrt(energy * (energy + 2.0 * rev)) / rev
        gg = g[i]
        f = (2.0 * math.log(xx) - beta2) * (1.0 + gg[0] / xx) + gg[1] + gg[2] * math.sqrt(rev / (energy + rev)) \
            + gg[3] / xx
        x = anlj[i] / beta2 * u / (u + be[i]) * f
    return 4.0 * math.pi * 5.291772108e-9 ** 2 * x


def edge(z, shell):
    return make_pklib.edge_ev(z, shell)


def q(params, z, shell, energy):
    e = edge(z, shell)
    return bote_salvat(params, z, SUBSHELL[shell], energy, e) if e > 0.0 else 0.0


def ck(z, name):
    try:
        return xrl.CosKronTransProb(z, getattr(xrl, name + "_TRANS"))
    except ValueError:
        return 0.0  # no Coster-Kronig data for this element: no transfer


def vacancies(params, z, w, energy):
    """Initial vacancies in shell w per incident electron (cm^2): direct
    ionisation plus Coster-Kronig transfer from the shallower sub-shells of
    the same shell."""
    if w == "K":
        return q(params, z, "K", energy)
    if w == "L3":
        n1 = q(params, z, "L1", energy)
        n2 = q(params, z, "L2", energy) + ck(z, "FL12") * n1
        return q(params, z, "L3", energy) + ck(z, "FL13") * n1 + ck(z, "FL23") * n2
    n1 = q(params, z, "M1", energy)
    n2 = q(params, z, "M2", energy) + ck(z, "FM12") * n1
    n3 = q(params, z, "M3", energy) + ck(z, "FM13") * n1 + ck(z, "FM23") * n2
    n4 = q(params, z, "M4", energy) + ck(z, "FM14") * n1 + ck(z, "FM24") * n2 + ck(z, "FM34") * n3
    return q(params, z, "M5", energy) + ck(z, "FM15") * n1 + ck(z, "FM25") * n2 + ck(z, "FM35") * n3 \
        + ck(z, "FM45") * n4


def backscatter(z, ec, energy):
    """Reuter (1972): 1 + 2.8 (1 - 0.9 Ec/E) eta(Z)."""
    eta = -0.0254 + 0.016 * z - 1.86e-4 * z ** 2 + 8.3e-7 * z ** 3
    return 1.0 + 2.8 * (1.0 - 0.9 * ec / energy) * eta


def imfp_nm(z, energy, a_nm):
    """Seah's S1 formula for an element (W = 0)."""
    return (4.0 + 0.44 * z ** 0.5 + 0.104 * energy ** 0.872) * a_nm ** 1.7 / z ** 0.3


def density_and_size(z, average):
    """Atoms per nm^3 and the atomic size a (nm)."""
    if z in GASES:
        return average
    n = xrl.ElementDensity(z) * AVOGADRO / xrl.AtomicWeight(z) * 1e-21
    return n, n ** (-1.0 / 3.0)


def auger_yield(z, shell):
    """1 - fluorescence yield - Coster-Kronig yield; where xraylib has no
    value the vacancy is taken to decay by Auger emission alone (light
    elements, whose fluorescence yields are below 1 %)."""
    try:
        return xrl.AugerYield(z, getattr(xrl, shell + "_SHELL"))
    except ValueError:
        return 1.0


def level_width_ev(z, shell):
    try:
        return xrl.AtomicLevelWidth(z, getattr(xrl, shell + "_SHELL")) * 1000.0
    except (ValueError, AttributeError):
        return 0.0


# Lines of the element's principal Auger group: KLL up to silicon, LMM up to
# zirconium, MNN beyond, as AES practice measures them at a 10 keV beam.
GENERIC = {"K": "KLL", "L3": "LMM", "M5": "MNN"}


def principal_shell(z):
    return "K" if z <= 14 else "L3" if z <= 40 else "M5"


def lines():
    """(Z, symbol, name, initial shell, branching, Auger energy, shells).
    K and L3: the peak library's groups (same names, so regions made from it
    find their factor), with xraylib's Auger rates as branching, and a generic
    entry for the strongest group. M5: xraylib has no M-shell Auger rates, so
    the one principal group takes every Auger decay (branching 1, stated):
    M5N45N45, or M5N67N67 once the 4f shell is full, placed as the peak
    library places it."""
    for z in range(3, make_pklib.LAST_Z + 1):
        w = principal_shell(z)
        symbol = xrl.AtomicNumberToSymbol(z)
        if w == "M5":
            shells = make_pklib.principal_transition(z, "M5")
            energy = make_pklib.chung_jenkins(z, *shells)
            group = "M5N67N67" if shells[1] == "N7" else "M5N45N45"
            for name in ("MNN", group):
                yield z, symbol, name, w, 1.0, energy, shells
            continue
        found = []
        for name, transitions, shells in make_pklib.AUGER_GROUPS[w]:
            rate = sum(make_pklib.auger_rate(z, t) for t in transitions)
            energy = make_pklib.chung_jenkins(z, *shells)
            if rate > 0.0 and energy is not None and energy > 0.0:
                found.append((z, symbol, name, w, rate, energy, shells))
        if not found:
            # No rates (Li to B): a K vacancy there can only fill from L, so
            # every Auger decay is KLL.
            name, _, shells = make_pklib.AUGER_GROUPS[w][-1]
            energy = make_pklib.chung_jenkins(z, *shells)
            if energy is not None and energy > 0.0:
                yield z, symbol, GENERIC[w], w, 1.0, energy, shells
            continue
        top = max(found, key=lambda f: f[4])
        yield (z, symbol, GENERIC[w]) + top[3:]
        yield from found


def main(bote_path, out_dir):
    params = read_bote_salvat(bote_path)
    solids = [z for z in range(3, make_pklib.LAST_Z + 1) if z not in GASES and xrl.ElementDensity(z) > 0.5]
    n_avg = sum(xrl.ElementDensity(z) * AVOGADRO / xrl.AtomicWeight(z) * 1e-21 for z in solids) / len(solids)
    a_avg = sum((xrl.ElementDensity(z) * AVOGADRO / xrl.AtomicWeight(z) * 1e-21) ** (-1.0 / 3.0)
                for z in solids) / len(solids)
    average = (n_avg, a_avg)

    rows = []
    for z, symbol, name, w, branch, energy, shells in lines():
        ec = edge(z, w)
        if z not in params or ec <= 0.0 or ec >= E0 or energy is None or energy <= 0.0:
            continue
        yield_w = auger_yield(z, w)
        n, a = density_and_size(z, average)
        direct = n * vacancies(params, z, w, E0) * backscatter(z, ec, E0) * yield_w * branch \
            * imfp_nm(z, energy, a) * energy
        width = level_width_ev(z, shells[0]) + level_width_ev(z, shells[1]) + level_width_ev(z, shells[2])
        w2 = width ** 2 + (RESOLUTION * energy) ** 2
        if direct > 0.0:
            rows.append((z, symbol, name, ec, energy, direct, w2))

    ag = [r for r in rows if r[1] == "Ag" and r[2] == "MNN"][0]
    write(out_dir, "aes_hsa_dir.dat", rows, lambda r: r[5] / ag[5],
          ["Direct mode N(E), hemispherical analyser, retard-ratio mode"])
    for fname, analyser in (("aes_hsa_diff.dat", "hemispherical analyser, retard-ratio"),
                            ("aes_cma_diff.dat", "cylindrical mirror analyser")):
        write(out_dir, fname, rows, lambda r: r[5] / ag[5] * ag[6] / r[6],
              ["Differential mode dN/dE peak-to-peak, " + analyser,
               "Not computable from first principles: it needs line widths",
               "Derived from direct mode by the factor (wAg / w) squared",
               "w squared: summed level widths squared plus (E times the resolution) squared",
               "The resolution of half a percent is assumed, not measured",
               "Load a laboratory calibrated library for quantitative work"])


def write(out_dir, fname, rows, factor, notes):
    # Every comment line starts with '#' and has words, not numbers, as its
    # third and fourth tokens, so the reader skips it; no line exceeds 80
    # characters, since a longer one would end the reading.
    header = ["# Auger sensitivity factors computed by tools/aeslib/make_aeslib.py",
              "# Primary energy in eV on the first line; Ag MNN (M5N45N45) is one",
              "# Columns: symbol, transition, Z, factor, ionisation energy in eV",
              "# See res/README.md for every term and its source"]
    header += ["# " + n for n in notes]
    text = "%.0f\n" % E0 + "\n".join(header) + "\n"
    for z, symbol, name, ec, energy, direct, w2 in rows:
        text += "%-2s %-9s %2d %.4g %.1f\n" % (symbol, name, z, factor((z, symbol, name, ec, energy, direct, w2)), ec)
    for line in text.splitlines():
        assert len(line) <= 80, line
    with open(os.path.join(out_dir, fname), "w", encoding="ascii", newline="\n") as f:
        f.write(text)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
