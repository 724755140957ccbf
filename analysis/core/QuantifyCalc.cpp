#include "analysis/core/QuantifyCalc.h"

#include "analysis/core/QuantifyAESLib.h"
#include "data/Region.h"
#include "data/Source.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/Utility.h"
#include "data/VeltraneDoc.h"
#include "data/formats/PkLib.h"
#include "platform/Archive.h"
#include "platform/AtomicFileWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace Quant {

namespace {

std::string Trim(const std::string& s)
{
    const char* blank = " \t\r\n\v\f";
    const size_t a = s.find_first_not_of(blank);
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(blank) - a + 1);
}

void Pad(std::string& out, const std::string& s, size_t width)
{
    if (s.size() < width)
        out.append(width - s.size(), ' ');
    out += s;
}

// "%f" in the C locale, whatever locale the process runs in.
std::string Fixed6(double v)
{
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    if (r.ec != std::errc())
        return std::isnan(v) ? "nan" : (v < 0 ? "-inf" : "inf");
    return std::string(buf, r.ptr);
}

// Whether a library line such as "3d5/2" is one line of the level "3d".
bool IsDoubletLine(const std::string& line, const std::string& level)
{
    if (level.empty() || line.size() < level.size() + 3 || line.compare(0, level.size(), level) != 0)
        return false;
    const std::string j = line.substr(level.size());
    if (j.compare(j.size() - 2, 2, "/2") != 0)
        return false;
    return std::all_of(j.begin(), j.end() - 2, [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

double Intensity(const double* y, int n, int calc, int lower, int upper, double step)
{
    if (!y || n <= 0)
        return 0.0;
    // A point that is no finite number (another program's "nan" or "inf" for a
    // missing count) is left out: it would otherwise spoil the region's result
    // and, through the level's total, every other region's percentage.
    auto usable = [](double v) { return std::isfinite(v); };
    switch (calc) {
    case PeakToPeak: {
        bool any = false;
        double hi = 0.0, lo = 0.0;
        for (int i = 0; i < n; ++i) {
            if (!usable(y[i]))
                continue;
            if (!any) {
                hi = lo = y[i];
                any = true;
            } else if (y[i] > hi) {
                hi = y[i];
            } else if (y[i] < lo) {
                lo = y[i];
            }
        }
        return hi - lo;
    }
    case PeakArea: {
        // Stored limits may come from a file or an older region shape.
        const int a = std::clamp(std::min(lower, upper), 0, n - 1);
        const int b = std::clamp(std::max(lower, upper), 0, n - 1);
        double sum = 0.0;
        for (int i = a; i <= b; ++i)
            if (usable(y[i]))
                sum += y[i];
        const double ends = (usable(y[a]) ? y[a] : 0.0) + (usable(y[b]) ? y[b] : 0.0);
        // A region whose energies fall point by point (a file on a rising
        // binding-energy scale) has a negative step; its area is no less positive.
        return (sum - ends / 2.0) * std::fabs(step);
    }
    default: {
        bool any = false;
        double hi = 0.0;
        for (int i = 0; i < n; ++i)
            if (usable(y[i]) && (!any || y[i] > hi)) {
                hi = y[i];
                any = true;
            }
        return hi;
    }
    }
}

CQuantifyRgn MakeRecord(const CSpecRgn& rgn, double rsf, int index)
{
    CQuantifyRgn r;
    r.m_csElement = Trim(rgn.GetName());
    r.m_csTransition = Trim(rgn.GetRegion());
    r.m_csLabel = r.m_csElement + " " + r.m_csTransition;
    r.m_bSelected = 1;
    r.m_dRSF = rsf;
    CQuantifyRgn::DefaultLimits(rgn.GetNumPoints(), r.m_iLower, r.m_iUpper);
    r.m_pdResults.assign(size_t(std::max(rgn.GetNumTraces(), 0)), 0.0);
    r.m_iRegion = index;
    return r;
}

void MakeLists(CQuantify& q, const CVeltraneDoc& doc, const std::function<double(const CSpecRgn&)>& rsf)
{
    q.m_RgnLists.assign(size_t(doc.GetNumStagePosns()), {});
    for (int p = 0; p < doc.GetNumStagePosns(); ++p)
        if (const CStagePosn* posn = doc.GetStagePosn(p))
            for (int r = 0; r < posn->GetNumSpecRgns(); ++r)
                if (const CSpecRgn* rgn = posn->GetSpecRgn(r))
                    q.m_RgnLists[size_t(p)].push_back(MakeRecord(*rgn, rsf(*rgn), r));
}

void Calculate(CQuantify& q, const CVeltraneDoc& doc)
{
    const int calc = q.m_Display.m_iCalc;
    for (size_t p = 0; p < q.m_RgnLists.size(); ++p) {
        const CStagePosn* posn = doc.GetStagePosn(int(p));
        CQuantify::RgnList& list = q.m_RgnLists[p];
        for (size_t r = 0; r < list.size(); ++r) {
            CQuantifyRgn& rec = list[r];
            const CSpecRgn* rgn = posn ? posn->GetSpecRgn(int(r)) : nullptr;
            for (size_t k = 0; k < rec.m_pdResults.size(); ++k) {
                const CTrace* trace = rgn ? rgn->GetTrace(int(k)) : nullptr;
                double v = trace ? Intensity(trace->GetData(), trace->GetNumPoints(), calc, rec.m_iLower,
                                             rec.m_iUpper, rgn->GetStep())
                                 : 0.0;
                // Without a dwell time there is nothing to divide by; an
                // infinite result would spoil the whole level's percentages.
                if (rgn && rgn->GetDwell() > 0.0)
                    v /= rgn->GetDwell();
                rec.m_pdResults[k] = v;
            }
        }
        if (!q.m_Display.m_bQuantify)
            continue;
        // Each record's own level count: a level a record does not have is no
        // part of that record's normalisation.
        size_t levels = 0;
        for (const CQuantifyRgn& rec : list)
            levels = std::max(levels, rec.m_pdResults.size());
        for (size_t k = 0; k < levels; ++k) {
            double total = 0.0;
            for (CQuantifyRgn& rec : list) {
                if (!rec.m_bSelected || k >= rec.m_pdResults.size())
                    continue;
                double& v = rec.m_pdResults[k];
                v = rec.m_dRSF == 0.0 ? 0.0 : v / rec.m_dRSF;
                total += std::fabs(v);
            }
            if (total == 0.0)
                continue;
            for (CQuantifyRgn& rec : list)
                if (rec.m_bSelected && k < rec.m_pdResults.size())
                    rec.m_pdResults[k] /= total / 100.0;
        }
    }
}

double PhotoRSF(const CPkLib& lib, const std::string& element, const std::string& transition, int sourceType,
                double photonEnergy)
{
    const CPkLibElement* el = lib.GetElement(element);
    if (!el)
        return 1.0;
    // Looked up by name among the photoelectron peaks only: the stored region
    // index numbers an Auger peak within the Auger list, and taken as a
    // photoelectron index it would give the factor of an unrelated peak.
    const auto& photo = el->GetPhotoPeaks();
    for (size_t i = 0; i < photo.size(); ++i)
        if (photo[i].m_csRegion == transition)
            return lib.CalculateRSF(el, int(i), sourceType, photonEnergy);
    for (const CPkLibPeak& pk : el->GetAugerPeaks())
        if (pk.m_csRegion == transition)
            return 0.0;
    // A region named by its level alone ("2p", "3d", "4f", as other programs
    // write them) holds both lines of the doublet, which the library lists
    // one by one ("2p1/2", "2p3/2"): its factor is the sum of theirs. A pair
    // at one energy already counts as one peak with the whole level's factor.
    if (sourceType != 10 && sourceType != 18)
        return 1.0;
    double sum = 0.0;
    const CPkLibPeak* counted = nullptr;
    for (size_t i = 0; i < photo.size(); ++i) {
        if (!IsDoubletLine(photo[i].m_csRegion, transition))
            continue;
        // A line the source cannot excite has no factor, nor has its level.
        if (!(photonEnergy - photo[i].m_dPeak > 0.0))
            return 1.0;
        if (counted && counted->m_dPeak == photo[i].m_dPeak)
            continue;
        sum += lib.CalculateRSF(el, int(i), sourceType, photonEnergy);
        counted = &photo[i];
    }
    return counted ? sum : 1.0;
}

double AugerRSF(const CQuantifyAESLib& lib, const std::string& element, const std::string& transition,
                double beamKV)
{
    return lib.GetRSF(element, transition, beamKV * 1000.0);
}

void RecalcRSF(CQuantify::RgnList& list, const CQuantifyAESLib& lib, double beamKV)
{
    for (CQuantifyRgn& rec : list)
        if (lib.FindPeak(rec.m_csElement, rec.m_csTransition))
            rec.m_dRSF = AugerRSF(lib, rec.m_csElement, rec.m_csTransition, beamKV);
}

int DefaultAugerLibrary(int detector)
{
    if (!(detector & 4))
        return 2;
    return (detector & 1) ? 0 : 1;
}

const char* AugerLibraryName(int index)
{
    static const char* const names[] = {"aes_hsa_diff.dat", "aes_hsa_dir.dat", "aes_cma_diff.dat"};
    return index >= 0 && index < 3 ? names[index] : "";
}

std::string LibraryDisplayName(const std::string& path, const std::string& docFolder, size_t maxLen)
{
    maxLen = std::max<size_t>(maxLen, 4);
    const std::string folder = CUtility::GetFilePath(path);
    if (!docFolder.empty() && folder == docFolder)
        return path.substr(folder.size());
    if (path.size() <= maxLen)
        return path;
    // The longest tail from a separator on that fits after the ellipsis.
    for (size_t at = path.find_first_of("\\/", 1); at != std::string::npos;
         at = path.find_first_of("\\/", at + 1))
        if (3 + path.size() - at <= maxLen)
            return "..." + path.substr(at);
    return "..." + path.substr(path.size() - (maxLen - 3));
}

std::string ExportText(const CQuantify::RgnList& list)
{
    std::string out = " Level";
    for (const CQuantifyRgn& rec : list)
        Pad(out, rec.m_csLabel, 12);
    out += "\r\n";
    const size_t levels = list.empty() ? 0 : list.front().m_pdResults.size();
    for (size_t i = 0; i < levels; ++i) {
        Pad(out, std::to_string(i), 6);
        for (const CQuantifyRgn& rec : list) {
            const std::string value = i < rec.m_pdResults.size() ? Fixed6(rec.m_pdResults[i]) : std::string();
            // An intensity of 10000 or more fills the column: without a blank
            // it would run into the number before it.
            if (value.size() >= 12)
                out += ' ';
            Pad(out, value, 12);
        }
        out += "\r\n";
    }
    return out;
}

void WriteExport(const std::string& path, const CQuantify::RgnList& list)
{
    const std::string text = ExportText(list);
    CAtomicFileWriter writer(path);
    writer.File().Write(text.data(), text.size());
    writer.Commit();
}

} // namespace Quant
