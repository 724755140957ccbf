#pragma once
// The stored values of one curve with their smallest and largest value.

#include <cstdint>
#include <vector>

class CArchive;

class CTrace
{
public:
    CTrace() = default;
    CTrace(const CTrace&) = default;
    CTrace& operator=(const CTrace&) = default;
    virtual ~CTrace() = default;

    // n values of 0; minimum and maximum 0.
    void Create(int n);
    // The n values as doubles, with the minimum and maximum of those that are
    // finite (0 and 0 when none is).
    void CopyData(const float* data, int n);
    void CopyData(const double* data, int n);

    // Folds the values for points first..last (from 0) into the curve: with
    // averaging the running mean over scans 0..scan, rounded on the sum;
    // otherwise the values replace the points. A range outside the curve is
    // ignored. When the block ends at the last point, minimum and maximum are
    // recomputed over the whole curve.
    void UpdateData(const int* values, int first, int last, int scan, bool averaging);

    // double max, double min, int count, the values; returns the bytes written.
    int Write(CArchive& ar, int = 0) const;
    // The same layout; the count must fit before end (a file position). Returns
    // the bytes read.
    int Read(CArchive& ar, int = 0, uint64_t end = UINT64_MAX);

    int GetNumPoints() const { return static_cast<int>(m_Data.size()); }
    double GetMaxValue() const { return m_dMax; }
    double GetMinValue() const { return m_dMin; }
    // The values, changed in place by the processing dialogs; null when there are none.
    double* GetData() { return m_Data.empty() ? nullptr : m_Data.data(); }
    const double* GetData() const { return m_Data.empty() ? nullptr : m_Data.data(); }
    void SetMaxValue(double v) { m_dMax = v; }
    void SetMinValue(double v) { m_dMin = v; }

private:
    std::vector<double> m_Data;
    double m_dMin = 0.0;
    double m_dMax = 0.0;
};
