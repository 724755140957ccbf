#include "acquire/core/AesRegions.h"

#include "acquire/core/AcqError.h"
#include "acquire/core/LineChoice.h"
#include "acquire/core/RegionCheck.h"
#include "acquire/core/RegionClip.h"
#include "acquire/core/RegionList.h"
#include "data/Region.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
std::string Str(unsigned id, const char* fallback)
{
    std::string s;
    return TryLoadString(id, s) ? s : std::string(fallback);
}

// An item of a list string whose items each end with a line feed.
std::string Item(const std::string& items, size_t index)
{
    size_t begin = 0;
    for (size_t i = 0; i < index; ++i) {
        begin = items.find('\n', begin);
        if (begin == std::string::npos)
            return {};
        ++begin;
    }
    return items.substr(begin, items.find('\n', begin) - begin);
}

std::string RetardRatio(bool high)
{
    const std::string s = Item(Str(1091, "Low\nHigh\n"), high ? 1 : 0);
    return s.empty() ? std::string(high ? "High" : "Low") : s;
}

int32_t ReadMode(CArchive& ar)
{
    int32_t v = 0;
    ar >> v;
    if (v != 0 && v != 1)
        throw CArchiveException(CArchiveException::badIndex);
    return v;
}
} // namespace

CAesRgnModel::CAesRgnModel(bool cma)
{
    auto* wide = new CRegion;
    wide->m_csName = Str(1152, "Wide");
    wide->m_iRegion = -1;
    wide->m_dStart = 0.0;
    wide->m_dFinish = 1000.0;
    wide->m_dPeak = 500.0;
    wide->m_dBk1 = 0.0;
    wide->m_dBk2 = 1000.0;
    wide->m_dStep = 1.0;
    wide->m_dDwell = 100.0;
    wide->m_nScans = 1;
    wide->m_iRepeat = 1;
    wide->m_dAnalyserEnergy = 50.0;
    wide->m_csRetardRatio = RetardRatio(cma);
    m_WidescanRegions.push_back(wide);

    m_DefaultPk.m_eType = CPkLibPeak::Auger;
    m_DefaultPk.m_dPeak = 10.0;
    m_DefaultPk.m_dMgX = m_DefaultPk.m_dAlX = 1.0;
    m_DefaultPk.m_dMgAsymm = m_DefaultPk.m_dAlAsymm = 1.0;
    m_DefaultPk.m_nIntensity = 1;
}

CAesRgnModel::~CAesRgnModel()
{
    EmptyRegionLists();
}

void CAesRgnModel::EmptyRegionLists()
{
    const CRegion* wide = m_WidescanRegions.empty() ? nullptr : m_WidescanRegions.front();
    // A pasted wide-scan region can stand in the image list as well.
    FreeRegions(m_NarrowscanRegions, wide);
    FreeRegions(m_ImageRegions, wide);
    FreeRegions(m_WidescanRegions, nullptr);
}

void CAesRgnModel::ReplaceWide(CRegion* r)
{
    CRegion* old = GetWidescanRgn();
    if (r == old)
        return;
    for (auto* list : {&m_NarrowscanRegions, &m_ImageRegions})
        std::replace(list->begin(), list->end(), old, r);
    m_WidescanRegions.front() = r;
    delete old;
}

// ---- The list shown ----------------------------------------------------------

std::vector<CRegion*>* CAesRgnModel::ListFor(int expType)
{
    switch (expType) {
    case CAcquireAES::Widescan:
        return &m_WidescanRegions;
    case CAcquireAES::AugerImage:
        return &m_ImageRegions;
    case CAcquireAES::SEImage:
        return nullptr;
    default:
        return &m_NarrowscanRegions;
    }
}

void CAesRgnModel::OnExpTypeChange(int expType)
{
    m_iExpType = expType;
    m_pRgnList = ListFor(expType);
}

bool CAesRgnModel::PeakMode(int expType)
{
    return expType == CAcquireAES::FastProfile || expType == CAcquireAES::AugerImage;
}

bool CAesRgnModel::RepeatUsed(int expType)
{
    return expType == CAcquireAES::Profile || expType == CAcquireAES::FastProfile;
}

CRegion* CAesRgnModel::RegionAt(int col) const
{
    if (!m_pRgnList || col < 0 || col >= int(m_pRgnList->size()))
        return nullptr;
    return (*m_pRgnList)[size_t(col)];
}

bool CAesRgnModel::WidescanUsed() const
{
    return m_pRgnList &&
           std::find(m_pRgnList->begin(), m_pRgnList->end(), GetWidescanRgn()) != m_pRgnList->end();
}

bool CAesRgnModel::OffersWide(int col) const
{
    if (!m_pRgnList || m_pRgnList == &m_WidescanRegions)
        return false;
    return (!WidescanUsed() && m_iExpType != CAcquireAES::AugerImage) || IsWide(RegionAt(col));
}

// ---- Edits -------------------------------------------------------------------

void CAesRgnModel::SetRegionDefaults(CRegion& r)
{
    r.m_dStep = 0.1;
    r.m_dDwell = 100.0;
    r.m_nScans = 1;
    r.m_iRepeat = 1;
    r.m_csRetardRatio = RetardRatio(true);
    r.m_dAnalyserEnergy = 10.0;
}

void CAesRgnModel::ApplyPeak(CRegion& r, const CPkLibPeak& peak, bool peakMode) const
{
    PlaceLineWindow(r, peak.m_dPeak, peakMode);
}

bool CAesRgnModel::UpdateRegion(const CPkLibElement* element, int col, int peak)
{
    if (!m_pRgnList || m_pRgnList == &m_WidescanRegions || col < 0)
        return false;
    std::vector<CRegion*>& list = *m_pRgnList;
    CRegion* wide = GetWidescanRgn();
    const int n = int(list.size());
    const bool append = col >= n;

    if (!element) {
        if (WidescanUsed())
            return false; // it stands in the list once at most
        if (append)
            list.push_back(wide);
        else {
            delete list[size_t(col)];
            list[size_t(col)] = wide;
        }
        return append;
    }

    std::unique_ptr<CRegion> fresh;
    CRegion* r = append ? nullptr : list[size_t(col)];
    if (!r || r == wide) {
        fresh = std::make_unique<CRegion>();
        SetRegionDefaults(*fresh);
        fresh->m_dBk1 = fresh->m_dBk2 = 1; // both backgrounds measured
        r = fresh.get();
    }
    const int photo = element->GetNumPhotoPeaks();
    const int total = photo + element->GetNumAugerPeaks();
    int index = -1;
    if (peak >= photo && peak < total)
        index = peak;
    for (int j = element->GetNumAugerPeaks() - 1; index < 0 && j >= 0; --j)
        if (element->GetAugerPeaks()[size_t(j)].m_bDefaultPeak)
            index = photo + j;
    if (index < 0)
        index = photo;
    const CPkLibPeak* p = element->GetPeak(index);
    if (!p || p->m_eType != CPkLibPeak::Auger)
        p = &m_DefaultPk;
    r->m_csName = element->GetSymbol();
    r->m_csRegion = p->m_csRegion;
    r->m_iRegion = index;
    ApplyPeak(*r, *p, true);
    if (fresh) {
        if (append)
            list.push_back(fresh.release());
        else
            list[size_t(col)] = fresh.release();
    }
    return append;
}

bool CAesRgnModel::ChoosePeak(const CPkLib& lib, int col, int augerIndex, const std::string& text)
{
    CRegion* r = RegionAt(col);
    if (!r || IsWide(r) || augerIndex < 0)
        return false;
    const CPkLibElement* e = lib.GetElement(r->GetName());
    if (!e)
        return false;
    const CPkLibPeak* p = e->GetAugerPeak(augerIndex);
    r->m_iRegion = e->GetNumPhotoPeaks() + augerIndex;
    r->m_csRegion = text;
    ApplyPeak(*r, p ? *p : m_DefaultPk, PeakMode(m_iExpType));
    return true;
}

bool CAesRgnModel::ChoosePass(int col, const std::string& item)
{
    CRegion* r = RegionAt(col);
    if (!r || item.empty())
        return false;
    if (m_iAnalyserMode == 1)
        r->m_csRetardRatio = item;
    else
        r->m_dAnalyserEnergy = std::atof(item.c_str());
    return true;
}

bool CAesRgnModel::EditCell(int col, int row, std::string& text)
{
    CRegion* r = RegionAt(col);
    if (!r)
        return false;
    const size_t b = text.find_first_not_of(" \t\r\n");
    const std::string t =
        b == std::string::npos ? std::string() : text.substr(b, text.find_last_not_of(" \t\r\n") - b + 1);
    const double v = std::atof(t.c_str());
    const bool peak = PeakMode(m_iExpType);
    bool rewritten = false;
    auto energy = [&] {
        const double stored = TruncEnergy(v);
        if (stored != v) {
            text = FormatPrintf("%.3f", stored);
            rewritten = true;
        }
        return stored;
    };
    switch (row) {
    case Start:
        (peak ? r->m_dPeak : r->m_dStart) = energy();
        break;
    case Finish:
        (peak ? r->m_dBk1 : r->m_dFinish) = t.empty() ? 0.0 : energy();
        break;
    case Step:
        (peak ? r->m_dBk2 : r->m_dStep) = t.empty() ? 0.0 : energy();
        break;
    case Dwell:
        r->m_dDwell = v;
        break;
    case Scans:
        r->m_nScans = ParseCount(t);
        break;
    case Repeat:
        r->m_iRepeat = ParseCount(t);
        break;
    default:
        break;
    }
    return rewritten;
}

void CAesRgnModel::DeleteRegion(int col)
{
    CRegion* r = RegionAt(col);
    if (!r || m_pRgnList == &m_WidescanRegions)
        return;
    m_pRgnList->erase(m_pRgnList->begin() + col);
    if (!IsWide(r))
        delete r;
}

std::vector<uint8_t> CAesRgnModel::CopyRegion(int col, unsigned& format) const
{
    const CRegion* r = RegionAt(col);
    if (!r)
        return {};
    format = IsWide(r) ? RegionClip::CF_WDERGN : RegionClip::CF_NRWRGN;
    return RegionClip::Encode(*r);
}

bool CAesRgnModel::PasteRegion(int col, unsigned format, const uint8_t* data, size_t size)
{
    if (!m_pRgnList || m_pRgnList == &m_WidescanRegions || col < 0)
        return false;
    if (format != RegionClip::CF_WDERGN && format != RegionClip::CF_NRWRGN)
        return false;
    auto r = std::make_unique<CRegion>();
    if (!RegionClip::Decode(data, size, *r))
        return false;
    std::vector<CRegion*>& list = *m_pRgnList;
    const auto at = list.begin() + std::min<ptrdiff_t>(col, ptrdiff_t(list.size()));
    CRegion* pasted = r.get();
    list.insert(at, r.release());
    if (format == RegionClip::CF_WDERGN) {
        // The old wide-scan region leaves the list shown, so the pasted one
        // takes its column; any other list that held it takes the new one.
        list.erase(std::remove(list.begin(), list.end(), GetWidescanRgn()), list.end());
        ReplaceWide(pasted);
    }
    return true;
}

bool CAesRgnModel::CanPaste(int col, bool hasNarrow, bool hasWide) const
{
    if (!m_pRgnList || m_pRgnList == &m_WidescanRegions || col < 0 || col > NumRegions())
        return false;
    return hasNarrow || (hasWide && (!WidescanUsed() || IsWide(RegionAt(col))));
}

bool CAesRgnModel::CanCut(int col) const
{
    return RegionAt(col) && m_pRgnList != &m_WidescanRegions;
}

// ---- Start, files, documents -------------------------------------------------

void CAesRgnModel::ErrorCheck(int expType) const
{
    if (expType == CAcquireAES::SEImage)
        return;
    const auto* list = const_cast<CAesRgnModel*>(this)->ListFor(expType);
    if (!list || list->empty())
        ThrowAcq(2192);
    for (const CRegion* r : *list)
        CheckRegion(*r, PeakMode(expType), RepeatUsed(expType));
}

void CAesRgnModel::Store(CArchive& ar) const
{
    ar << int32_t(m_iWidescanMode) << int32_t(m_iNarrowscanMode) << int32_t(m_iAnalyserMode);
    for (const auto* list : {&m_WidescanRegions, &m_NarrowscanRegions, &m_ImageRegions}) {
        ar << int32_t(list->size());
        for (const CRegion* r : *list)
            r->Write(ar);
    }
}

void CAesRgnModel::Load(CArchive& ar)
{
    const int32_t wideMode = ReadMode(ar);
    const int32_t narrowMode = ReadMode(ar);
    const int32_t analyser = ReadMode(ar);
    std::vector<std::unique_ptr<CRegion>> read[3];
    for (auto& list : read) {
        const int32_t n = ReadCount(ar, RegionRecordMin);
        for (int32_t i = 0; i < n; ++i) {
            auto r = std::make_unique<CRegion>();
            r->Read(ar);
            list.push_back(std::move(r));
        }
    }
    // The wide-scan list always holds exactly the wide-scan region.
    if (read[0].size() != 1)
        throw CArchiveException(CArchiveException::badIndex);

    EmptyRegionLists();
    m_iWidescanMode = wideMode;
    m_iNarrowscanMode = narrowMode;
    m_iAnalyserMode = analyser;
    for (auto [from, to] : {std::pair{&read[0], &m_WidescanRegions},
                            std::pair{&read[1], &m_NarrowscanRegions}, std::pair{&read[2], &m_ImageRegions}})
        for (auto& r : *from)
            to->push_back(r.release());
}

void CAesRgnModel::LoadFromDocument(const CVeltraneDoc& doc, int expType)
{
    if (expType == CAcquireAES::SEImage)
        return;
    const CStagePosn* posn = doc.GetStagePosn(0);
    if (!posn)
        return;
    if (expType == CAcquireAES::Widescan)
        m_iWidescanMode = posn->GetScanMode() == CStagePosn::Average ? 0 : 1;
    else
        m_iNarrowscanMode = posn->GetScanMode() == CStagePosn::Across ? 0 : 1;
    m_iAnalyserMode = posn->GetAnalyserMode() == CStagePosn::CAE ? 0 : 1;

    const std::string wideName = Str(1152, "Wide");
    if (expType == CAcquireAES::Widescan) {
        if (posn->GetNumRgns() > 0)
            ReplaceWide(PageRegion(*posn->GetRegion(0)).release());
        return;
    }
    std::vector<CRegion*>& list = *ListFor(expType);
    FreeRegions(list, GetWidescanRgn());
    bool wideTaken = false;
    for (int i = 0; i < posn->GetNumRgns(); ++i) {
        const CRegion* from = posn->GetRegion(i);
        if (!from)
            continue;
        auto copy = PageRegion(*from);
        if (!wideTaken && copy->GetName() == wideName) {
            // Shared again, as it was when the document was acquired.
            ReplaceWide(copy.get());
            wideTaken = true;
        }
        list.push_back(copy.release());
    }
}
