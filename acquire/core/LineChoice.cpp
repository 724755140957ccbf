#include "acquire/core/LineChoice.h"

#include "acquire/core/RegionList.h"
#include "data/Region.h"
#include "data/Source.h"
#include "data/formats/PkLib.h"
#include "instrument/Config.h"

#include <algorithm>
#include <cmath>

double LineKineticEnergy(const CPkLibPeak& p, double photon)
{
    return p.m_eType == CPkLibPeak::Auger ? p.m_dPeak : photon - p.m_dPeak;
}

bool LineReachable(const CPkLibPeak& p, double photon)
{
    const double ke = LineKineticEnergy(p, photon);
    return ke > 0 && ke <= CConfig::GetMaxEnergy();
}

int ProposedXpsLine(const CPkLibElement& e, int anode, double photon)
{
    const int total = e.GetNumPhotoPeaks() + e.GetNumAugerPeaks();
    int def = 0;
    for (int i = 0; i < total; ++i)
        if (e.GetPeak(i)->m_bDefaultPeak)
            def = i;
    if (total == 0 || LineReachable(*e.GetPeak(def), photon))
        return def;
    bool mg = anode == 0;
    if (anode != 0 && anode != 1)
        mg = std::fabs(photon - CSource::m_MgKaEnergy) < std::fabs(photon - CSource::m_AlKaEnergy);
    // The library holds no cross-section for a line an anode cannot excite:
    // the other anode's breaks ties among such lines.
    auto strength = [mg](const CPkLibPeak& p) {
        return mg ? std::make_pair(p.m_dMgX, p.m_dAlX) : std::make_pair(p.m_dAlX, p.m_dMgX);
    };
    int best = -1;
    for (int i = 0; i < e.GetNumPhotoPeaks(); ++i) {
        const CPkLibPeak& p = e.GetPhotoPeaks()[size_t(i)];
        if (LineReachable(p, photon) && (best < 0 || strength(p) > strength(e.GetPhotoPeaks()[size_t(best)])))
            best = i;
    }
    return best >= 0 ? best : def;
}

void PlaceLineWindow(CRegion& r, double ke, bool bk2)
{
    double start = ke - 10, finish = ke + 10;
    const double maxE = CConfig::GetMaxEnergy();
    if (ke > 0 && ke <= maxE) {
        start = std::max(start, 0.0);
        finish = std::min(finish, maxE);
    }
    r.m_dPeak = TruncEnergy(ke);
    r.m_dStart = TruncEnergy(start);
    r.m_dFinish = TruncEnergy(finish);
    if (r.m_dBk1 != 0)
        r.m_dBk1 = r.m_dFinish;
    if (bk2 && r.m_dBk2 != 0)
        r.m_dBk2 = r.m_dStart != 0 ? r.m_dStart : 1.0 / CConfig::GetEnergyResol();
}
