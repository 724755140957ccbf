#pragma once
// The smallest and largest of any run of a curve's values in O(log n): the
// extremes of 16-point leaf blocks, then of groups of four blocks, up to one
// block over the whole curve. A curve zoomed out to many points per pixel
// column then costs a few block reads per column instead of a pass over its
// points. The four blocks of a group share one cache line, so a run's end
// costs about one memory load per level. Built once per change of the data;
// a change of some points refreshes only the blocks above them. Does not own
// the values. NaN values are passed over, so a run's extremes do not depend
// on where its NaNs fall.

#include <cstddef>
#include <vector>

namespace plot {

struct SMinMax
{
    double lo;
    double hi;
    // No value other than NaN in the run.
    bool Empty() const { return !(lo <= hi); }
};

// Extremes of y[a..b]; NaN passed over. {+inf, -inf} when the run is empty
// (a > b) or all NaN.
SMinMax ScanMinMax(const double* y, long long a, long long b);

// The column extremes of the drawings of a curve with many points per pixel
// column, kept until the zoom or the data change: a repaint at the same zoom
// then reads one entry per column. Each entry keeps the point range it was
// taken over, and is used only for a column over the same range, since a
// column's range comes from a running sum that starts at the clip's left edge.
struct SColumnEnvelope
{
    struct SCol
    {
        long long k = 0, kEnd = -1; // the column's points k..kEnd
        SMinMax m{};
    };
    // The X scale and offset and the data the entries belong to.
    double dS = 0, S0 = 0;
    const double* y = nullptr;
    size_t n = 0;
    int x0 = 0;            // column of col[0]
    std::vector<SCol> col; // columns x0, x0 + 1, ...
    void Clear()
    {
        y = nullptr;
        col.clear();
    }
};

class CMinMaxPyramid
{
public:
    static constexpr int kLeafShift = 4;
    static constexpr long long kLeaf = 1LL << kLeafShift;

    // Over y[0..n-1]; keeps the pointer. n < 1 clears.
    void Build(const double* y, int n);
    // Forgets the data (keeps the memory for the next build).
    void Clear();
    bool IsBuiltFor(const double* y, int n) const { return m_n > 0 && m_y == y && m_n == n; }
    // Points iFrom..iTo (clamped to the curve) have new values.
    void Update(int iFrom, int iTo);
    // Extremes of y[a..b], clamped to the curve; the same values as ScanMinMax.
    SMinMax Query(long long a, long long b) const;
    // Starts loading what a query with an end at point k will read, so that
    // the queries of the next columns do not wait on memory one by one.
    void Prefetch(long long k) const;
    size_t MemoryBytes() const { return m_group.capacity() * sizeof(SGroup); }

private:
    static constexpr int kFanShift = 2; // four blocks a group
    struct alignas(64) SGroup
    {
        SMinMax m[1 << kFanShift];
    };
    const SMinMax& Node(size_t level, long long i) const
    {
        return m_group[m_level[level] + size_t(i >> kFanShift)].m[i & ((1 << kFanShift) - 1)];
    }
    SMinMax& Node(size_t level, long long i)
    {
        return m_group[m_level[level] + size_t(i >> kFanShift)].m[i & ((1 << kFanShift) - 1)];
    }
    void BuildLeaves(long long b0, long long b1);
    void BuildParents(size_t level, long long p0, long long p1);

    const double* m_y = nullptr;
    int m_n = 0;
    std::vector<size_t> m_level;   // first group of each level in m_group
    std::vector<long long> m_size; // blocks of each level
    std::vector<SGroup> m_group;
};

} // namespace plot
