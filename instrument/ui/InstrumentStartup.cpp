#include "instrument/ui/InstrumentStartup.h"

#include "data/Source.h"
#include "instrument/ASCU.h"
#include "instrument/DAU.h"
#include "platform/Settings.h"

CInstrumentStartup::CInstrumentStartup(CConfig& config, CASCU& ascu, CDAU& dau)
    : m_config(config), m_ascu(ascu), m_dau(dau), m_info(&dau)
{
}

CInstrumentStartup::~CInstrumentStartup()
{
    if (m_bInfoInstalled && &GetInstrumentInfo() == &m_info)
        SetInstrumentInfo(nullptr);
}

CConfig::SStartup CInstrumentStartup::Start(const SFrame& frame)
{
    // The monitor opens before the links do, so that their first exchanges
    // (the DAU's configuration, the stage unit's identification) are listed.
    bool bMonitorOpen = false;
    {
        CSettingsKey key(CSettingsKey::LocalMachine, CConfig::KeyPath);
        uint32_t monitor = 0;
        if (key.ReadDWord("Monitor", monitor) && monitor != 0 && frame.openMonitor) {
            frame.openMonitor((monitor & 0x2) != 0);
            bMonitorOpen = true;
        }
    }

    CConfig::SStartup s = m_config.InitInstance(&m_ascu, &m_dau);

    CSource::SetPhotonEnergies(CConfig::m_MgKaEnergy, CConfig::m_AlKaEnergy);
    SetInstrumentInfo(&m_info);
    m_bInfoInstalled = true;

    if (s.m_bOpenMonitor && !bMonitorOpen && frame.openMonitor)
        frame.openMonitor(s.m_bShowMonitor);
    if (frame.queueError)
        for (unsigned id : s.m_queued)
            frame.queueError(static_cast<int>(id));
    return s;
}
