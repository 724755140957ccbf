#pragma once
// A demonstration data file in the program's block format: an XPS depth
// profile (Al K-alpha) of a thin oxide on silicon under carbon
// contamination, regions C 1s, O 1s and Si 2p, five etch levels, with
// realistic peak shapes, backgrounds and counting noise.

#include <cstdint>
#include <vector>

std::vector<uint8_t> MakeDemoFile(int nLevels = 5);

// The same sample measured as a fast profile: the intensities of C 1s, O 1s
// and Si 2p (peak and two backgrounds each) after every etch step.
std::vector<uint8_t> MakeFastProfileFile(int nLevels = 20);

// AES images of a copper grid on silicon: an elemental map (Cu LMM, n x n
// corrected intensities), a secondary-electron image (n x n bytes) and a
// line scan (Cu LMM across the grid, n points).
std::vector<uint8_t> MakeMapFile(int n = 256);
std::vector<uint8_t> MakeSEImageFile(int n = 256);
std::vector<uint8_t> MakeLineScanFile(int n = 256);

// The depth-profile sample measured by AES (hemispherical analyser, direct
// mode N(E)): regions C KLL, O KLL and Si KLL on kinetic energy, their peak
// heights following the same etch story.
std::vector<uint8_t> MakeAesDemoFile(int nLevels = 5);
