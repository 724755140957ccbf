#pragma once
// A draggable vertical or horizontal line across a plot. Its position is a
// client coordinate of its window (x of a vertical line, y of a horizontal
// one); the curve it is attached to keeps it at its data position when the
// plot is zoomed, scrolled or resized. Processing dialogs use line cursors as
// limit and position markers; the display pane uses an invisible one for
// scroll drags.
//
// The line is drawn by its curve after the curve, inside the window's paint:
// in XOR mode onto the window's back buffer, so showing and hiding it leaves
// the picture as it was. Show and MoveTo repaint what the line covers.

#include "app/plot/PlotTypes.h"

#include <QPointer>
#include <QRubberBand>

class QPainter;

class CLineCursor
{
public:
    enum PosnMode
    {
        ByPosition = 0,
        ByIndex = 1,
    };
    enum Orientation
    {
        Vert = 0,
        Horz = 1,
    };
    static constexpr int ProximityValue = 5;

    explicit CLineCursor(int bHorz);
    CLineCursor(const CLineCursor& src);
    CLineCursor& operator=(const CLineCursor&) = delete;
    // The cursor must have been detached from its curve first.
    virtual ~CLineCursor();

    void Attach(CWnd* pWnd) { m_pWnd = pWnd; }
    CWnd* GetWnd() const { return m_pWnd; }
    void SetClipRect(const CRect& r) { m_rClip = r; }
    const CRect& GetClipRect() const { return m_rClip; }
    // Sets the position without drawing.
    void SetPos(const double& dPos) { m_dPos = dPos; }
    double GetPos() const { return m_dPos; }
    int GetScreenPos() const;
    int GetOrientation() const { return m_bHorz; }
    // The cursor must be hidden.
    void SetOrientation(int bHorz);
    // A cursor resource of the program for the line and its drag.
    void SetCursor(int nID);
    // R2_NOT, R2_XORPEN, R2_NOP or R2_COPYPEN.
    void SetDrawMode(int iMode);
    int GetDrawMode() const { return m_iDrawMode; }
    void SetColor(COLORREF clr) { m_clrPen = clr; }
    BOOL IsShown() const { return m_bShow; }

    // Needs an attached window; with bDraw the line's strip is repainted.
    void Show(int bShow, int bDraw);
    void MoveTo(double dPos, const CRect* pClip = nullptr);
    // Draws the line on the painter (the back buffer of the window's paint);
    // without a painter the line's strip is repainted. Returns the screen
    // position, or INT_MIN when hidden.
    int Draw(QPainter* pDC, const CRect* pClip) const;
    BOOL HitTest(const CPoint& point) const;
    HCURSOR GetCursor(const CPoint& point) const;
    // Drags the line when point hits it: WMAPP_LC_POS after a move,
    // WMAPP_LC_ESC when hit but not moved, 0 when not hit. Runs a modal mouse
    // loop until the button is released.
    int Track(const CPoint& point, const CRect* pClip);

private:
    int Drag(const CPoint& point, const CRect* pClip);
    // The line's strip in the window, for repainting.
    CRect LineRect(double dPos) const;
    void InvalidateLine(double dPos) const;

    int m_iPosnMode = ByIndex;
    BOOL m_bShow = FALSE;
    BOOL m_bHorz;
    COLORREF m_clrPen = 0;
    HCURSOR m_hCursor = nullptr;
    CRect m_rClip;
    CWnd* m_pWnd = nullptr;
    double m_dPos = -1.0;
    double* m_pdS = nullptr; // kept for the index position mode, which nothing uses
    double* m_pS0 = nullptr;
    int m_iWidth = 0;
    int m_iDrawMode = R2_XORPEN;
};

// Runs the drag of a line cursor: follows the mouse with a one-pixel line
// across the clip rectangle and sends the window WMAPP_HL_TRACKING (new y) or
// WMAPP_VL_TRACKING (new x) with the cursor whenever that coordinate changes.
class CLineTracker
{
public:
    CLineTracker(const CRect* pClip, CLineCursor* pCursor, int bHorz);
    ~CLineTracker();
    CLineTracker(const CLineTracker&) = delete;
    CLineTracker& operator=(const CLineTracker&) = delete;

    void SetDraw(bool bDraw) { m_bDraw = bDraw; }
    // One step of the rubber band (rect spans the click and the mouse).
    void DrawTrackerRect(const CRect& rect, CWnd* pWnd);
    // The modal loop from point; true with *pEnd when the drag completed.
    bool Track(CWnd* pWnd, const CPoint& point, CPoint* pEnd);

private:
    CRect m_rClip;
    int m_bHorz;
    bool m_bDraw = true;
    CLineCursor* m_pCursor;
    CPoint m_ptLast;
    QPointer<QRubberBand> m_pBand; // child of the window while tracking
};
