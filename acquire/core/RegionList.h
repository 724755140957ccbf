#pragma once
// What the XPS and AES regions pages share about their region lists: the
// energy resolution of typed values, counts typed into cells, the region
// records of settings files and regions taken from a document.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CArchive;
class CRegion;

// Energies kept to the instrument's resolution, 0.001 eV; the small
// addition keeps values such as 1.005, which are just below in binary.
double TruncEnergy(double v);

// A count typed into a cell: its leading number, held to what an int32 takes.
int32_t ParseCount(const std::string& text);

// A count of the file that must fit what is left of it, each element at least size bytes.
int32_t ReadCount(CArchive& ar, size_t size);

// The smallest region record: three one-byte lengths, eight doubles, six ints.
constexpr size_t RegionRecordMin = 3 + 8 * sizeof(double) + 6 * sizeof(int32_t);

// Deletes every region of list but keep, which another list owns; empties list.
void FreeRegions(std::vector<CRegion*>& list, const CRegion* keep);

// A document's region as the pages hold it: a background the document marks
// with +infinity is "none" (0) on the pages.
std::unique_ptr<CRegion> PageRegion(const CRegion& r);
