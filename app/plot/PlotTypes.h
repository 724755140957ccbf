#pragma once
// Window-system value types and constants that the plot classes speak in.
// Rectangles follow the window-system convention: right and bottom are
// exclusive. RECT, POINT and SIZE come from the platform's shared header, so a
// source that shows a grid and a plot can include both.

#include <algorithm>
#include <climits>

#include "platform/WinTypes.h"

class QWidget;
using CWnd = QWidget;

constexpr COLORREF PlotRGB(int r, int g, int b)
{
    return COLORREF(r & 0xff) | (COLORREF(g & 0xff) << 8) | (COLORREF(b & 0xff) << 16);
}

struct CPoint : POINT
{
    constexpr CPoint() = default;
    constexpr CPoint(int px, int py) : POINT{px, py} {}
    friend constexpr bool operator==(const CPoint& a, const CPoint& b) { return a.x == b.x && a.y == b.y; }
};

struct CSize : SIZE
{
    constexpr CSize() = default;
    constexpr CSize(int w, int h) : SIZE{w, h} {}
    friend constexpr bool operator==(const CSize& a, const CSize& b) { return a.cx == b.cx && a.cy == b.cy; }
};

struct CRect : RECT
{
    constexpr CRect() = default;
    constexpr CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    constexpr CRect(const RECT& r) : RECT(r) {}

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    // Empty: no area (width or height not positive).
    constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
    // Null: all four edges 0.
    constexpr bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    constexpr bool PtInRect(const POINT& p) const
    {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    constexpr void SetRectEmpty() { left = top = right = bottom = 0; }
    constexpr void OffsetRect(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    constexpr void InflateRect(int dx, int dy)
    {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }
    constexpr void NormalizeRect()
    {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    // The intersection; an empty result is set to all zeros, as the window system does.
    constexpr bool IntersectRect(const RECT& a, const RECT& b)
    {
        left = std::max(a.left, b.left);
        top = std::max(a.top, b.top);
        right = std::min(a.right, b.right);
        bottom = std::min(a.bottom, b.bottom);
        if (IsRectEmpty()) {
            SetRectEmpty();
            return false;
        }
        return true;
    }
    constexpr void UnionRect(const RECT& a, const RECT& b)
    {
        const CRect ra(a), rb(b);
        if (ra.IsRectEmpty()) {
            *this = rb;
        } else if (rb.IsRectEmpty()) {
            *this = ra;
        } else {
            left = std::min(a.left, b.left);
            top = std::min(a.top, b.top);
            right = std::max(a.right, b.right);
            bottom = std::max(a.bottom, b.bottom);
        }
    }
    friend constexpr bool operator==(const CRect& a, const CRect& b)
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};

// The program's messages that the plot windows send or take. They travel
// through the framework's SendAppMessage with these values.
enum : unsigned
{
    WMAPP_LC_POS = 0x8020,      // a line cursor was dragged: old position (double*), cursor
    WMAPP_LC_ESC = 0x8022,      // Track's result when a cursor was hit but not moved; never sent
    WMAPP_HL_TRACKING = 0x8030, // a horizontal line cursor is dragged: new y, cursor
    WMAPP_VL_TRACKING = 0x8031, // a vertical line cursor is dragged: new x, cursor
    WMAPP_PAINTOVER = 0x8050,   // a plot window has painted: window, QPainter*
    WM_PARENTNOTIFY = 0x0210,   // a click in a child: the mouse message, x | y << 16
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
};

// Raster operations of a line cursor.
enum : int
{
    R2_NOT = 6,
    R2_XORPEN = 7,
    R2_NOP = 11,
    R2_COPYPEN = 13,
};

// Mouse-key flags as the click handlers take them.
enum : UINT
{
    MK_LBUTTON = 0x0001,
    MK_SHIFT = 0x0004,
    MK_CONTROL = 0x0008,
};

// Cursor resources of the program: the split-bar cursors of the scroll drags.
enum : int
{
    IDC_SPLIT_HORZ = 30980, // Ctrl-drag scrolls sideways
    IDC_SPLIT_VERT = 30981, // Shift-drag scrolls up and down
};

// Mouse cursors by id: the system's (IDC_*) and the program's split bars.
class QCursor;
using HCURSOR = const QCursor*;
enum : int
{
    IDC_ARROW = 32512,
    IDC_CROSS = 32515,
    IDC_SIZEWE = 32644,
    IDC_SIZENS = 32645,
};
