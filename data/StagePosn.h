#pragma once
// One analysis position of an experiment: where on the sample (or where with
// the beam) the data were taken, at which levels, with which regions and their
// data. Stored as block 4 of the data file with its regions as nested blocks
// 5 and 6. A position has spectrum regions or image regions, never both.

#include "data/ImageRgn.h"
#include "data/SpecRgn.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CArchive;

// The value of one level: the running etch time in seconds of a depth
// profile, the angle in degrees of the angle methods, 0 otherwise.
class CLevel
{
public:
    CLevel() = default;
    explicit CLevel(double value) : m_dTime(value) {}
    virtual ~CLevel() = default;
    CLevel(const CLevel&) = default;
    CLevel& operator=(const CLevel&) = default;

    double GetValue() const { return m_dTime; }
    void SetValue(double value) { m_dTime = value; }
    CArchive& operator>>(CArchive& ar) const;
    CArchive& operator<<(CArchive& ar);

private:
    double m_dTime = 0.0;
};

class CStagePosn
{
public:
    static constexpr uint16_t BlockID = 4;
    static constexpr uint16_t FileVersion = 1;

    enum PosnMode
    {
        None = 0, // the stage position itself, one point
        Point = 1,
        Linear1D = 2,  // points along X from m_X0 to m_X1 in steps of m_dX
        Linear2D = 3,  // a line of m_nX points
        Image = 4,     // a raster of m_nX x m_nY points
        PointList = 5, // the points (m_X[i], m_Y[i])
        AreaList = 6,  // areas with corners (m_X[2i], m_Y[2i]) and (m_X[2i+1], m_Y[2i+1])
    };
    enum ScanMode
    {
        Average = 0, // wide scans: scans are averaged
        Refresh = 1, // wide scans: each scan replaces the curve
        Across = 0x100,
        Down = 0x200,
    };
    // The three letters and a zero byte, read as a little-endian int.
    enum AnalyserMode
    {
        CAE = 'C' | 'A' << 8 | 'E' << 16,
        CRR = 'C' | 'R' << 8 | 'R' << 16,
    };

    CStagePosn() = default;
    explicit CStagePosn(int iPosn) : m_iPosn(iPosn) {}
    CStagePosn(const CStagePosn&) = delete;
    CStagePosn& operator=(const CStagePosn&) = delete;
    virtual ~CStagePosn() = default;

    // Writes block 4 (identifier included) with a patched length, the regions
    // as nested blocks.
    CArchive& operator>>(CArchive& ar) const;
    // Reads block 4 after its identifier. A nested block that is not the
    // region kind the counts announce abandons the command with message 2070.
    CArchive& operator<<(CArchive& ar);

    int GetAnalyserMode() const { return m_AnalyserMode; }
    int GetScanMode() const { return m_ScanMode; }
    int GetPosnMode() const { return m_PosnMode; }
    int GetPosnNum() const { return m_iPosn; }
    const std::string* GetGroupName() const { return &m_csGroup; }
    const std::string* GetComment() const { return &m_csComment; }
    int GetNumLevels() const { return static_cast<int>(m_caLevels.size()); }
    const CLevel* GetLevel(int i) const;

    CSpecRgn* GetSpecRgn(int i);
    const CSpecRgn* GetSpecRgn(int i) const;
    CImageRgn* GetImageRgn(int i);
    const CImageRgn* GetImageRgn(int i) const;
    int GetNumSpecRgns() const { return static_cast<int>(m_caSpecRgns.size()); }
    int GetNumImageRgns() const { return static_cast<int>(m_caImageRgns.size()); }
    // Spectrum regions, or image regions when there are none.
    int GetNumRgns() const;
    // Spectrum region i, else image region i, else null.
    CRegion* GetRegion(int i);
    const CRegion* GetRegion(int i) const;

    // Curves per region: the number of levels, or the number of points when
    // the position has more points than levels.
    int GetNumTraces() const;
    // Analysis points for an axis (0 X, 1 Y, -1 all).
    int GetNumPoints(int axis) const;
    // Stage coordinate of point i: axes 0 X, 1 Y, 2 and 3 the end corner;
    // 0.0 where the mode has none.
    double GetCoord(int axis, int i) const;
    // Beam coordinate of point i for an image size (AES positions).
    int GetAESCoord(int axis, int i, int size) const;
    // From the 1024-grid to an image size: 256 divides by 4, 512 by 2.
    static void NormalizeAESCoord(int* pValue, int size);
    static int NormalizeAESCoord(int value, int size);
    // Size of the scanned stage area in thousandths, 0 where a corner is 0.
    void GetStageSize(int& x, int& y) const;
    double GetMaxValue() const;
    double GetMinValue() const;

    // The position fields as stored, whether or not the mode uses them (for
    // inspection tools; the derived points come from GetCoord).
    struct SStoredFields
    {
        int32_t nX, nY;
        double X0, Y0, X1, Y1, dX, dY;
        const std::vector<double>& X;
        const std::vector<double>& Y;
    };
    SStoredFields GetStoredFields() const { return {m_nX, m_nY, m_X0, m_Y0, m_X1, m_Y1, m_dX, m_dY, m_X, m_Y}; }

private:
    friend class CRecordBuilder; // the builders in data/formats (sheets, imports) fill positions

    std::vector<std::unique_ptr<CSpecRgn>> m_caSpecRgns;
    std::vector<std::unique_ptr<CImageRgn>> m_caImageRgns;
    std::vector<CLevel> m_caLevels;
    std::vector<double> m_X;
    std::vector<double> m_Y;
    std::string m_csComment;
    std::string m_csGroup;
    int32_t m_AnalyserMode = 0;
    int32_t m_ScanMode = 0;
    int32_t m_PosnMode = None;
    int32_t m_iPosn = 0;
    int32_t m_nX = 0;
    int32_t m_nY = 0;
    double m_X0 = 0.0;
    double m_Y0 = 0.0;
    double m_X1 = 0.0;
    double m_Y1 = 0.0;
    double m_dX = 0.0;
    double m_dY = 0.0;
};
