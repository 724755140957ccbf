#pragma once
// A region of a stage position with its acquired curves, one per level (or
// per point when the position has more points than levels), and an energy
// offset added when the region is shown. Stored as block 5 inside its
// position's block 4.

#include "data/Region.h"
#include "data/Trace.h"

#include <memory>
#include <vector>

class CSpecRgn : public CRegion
{
public:
    static constexpr uint16_t BlockID = 5;
    static constexpr uint16_t FileVersion = 1;

    CSpecRgn() = default;
    CSpecRgn(const CSpecRgn&) = delete;
    CSpecRgn& operator=(const CSpecRgn&) = delete;
    ~CSpecRgn() override = default;

    // Copies the region's parameters and makes nCurves zero curves: one value per
    // energy step, or in intensity mode (fast profiles) the peak and the
    // backgrounds in use.
    void Create(const CRegion* pRegion, double dOffset, int nCurves, int bIntensity);

    // Stores the block in curve m_iTrace. Blocks that name a curve or points
    // outside the region are ignored.
    void UpdateData(const SAcqUpdate* pUpdate, bool bAveraging) override;

    // Writes block 5 (identifier included) with a patched length.
    CArchive& operator>>(CArchive& ar) const;
    // Reads block 5 after its identifier; the block must end within limit.
    CArchive& operator<<(CArchive& ar);
    void Read(CArchive& ar, uint64_t limit);

    CTrace* GetTrace(int i);
    const CTrace* GetTrace(int i) const;
    int GetNumTraces() const { return static_cast<int>(m_caTraces.size()); }
    double GetStart() const { return m_dStart + m_dOffset; }
    double GetFinish() const { return m_dFinish + m_dOffset; }
    double GetOffset() const { return m_dOffset; }
    void SetOffset(double dOffset) { m_dOffset = dOffset; }
    // Over all curves; 0 for a region without curves.
    double GetMaxValue() const;
    double GetMinValue() const;

private:
    friend class CRecordBuilder; // the importers in data/formats fill records field by field

    std::vector<std::unique_ptr<CTrace>> m_caTraces;
    double m_dOffset = 0.0; // eV
};
