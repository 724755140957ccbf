#!/usr/bin/python3
"""Writes res/PkLib.txt, the peak library, from xraylib (Debian python3-xraylib).

    /usr/bin/python3 tools/pklib/make_pklib.py > res/PkLib.txt

Columns and their sources are described in res/README.md.
"""

import sys

import xraylib as xrl

MG_KA = 1253.6  # eV
AL_KA = 1486.6  # eV
LAST_Z = 92     # hydrogen to uranium

NAMES = """Hydrogen Helium Lithium Beryllium Boron Carbon Nitrogen Oxygen Fluorine Neon Sodium Magnesium
Aluminium Silicon Phosphorus Sulfur Chlorine Argon Potassium Calcium Scandium Titanium Vanadium Chromium
Manganese Iron Cobalt Nickel Copper Zinc Gallium Germanium Arsenic Selenium Bromine Krypton Rubidium
Strontium Yttrium Zirconium Niobium Molybdenum Technetium Ruthenium Rhodium Palladium Silver Cadmium Indium
Tin Antimony Tellurium Iodine Xenon Caesium Barium Lanthanum Cerium Praseodymium Neodymium Promethium
Samarium Europium Gadolinium Terbium Dysprosium Holmium Erbium Thulium Ytterbium Lutetium Hafnium Tantalum
Tungsten Rhenium Osmium Iridium Platinum Gold Mercury Thallium Lead Bismuth Polonium Astatine Radon Francium
Radium Actinium Thorium Protactinium Uranium""".split()

# Subshells in binding order, with their spectroscopic names.
SHELLS = [
    ("K", "1s"), ("L1", "2s"), ("L2", "2p1/2"), ("L3", "2p3/2"),
    ("M1", "3s"), ("M2", "3p1/2"), ("M3", "3p3/2"), ("M4", "3d3/2"), ("M5", "3d5/2"),
    ("N1", "4s"), ("N2", "4p1/2"), ("N3", "4p3/2"), ("N4", "4d3/2"), ("N5", "4d5/2"),
    ("N6", "4f5/2"), ("N7", "4f7/2"),
    ("O1", "5s"), ("O2", "5p1/2"), ("O3", "5p3/2"), ("O4", "5d3/2"), ("O5", "5d5/2"),
    ("P1", "6s"),
]

AVOGADRO = 6.02214076e23


def shell_id(name):
    return getattr(xrl, name + "_SHELL")


def edge_ev(z, shell):
    try:
        return xrl.EdgeEnergy(z, shell_id(shell)) * 1000.0
    except ValueError:
        return 0.0


def cross_section_barns(z, shell, photon_ev):
    """Partial photoionisation cross-section of one subshell, barns per atom."""
    try:
        per_gram = xrl.CS_Photo_Partial(z, shell_id(shell), photon_ev / 1000.0)
    except ValueError:
        return 0.0
    return per_gram * xrl.AtomicWeight(z) / AVOGADRO * 1e24


def auger_rate(z, name):
    try:
        return xrl.AugerRate(z, getattr(xrl, name + "_AUGER"))
    except (ValueError, AttributeError):
        return 0.0


def chung_jenkins(z, w, x, y):
    """Auger kinetic energy W-X-Y: E_W(Z) - (E_X(Z)+E_X(Z+1))/2 - (E_Y(Z)+E_Y(Z+1))/2."""
    ew = edge_ev(z, w)
    ex = (edge_ev(z, x) + edge_ev(z + 1, x)) / 2.0
    ey = (edge_ev(z, y) + edge_ev(z + 1, y)) / 2.0
    if ew <= 0.0 or edge_ev(z, x) <= 0.0 or edge_ev(z, y) <= 0.0:
        return None
    return ew - ex - ey


# Principal Auger groups by initial vacancy: the transitions summed into each
# group, and the subshells whose energies place the group.
AUGER_GROUPS = {
    "K": [("KL1L1", ["K_L1L1"], ("K", "L1", "L1")),
          ("KL1L23", ["K_L1L2", "K_L1L3"], ("K", "L1", "L3")),
          ("KL23L23", ["K_L2L2", "K_L2L3", "K_L3L3"], ("K", "L3", "L3"))],
    "L3": [("L3M23M23", ["L3_M2M2", "L3_M2M3", "L3_M3M3"], ("L3", "M3", "M3")),
           ("L3M23M45", ["L3_M2M4", "L3_M2M5", "L3_M3M4", "L3_M3M5"], ("L3", "M3", "M5")),
           ("L3M45M45", ["L3_M4M4", "L3_M4M5", "L3_M5M5"], ("L3", "M5", "M5"))],
    "M4": [("M4N23N23", ["M4_N2N2", "M4_N2N3", "M4_N3N3"], ("M4", "N3", "N3")),
           ("M4N23N45", ["M4_N2N4", "M4_N2N5", "M4_N3N4", "M4_N3N5"], ("M4", "N3", "N5")),
           ("M4N45N45", ["M4_N4N4", "M4_N4N5", "M4_N5N5"], ("M4", "N5", "N5"))],
}


def al_ka_shell(z):
    """The deepest of K, L3 and M4 that Al K-alpha ionises, or None."""
    for w in ("K", "L3", "M4"):
        e = edge_ev(z, w)
        if 0.0 < e < AL_KA:
            return w
    return None


def rated_groups(z, w):
    """The principal groups of initial vacancy w that xraylib's rates
    apportion, the strongest 100. Returns [(name, energy, intensity)]."""
    found = []
    for name, transitions, (a, b, c) in AUGER_GROUPS[w]:
        rate = sum(auger_rate(z, t) for t in transitions)
        energy = chung_jenkins(z, a, b, c)
        if rate > 0.0 and energy is not None and energy > 0.0:
            found.append((name, energy, rate))
    if not found:
        return []
    top = max(rate for _, _, rate in found)
    peaks = [(name, energy, int(round(100.0 * rate / top))) for name, energy, rate in found]
    return [p for p in peaks if p[2] > 0]


def auger_peaks(z):
    """The principal Auger group of the element: the deepest of K, L3 and M4
    that Al K-alpha can ionise. Returns [(name, energy, intensity)]."""
    w = al_ka_shell(z)
    return rated_groups(z, w) if w else []


# Initial vacancies of the electron-excited lines, and the edge a 3 keV beam
# still ionises; their lines then lie below the analyser's 3000 eV as well.
BEAM_SHELLS = ("K", "L3", "M5")
BEAM_EDGE = 3000.0  # eV
ANALYSER_TOP = 3000.0  # eV
# A shell whose Auger decays xraylib does not apportion is one line under the
# group's name: the quantification libraries list such groups by that name.
WHOLE_GROUP = {"K": "KLL", "L3": "LMM", "M5": "MNN"}


def principal_transition(z, w):
    """The transition that places a whole group: KL23L23 (KL1L1 without
    tabulated 2p levels), L3M23M23, and M5N45N45, or M5N67N67 once the 4f
    shell is full (ytterbium on)."""
    if w == "K":
        return ("K", "L3", "L3") if edge_ev(z, "L3") > 0.0 else ("K", "L1", "L1")
    if w == "L3":
        return ("L3", "M3", "M3")
    return ("M5", "N7", "N7") if z >= 70 else ("M5", "N5", "N5")


def shell_lines(z, w):
    if w in AUGER_GROUPS:
        rated = rated_groups(z, w)
        if rated:
            return rated
    energy = chung_jenkins(z, *principal_transition(z, w))
    if energy is None or energy <= 0.0:
        return []
    return [(WHOLE_GROUP[w], energy, 100)]


def beam_auger_peaks(z):
    """The lines an electron beam of 3 to 10 keV excites that the Al K-alpha
    rule leaves out: those of each of K, L3 and M5 whose edge lies below
    3 keV, other than the shell already listed. An element with none of them
    (radium on) takes its M5 lines when they lie below the analyser's top
    energy, since a 10 keV beam ionises that shell."""
    listed = al_ka_shell(z) if auger_peaks(z) else None
    shells = [w for w in BEAM_SHELLS if 0.0 < edge_ev(z, w) < BEAM_EDGE]
    peaks = []
    for w in shells:
        if w != listed:
            peaks += shell_lines(z, w)
    if not shells and not listed:
        peaks = [p for p in shell_lines(z, "M5") if p[1] < ANALYSER_TOP]
    return peaks


def photo_peaks(z, c1s_mg, c1s_al):
    peaks = []
    for shell, name in SHELLS:
        be = edge_ev(z, shell)
        if be <= 0.0 or be >= AL_KA:
            continue
        mg = cross_section_barns(z, shell, MG_KA) / c1s_mg if be < MG_KA else 0.0
        al = cross_section_barns(z, shell, AL_KA) / c1s_al
        if al <= 0.0:
            continue
        # Cooper-Zare: beta = 2 for s subshells in the dipole approximation;
        # other subshells are taken as isotropic (beta 0).
        beta = 2.0 if name.endswith("s") else 0.0
        peaks.append((name, be, mg, al, beta))
    return peaks


def main(out):
    c1s_mg = cross_section_barns(6, "K", MG_KA)
    c1s_al = cross_section_barns(6, "K", AL_KA)
    elements = []
    names = []

    def index(name):
        if name not in names:
            names.append(name)
        return names.index(name) + 1

    for _, name in SHELLS:
        index(name)
    for z in range(1, LAST_Z + 1):
        photo = photo_peaks(z, c1s_mg, c1s_al)
        if not photo:
            continue
        auger = auger_peaks(z)
        for a in auger:
            index(a[0])
        elements.append((z, photo, auger))
    # Appended after every line of the Al K-alpha rule, so that the region
    # numbers and each element's existing Auger peak indices stay as they were.
    for i, (z, photo, auger) in enumerate(elements):
        extra = beam_auger_peaks(z)
        for a in extra:
            index(a[0])
        elements[i] = (z, photo, auger + extra)

    for n in names:
        out.write(n + "\n")
    out.write("\n")
    out.write("Generated by tools/pklib/make_pklib.py from xraylib %s; see res/README.md.\n"
              % getattr(xrl, "__version__", "4"))
    out.write("Photoelectron lines: region, binding energy (eV), kinetic energy at Al K-alpha (eV),\n")
    out.write("cross-sections relative to C 1s (Mg K-alpha, Al K-alpha), asymmetry parameters (Mg, Al).\n")
    out.write("Auger lines: region, kinetic energy (eV), intensity relative to the strongest line of the same\n")
    out.write("initial vacancy.\n\n")
    for z, photo, auger in elements:
        strongest = max(range(len(photo)), key=lambda i: photo[i][3])
        out.write("[PHYSICAL INFORMATION]\n")
        out.write("%s %s %d %.4f\n" % (NAMES[z - 1], xrl.AtomicNumberToSymbol(z), z, xrl.AtomicWeight(z)))
        out.write("[PHOTO PEAK DATA]\n")
        for i, (name, be, mg, al, beta) in enumerate(photo):
            idx = index(name) * (-1 if i == strongest else 1)
            out.write("%d %.1f %.1f %.4g %.4g %.1f %.1f\n" % (idx, be, AL_KA - be, mg, al, beta, beta))
        out.write("[AUGER PEAK DATA]\n")
        for name, energy, intensity in auger:
            out.write("%d %.1f %d\n" % (index(name), energy, intensity))
        out.write("\n")


if __name__ == "__main__":
    main(sys.stdout)
