#include "data/Background.h"

#include "data/Header.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "platform/Archive.h"

#include <cstring>

void CBackground::operator>>(CArchive& ar) const
{
    if (m_bDefaults)
        return;
    const uint64_t at = Block::BeginBlock(ar, BlockID, FileVersion);
    ar << static_cast<int32_t>(m_caLimits.size());
    for (const auto& posn : m_caLimits) {
        ar << static_cast<int32_t>(posn.size());
        for (const SLimits& l : posn)
            ar << l.start << l.finish;
    }
    Block::EndBlock(ar, at);
}

void CBackground::operator<<(CArchive& ar)
{
    const Block::SHead head = Block::ReadHead(ar);
    std::vector<uint8_t> bytes(static_cast<size_t>(head.length));
    if (!bytes.empty())
        ar.Read(bytes.data(), bytes.size());
    Block::MoveToEnd(ar, head);

    // Parse from memory: every count must fit in what the block holds, and
    // the block must hold exactly what its counts say.
    size_t pos = 0;
    auto next = [&](int32_t& v) {
        if (bytes.size() - pos < 4)
            return false;
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i)
            u |= uint32_t(bytes[pos + size_t(i)]) << (8 * i);
        pos += 4;
        v = static_cast<int32_t>(u);
        return true;
    };
    Clear();
    int32_t nPosns = 0;
    if (!next(nPosns) || nPosns < 0 || size_t(nPosns) > (bytes.size() - pos) / 4)
        return;
    Limits limits(static_cast<size_t>(nPosns));
    for (auto& posn : limits) {
        int32_t nRgns = 0;
        if (!next(nRgns) || nRgns < 0 || size_t(nRgns) > (bytes.size() - pos) / 8)
            return;
        posn.resize(static_cast<size_t>(nRgns));
        for (SLimits& l : posn)
            if (!next(l.start) || !next(l.finish))
                return;
    }
    if (pos != bytes.size())
        return;
    SetAll(std::move(limits));
}

bool CBackground::Matches(const CVeltraneDoc& doc) const
{
    if (m_caLimits.size() != size_t(doc.GetNumStagePosns()))
        return false;
    for (int i = 0; i < doc.GetNumStagePosns(); ++i) {
        const CStagePosn* p = doc.GetStagePosn(i);
        if (m_caLimits[size_t(i)].size() != size_t(p ? p->GetNumSpecRgns() : 0))
            return false;
    }
    return true;
}

void CBackground::CheckAgainst(const CVeltraneDoc& doc)
{
    if (!m_bDefaults && !Matches(doc))
        Clear();
}

CBackground::SLimits CBackground::DefaultLimits(int nPoints)
{
    const int64_t p = nPoints > 0 ? nPoints : 0;
    return {static_cast<int32_t>(p / 10), static_cast<int32_t>(9 * p / 10)};
}

void CBackground::SetUp(const CVeltraneDoc& doc)
{
    if (!m_bDefaults && Matches(doc))
        return;
    Limits limits(static_cast<size_t>(doc.GetNumStagePosns()));
    for (int i = 0; i < doc.GetNumStagePosns(); ++i)
        if (const CStagePosn* p = doc.GetStagePosn(i))
            for (int r = 0; r < p->GetNumSpecRgns(); ++r) {
                const CSpecRgn* rgn = p->GetSpecRgn(r);
                limits[size_t(i)].push_back(DefaultLimits(rgn ? rgn->GetNumPoints() : 0));
            }
    SetAll(std::move(limits));
}

CBackground::SLimits* CBackground::GetLimits(int iPosn, int iRgn)
{
    if (iPosn < 0 || size_t(iPosn) >= m_caLimits.size())
        return nullptr;
    auto& posn = m_caLimits[size_t(iPosn)];
    return iRgn >= 0 && size_t(iRgn) < posn.size() ? &posn[size_t(iRgn)] : nullptr;
}

void CBackground::SetAll(Limits limits)
{
    m_caLimits = std::move(limits);
    m_bDefaults = false;
}

void CBackground::Clear()
{
    m_bDefaults = true;
    m_caLimits.clear();
}
