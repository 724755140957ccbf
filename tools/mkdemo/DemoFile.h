#pragma once
// A demonstration data file in the program's block format: an XPS depth
// profile (Al K-alpha) of a thin oxide on silicon under carbon
// contamination, regions C 1s, O 1s and Si 2p, five etch levels, with
// realistic peak shapes, backgrounds and counting noise.

#include <cstdint>
#include <vector>

std::vector<uint8_t> MakeDemoFile(int nLevels = 5);

// The same sample as an Auger depth profile (hemispherical analyser, direct
// mode N(E)): regions C KLL, O KLL and Si KLL on kinetic energy, their peak
// heights following the same etch story.
std::vector<uint8_t> MakeAesDemoFile(int nLevels = 5);
