#pragma once
// Quantification of a document: an intensity per region and level per unit
// dwell time, divided by the region's sensitivity factor and normalised to
// 100 % over the selected regions of each position and level; the factor
// lookups and the text export. The state itself is the document's CQuantify.

#include "data/Quantify.h"

#include <functional>
#include <string>

class CPkLib;
class CQuantifyAESLib;
class CSpecRgn;
class CVeltraneDoc;

namespace Quant {

enum ECalc
{
    PeakHeight = 0,
    PeakToPeak = 1,
    PeakArea = 2,
};

// The intensity of one curve of n points. For the area the limits are put in
// order and kept on the curve; step is the energy step, either sign.
double Intensity(const double* y, int n, int calc, int lower, int upper, double step);

// The record of a region: element and transition trimmed, label "element
// transition", selected, the default area limits, a result per level.
CQuantifyRgn MakeRecord(const CSpecRgn& rgn, double rsf, int index);
// A list per position, a record per spectrum region, factors from rsf.
void MakeLists(CQuantify& q, const CVeltraneDoc& doc, const std::function<double(const CSpecRgn&)>& rsf);

// Results of every record of every position, then (quantify flag set) the
// division by the factors and the normalisation of each level to 100 %.
void Calculate(CQuantify& q, const CVeltraneDoc& doc);

// The photoelectron factor of a transition: the peak library's cross-section
// of the element's photoelectron peak of that name; 0.0 for an Auger peak of
// the element (no photoelectron factor applies); for a level named without
// its spin-orbit part ("3d") the summed factors of the library's lines of it
// ("3d3/2", "3d5/2"); 1.0 when the library has neither the element nor the peak.
double PhotoRSF(const CPkLib& lib, const std::string& element, const std::string& transition, int sourceType,
                double photonEnergy);
// The Auger factor at the beam energy in kV (1.0 when the library has no entry).
double AugerRSF(const CQuantifyAESLib& lib, const std::string& element, const std::string& transition,
                double beamKV);
// After a change of beam energy: the factors of the list's records that the
// library has, scaled with GetRSF's tests (0.0, never NaN, where the scaling
// is undefined); others keep theirs.
void RecalcRSF(CQuantify::RgnList& list, const CQuantifyAESLib& lib, double beamKV);

// The shipped library that suits the experiment's detector word, by index
// (0 "aes_hsa_diff.dat", 1 "aes_hsa_dir.dat", 2 "aes_cma_diff.dat").
int DefaultAugerLibrary(int detector);
const char* AugerLibraryName(int index);
// How the Auger page lists a library file of the user's: the file name alone
// for a file in docFolder (with its trailing separator, as
// CUtility::GetFilePath gives it), else the path shortened to at most maxLen
// characters, keeping its last folders and the file name after "...".
std::string LibraryDisplayName(const std::string& path, const std::string& docFolder, size_t maxLen = 30);

// The export of one position: " Level" and the labels, then a line per level
// of the first record's region; CR LF line ends, numbers in the C form.
std::string ExportText(const CQuantify::RgnList& list);
// Writes it through the atomic writer; throws CFileException.
void WriteExport(const std::string& path, const CQuantify::RgnList& list);

} // namespace Quant
