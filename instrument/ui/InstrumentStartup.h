#pragma once
// The last step of the program's start-up: the instrument configuration
// opens the links, with the traffic monitor opened first when it asks for
// it; then the records get their view of the instrument and the photon
// energies of the X-ray lines. The link errors go to the main frame's delayed
// error report, in the order they arose.

#include "instrument/Config.h"
#include "instrument/ui/ConfigInfo.h"

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

    // The DAU link must outlive this object (the records' view reads it).
    CInstrumentStartup(CConfig& config, CASCU& ascu, CDAU& dau);
    ~CInstrumentStartup();
    CInstrumentStartup(const CInstrumentStartup&) = delete;
    CInstrumentStartup& operator=(const CInstrumentStartup&) = delete;

    CConfig::SStartup Start(const SFrame& frame);

    const CConfigInfo& GetInfo() const { return m_info; }

private:
    CConfig& m_config;
    CASCU& m_ascu;
    CDAU& m_dau;
    CConfigInfo m_info;
    bool m_bInfoInstalled = false;
};
