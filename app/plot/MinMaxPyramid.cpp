#include "app/plot/MinMaxPyramid.h"

#include <algorithm>
#include <limits>

namespace plot {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Comparisons that pass NaN over: v < NaN and NaN < v are both false, and
// the running values never become NaN, so the result is the same in any order.
inline double Lower(double a, double b)
{
    return b < a ? b : a;
}
inline double Higher(double a, double b)
{
    return b > a ? b : a;
}

} // namespace

SMinMax ScanMinMax(const double* y, long long a, long long b)
{
    // Four running extremes: one comparison chain would be bound by its latency.
    double l[4] = {kInf, kInf, kInf, kInf}, h[4] = {-kInf, -kInf, -kInf, -kInf};
    long long k = a;
    for (; k + 3 <= b; k += 4)
        for (int j = 0; j < 4; ++j) {
            l[j] = Lower(l[j], y[k + j]);
            h[j] = Higher(h[j], y[k + j]);
        }
    for (; k <= b; ++k) {
        l[0] = Lower(l[0], y[k]);
        h[0] = Higher(h[0], y[k]);
    }
    return {Lower(Lower(l[0], l[1]), Lower(l[2], l[3])), Higher(Higher(h[0], h[1]), Higher(h[2], h[3]))};
}

void CMinMaxPyramid::Clear()
{
    m_y = nullptr;
    m_n = 0;
    m_level.clear();
    m_size.clear();
    m_group.clear();
}

void CMinMaxPyramid::Build(const double* y, int n)
{
    Clear();
    if (!y || n < 1)
        return;
    m_y = y;
    m_n = n;
    constexpr long long fan = 1 << kFanShift;
    long long size = (n + kLeaf - 1) >> kLeafShift;
    size_t groups = 0;
    for (;;) {
        m_level.push_back(groups);
        m_size.push_back(size);
        groups += size_t((size + fan - 1) >> kFanShift);
        if (size == 1)
            break;
        size = (size + fan - 1) >> kFanShift;
    }
    m_group.resize(groups);
    BuildLeaves(0, m_size[0] - 1);
    for (size_t l = 1; l < m_level.size(); ++l)
        BuildParents(l, 0, m_size[l] - 1);
}

void CMinMaxPyramid::BuildLeaves(long long b0, long long b1)
{
    for (long long b = b0; b <= b1; ++b)
        Node(0, b) = ScanMinMax(m_y, b << kLeafShift, std::min((b + 1) * kLeaf, (long long)m_n) - 1);
}

void CMinMaxPyramid::BuildParents(size_t level, long long p0, long long p1)
{
    const long long nChildren = m_size[level - 1];
    for (long long p = p0; p <= p1; ++p) {
        SMinMax d = Node(level - 1, p << kFanShift);
        for (long long c = (p << kFanShift) + 1; c < ((p + 1) << kFanShift) && c < nChildren; ++c) {
            const SMinMax& m = Node(level - 1, c);
            d.lo = Lower(d.lo, m.lo);
            d.hi = Higher(d.hi, m.hi);
        }
        Node(level, p) = d;
    }
}

void CMinMaxPyramid::Update(int iFrom, int iTo)
{
    if (m_n < 1)
        return;
    iFrom = std::clamp(iFrom, 0, m_n - 1);
    iTo = std::clamp(iTo, 0, m_n - 1);
    if (iTo < iFrom)
        std::swap(iFrom, iTo);
    long long b0 = iFrom >> kLeafShift, b1 = iTo >> kLeafShift;
    BuildLeaves(b0, b1);
    for (size_t l = 1; l < m_level.size(); ++l) {
        b0 >>= kFanShift;
        b1 >>= kFanShift;
        BuildParents(l, b0, b1);
    }
}

void CMinMaxPyramid::Prefetch(long long k) const
{
    if (k < 0 || k >= m_n)
        return;
    __builtin_prefetch(m_y + k);
    long long i = k >> kLeafShift;
    for (size_t l = 0; l < m_level.size(); ++l, i >>= kFanShift)
        __builtin_prefetch(&Node(l, i));
}

SMinMax CMinMaxPyramid::Query(long long a, long long b) const
{
    if (m_n < 1)
        return {kInf, -kInf};
    a = std::max(a, 0LL);
    b = std::min(b, (long long)m_n - 1);
    // Whole leaves ia..ib; the points on either side of them are read directly.
    const long long ia = (a + kLeaf - 1) >> kLeafShift;
    const long long ib = ((b + 1) >> kLeafShift) - 1;
    if (ia > ib)
        return ScanMinMax(m_y, a, b);
    SMinMax r = ScanMinMax(m_y, a, (ia << kLeafShift) - 1);
    const SMinMax tail = ScanMinMax(m_y, (ib + 1) << kLeafShift, b);
    r.lo = Lower(r.lo, tail.lo);
    r.hi = Higher(r.hi, tail.hi);
    auto take = [&](size_t l, long long i) {
        const SMinMax& m = Node(l, i);
        r.lo = Lower(r.lo, m.lo);
        r.hi = Higher(r.hi, m.hi);
    };
    // Climb: take the blocks at either end that do not fill a group, then go
    // up to the parents of the whole groups left, which all lie inside the run.
    constexpr long long mask = (1 << kFanShift) - 1;
    long long lo = ia, hi = ib;
    for (size_t l = 0; lo <= hi; ++l) {
        if ((lo >> kFanShift) == (hi >> kFanShift)) {
            for (long long i = lo; i <= hi; ++i)
                take(l, i);
            break;
        }
        for (; lo & mask; ++lo)
            take(l, lo);
        for (; (hi & mask) != mask; --hi)
            take(l, hi);
        lo >>= kFanShift;
        hi >>= kFanShift;
    }
    return r;
}

} // namespace plot
