#include "instrument/ui/ConfigInfo.h"

#include "instrument/Config.h"
#include "instrument/DAU.h"

double CConfigInfo::GetOffset() const
{
    return CConfig::GetOffset();
}

int CConfigInfo::GetAESMode() const
{
    return CConfig::GetAESMode();
}

bool CConfigInfo::IsCMA() const
{
    return m_pDAU && m_pDAU->Analyser(CDAU::CMA) != 0;
}

bool CConfigInfo::HasMIED() const
{
    return m_pDAU && m_pDAU->HasMIED();
}
