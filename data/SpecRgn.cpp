#include "data/SpecRgn.h"

#include "data/Extremes.h"
#include "data/Header.h"
#include "data/Update.h"
#include "data/Utility.h"
#include "platform/Archive.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void CSpecRgn::Create(const CRegion* pRegion, double dOffset, int nCurves, int bIntensity)
{
    CRegion::operator=(*pRegion);
    m_dOffset = dOffset;
    if (bIntensity) {
        m_nx = m_ny = 1;
        m_nz = 1 + (m_dBk1 != CUtility::Infinity ? 1 : 0) + (m_dBk2 != CUtility::Infinity ? 1 : 0);
    } else {
        // Energies entered in tenths of an eV (or turned from binding to
        // kinetic) rarely span an exact multiple of the step in binary: a
        // quotient a rounding error short of a whole number still counts it.
        const double steps = std::fabs((m_dFinish - m_dStart) / m_dStep);
        const double whole = std::round(steps);
        m_nx = std::max(1, CUtility::ToInt((std::fabs(steps - whole) < 1e-6 ? whole : steps) + 1.0));
        m_ny = m_nz = 1;
    }
    m_caTraces.clear();
    for (int i = 0; i < nCurves; ++i) {
        m_caTraces.push_back(std::make_unique<CTrace>());
        m_caTraces.back()->Create(GetNumValues());
    }
}

void CSpecRgn::UpdateData(const SAcqUpdate* pUpdate, bool bAveraging)
{
    CTrace* trace = GetTrace(pUpdate->m_iTrace);
    if (trace == nullptr || pUpdate->m_pbData == nullptr)
        return;
    const int first = pUpdate->m_iStart - 1;
    const int last = pUpdate->m_iEnd - 1;
    if (first < 0 || last < first || last >= trace->GetNumPoints())
        return;
    std::vector<int> values(static_cast<size_t>(last - first + 1));
    if (pUpdate->m_iType == WMAPP_ACQ_INTENSITYDATA) {
        // The block always holds peak, first and second background (-1 when not
        // measured). With only the second background in use, the curve's second
        // value is that background, not the unmeasured first.
        int block[3];
        std::memcpy(block, pUpdate->m_pbData, sizeof block);
        if (values.size() >= 2 && m_dBk1 == CUtility::Infinity && m_dBk2 != CUtility::Infinity)
            block[1] = block[2];
        std::copy_n(block, std::min<size_t>(values.size(), 3), values.begin());
    } else {
        std::memcpy(values.data(), pUpdate->m_pbData, values.size() * sizeof(int));
    }
    trace->UpdateData(values.data(), first, last, pUpdate->m_iScan, bAveraging);
}

CArchive& CSpecRgn::operator>>(CArchive& ar) const
{
    const uint64_t lengthPos = Block::BeginBlock(ar, BlockID, FileVersion);
    Write(ar, 0);
    ar << m_dOffset << static_cast<int32_t>(m_caTraces.size());
    for (const auto& trace : m_caTraces)
        trace->Write(ar, 0);
    Block::EndBlock(ar, lengthPos);
    return ar;
}

CArchive& CSpecRgn::operator<<(CArchive& ar)
{
    Read(ar, UINT64_MAX);
    return ar;
}

void CSpecRgn::Read(CArchive& ar, uint64_t limit)
{
    const Block::SHead head = Block::ReadHead(ar, limit);
    CRegion::Read(ar, 0, head.end);
    int32_t nCurves = 0;
    ar >> m_dOffset >> nCurves;
    // A stored curve takes at least its 20-byte head.
    Block::CheckCount(ar, nCurves, 20, head.end);
    m_caTraces.clear();
    m_caTraces.reserve(static_cast<size_t>(nCurves));
    for (int i = 0; i < nCurves; ++i) {
        m_caTraces.push_back(std::make_unique<CTrace>());
        m_caTraces.back()->Read(ar, 0, head.end);
    }
    Block::MoveToEnd(ar, head);
}

CTrace* CSpecRgn::GetTrace(int i)
{
    return i >= 0 && i < GetNumTraces() ? m_caTraces[static_cast<size_t>(i)].get() : nullptr;
}

const CTrace* CSpecRgn::GetTrace(int i) const
{
    return i >= 0 && i < GetNumTraces() ? m_caTraces[static_cast<size_t>(i)].get() : nullptr;
}

double CSpecRgn::GetMaxValue() const
{
    return MaxValueOf(m_caTraces, &CTrace::GetMaxValue);
}

double CSpecRgn::GetMinValue() const
{
    return MinValueOf(m_caTraces, &CTrace::GetMinValue);
}
