#pragma once
// The plot area of a display pane: owns the curves of one plane, shows at most
// 20 of them (every n-th when there are more), lays the shown ones out stacked,
// offset into a waterfall or overlaid, draws the backdrop that joins them, and
// hands zooms, scrolls, clicks and updates to the right curves.
// User-interface thread only.

#include "app/plot/PlotMath.h"
#include "app/plot/SpecTrace.h"

#include <memory>
#include <vector>

class CSpecDraw
{
public:
    enum DispMode
    {
        Stack = 0,
        Offset = 1,
        Overlay = 2,
    };
    static constexpr int MaxNumDispTraces = plot::kMaxNumDispTraces;

    CSpecDraw() = default;
    CSpecDraw(const CSpecDraw& src);
    CSpecDraw& operator=(const CSpecDraw&) = delete;
    virtual ~CSpecDraw() = default;

    // Creates the n curves (once, before any other curve operation) and shows all.
    void SetNumTraces(int n);
    int GetNumTraces() const { return int(m_caSpecTraces.size()); }
    // Null for an index outside the area.
    CSpecTrace* GetSpecTrace(int iTrace) const;
    // The first shown curve.
    CSpecTrace* GetSpecTrace() const { return GetSpecTrace(m_iDispTrace); }
    int GetNumPoints(int iTrace) const;
    double* GetYData(int* pnPts, int iTrace) const;
    double* GetYData(int i, int iTrace) const;
    void SetYData(double* pdYData, double dMinYVal, double dMaxYVal, int nPts, int iTrace);
    void SetXData(const double* pdXData, double dMinXVal, double dMaxXVal, int nPts, int iTrace);
    void SetPen(QPen* pPen, int iTrace);
    void SetSymbol(const CSymbol* pSymbol, int iTrace);
    void SetDataAutoDelete(BOOL b, int iTrace);
    // Over all curves; the area must have at least one.
    double GetMaxValue() const;
    double GetMinValue() const;

    // 2147483647 shows all curves.
    void SetDispTrace(int iFirst);
    void SetDispTrace(int iFirst, int iStep, int nCount);
    int GetDispTrace() const { return m_iDispTrace; }
    int GetNumDispTraces() const { return m_nDispTraces; }
    int GetDispTraceStep() const { return m_nDispStep; }
    void SetDispMode(int iMode, bool = false);
    int GetDispMode() const { return m_iDispMode; }
    void SetVisible(BOOL bVisible);

    int SetRect(const CRect* pRect, BOOL bX, BOOL bY);
    const CRect* GetRect() const { return &m_rDisp; }
    const CRect* GetTraceRect() const { return &m_rTrace; }
    CSize GetShifts() const { return m_ptShifts; }
    int GetTraceHeight(const CRect& r) const;
    int GetTraceWidth(const CRect& r) const;
    int Draw(QPainter* pDC, const CRect* pClip, BOOL bPreview);

    int SetDispLimits(int iXfactor, int iYfactor, BOOL bNotTest);
    int SetDispLimits(CSpecTrace::XYSet xy, const double* pdLimits, BOOL bRecalc);
    // Rubber band: every shown curve zooms on the band as placed over the
    // front-most curve under its top-left corner (moved by each curve's
    // offset); that curve's result is returned.
    int SetDispLimits(const CRect* pRect);
    // Only while exactly one curve is shown.
    int ScrollHorz(int dx, RECT* prUpdate);
    int ScrollVert(int dy, RECT* prUpdate);

    BOOL Attach(CLineCursor* pCursor, CSpecTrace* pTrace);
    BOOL Detach(CLineCursor* pCursor);
    BOOL OnLButtonDown(UINT nFlags, CPoint point);
    HCURSOR GetCursor(CPoint& point) const;
    void OnUpdate(CWnd* pWnd, int iFrom, int iTo, int iTrace);
    // Values changed in place: one curve, or every curve (CSpecTrace::DataChanged).
    void DataChanged(int iTrace);
    void DataChanged();

private:
    bool IsShown(int iTrace) const;
    template <class F> void ForShown(F f) const
    {
        for (int k = 0; k < m_nDispTraces; ++k)
            if (CSpecTrace* t = GetSpecTrace(m_iDispTrace + k * m_nDispStep))
                f(t);
    }

    std::vector<std::unique_ptr<CSpecTrace>> m_caSpecTraces;
    CRect m_rTrace;
    CRect m_rDisp;
    CSize m_ptShifts;
    int m_iDispMode = Stack; // the views set their own; profile views keep this
    int m_iDispTrace = 0;
    int m_nDispTraces = 0;
    int m_nDispStep = 1;
};
