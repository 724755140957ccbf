#pragma once
// The tests one acquisition region must pass before an acquisition starts,
// shared by both regions pages: instrument energy, step and point limits.

#include <vector>

class CRegion;

// Throws CAcqException with the first failing test. peakMode: the peak and
// background energies are tested, else the spectrum range; testRepeat: the
// repeat count must be at least 1.
void CheckRegion(const CRegion& region, bool peakMode, bool testRepeat);

// A region is measured at every repeat-th level only: one that repeats less
// often than the position has levels would never be measured, and the run
// would end as if it had been. Throws 2111 for the first such region.
void CheckRepeats(const std::vector<CRegion*>& regions, long long levels);
