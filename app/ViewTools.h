#pragma once
// What a spectrum view tells the processing dialog or analysis sheet that
// works on it, and how the view finds the open ones. The tools derive from
// IViewTool beside their dialog class; the view finds the open processing
// dialog through CVeltraneView::GetProcDlg and each analysis sheet through
// the functions below, non-null only while the sheet's window exists.

#include <cstdint>

class CSpecViewBase;
class CSpecWnd;
class CSpecTrace;
class QPainter;

class IViewTool
{
public:
    virtual ~IViewTool() = default;

    // The view the tool works on.
    virtual CSpecViewBase* GetView() const = 0;

    // The active plot window changed (new, old; either may be null).
    virtual void OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld)
    {
        (void)pNew;
        (void)pOld;
    }
    // Another curve became the current one.
    virtual void OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld)
    {
        (void)pNew;
        (void)pOld;
    }
    // The view shows another stage position.
    virtual void OnSampleChange(int iNew, int iOld)
    {
        (void)iNew;
        (void)iOld;
    }
    // A plot window has painted; the tool may draw over it on the same painter.
    virtual intptr_t OnPaintOver(CSpecWnd* pWnd, QPainter* pDC)
    {
        (void)pWnd;
        (void)pDC;
        return 0;
    }
    // A line cursor was dragged: wParam the address of its old position (a
    // double), lParam the CLineCursor.
    virtual intptr_t OnLineCursorPos(uintptr_t wParam, intptr_t lParam)
    {
        (void)wParam;
        (void)lParam;
        return 0;
    }
    // A click that the plot did not use, at window x.
    virtual void OnViewClick(int x) { (void)x; }

    // The view goes: a processing dialog cancels, a sheet's window is
    // destroyed without OK or Cancel processing, the curve-fitting sheet is
    // closed as by its close box.
    virtual void OnCancel() {}
    virtual void DestroyWindow() {}
    virtual void CloseWindow() {}
};

// The open processing dialog as a tool, or null.
IViewTool* GetProcDlgTool();

// The analysis sheets of the Process menu as tools, reached through the slots
// of SToolInstances that each sheet sets while its window exists; null
// otherwise. (The sheets themselves live with the analysis tools, which build
// on this application library, not the other way round.)
IViewTool* ChemPrfSheetTool();
IViewTool* PelomarSheetTool();
IViewTool* QuantifySheetTool();
