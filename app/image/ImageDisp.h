#pragma once
// The raster display of one image: an elemental map of ints or a
// secondary-electron image of bytes, nX x nY points, row-major, the first row
// at the top. It keeps the grey pixels in a QImage of the pane's own pixel
// depth, scaled between a minimum (black) and a maximum (white); converts the
// points of an acquisition as they arrive and asks its window to repaint at
// most about once a second, and only the rows converted since the last
// request; zooms by powers of two; maps between window pixels and image
// points for overlays; and saves the image as an 8-bit grey bitmap file.
// User-interface thread only. The data arrays belong to the caller.

#include "app/image/ImageMath.h"
#include "app/plot/PlotTypes.h"

#include <QFont>
#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

class QPainter;
class QPaintDevice;

class CImageDisp
{
public:
    CImageDisp();
    ~CImageDisp();
    CImageDisp(const CImageDisp&) = delete;
    CImageDisp& operator=(const CImageDisp&) = delete;

    // Ints are used before bytes when both are given.
    void SetImage(int* piData, int nX, int nY, int iMin, int iMax);
    void SetImage(uint8_t* pbData, int nX, int nY, int iMin, int iMax);
    void SetCaption(const std::string& s) { m_csCaption = s; }
    const std::string& GetCaption() const { return m_csCaption; }

    // Lays the display out in rect (caption strip below, image fitted above)
    // for the pixel depth and fonts of pDC, sets the grey range and converts
    // the whole image.
    void Show(bool bShow, const CRect& rect, QPaintDevice* pDC, int iMin, int iMax);
    // Paints the caption and the image where they meet pRect.
    int Draw(QPainter* pDC, const CRect* pRect, bool bPreview);
    // iZoom > 0 in, < 0 out, 0 the whole image; bTest only asks whether the
    // step is possible. True when the step is (or was) possible.
    bool SetZoom(int iZoom, bool bTest);
    // Points iFrom..iTo have new values: converted, and with a window, that
    // window is asked to repaint the rows not yet repainted (throttled).
    int OnUpdate(CWnd* pWnd, int iFrom, int iTo, int iScan);
    // The run has ended (however): the grey range is made exact over the
    // points measured, and the window repaints the whole image at once.
    void Flush(CWnd* pWnd);

    // Prepares a painter so that one unit is one image point, clipped to the
    // image rectangle.
    void SetupDC(QPainter* pDC) const;
    void DPtoLP(POINT* p) const;
    void LPtoDP(POINT* p) const;
    void DPtoLP(RECT* r) const;
    void LPtoDP(RECT* r) const;
    const CRect* GetImageRect() const { return &m_rImage; }
    CSize GetSize() const { return CSize(m_nX, m_nY); }

    // Writes the 8-bit grey bitmap file through a temporary file that
    // replaces path only when complete; CFileException on failure.
    void SaveAsBitmap(const std::string& path) const;

    // Read access for the pane and for tests.
    const QImage& GetRaster() const { return m_image; }
    int GetZoom() const { return m_view.iZoom; }
    int GetMin() const { return m_iMin; }
    int GetMax() const { return m_iMax; }
    const CRect& GetCaptionRect() const { return m_rCaption; }
    const img::SView& GetView() const { return m_view; }
    bool IsVisible() const { return m_bVisible; }

private:
    int NumPoints() const;
    void Convert(int iFrom, int iTo);
    void BuildLevels();
    void UpdateLevels(int r0, int r1);
    int OnUpdateInt(CWnd* pWnd, int iFrom, int iTo, int iScan);
    int OnUpdateByte(CWnd* pWnd, int iFrom, int iTo);
    // The window strip of points iFrom..iTo, or the whole image rectangle.
    CRect RepaintRect(int iFrom, int iTo) const;
    void Repaint(CWnd* pWnd, const CRect& r) const;
    uint32_t Now() const;

    uint32_t m_dwLastUpdateTime = 0;
    QFont m_font;
    CRect m_rFull;
    CRect m_rAvail; // the area the image is fitted into (refitting never drifts)
    CRect m_rImage;
    CRect m_rCaption;
    std::string m_csCaption;
    QImage m_image;
    // Half, quarter, ... size copies of a 32-bit raster, kept up to date row
    // by row, from which a large image is drawn small.
    std::vector<QImage> m_levels;
    img::PixelFormat m_format = img::PixelFormat::Rgb32;
    bool m_bVisible = false;
    uint8_t* m_pbData = nullptr;
    int m_cyCaption = 0;
    int* m_piData = nullptr;
    int m_iMinVal = 0, m_iMaxVal = 0;
    int m_iMin = 0, m_iMax = 0;
    int m_iEndLastUpdate = 0;
    // One past the last point updated, and the scan it belonged to.
    int m_iEndReceived = 0;
    int m_iScanReceived = 0;
    int m_nX = 0, m_nY = 0;
    img::SView m_view;
};
