#pragma once
// A demonstration data file in the program's block format: an XPS depth
// profile (Al K-alpha) of a thin oxide on silicon under carbon
// contamination, regions C 1s, O 1s and Si 2p, five etch levels, with
// realistic peak shapes, backgrounds and counting noise.

#include <cstdint>
#include <vector>

std::vector<uint8_t> MakeDemoFile(int nLevels = 5);
