#include "data/Region.h"

#include "data/Header.h"
#include "platform/Archive.h"

#include <cstdint>

CRegion::CRegion(const CRegion& other)
{
    *this = other;
}

CRegion& CRegion::operator=(const CRegion& other)
{
    m_csName = other.m_csName;
    m_csRegion = other.m_csRegion;
    m_dStart = other.m_dStart;
    m_dFinish = other.m_dFinish;
    m_dStep = other.m_dStep;
    m_dPeak = other.m_dPeak;
    m_dBk1 = other.m_dBk1;
    m_dBk2 = other.m_dBk2;
    m_dDwell = other.m_dDwell;
    m_dAnalyserEnergy = other.m_dAnalyserEnergy;
    m_csRetardRatio = other.m_csRetardRatio;
    m_nScans = other.m_nScans;
    m_iRepeat = other.m_iRepeat;
    m_iRegion = other.m_iRegion;
    return *this;
}

int CRegion::CountProduct(int a, int b, int c)
{
    if (a <= 0 || b <= 0 || c <= 0)
        return 0;
    const int64_t ab = int64_t(a) * b; // below 2^62
    if (ab > INT32_MAX || ab * c > INT32_MAX)
        return INT32_MAX;
    return static_cast<int>(ab * c);
}

void CRegion::UpdateData(const SAcqUpdate*, bool) {}

int CRegion::Write(CArchive& ar, int) const
{
    const uint64_t start = ar.GetPosition();
    ar << m_csName << m_csRegion << m_dStart << m_dFinish << m_dStep << m_dPeak << m_dBk1 << m_dBk2
       << m_dDwell << m_dAnalyserEnergy << m_csRetardRatio << m_nScans << m_iRepeat << m_iRegion << m_nx
       << m_ny << m_nz;
    return static_cast<int>(ar.GetPosition() - start);
}

int CRegion::Read(CArchive& ar, int, uint64_t end)
{
    const uint64_t start = ar.GetPosition();
    Block::ReadString(ar, m_csName, end);
    Block::ReadString(ar, m_csRegion, end);
    ar >> m_dStart >> m_dFinish >> m_dStep >> m_dPeak >> m_dBk1 >> m_dBk2 >> m_dDwell >> m_dAnalyserEnergy;
    Block::ReadString(ar, m_csRetardRatio, end);
    ar >> m_nScans >> m_iRepeat >> m_iRegion >> m_nx >> m_ny >> m_nz;
    return static_cast<int>(ar.GetPosition() - start);
}
