#pragma once
// A region whose data form a picture: an AES or XPS map, a line scan or a
// secondary-electron image. During acquisition it sums raw planes (peak, then
// one per background in use) pixel by pixel or line by line; files may hold a
// corrected image or line scan instead. Pixel (column c, line l) is element
// l * m_nx + c of a plane. Stored as block 6 inside its position's block 4.

#include "data/Region.h"

#include <cstdint>
#include <optional>
#include <vector>

class CImageRgn : public CRegion
{
public:
    static constexpr uint16_t BlockID = 6;
    static constexpr uint16_t FileVersion = 1;

    // Data kinds of block 6.
    enum DataKind
    {
        RawPlanes = 0,
        LinescanData = 1,
        CorrectedImage = 2,
        SEImageData = 3,
    };

    // The pixels to display: exactly one pointer is set when the region has
    // pixels. Computed values belong to the region and stay valid until its
    // next CalcImage or CalcLinescan.
    struct SImagePixels
    {
        const int* pInts = nullptr;
        const unsigned char* pBytes = nullptr;
    };

    CImageRgn() = default;
    CImageRgn(const CImageRgn&) = delete;
    CImageRgn& operator=(const CImageRgn&) = delete;
    ~CImageRgn() override = default;

    // A map or line scan of nx x ny pixels: zero raw planes for the peak and the
    // backgrounds in use.
    void Create(const CRegion* pRegion, int nx, int ny);
    // A secondary-electron image of nx x ny zero bytes.
    void CreateSE(int nx, int ny);

    // Intensity data are summed into the raw planes; image lines replace the
    // pixels of one plane; secondary-electron lines are summed modulo 256.
    // Blocks outside the region, or for planes it does not have, are ignored.
    void UpdateData(const SAcqUpdate* pUpdate, bool bAveraging) override;

    // Writes block 6 (identifier included) with a patched length.
    CArchive& operator>>(CArchive& ar) const;
    // Reads block 6 after its identifier; the block must end within limit.
    CArchive& operator<<(CArchive& ar);
    void Read(CArchive& ar, uint64_t limit);

    bool IsLinescan() const { return m_ny == 1; }
    bool IsSEImage() const { return m_SEData.has_value(); }
    const int* GetPkData() const;
    const int* GetBk1Data() const;
    const int* GetBk2Data() const;
    const int* GetImageData() const { return m_Image ? m_Image->data() : nullptr; }
    const unsigned char* GetSEData() const { return m_SEData ? m_SEData->data() : nullptr; }
    const double* GetLinescanData() const { return m_Linescan ? m_Linescan->data() : nullptr; }
    double GetMaxValue() const { return m_dMax; }
    double GetMinValue() const { return m_dMin; }

    // The value of pixel or point i: line scan, corrected image, secondary
    // electrons, else the corrected intensity from the raw planes; 0 outside.
    double GetData(int i) const;
    // The pixels with their smallest and largest value (also kept as the
    // region's minimum and maximum).
    SImagePixels CalcImage(int* pMin, int* pMax);
    // The line scan's values (the first line of a stored image, or computed
    // from the raw planes, when the region holds no line scan), or null when
    // there are none. The range counts finite values only.
    const double* CalcLinescan(double* pMin, double* pMax);

private:
    friend class CRecordBuilder; // the importers in data/formats fill records field by field

    int* Plane(int index);
    const int* Plane(int index) const;
    void AssignBackgroundPlanes();
    void AssignReadPlanes();
    size_t PlaneSize() const;

    // The raw planes one after another; the background planes are found by
    // index (-1: the region has no such plane).
    std::optional<std::vector<int>> m_Planes;
    int m_iBk1Plane = -1;
    int m_iBk2Plane = -1;
    std::optional<std::vector<int>> m_Image;
    std::optional<std::vector<unsigned char>> m_SEData;
    std::optional<std::vector<double>> m_Linescan;
    std::vector<int> m_ComputedImage;
    std::vector<double> m_ComputedLine;
    // The pixels a line's blocks are overwriting, as they were before its
    // first plane came: until its last plane comes, the line is written to a
    // file as it was, so a run cut short stores no peak without its backgrounds.
    std::vector<int> m_PendingWas;
    size_t m_iPendingAt = 0;
    size_t m_nPending = 0;
    double m_dMin = 0.0;
    double m_dMax = 0.0;
};
