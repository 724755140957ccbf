#include "data/Quantify.h"

#include "data/Header.h"
#include "data/Region.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"

#include <algorithm>

namespace {

constexpr unsigned IDS_QUANTIFY_BLOCK_SKIPPED = 2385;

} // namespace

void CQuantifyRgn::DefaultLimits(int nPoints, int32_t& lower, int32_t& upper)
{
    const int n = std::max(nPoints, 0);
    lower = n / 10;
    upper = n - std::max(1, n / 10);
}

void CQuantify::operator>>(CArchive& ar) const
{
    if (!m_bValid)
        return;
    const uint64_t at = Block::BeginBlock(ar, BlockID, FileVersion);
    ar << static_cast<int32_t>(m_RgnLists.size());
    for (const RgnList& list : m_RgnLists) {
        ar << static_cast<int32_t>(list.size());
        for (const CQuantifyRgn& r : list) {
            ar << r.m_csLabel << r.m_csElement << r.m_csTransition;
            ar << r.m_bSelected << r.m_iSpare << r.m_iRegion << r.m_iLower << r.m_iUpper << r.m_dRSF;
            ar.WriteDoubles(r.m_pdResults.data(), r.m_pdResults.size());
        }
    }
    ar << m_bAES;
    if (m_bAES) {
        ar << RecordVersion << m_Auger.m_iFile;
        if (m_Auger.m_iFile < 0)
            ar << m_Auger.m_csFile;
        ar << m_Auger.m_dEnergy;
    }
    ar << RecordVersion << m_Display.m_iCalc << m_Display.m_iDispMode << m_Display.m_bQuantify;
    Block::EndBlock(ar, at);
}

namespace {

// Parses block content with the level counts of the document's regions
// (levels[p][r]); false when the content does not have exactly that shape.
bool Parse(const uint8_t* data, size_t size, const std::vector<std::vector<int>>& levels, CQuantify& q)
{
    CMemFile file(data, size, "block 196");
    CArchive ar(&file, CArchive::load);
    try {
        int32_t nPosns = 0;
        ar >> nPosns;
        if (nPosns < 0 || size_t(nPosns) != levels.size())
            return false;
        std::vector<CQuantify::RgnList> lists(levels.size());
        for (size_t p = 0; p < levels.size(); ++p) {
            int32_t nRgns = 0;
            ar >> nRgns;
            if (nRgns < 0 || size_t(nRgns) != levels[p].size())
                return false;
            lists[p].resize(size_t(nRgns));
            for (size_t r = 0; r < lists[p].size(); ++r) {
                CQuantifyRgn& rec = lists[p][r];
                ar >> rec.m_csLabel >> rec.m_csElement >> rec.m_csTransition;
                ar >> rec.m_bSelected >> rec.m_iSpare >> rec.m_iRegion >> rec.m_iLower >> rec.m_iUpper >>
                    rec.m_dRSF;
                const int n = levels[p][r];
                ar.CheckCount(n, sizeof(double));
                rec.m_pdResults.resize(size_t(n));
                ar.ReadDoubles(rec.m_pdResults.data(), rec.m_pdResults.size());
            }
        }
        int32_t aes = 0;
        ar >> aes;
        CQuantify::SAuger auger;
        if (aes) {
            int32_t version = 0;
            ar >> version >> auger.m_iFile;
            if (version != CQuantify::RecordVersion || auger.m_iFile < -1 || auger.m_iFile > 2)
                return false;
            if (auger.m_iFile < 0)
                ar >> auger.m_csFile;
            ar >> auger.m_dEnergy;
        }
        CQuantify::SDisplay disp;
        int32_t version = 0;
        ar >> version >> disp.m_iCalc >> disp.m_iDispMode >> disp.m_bQuantify;
        if (version != CQuantify::RecordVersion || disp.m_iCalc < 0 || disp.m_iCalc > 2 ||
            disp.m_iDispMode < 0 || disp.m_iDispMode > 1)
            return false;
        if (ar.BytesLeft() != 0)
            return false;
        q.m_RgnLists = std::move(lists);
        q.m_bAES = aes ? 1 : 0;
        q.m_Auger = auger;
        q.m_Display = disp;
        q.m_bValid = true;
        return true;
    } catch (const CArchiveException&) {
        return false;
    }
}

std::vector<std::vector<int>> LevelCounts(const CVeltraneDoc& doc)
{
    std::vector<std::vector<int>> levels(size_t(doc.GetNumStagePosns()));
    for (int p = 0; p < doc.GetNumStagePosns(); ++p)
        if (const CStagePosn* posn = doc.GetStagePosn(p))
            for (int r = 0; r < posn->GetNumSpecRgns(); ++r) {
                const CSpecRgn* rgn = posn->GetSpecRgn(r);
                levels[size_t(p)].push_back(rgn ? rgn->GetNumTraces() : 0);
            }
    return levels;
}

} // namespace

void CQuantify::operator<<(CArchive& ar)
{
    const Block::SHead head = Block::ReadHead(ar);
    std::vector<uint8_t> bytes(static_cast<size_t>(head.length));
    if (!bytes.empty())
        ar.Read(bytes.data(), bytes.size());
    Block::MoveToEnd(ar, head);

    Clear();
    // The block is written after the positions, so the document it describes
    // is complete by now; without one there is nothing to check it against.
    const auto* doc = dynamic_cast<const CVeltraneDoc*>(ar.m_pDocument);
    if (head.version != FileVersion || !doc || !Parse(bytes.data(), bytes.size(), LevelCounts(*doc), *this))
        m_bRejected = true;
}

bool CQuantify::Matches(const CVeltraneDoc& doc) const
{
    const auto levels = LevelCounts(doc);
    if (m_RgnLists.size() != levels.size())
        return false;
    for (size_t p = 0; p < levels.size(); ++p) {
        if (m_RgnLists[p].size() != levels[p].size())
            return false;
        for (size_t r = 0; r < levels[p].size(); ++r) {
            const CQuantifyRgn& rec = m_RgnLists[p][r];
            if (rec.m_pdResults.size() != size_t(levels[p][r]) || rec.m_iRegion < 0 ||
                size_t(rec.m_iRegion) >= levels[p].size())
                return false;
        }
    }
    return true;
}

bool CQuantify::CheckAgainst(const CVeltraneDoc& doc)
{
    if (m_bValid && !Matches(doc)) {
        Clear();
        m_bRejected = true;
    }
    if (m_bRejected) {
        m_bRejected = false;
        AfxMessageBox(IDS_QUANTIFY_BLOCK_SKIPPED, MB_ICONWARNING);
    }
    return m_bValid;
}

void CQuantify::Clear()
{
    m_bValid = false;
    m_bAES = 0;
    m_RgnLists.clear();
    m_Auger = SAuger();
    m_Display = SDisplay();
    m_bRejected = false;
}
