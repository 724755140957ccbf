#include "acquire/core/RegionList.h"

#include "data/Region.h"
#include "platform/Archive.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

double TruncEnergy(double v)
{
    return std::floor(v * 1000.0 + 1e-6) / 1000.0;
}

int32_t ParseCount(const std::string& text)
{
    const double v = std::atof(text.c_str());
    return v != v ? 0 : int32_t(std::clamp(v, -2e9, 2e9));
}

int32_t ReadCount(CArchive& ar, size_t size)
{
    int32_t n = 0;
    ar >> n;
    ar.CheckCount(n, size);
    return n;
}

void FreeRegions(std::vector<CRegion*>& list, const CRegion* keep)
{
    for (CRegion* r : list)
        if (r != keep)
            delete r;
    list.clear();
}

std::unique_ptr<CRegion> PageRegion(const CRegion& r)
{
    auto copy = std::make_unique<CRegion>(r);
    if (std::isinf(copy->m_dBk1))
        copy->m_dBk1 = 0;
    if (std::isinf(copy->m_dBk2))
        copy->m_dBk2 = 0;
    return copy;
}
