#pragma once
// Geometry of the spectrum views as plain functions of sizes, so that the
// views only move windows and draw: where the visible plot windows sit in a
// view, and which cell of a printed page each of them gets.

#include <vector>

// A rectangle with exclusive right and bottom edges.
struct SLayoutRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const SLayoutRect&, const SLayoutRect&) = default;
};

// The rectangles of n visible plot windows in a view of cx by cy pixels, in
// window order: one window centred, or a grid of cells no wider than 3:2 and
// no taller than 2:3, centred, whose last rows may hold one window fewer and
// are then shifted half a cell right. Empty for n <= 0.
std::vector<SLayoutRect> CalcWindowRects(int n, int cx, int cy);

// The grid chosen for printing: cell size and shape in hundredths of a mm.
struct SPrintGrid
{
    int w = 0;
    int h = 0;
    int rows = 0;
    int cols = 0;
};

// The print grid for n windows on a page of W by H hundredths of a
// millimetre (margins already taken off), at cell aspect ratio a (width to
// height). A page too small for any cell gives rows = cols = 0.
SPrintGrid CalcPrintGrid(int n, int W, int H, double a);

// The print cells, in HIMETRIC, for n windows on the printable area `page`
// (HIMETRIC, y growing downwards): a 7.5 mm margin, cells at ratio 1.9 when
// at most one level is shown (nDispTraces <= 1), else square, filled row by
// row from the top with each row centred and 0.5 mm between neighbours.
// Empty when the page is too small for the layout: nothing is printed then.
std::vector<SLayoutRect> CalcPrintCells(int n, const SLayoutRect& page, int nDispTraces);

// The level drop-down's place: w by h, its top at the button's bottom and its
// right edge at the button's right edge, moved right when it would start left
// of the desktop (screen coordinates).
SLayoutRect PlaceDropDown(const SLayoutRect& button, int w, int h, int desktopLeft);

// The ranges of the level drop-down for a view showing nDisp levels from
// iFirst, iStep apart, of nLevels, with or without several levels at once.
struct SLevelRanges
{
    int maxFirst = 0; // highest first level
    int maxStep = 1;
    int maxNumber = 1;
    bool bFirst = false; // the spin buttons and the Next button are enabled
    bool bStep = false;
    bool bNumber = false;
    bool bNext = false;
};
SLevelRanges CalcLevelRanges(int iFirst, int iStep, int nDisp, int nLevels, bool bMultiTrace);

// The panes of an image view: n panes in a grid of ceil(sqrt(n)) rows and
// ceil(n / rows) columns of cx / cols by cy / rows pixels, filled row by row;
// the last rows, when the panes do not fill the grid, hold one pane fewer and
// are shifted half a cell right. One pane takes the top-left cell. Empty for
// n <= 0.
std::vector<SLayoutRect> CalcImagePaneRects(int n, int cx, int cy);

// A legend of nEntries lines in the top-right corner of a parent cx pixels
// wide: as wide as its longest label, two average character widths and the
// pen sample, one text line per entry and one more, its right edge one pixel
// short of the parent's and its top edgeHeight down. A legend wider than
// that starts at the parent's left edge and ends at the same right edge.
// A parent cy pixels high that cannot hold every line gets the entries in
// columns of LegendRows each, side by side, each column as wide as the
// one-column legend; cy <= 0 sets no bound.
SLayoutRect PlaceLegend(int cx, int nEntries, int maxLabelWidth, int avgCharWidth, int sampleLength,
                        int lineHeight, int edgeHeight, int cy = 0);
// Entries per column of a legend in a parent cy pixels high (all of them when
// they fit, or when not even one line fits).
int LegendRows(int cy, int nEntries, int lineHeight, int edgeHeight);
