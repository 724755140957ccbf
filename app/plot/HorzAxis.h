#pragma once
// The horizontal (energy or point) axis along the bottom of a display pane:
// maps values to x, chooses a tick step from 1, 2, 3, 4, 5, 10, 20 times a
// power of ten so that labels do not crowd, and draws its line, ticks and
// labels. It also keeps the pane's axis label text.

#include "app/plot/AxisFont.h"
#include "app/plot/AxisParams.h"

#include <QFont>
#include <string>

class QPainter;
class QWidget;

class CHorzAxis
{
public:
    using Defaults = plot::SAxisDefaults;

    CHorzAxis();
    CHorzAxis(const CHorzAxis& src);
    CHorzAxis& operator=(const CHorzAxis&) = delete;
    virtual ~CHorzAxis();

    const CAxisParams* GetParams() const { return &m_Params; }
    CAxisParams* GetParams() { return &m_Params; }
    const CRect* GetRect() const { return &m_rDisp; }
    BOOL IsVisible() const { return m_bVisible; }
    const QFont* GetFont() const { return m_font.Get(); }

    // Prepares the font and parameters for the painter's device (a printer
    // gets a font of the same physical size, owned by the axis).
    int SetParams(QPainter* pDC);
    void Draw(QPainter* pDC, const CRect* pRect, BOOL bPreview);
    void Invalidate(QWidget* pWnd, bool bErase) const;
    void Scroll(int d, CRect& rUpdate);
    void SetLimits(double s0, double s1, double U0, double U1);
    void SetLimits(double s0, double s1) { SetLimits(s0, s1, m_UMin, m_UMax); }

    void SetRect(const CRect& r);
    int GetHeight() const { return m_Params.m_cy; }
    void SetClipRect(const CRect& r);
    const CRect* GetClipRect() const { return &m_rClip; }
    void SetLabel(const std::string& s) { m_csLabel = s; }
    std::string GetLabel() const { return m_csLabel; }
    double UnitTox(double U) const { return (U - m_U0) / m_dU; }
    double xToUnit(double x) const { return x * m_dU + m_U0; }

    double GetTickStep() const { return m_dTickStep; }
    double GetTickSpacing() const { return m_dTickSpacing; }
    double GetTickPos() const { return m_TickPos; }
    double GetTickVal() const { return m_TickVal; }
    int GetTickIndex() const { return m_iTickIndex; }
    int GetTrunc() const { return m_nTrunc; }

private:
    void CalcTicks();

    CAxisParams m_Params;
    plot::CAxisFont m_font;
    CRect m_rDisp;
    CRect m_rClip;
    std::string m_csLabel;
    double m_dTickStep = 1;
    double m_dTickSpacing = 1;
    double m_TickPos = 0;
    double m_TickVal = 0;
    double m_sMin = 0, m_sMax = 0;
    double m_UMax = 0, m_UMin = 0;
    double m_U0 = 0;
    double m_dU = 1;
    int m_iTickIndex = 0;
    BOOL m_bVisible;
    int m_nTrunc = 0;
    int m_cxWidth = 0;
};
