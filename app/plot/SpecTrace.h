#pragma once
// One curve as shown in one plot area: its values (and optional X values),
// the part of the data shown (display limits), its rectangle in the plot
// window, and the linear transforms between data and screen both ways. It
// zooms and scrolls itself, widens its data range as acquired points arrive,
// keeps attached line cursors at their data positions, offers clicks to them,
// and draws itself.
//
// X is the point index unless X data are set; then the limits and transforms
// are in X units and zooms and scrolls keep to the data's X range.
// User-interface thread only.

#include "app/plot/MinMaxPyramid.h"
#include "app/plot/PlotMath.h"
#include "app/plot/PlotTypes.h"

#include <QPen>
#include <memory>
#include <vector>

class CLineCursor;
class CSymbol;
class QPainter;

class CSpecTrace
{
public:
    enum VertExpMode
    {
        ScreenBottom = 0, // a Y zoom keeps the lower limit
        ScreenCentre = 1, // keeps the centre
        SpectrumZero = 2, // scales both limits about zero
    };
    enum DispModes
    {
        Opaque = 1,      // the area below the curve is filled
        Transparent = 2, // outline only
    };
    enum XYSet
    {
        X_SET = 1,
        Y_SET = 2,
        XY_SET = 3,
        XY_FRAC = 4,
        X_FRAC_SET = 5,
        Y_FRAC_SET = 6,
        XY_FRAC_SET = 7,
    };
    struct Defaults
    {
        QPen m_Pen; // solid, one pixel, RGB(0, 0, 192)
    };

    CSpecTrace();
    // Shares the data (never frees it) and the default pen; copies an own pen;
    // starts with no cursors.
    CSpecTrace(const CSpecTrace& src);
    CSpecTrace& operator=(const CSpecTrace&) = delete;
    virtual ~CSpecTrace();

    // Data. pdYData not null, nPts >= 1; makes the curve visible.
    void SetYData(double* pdYData, double dMinYVal, double dMaxYVal, int nPts);
    // Swaps the data pointer only; returns the previous one.
    double* SetYData(double* pdYData);
    // nPts must equal the curve's count; ascending values, not owned.
    void SetXData(const double* pdXData, double dMinXVal, double dMaxXVal, int nPts);
    // A writable pointer may be used to change the values in place, so
    // handing one out drops the cached column extremes (rebuilt at the next
    // drawing); read-only callers use GetYDataConst and keep them.
    double* GetYData() const
    {
        DropEnvelope();
        return m_pdYData;
    }
    double* GetYData(int i) const
    {
        DropEnvelope();
        return m_pdYData + i;
    }
    double* GetYData(int* pnPts) const
    {
        DropEnvelope();
        *pnPts = m_nPts;
        return m_pdYData;
    }
    const double* GetYDataConst() const { return m_pdYData; }
    const double* GetXData() const { return m_pdXData; }
    int GetNumPoints() const { return m_nPts; }
    double GetMaxValue() const { return m_MaxYVal; }
    double GetMinValue() const { return m_MinYVal; }
    // With TRUE the curve frees its Y data (allocated with new double[]) when destroyed.
    void SetDataAutoDelete(BOOL b) { m_bAutoDelete = b; }

    // Appearance. The curve owns a pen left with it (not the default pen): a
    // caller that lends a pen for one drawing puts the previous one back.
    QPen* SetPen(QPen* pPen);
    QPen* GetPen() const { return m_pPen; }
    int SetDispMode(int iMode);
    int GetDispMode() const { return m_iDispMode; }
    void SetSymbol(const CSymbol* pSymbol) { m_pSymbol = pSymbol; }
    const CSymbol* GetSymbol() const { return m_pSymbol; }
    void SetVisible(BOOL b) { m_bVisible = b; }
    BOOL IsVisible() const { return m_bVisible; }
    void SetVertExpMode(int mode) { m_Vmode = mode; }

    // Layout and limits.
    int SetRect(const CRect* pRect, BOOL bX, BOOL bY);
    const CRect* GetRect() const { return &m_rDisp; }
    int SetDispLimits(XYSet xy, const double* pdLimits, BOOL bRecalc);
    void GetDispLimits(XYSet xy, double* pdLimits) const;
    // Zoom by factors (0 full scale, n >= 2 in, n <= -2 out, +-1 nothing);
    // bit 0 when X changed, bit 1 when Y changed. bNotTest FALSE only asks.
    int SetDispLimits(int iXfactor, int iYfactor, BOOL bNotTest);
    // Zoom to a rubber-band rectangle (client coordinates).
    int SetDispLimits(const CRect* pRect);
    void CopyDispParams(const CSpecTrace* pSrc);
    // Pixel scrolls; the result is the distance the content may be moved by,
    // 0 when the whole *prUpdate must be repainted (or, empty, nothing).
    int ScrollHorz(int dx, RECT* prUpdate);
    int ScrollVert(int dy, RECT* prUpdate);

    // Conversions.
    double xToX(double x) const { return x * m_dX + m_X0; }
    double yToY(double y) const { return y * m_dY + m_Y0; }
    double YToy(double Y) const { return Y * m_dy + m_y0; }
    // With X data the argument is a point index (clamped to the curve).
    double XTox(double X) const;
    int IndexTox(int i) const;
    // Nearest point to a screen column, 0 .. m_nPts - 1.
    int xToIndex(const double& x) const;

    // Cursors and mouse.
    void Attach(CLineCursor* pCursor);
    BOOL Detach(CLineCursor* pCursor);
    const std::vector<CLineCursor*>& GetLineCursors() const { return m_lsLineCursors; }
    BOOL OnLButtonDown(UINT nFlags, CPoint point);
    HCURSOR GetCursor(CPoint& point) const;
    // Points iFrom..iTo have new values; pWnd repaints their strip.
    void OnUpdate(int iFrom, int iTo, CWnd* pWnd);
    // The values were changed in place (all of them, or points iFrom..iTo)
    // by someone other than OnUpdate: the cached column extremes that drawing
    // uses are refreshed. The data range and the display are left alone.
    void DataChanged();
    void DataChanged(int iFrom, int iTo);

    // Drawing on a painter in device pixels; pClip null: the painter's clip box.
    int Draw(QPainter* pDC, const CRect* pClip, BOOL bPreview);
    int DrawTrace(QPainter* pDC, const CRect* pClip, BOOL bPreview);

    // The geometry that drawing works from.
    plot::STraceGeom Geometry() const;
    double GetXmin() const { return m_Xmin; }
    double GetXmax() const { return m_Xmax; }
    double GetYmin() const { return m_Ymin; }
    double GetYmax() const { return m_Ymax; }
    double GetMinXVal() const { return m_MinXVal; }
    double GetMaxXVal() const { return m_MaxXVal; }
    unsigned short GetFullScaleFlags() const { return m_FullScale; }

    static Defaults& GetDefaults();

private:
    int CalcDisplayParameters(BOOL bX, BOOL bY);
    // Width of one point in X units (1 without X data).
    double PointWidth() const;
    // Keeps [Xmin, Xmax] of width d inside the data's X range.
    void PushInsideX(double d);

    std::vector<CLineCursor*> m_lsLineCursors; // not owned
    double* m_pdYData = nullptr;
    const double* m_pdXData = nullptr;
    double m_YFullScale = 1.1;
    const CSymbol* m_pSymbol = nullptr;
    int m_Vmode = SpectrumZero;
    BOOL m_bAutoDelete = FALSE;
    CRect m_rDisp;
    QPen* m_pPen;
    std::unique_ptr<QPen> m_ownPen; // m_pPen when the curve owns it
    double m_Xmin = 0, m_Xmax = 0;
    double m_Ymin = 0, m_Ymax = 0;
    double m_MaxYVal = 0, m_MinYVal = 0;
    double m_MaxXVal = 0, m_MinXVal = 0;
    double m_dX = 1, m_X0 = 0;
    double m_dx = 1, m_x0 = 0;
    double m_dY = -1, m_Y0 = 0;
    double m_dy = -1, m_y0 = 0;
    BOOL m_bVisible = FALSE;
    int m_nPts = 0;
    int m_iDispMode = Opaque;
    unsigned short m_FullScale = 0;
    unsigned short m_MaxScale = 0;

    // Block extremes of the values, built at the first drawing that has many
    // points per pixel column, and the column extremes of the last such
    // drawing; both kept until the data change.
    mutable plot::CMinMaxPyramid m_Envelope;
    mutable plot::SColumnEnvelope m_Columns;
    void DropEnvelope() const
    {
        m_Envelope.Clear();
        m_Columns.Clear();
    }

    // Vertices of the curve being drawn, shared by all curves; grows as needed.
    static std::vector<CPoint>& VertexBuffer();
};
