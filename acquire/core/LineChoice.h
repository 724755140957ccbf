#pragma once
// Which line of an element a new acquisition region measures, and the energy
// window it gets: the regions pages make a region from a library line this way.

class CPkLibElement;
class CPkLibPeak;
class CRegion;

// The kinetic energy, eV, of line p excited by photons of that energy: a
// photoelectron line's library energy is a binding energy, an Auger line's a
// kinetic energy.
double LineKineticEnergy(const CPkLibPeak& p, double photon);

// Whether the analyser can measure line p with that photon energy: its
// kinetic energy lies above 0 and at most at the instrument's largest energy.
bool LineReachable(const CPkLibPeak& p, double photon);

// The line proposed when element e is chosen for an XPS region (anode 0 Mg,
// 1 Al, 2 any other, with that photon energy): the library's default line
// when the source reaches it; else the photoelectron line that the source
// reaches with the largest cross-section for the anode (for another source
// the anode nearer in energy); else, with no line in reach, the default line.
// The default line is the last one marked default, else line 0.
int ProposedXpsLine(const CPkLibElement& e, int anode, double photon);

// Peak and window of a region for a line at kinetic energy ke: start and
// finish 10 eV either side, kept within 0 and the largest energy when the
// line itself lies there. Background 1 (when set) takes the finish; when
// bk2 is true, background 2 (when set) takes the start, though never 0, which
// would mean no background at all.
void PlaceLineWindow(CRegion& r, double ke, bool bk2);
