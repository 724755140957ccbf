#pragma once
// The arithmetic of the image display as plain functions: grey levels of
// acquired values for each pixel depth, the fit and the zoom steps of the
// displayed part, the window strip that covers a range of rows, and the
// 8-bit grey bitmap file.

#include "app/plot/PlotTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace img {

// Grey levels of a pixel depth: L levels, a value scaled by F.
struct SGreyScale
{
    int levels = 256;
    double factor = 255.99999999;
};
// 4 bits: 16 levels; 8: 128 (indices of the grey palette); 15 or 16: 32
// (5 bits a colour); 24 and 32: 256. Other depths are given 256.
SGreyScale GreyScaleForDepth(int bitsPerPixel);

// floor((v - iMin) * F / R), R = iMax - iMin (0 taken as 1), clamped to
// 0..L-1. Computed in 64 bits and doubles: any int range is safe.
int GreyLevel(int64_t v, int iMin, int iMax, const SGreyScale& s);

// The pixel layouts a raster can have.
enum class PixelFormat
{
    Index8, // one byte: the level, an index into the 128-entry grey palette
    Rgb555, // one 16-bit word: the level in blue, green and red
    Rgb24,  // three bytes: level, level, level
    Rgb32,  // four bytes: level, level, level, 0xFF (opaque)
};
PixelFormat FormatForDepth(int bitsPerPixel);
int BytesPerPixel(PixelFormat f);
SGreyScale GreyScaleFor(PixelFormat f);

// Converts points iFrom..iTo (row-major, nX a row) into the raster at bits
// with bytesPerLine a row. Exactly one of piData and pbData is used (ints
// first). The indices must lie within the image.
void ConvertPoints(uint8_t* bits, int bytesPerLine, PixelFormat f, int nX, const int* piData,
                   const uint8_t* pbData, int iFrom, int iTo, int iMin, int iMax);

// Rows y0..y1 of a half-size copy of a 32-bit raster: each pixel the mean,
// channel by channel, of its 2 x 2 source pixels (the source is at least
// twice as large). Keeping such copies lets a large image be drawn small by
// averaging, not by skipping pixels.
void HalveRows(const uint8_t* src, int srcBytesPerLine, uint8_t* dst, int dstBytesPerLine, int dstWidth,
               int y0, int y1);

// Smallest and largest value of n ints (both 0 when n is 0).
void MinMax(const int* p, int n, int* pMin, int* pMax);

// What is displayed of an image: the window rectangle of the displayed part
// (ix0, iy0, cx, cy), the image points it shows (iX0, iY0, cX, cY) and the
// zoom level.
struct SView
{
    int ix0 = 0, iy0 = 0, cx = 0, cy = 0;
    int iX0 = 0, iY0 = 0, cX = 0, cY = 0;
    int iZoom = 0;
    CRect rImage; // where the displayed part is drawn
};

// The largest rectangle of the image's shape inside avail, centred on the
// axis that has room to spare. Empty when the image or avail is empty.
CRect FitRect(const CRect& avail, int nX, int nY);

// One zoom step on v for an image of nX x nY points, the whole image being
// fitted into avail: iZoom > 0 halves the shown part about its centre, < 0
// doubles it (one step out of level 1 is the fit), 0 fits the whole image.
// Returns whether the step is possible (changes something); with bApply the
// step is made. A step that is not possible leaves v as it was.
bool ZoomStep(SView& v, const CRect& avail, int nX, int nY, int iZoom, bool bApply);

// Image point to window pixel and back, integer arithmetic truncating toward 0.
CPoint ImageToWindow(const SView& v, CPoint p);
CPoint WindowToImage(const SView& v, CPoint p);

// The window strip, from top to bottom (exclusive), that shows rows r0..r1.
struct SStrip
{
    int top = 0;
    int bottom = 0;
};
SStrip RowStrip(const SView& v, int r0, int r1);

// Running mean of a line-scan point over scans: (s * old + v) / (s + 1).
double RunningMean(double old, double v, int scan);

// An 8-bit grey bitmap file of nX x nY points from grey bytes given top row
// first: 54-byte header, a 256-entry grey colour table, rows bottom-up, each
// padded with zeros to a multiple of 4 bytes. Empty when the file would
// exceed 4 GB or a size is negative.
std::vector<uint8_t> EncodeGreyBitmap(const uint8_t* grey, int nX, int nY);

// The grey bytes of a bitmap file: byte images unchanged, int images scaled
// by the range in use to 0..255.
std::vector<uint8_t> GreyBytes(const int* piData, const uint8_t* pbData, int nX, int nY, int iMin, int iMax);

// The bitmap file names for the panes of an image view: the path is trimmed of
// trailing blanks; its extension (from the last "." of the file name on, else
// "." + defaultExt) is kept and, with n > 1, "_1", "_2", ... come before it.
// The names are joined, never formatted, so any character of the path is
// safe; a name longer than maxLen gives an empty string.
std::string BitmapFileName(const std::string& path, const std::string& defaultExt, int n, int i,
                           size_t maxLen = 4095);

} // namespace img
