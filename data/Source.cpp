#include "data/Source.h"

#include "data/AcquireSheet.h"
#include "data/Header.h"
#include "platform/Archive.h"
#include "platform/Strings.h"

namespace {
double g_dMgKa = 1253.6;
double g_dAlKa = 1486.6;
} // namespace

const double& CSource::m_MgKaEnergy = g_dMgKa;
const double& CSource::m_AlKaEnergy = g_dAlKa;

void CSource::SetPhotonEnergies(double dMgKa, double dAlKa)
{
    g_dMgKa = dMgKa;
    g_dAlKa = dAlKa;
}

CSource::CSource() : m_SourceType(MgKa), m_dEnergy(m_MgKaEnergy) {}

CSource::CSource(const CAcquireXPS* pSheet) : CSource(pSheet->GetSrcPage()) {}

CSource::CSource(const CAcquireXPS_Src* pPage)
    : m_dVolts(pPage->m_dVoltage), m_dCurrent(pPage->m_dCurrent), m_dEnergy(pPage->m_dEnergy)
{
    switch (pPage->m_iType) {
    case 0:
        m_SourceType = MgKa;
        break;
    case 1:
        m_SourceType = AlKa;
        break;
    default:
        m_SourceType = Unknown;
        break;
    }
}

CSource::CSource(const CAcquireAES*) : m_SourceType(ElectronGun) {}

CArchive& CSource::operator>>(CArchive& ar) const
{
    ar << BlockID << FileVersion << BlockLength;
    ar << m_dCurrent << m_dEnergy << m_dVolts << m_SourceType;
    return ar;
}

CArchive& CSource::operator<<(CArchive& ar)
{
    const Block::SHead head = Block::ReadHead(ar);
    ar >> m_dCurrent >> m_dEnergy >> m_dVolts >> m_SourceType;
    Block::MoveToEnd(ar, head);
    return ar;
}

std::string CSource::GetSourceName() const
{
    switch (m_SourceType) {
    case Unknown:
        return LoadString(1181);
    case ElectronGun:
        return LoadString(1408);
    case MgKa:
        return LoadString(1409);
    case AlKa:
        return LoadString(1410);
    default:
        return std::string();
    }
}

double CSource::ConvertEnergy(double value, int from, int to) const
{
    return from == to ? value : m_dEnergy - value;
}
