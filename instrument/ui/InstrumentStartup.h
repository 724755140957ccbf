#pragma once
// The last step of the program's start-up: the instrument configuration
// opens the links, and what the user interface gives them goes in: the
// monitor poll's timer, the traffic monitor, the records' view of the
// instrument, the photon energies of the X-ray lines. The link errors go to
// the main frame's delayed error report, in the order they arose.

#include "instrument/Config.h"
#include "instrument/ui/ConfigInfo.h"
#include "instrument/ui/MonitorTimer.h"

#include <functional>

class CASCU;
class CDAU;

class CInstrumentStartup
{
public:
    struct SFrame
    {
        std::function<void(int id)> queueError;      // the delayed error report
        std::function<void(bool bShow)> openMonitor; // the traffic monitor window
    };

    // The links must outlive this object only while it runs Start; the timer
    // it gives the DAU lives until this object goes, so delete the DAU first.
    CInstrumentStartup(CConfig& config, CASCU& ascu, CDAU& dau);
    ~CInstrumentStartup();
    CInstrumentStartup(const CInstrumentStartup&) = delete;
    CInstrumentStartup& operator=(const CInstrumentStartup&) = delete;

    CConfig::SStartup Start(const SFrame& frame);

    CMonitorTimer& GetTimer() { return m_timer; }
    const CConfigInfo& GetInfo() const { return m_info; }

private:
    CConfig& m_config;
    CASCU& m_ascu;
    CDAU& m_dau;
    CMonitorTimer m_timer;
    CConfigInfo m_info;
    bool m_bInfoInstalled = false;
};
