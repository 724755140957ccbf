#pragma once
// The vertical (intensity) axis along the left of a display pane: fits itself
// to a data range, rounding the maximum up to a tick, and draws its line,
// ticks and right-aligned labels.

#include "app/plot/AxisFont.h"
#include "app/plot/AxisParams.h"

#include <QFont>

class QPainter;
class QWidget;

class CVertAxis
{
public:
    using Defaults = plot::SAxisDefaults;

    CVertAxis();
    CVertAxis(const CVertAxis& src);
    CVertAxis& operator=(const CVertAxis&) = delete;
    virtual ~CVertAxis();

    const CAxisParams* GetParams() const { return &m_Params; }
    CAxisParams* GetParams() { return &m_Params; }
    const CRect* GetRect() const { return &m_rDisp; }
    BOOL IsVisible() const { return m_bVisible; }
    const QFont* GetFont() const { return m_font.Get(); }

    int SetParams(QPainter* pDC);
    void Draw(QPainter* pDC, const CRect* pRect, BOOL bPreview);
    void Invalidate(QWidget* pWnd, bool bErase) const;
    void Scroll(int d, CRect& rUpdate);
    void SetLimits(double s0, double s1, double U0, double U1);
    void SetLimits(double s0, double s1) { SetLimits(s0, s1, m_UMin, m_UMax); }

    // The rectangle only (the width stays the axis's own).
    int SetRect(const CRect& r);
    // Fits the axis to *pMin..*pMax in rows r.top..r.bottom-1 and rounds *pMax
    // up to a tick; both 0 give 0..10000, an empty range a range of 1.
    int SetRect(const CRect& r, double* pMin, double* pMax);
    int GetWidth() const { return m_cxWidth; }
    double GetMax() const { return m_UMax; }
    double GetMin() const { return m_UMin; }
    double UnitToy(double U) const { return (U - m_U0) / m_dU; }

    double GetTickStep() const { return m_dTickStep; }
    double GetTickSpacing() const { return m_dTickSpacing; }
    double GetTickPos() const { return m_TickPos; }
    double GetTickVal() const { return m_TickVal; }
    double GetMaxTickStep() const { return m_dMaxTickStep; }
    double GetUnitsPerPixel() const { return m_dU; }

private:
    void CalcTicks();
    void AnchorTicks();

    CAxisParams m_Params;
    plot::CAxisFont m_font;
    CRect m_rDisp;
    double m_dMaxTickStep = 1;
    double m_dTickStep = 1;
    double m_dTickSpacing = 1;
    double m_TickPos = 0;
    double m_TickVal = 0;
    double m_sMin = 0, m_sMax = 0;
    double m_UMax = 0, m_UMin = 0;
    double m_U0 = 0;
    double m_dU = -1;
    int m_iTickIndex = 0;
    BOOL m_bVisible;
    int m_nTrunc = 0;
    int m_cxWidth = 0;
};
