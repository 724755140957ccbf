#pragma once
// The clipboard records of the AES regions table: one region as the region
// record writes it (the settings file's record: no header, no length), under
// CF_WDERGN for the wide-scan region and CF_NRWRGN for any other.

#include <cstddef>
#include <cstdint>
#include <vector>

class CRegion;

namespace RegionClip {

constexpr unsigned CF_WDERGN = 0x200;
constexpr unsigned CF_NRWRGN = 0x201;
// A reader takes at most this many bytes of a clipboard block.
constexpr size_t ReadCap = 512;

std::vector<uint8_t> Encode(const CRegion& region);

// Reads a region from the first ReadCap bytes of a block. False, with out
// unchanged, when they do not hold a whole region record; nothing is read
// past the bytes given.
bool Decode(const uint8_t* data, size_t size, CRegion& out);

} // namespace RegionClip
