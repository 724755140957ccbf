#pragma once
// The base of the views that show curves in plot windows (spectrum and
// profile views): one plot window per region index, each with one plane per
// stage position. It decides which stage position (sample) is shown, whether
// one region window or all are visible and where they sit, which levels
// every visible window shows and which window is active; it carries out the
// Sample, Region and Level buttons, the expand and contract commands, the
// choice of the active window by click, passes the plot windows'
// notifications to the tool that works on the view, keeps the undo copy of
// the curve values and prints the visible windows on one page.

#include "app/VeltraneView.h"
#include "app/ViewLayout.h"
#include "app/plot/PlotTypes.h"
#include "framework/ui/AppMessage.h"

#include <QRect>
#include <memory>
#include <vector>

class CSpecWnd;
class CSpecTrace;
class CSpecRgn;
class CStagePosn;
class QPainter;
class QPrinter;

class CSpecViewBase : public CVeltraneView, public IAppMessageHandler
{
    Q_OBJECT
public:
    // Child ids of the plot windows: 0xE900 + region index.
    static constexpr unsigned FirstSpecWndID = 0xE900;
    // First item id of the Sample and Region drop-down lists.
    static constexpr unsigned FirstDropItemID = 33000;
    static constexpr int AllTraces = 0x7FFFFFFF;

    CSpecViewBase();
    ~CSpecViewBase() override;

    virtual bool SelectRegion(int iRegion);
    virtual bool SelectSample(int iSample);

    // The active window, else the first visible one; null without windows.
    CSpecWnd* GetSpecWnd() const;
    // Window i, or null when i is negative or not below the number of windows.
    CSpecWnd* GetSpecWnd(int i) const;
    int GetNumSpecWnds() const { return static_cast<int>(m_caSpecWnd.size()); }
    // The current window's curve m_iDispTrace of its displayed plane.
    CSpecTrace* GetSpecTrace() const;
    // The region of the current sample at the active window, else at the first
    // visible one; null when the sample has no such region.
    CSpecRgn* GetCurrentRegion() const;
    int GetCurrentSample() const { return m_iSample; }
    // The selected level when the current plane has it, else the first shown.
    int GetCurrentLevel() const;
    // The number of curves of the shown sample in the first visible window.
    int GetNumLevels() const;
    int GetFirstDispWnd() const { return m_iDispWnd; }
    int GetNumDispWnds() const { return m_nDispWnds; }
    int GetActiveDispWnd() const { return m_iActiveWnd; }
    int GetDispTrace() const { return m_iDispTrace; }
    int GetDispTraceStep() const { return m_nDispStep; }
    int GetNumDispTraces() const { return m_nDispTraces; }
    bool IsMultiTraceDisplay() const { return m_bMultiTrace; }
    bool IsMultiRegionDisplay() const { return m_bMultiRegion; }

    // One level (AllTraces: all of them) or a range of levels in every
    // visible window; the tools hear of a change of the current curve.
    bool SetDispTrace(int iTrace);
    bool SetDispTraces(int iFirst, int iStep, int nTraces);
    // -1: no active window.
    void SetActiveDispWnd(int i);
    void SetWindowPositions();
    // After a resize: the view size and the windows laid out anew for the
    // shown position (a document not yet saved or opened has nothing to lay out).
    void LayOutForSize();
    void EnableMultiTraceDisplay(bool b);
    void EnableMultiRegionDisplay(bool b);

    // The values of every curve of every plane of every window, in window,
    // plane, curve, point order; and back (values only, not the limits).
    std::unique_ptr<double[]> CopyYData() const;
    size_t GetYDataSize() const;
    void RestoreYData(const double* pdData);

    // Notifications from the plot windows, passed to the tools.
    intptr_t OnLineCursorPos(uintptr_t wParam, intptr_t lParam);
    intptr_t OnPaintOver(CSpecWnd* pWnd, QPainter* pDC);
    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // Printing: one cell per visible window on a page whose printable area
    // is rectDraw (device pixels of the painter at dpi dots per inch).
    std::vector<QRect> CalcPrintRects(const QRect& rectDraw, double dpiX, double dpiY) const;
    void OnPrint(QPainter* pDC, const QRect& rectDraw, double dpiX, double dpiY, bool bPreview);

    void OnDispDropDown(unsigned id, QMenu* menu) override;
    // The Level button's drop-down: the level dialog under the button.
    void RunLevelDialog(QWidget* button);

protected:
    void OnPrint(QPrinter* printer, bool bPreview) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;

    // The stage position of the shown sample, or null.
    CStagePosn* GetStagePosn(int i) const;
    int GetNumRgns(int iSample) const;
    int GetNumSamples() const;
    // Replaces the plot windows (the derived view's initial update builds them).
    void ResetSpecWnds(int nWnds);
    // The level range of the current window into the three level members.
    void ReadDispTraces(CSpecWnd* pWnd);
    bool IsVisible(int i) const;
    // A click in plot window i (Ctrl+Shift on the active one: none active).
    void OnSpecWndClick(int i, bool bCtrlShift);
    void OnZoom(int iXfactor, int iYfactor, int bit);
    bool CanZoom() const;

    std::vector<std::unique_ptr<CSpecWnd>> m_caSpecWnd;
    bool m_bMultiTrace = true;
    bool m_bMultiRegion = true;
    int m_iSample = 0;
    int m_iActiveWnd = -1;
    int m_iDispWnd = 0;
    int m_nDispWnds = 0;
    int m_iDispTrace = 0;
    int m_nDispTraces = 0;
    int m_nDispStep = 1;
};
