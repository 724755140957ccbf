#include "data/IonGun.h"

#include "data/AcquireSheet.h"
#include "data/Header.h"
#include "data/InstrumentInfo.h"
#include "platform/Archive.h"

#include <cassert>

CIonGun::CIonGun(const CAcquireXPS* pSheet)
{
    if (pSheet->GetExpType() != CAcquireXPS::DepthProfile) {
        m_Type = None;
        m_iPreset = 0;
        m_iDutyCycle = 1;
        return;
    }
    const CAcquireXPS_Prf* page = pSheet->GetPrfPage();
    m_iDutyCycle = static_cast<int16_t>(page->m_iDuty + 1);
    m_iPreset = static_cast<int16_t>(page->m_iPreset);
    switch (page->m_iGun) {
    case 0:
        m_Type = GetInstrumentInfo().HasMIED() ? MIED_DAU : MIED_ASCU;
        break;
    case 1:
        m_Type = HSIG;
        break;
    default:
        assert(!"unknown ion gun choice");
        break;
    }
}

CIonGun::CIonGun(const CAcquireAES* pSheet)
{
    const int type = pSheet->GetExpType();
    const bool profile = type == CAcquireAES::Profile || type == CAcquireAES::FastProfile;
    m_Type = profile && GetInstrumentInfo().HasMIED() ? MIED_DAU : None;
    m_iPreset = 0;
    m_iDutyCycle = 0;
}

CArchive& CIonGun::operator>>(CArchive& ar) const
{
    ar << BlockID << FileVersion << BlockLength;
    ar << m_iDutyCycle << m_iPreset << m_Type;
    return ar;
}

CArchive& CIonGun::operator<<(CArchive& ar)
{
    const Block::SHead head = Block::ReadHead(ar);
    ar >> m_iDutyCycle >> m_iPreset >> m_Type;
    Block::MoveToEnd(ar, head);
    return ar;
}
