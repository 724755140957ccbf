#pragma once
// How a block of grid cells is laid out on printer pages: printable size in
// screen pixels, scales, edges and the column and row bands that make the pages.

#include <vector>

// What the printer reports of itself.
struct UGPrinterMetrics
{
    int widthPx = 0, heightPx = 0; // page size in printer pixels
    int widthMm = 0, heightMm = 0; // page size in millimetres
};

struct UGPrintMargins
{
    int left = 25, top = 25, right = 25, bottom = 25; // millimetres
};

struct UGBand
{
    int first, last; // first and last column (or row) of the band
};

struct UGPageGeometry
{
    int printableWidth = 0, printableHeight = 0; // screen pixels, headings taken off
    float hScale = 0, vScale = 0;                // printer pixels per screen pixel
    int leftEdge = 0, topEdge = 0, rightEdge = 0, bottomEdge = 0;
    bool empty() const { return printableWidth <= 0 || printableHeight <= 0; }
};

// Screen pixels per millimetre that the printable size is measured in.
constexpr double UGScreenPxPerMmX = 3.79;
constexpr double UGScreenPxPerMmY = 3.78;

// The printable area and scales; rowHdgWidth and colHdgHeight (screen pixels) are
// taken off when headings are printed (pass 0 otherwise). empty() when the
// margins or headings leave no room.
UGPageGeometry UGCalcPageGeometry(const UGPrinterMetrics& printer, const UGPrintMargins& margins,
                                  int rowHdgWidth, int colHdgHeight);

// Bands of consecutive items whose sizes fit the printable extent, the first band
// starting at lead (a heading's size). An item that overflows starts the next
// band unless it alone fills the extent (then it stays, cut). Empty when the
// extent is not positive.
std::vector<UGBand> UGCalcBands(const std::vector<int>& sizes, int firstIndex, int lead, int extent);
