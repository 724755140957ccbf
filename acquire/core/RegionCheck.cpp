#include "acquire/core/RegionCheck.h"

#include "acquire/core/AcqError.h"
#include "data/Region.h"
#include "instrument/Config.h"
#include "platform/Strings.h"

#include <cmath>

void CheckRegion(const CRegion& r, bool peakMode, bool testRepeat)
{
    const double maxE = CConfig::GetMaxEnergy();
    const double minStep = CConfig::GetMinStepEnergy(), maxStep = CConfig::GetMaxStepEnergy();
    const std::string e = FormatG(maxE);
    const std::string steps = FormatPrintf("%g - %g", minStep, maxStep);
    const std::string pts = FormatPrintf("%i", CConfig::GetMaxPts());

    // The unit takes whole milliseconds: a dwell under 1 ms went to it as 0,
    // a region measured for no time at all. The message names 1 to 1000 ms.
    if (!(r.m_dDwell >= 1 && r.m_dDwell <= 1000))
        ThrowAcq(2193);
    if (r.m_nScans < 1)
        ThrowAcq(2196);
    if (testRepeat && r.m_iRepeat < 1)
        ThrowAcq(2111);
    if (peakMode) {
        if (!(r.m_dPeak > 0 && r.m_dPeak <= maxE))
            ThrowAcq(2197, {e});
        for (double bk : {r.m_dBk1, r.m_dBk2})
            if (bk != 0 && !(bk > 0 && bk <= maxE))
                ThrowAcq(2198, {e});
        return;
    }
    if (!(r.m_dStart >= 0 && r.m_dStart <= maxE))
        ThrowAcq(2194, {e});
    if (!(r.m_dFinish >= 0 && r.m_dFinish <= maxE))
        ThrowAcq(2195, {e});
    if (!(r.m_dStep >= minStep && r.m_dStep <= maxStep))
        ThrowAcq(2199, {steps});
    if (r.m_dStart >= r.m_dFinish)
        ThrowAcq(2200);
    if (std::ceil((r.m_dFinish - r.m_dStart) / r.m_dStep) + 1 > CConfig::GetMaxPts())
        ThrowAcq(2201, {pts});
}

void CheckRepeats(const std::vector<CRegion*>& regions, long long levels)
{
    for (const CRegion* r : regions)
        if (r->m_iRepeat > levels)
            ThrowAcq(2111);
}
