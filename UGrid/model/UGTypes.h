#pragma once
// Window-system constants of the grid, kept free of any toolkit so that the
// grid's model (cells, sources, geometry, navigation) builds and is tested
// without a display.

#include <string>

#include "platform/WinTypes.h"

constexpr COLORREF UGRGB(int r, int g, int b)
{
    return COLORREF(r & 0xff) | (COLORREF(g & 0xff) << 8) | (COLORREF(b & 0xff) << 16);
}
constexpr int UGGetR(COLORREF c)
{
    return int(c & 0xff);
}
constexpr int UGGetG(COLORREF c)
{
    return int((c >> 8) & 0xff);
}
constexpr int UGGetB(COLORREF c)
{
    return int((c >> 16) & 0xff);
}

// The system colours the grid asks for, by their window-system index.
enum UGSysColor : int
{
    UG_COLOR_WINDOW = 5,
    UG_COLOR_WINDOWTEXT = 8,
    UG_COLOR_HIGHLIGHT = 13,
    UG_COLOR_HIGHLIGHTTEXT = 14,
    UG_COLOR_BTNFACE = 15,
    UG_COLOR_BTNSHADOW = 16,
    UG_COLOR_BTNTEXT = 18,
    UG_COLOR_INFOBK = 24,
};
// The current value of a system colour. The user interface installs its palette
// (UGSetSysColor); until then the classic defaults answer.
COLORREF UGGetSysColor(int index);
void UGSetSysColor(int index, COLORREF colour);

// Objects the cells only point at; the user-interface library defines them.
class CFont;
class CBitmap;
class CPen;
class CDC;
class QWidget;
using CWnd = QWidget;

// Grid sections (pane numbers) and child-window ids.
enum : int
{
    UG_SECTION_GRID = 1,
    UG_SECTION_TOPHDG = 2,
    UG_SECTION_SIDEHDG = 3,
    UG_SECTION_CORNER = 4,
    UG_SECTION_HSCROLL = 5,
    UG_SECTION_VSCROLL = 6,
    UG_SECTION_TAB = 7,
};
enum : int
{
    UG_GRID_ID = 1,
    UG_TOPHDG_ID = 2,
    UG_SIDEHDG_ID = 3,
    UG_CNRBTN_ID = 4,
    UG_TAB_ID = 5,
    UG_VSCROLL_ID = 6,
    UG_HSCROLL_ID = 7,
    UG_EDITID = 123,
};

// Built-in cell types and their notifications.
enum : int
{
    UGTYPE_NORMAL = 0,
    UGTYPE_DROPLIST = 1,
    UGTYPE_CHECKBOX = 2,
    UGTYPE_ARROW = 3,
};
enum : long
{
    CTN_CHECK = 53,
    CTN_OPEN = 100,
    CTN_SELECT = 101,
};

// Alignment flags of a cell.
enum : short
{
    UG_ALIGNLEFT = 1,
    UG_ALIGNRIGHT = 2,
    UG_ALIGNCENTER = 4,
    UG_ALIGNBOTTOM = 0x10,
    UG_ALIGNVCENTER = 0x20,
};

// Border style bits of a cell.
enum : short
{
    UG_BDR_LTHIN = 0x1,
    UG_BDR_TTHIN = 0x2,
    UG_BDR_RTHIN = 0x4,
    UG_BDR_BTHIN = 0x8,
    UG_BDR_LMEDIUM = 0x10,
    UG_BDR_TMEDIUM = 0x20,
    UG_BDR_RMEDIUM = 0x40,
    UG_BDR_BMEDIUM = 0x80,
    UG_BDR_LTHICK = 0x100,
    UG_BDR_TTHICK = 0x200,
    UG_BDR_RTHICK = 0x400,
    UG_BDR_BTHICK = 0x800,
    UG_BDR_RECESSED = 0x1000,
    UG_BDR_RAISED = 0x2000,
};

// Cell-type parameter bits read by the normal drawing and the check box.
enum : long
{
    UGCT_NORMALMULTILINE = 2,
    UGCT_NORMALELLIPSIS = 4,
    UGCT_NORMALLABELTEXT = 8,
    UGCT_CHECKBOXFLAT = 0,
    UGCT_CHECKBOX3DRECESS = 0x100,
    UGCT_CHECKBOX3DRAISED = 0x200,
    UGCT_CHECKBOXCHECKMARK = 0x1000,
    UGCT_DROPLISTHIDEBUTTON = 0x200,
    UGCT_ARROWRIGHT = 0x10,
    UGCT_ARROWLEFT = 0x20,
    UGCT_ARROWDRIGHT = 0x40,
    UGCT_ARROWDLEFT = 0x80,
};

// Virtual-key codes the key notifications carry (the window system's values).
#ifndef VK_RETURN
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_F1 0x70
#endif

// Mouse-button flags of a move (the window system's MK_ values).
enum : unsigned
{
    UG_MK_LBUTTON = 0x1,
    UG_MK_RBUTTON = 0x2,
    UG_MK_SHIFT = 0x4,
    UG_MK_CONTROL = 0x8,
};
