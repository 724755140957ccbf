#include "data/Trace.h"

#include "data/Header.h"
#include "platform/Archive.h"

#include <algorithm>
#include <cmath>

void CTrace::Create(int n)
{
    m_Data.assign(static_cast<size_t>(std::max(n, 0)), 0.0);
    m_dMin = m_dMax = 0.0;
}

void CTrace::CopyData(const float* data, int n)
{
    const std::vector<double> values(data, data + std::max(n, 0));
    CopyData(values.data(), n);
}

namespace {

// The extremes of the values that are numbers: an imported "nan" or "inf"
// must not take the whole curve's scale with it. 0 and 0 when there are none.
void FiniteExtremes(const std::vector<double>& v, double& lo, double& hi)
{
    lo = HUGE_VAL;
    hi = -HUGE_VAL;
    for (const double d : v)
        if (std::isfinite(d)) {
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
    if (!(lo <= hi))
        lo = hi = 0.0;
}

} // namespace

void CTrace::CopyData(const double* data, int n)
{
    m_Data.assign(data, data + std::max(n, 0));
    FiniteExtremes(m_Data, m_dMin, m_dMax);
}

void CTrace::UpdateData(const int* values, int first, int last, int scan, bool averaging)
{
    const int n = GetNumPoints();
    if (values == nullptr || first < 0 || last < first || last >= n)
        return;
    for (int i = first; i <= last; ++i) {
        const double v = *values++;
        double& point = m_Data[static_cast<size_t>(i)];
        if (averaging)
            point = std::floor(double(scan) * point + v + 0.5) / (double(scan) + 1.0);
        else
            point = v;
        if (point < m_dMin)
            m_dMin = point;
        if (point > m_dMax)
            m_dMax = point;
    }
    if (last == n - 1)
        FiniteExtremes(m_Data, m_dMin, m_dMax);
}

int CTrace::Write(CArchive& ar, int) const
{
    ar << m_dMax << m_dMin << static_cast<int32_t>(m_Data.size());
    if (!m_Data.empty())
        ar.WriteDoubles(m_Data.data(), m_Data.size());
    return static_cast<int>(20 + 8 * m_Data.size());
}

int CTrace::Read(CArchive& ar, int, uint64_t end)
{
    int32_t count = 0;
    ar >> m_dMax >> m_dMin >> count;
    Block::CheckCount(ar, count, sizeof(double), end);
    m_Data.assign(static_cast<size_t>(count), 0.0);
    if (count > 0)
        ar.ReadDoubles(m_Data.data(), m_Data.size());
    // Extremes that are no finite number (a curve with an imported "nan" saved
    // before they were kept finite) would give the plot no scale.
    if (!std::isfinite(m_dMin) || !std::isfinite(m_dMax))
        FiniteExtremes(m_Data, m_dMin, m_dMax);
    return 20 + 8 * count;
}
