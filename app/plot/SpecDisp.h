#pragma once
// One pane of a plot window: the picture of one plane (stage position). It
// lays out a margin, the vertical axis, the plot area, the horizontal axis and
// a caption line, draws them, prints a copy of itself, and carries out the
// mouse actions on the plot: a click on a line cursor drags it, a plain drag
// zooms into the dragged rectangle, Ctrl-drag scrolls sideways and Shift-drag
// up and down (only while one curve is shown). User-interface thread only.

#include "app/plot/HorzAxis.h"
#include "app/plot/SpecDraw.h"
#include "app/plot/VertAxis.h"

#include <string>

class CSpecWnd;
class QPainter;

class CSpecDisp
{
public:
    CSpecDisp() = default;
    // A copy for printing: axes, rectangles, the plot area with copies of its
    // curves (no cursors), caption; not scrolling.
    CSpecDisp(const CSpecDisp& src);
    CSpecDisp& operator=(const CSpecDisp&) = delete;
    virtual ~CSpecDisp() = default;

    // Full layout for a new pane or new data. pdMax, pdMin: the intensity
    // range to show, or null for the curves' own; U0, U1: axis values at the
    // first and last point of the first shown curve.
    void Show(int bVisible, const CRect& rect, QPainter* pDC, double* pdMax, double* pdMin, double U0,
              double U1);
    // Layout after a size change or a change of the shown curves.
    void Show(int bVisible, const CRect& rect, bool bKeepVert);
    int Draw(QPainter* pDC, const CRect* pClip, BOOL bPreview);
    // Lays a copy out in *pRect (same intensity range) and draws it.
    void OnPrint(QPainter* pDC, CRect* pRect, BOOL bPreview);
    BOOL IsVisible() const { return m_bVisible; }
    const CRect* GetDispRect() const { return &m_rDisp; }
    const CRect* GetDrawRect() const { return m_SpecDraw.GetRect(); }
    const CRect* GetCaptionRect() const { return &m_rCaption; }
    void InvalidateHorzAxis(QWidget* pWnd, bool bErase) const { m_HorzAxis.Invalidate(pWnd, bErase); }
    void InvalidateVertAxis(QWidget* pWnd, bool bErase) const { m_VertAxis.Invalidate(pWnd, bErase); }
    void SetCaption(const std::string& s) { m_csCaption = s; }
    const std::string& GetCaption() const { return m_csCaption; }
    void SetHorzAxisLabel(const std::string& s) { m_HorzAxis.SetLabel(s); }
    CHorzAxis& GetHorzAxis() { return m_HorzAxis; }
    CVertAxis& GetVertAxis() { return m_VertAxis; }
    CSpecDraw& GetSpecDraw() { return m_SpecDraw; }

    void SetHorzAxisUnits(double U0, double U1);
    void SetHorzAxisLimits();
    void SetVertAxisLimits();
    double UnitTox(double U) const { return m_HorzAxis.UnitTox(U); }
    double xToUnit(double x) const { return m_HorzAxis.xToUnit(x); }

    int SetDispLimits(int iXfactor, int iYfactor, int bNotTest);
    int SetDispLimits(const CRect* pRect);

    // Forwarded to the plot area.
    void SetNumTraces(int n) { m_SpecDraw.SetNumTraces(n); }
    void SetDispMode(int iMode, bool b) { m_SpecDraw.SetDispMode(iMode, b); }
    void SetYData(double* p, double dMin, double dMax, int nPts, int iTrace)
    {
        m_SpecDraw.SetYData(p, dMin, dMax, nPts, iTrace);
    }
    void SetXData(const double* p, double dMin, double dMax, int nPts, int iTrace)
    {
        m_SpecDraw.SetXData(p, dMin, dMax, nPts, iTrace);
    }
    void SetPen(QPen* pPen, int iTrace) { m_SpecDraw.SetPen(pPen, iTrace); }
    void SetSymbol(const CSymbol* pSymbol, int iTrace) { m_SpecDraw.SetSymbol(pSymbol, iTrace); }
    void SetDataAutoDelete(BOOL b, int iTrace) { m_SpecDraw.SetDataAutoDelete(b, iTrace); }
    CSpecTrace* GetSpecTrace(int iTrace) const { return m_SpecDraw.GetSpecTrace(iTrace); }
    int GetNumTraces() const { return m_SpecDraw.GetNumTraces(); }
    int GetNumPoints(int iTrace) const { return m_SpecDraw.GetNumPoints(iTrace); }
    double* GetYData(int* pnPts, int iTrace) const { return m_SpecDraw.GetYData(pnPts, iTrace); }
    double* GetYData(int i, int iTrace) const { return m_SpecDraw.GetYData(i, iTrace); }
    int GetDispTrace() const { return m_SpecDraw.GetDispTrace(); }
    int GetNumDispTraces() const { return m_SpecDraw.GetNumDispTraces(); }
    int GetDispTraceStep() const { return m_SpecDraw.GetDispTraceStep(); }
    BOOL Attach(CLineCursor* c, CSpecTrace* t) { return m_SpecDraw.Attach(c, t); }
    BOOL Detach(CLineCursor* c) { return m_SpecDraw.Detach(c); }
    HCURSOR GetCursor(CPoint& point) const { return m_SpecDraw.GetCursor(point); }
    void OnUpdate(QWidget* pWnd, int iFrom, int iTo, int iTrace)
    {
        m_SpecDraw.OnUpdate(pWnd, iFrom, iTo, iTrace);
    }
    void DataChanged(int iTrace) { m_SpecDraw.DataChanged(iTrace); }
    void DataChanged() { m_SpecDraw.DataChanged(); }
    void SetDispTrace(int iFirst, bool bLayout);
    void SetDispTrace(int iFirst, int iStep, int nCount, bool bLayout);

    // TRUE when the pane used the click.
    BOOL OnLButtonDown(CSpecWnd* pWnd, UINT nFlags, CPoint point);
    // One step of a Ctrl- or Shift-drag; TRUE when the pane scrolled.
    BOOL OnVertLineTrack(QWidget* pWnd, int x, CLineCursor* pCursor);
    BOOL OnHorzLineTrack(QWidget* pWnd, int y, CLineCursor* pCursor);
    bool IsScrolling() const { return m_bScrolling; }

private:
    // Steps 2 to 6 of the layout; returns the plot area's rectangle.
    CRect LayOut(const CRect& rect, int mode, double* pdMin, double* pdMax, const double* pU);
    void DrawParts(QPainter* pDC, const CRect* pClip, BOOL bPreview);
    BOOL ScrollDrag(CSpecWnd* pWnd, CPoint point, bool bHorz);

    CHorzAxis m_HorzAxis;
    CRect m_rDisp;
    CRect m_rCaption;
    CSpecDraw m_SpecDraw;
    std::string m_csCaption;
    CVertAxis m_VertAxis;
    BOOL m_bVisible = FALSE;
    bool m_bScrolling = false;
    int m_cyCaption = 0;
};
