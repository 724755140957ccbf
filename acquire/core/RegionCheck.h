#pragma once
// The tests one acquisition region must pass before an acquisition starts,
// shared by both regions pages: instrument energy, step and point limits.

class CRegion;

// Throws CAcqException with the first failing test. peakMode: the peak and
// background energies are tested, else the spectrum range; testRepeat: the
// repeat count must be at least 1.
void CheckRegion(const CRegion& region, bool peakMode, bool testRepeat);
