#pragma once
// The plot window of one region (spectrum view), one set of profiles
// (profile views) or one line scan (image view). It holds one display pane per
// plane (stage position), shows one plane at a time and passes every request
// to the pane of that plane or of a plane the caller names. It paints the
// pane into a back buffer (line cursors are XOR-drawn there), lets the view
// draw overlays (WMAPP_PAINTOVER), draws the active frame, sets the mouse
// cursor and turns clicks into line-cursor drags, zooms and scrolls.
//
// Notices to the parent view go through the framework's SendAppMessage:
// WM_PARENTNOTIFY with WM_LBUTTONDOWN before every click (the window system
// no longer sends it) and with WM_LBUTTONUP (0x202) for a click the plot did
// not use (x low word, y high word); WMAPP_LC_POS passed on from a curve;
// WMAPP_PAINTOVER with this window and the QPainter* after each paint.
// User-interface thread only.

#include "app/plot/DispWnd.h"
#include "app/plot/SpecDisp.h"
#include "framework/ui/AppMessage.h"

#include <QImage>
#include <memory>
#include <string>
#include <vector>

class CView;

class CSpecWnd : public CDispWnd, public IAppMessageHandler
{
    Q_OBJECT
public:
    enum Area
    {
        TraceArea = 1,
        HorzAxis = 2,
        VertAxis = 4,
        DispArea = 7,
        WholeWnd = 0xF,
    };
    enum DispMode
    {
        Stack = 0,
        Offset = 1,
        Overlay = 2,
    };
    static constexpr unsigned FirstWndId = 0xE900;

    explicit CSpecWnd(int nPlanes);
    ~CSpecWnd() override;

    // An invisible child of pParent with id nID (0xE900 + the window's index).
    BOOL Create(CView* pParent, const RECT& rect, UINT nID);
    CView* GetParentView() const { return m_pParentView; }

    int GetNumPlanes() const { return int(m_caSpecDisp.size()); }
    int GetDispPlane() const { return m_iDispPlane; }
    int GetWndID() const { return m_nID; }
    void SetDispPlane(int iPlane, int bRedraw);

    // Requests for an explicit plane (valid plane and curve required).
    void SetNumTraces(int nTraces, int iPlane);
    void SetCaption(const std::string& s, int iPlane);
    void SetHorzAxisLabel(const std::string& s, int iPlane);
    void SetHorzAxisUnits(double U0, double U1, int iPlane);
    void SetDataAutoDelete(int bAutoDelete, int iTrace, int iPlane);
    // The curve's pen; ownership as CSpecTrace::SetPen.
    void SetPen(QPen* pPen, int iTrace, int iPlane);
    void SetSymbol(const CSymbol* pSymbol, int iTrace, int iPlane);
    void SetXData(const double* p, double dMinXVal, double dMaxXVal, int nPts, int iTrace, int iPlane);
    void SetYData(double* p, double dMinYVal, double dMaxYVal, int nPts, int iTrace, int iPlane);
    double* GetYData(int* pnPts, int iTrace, int iPlane) const;
    double* GetYData(int i, int iTrace, int iPlane) const;
    int GetNumPoints(int iTrace, int iPlane) const;
    double UnitTox(double U, int iPlane) const;
    double xToUnit(double x, int iPlane) const;
    // Points iFrom..iTo of the curve have new values; their strip is repainted.
    void OnUpdate(int iFrom, int iTo, int iTrace, int iPlane);
    // The values of a curve, or of every curve of every plane, were changed
    // in place other than through OnUpdate (an undo copy put back, a
    // processing step): drawing drops what it cached of the old values.
    // Invalidate does this too.
    void DataChanged(int iTrace, int iPlane);
    void DataChanged();

    // A negative iPlane means the plane on show.
    CSpecTrace* GetSpecTrace(int iTrace, int iPlane = -1) const;
    int GetNumTraces(int iPlane = -1) const;
    int GetDispTrace(int iPlane = -1) const;
    int GetNumDispTraces(int iPlane = -1) const;
    int GetDispTraceStep(int iPlane = -1) const;

    // The plane on show.
    const CRect* GetDispRect() const;
    int SetDispLimits(int iXfactor, int iYfactor, int bNotTest);
    void OnPrint(QPainter* pDC, CRect* pRect, BOOL bPreview);
    // The cursor the pane wants at a screen point.
    HCURSOR GetCursor(CPoint ptScreen) const;
    CSpecDisp* GetDisp(int iPlane = -1) const;

    // Every plane.
    void SetDispMode(int iMode, bool b);

    // On the plane on show; a negative first curve keeps the present one.
    void SetDispTrace(int iTrace, bool bLayout);
    void SetDispTrace(int iFirst, int iStep, int nCount, bool bLayout);

    BOOL Attach(CLineCursor* pCursor, CSpecTrace* pTrace);
    BOOL Detach(CLineCursor* pCursor);

    // Full layout of the plane on show, then show or hide the window.
    void Show(bool bShow, double* pdMax, double* pdMin, double U0, double U1);
    // Re-layout and show, or hide.
    void Show(int bShow);
    // Invalidating the trace area, or the whole window, also drops what
    // drawing cached of the curves' values: a caller that wrote through a data
    // pointer needs nothing more than the Invalidate.
    void Invalidate(int nArea, bool bErase);
    void Invalidate(bool bErase);

    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    // The click handler (a left-button press at a client point).
    void OnLButtonDown(UINT nFlags, CPoint point);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    // The client rectangle less the 3-D edge.
    CRect InnerRect() const;
    intptr_t OnLineCursorPos(uintptr_t wParam, intptr_t lParam);
    void OnSetCursor(const CPoint& point);

    std::vector<std::unique_ptr<CSpecDisp>> m_caSpecDisp;
    CView* m_pParentView = nullptr;
    int m_iDispPlane = 0;
    int m_nID = -1;
    QImage m_backBuffer; // scratch for each paint; cursors are XOR-drawn into it
};
