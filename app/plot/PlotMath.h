#pragma once
// The plot's geometry as plain functions of sizes, ranges and data: screen
// coordinate clamping, tick steps and labels, data-to-screen transforms,
// curve rectangles and the choice of shown curves, the vertices a curve is
// drawn with, and the line-cursor hit band. The widgets only draw what these
// compute.

#include "app/plot/PlotTypes.h"

#include <array>
#include <span>
#include <string>
#include <vector>

namespace plot {

class CMinMaxPyramid;
struct SColumnEnvelope;

// A data-to-screen coordinate as the graphics system gets it: truncated, kept
// inside -16384..16383; a negative value goes to the next lower integer.
int ScreenCoord(double v);
// Truncation toward zero that saturates at the int range (and maps NaN to 0).
int TruncSat(double v);
// floor() that saturates at the int range.
int FloorSat(double v);

// Tick steps: the seven step mantissas, and the mantissa for a range mantissa
// 0..100.
inline constexpr std::array<double, 7> kTickSteps{1, 2, 3, 4, 5, 10, 20};
const std::array<double, 101>& TickLUT();
// Index of a mantissa in kTickSteps, 6 when it is not there.
int TickStepIndex(double mantissa);

// Decade and mantissa of a range R: p = 10^(floor(log10|R|) - 1), n = ceil(|R|/p)
// (10..100; kept inside the table whatever rounding does). A zero or
// non-finite range counts as 1.
struct SDecade
{
    double p = 1;
    int n = 10;
    double Step() const { return p * TickLUT()[n]; }
};
SDecade Decade(double R);

// The decimals and characters of a trial label printed with "%f".
struct SLabelSize
{
    int nFrac = 0;  // 0, or 1 + the kept decimals
    int nChars = 0; // characters up to the last kept one
};
SLabelSize TrialLabel(double v);
// A tick label: "%f" cut nTrunc characters after the "." (0 removes the ".").
// A negative nTrunc asks for exponent form with -nTrunc - 1 decimals, for
// ticks closer together than six decimals can show.
std::string FormatTickLabel(double v, int nTrunc);
// Whether ticks this far apart need labels in exponent form, and the nTrunc
// for them that tells apart neighbouring ticks among values up to a and b.
bool NeedsExponent(double step);
int ExponentTrunc(double step, double a, double b);

// Text metrics of an axis, in logical units of its device.
struct SAxisMetrics
{
    int cxDigit = 7;  // width of "0"
    int cyDigit = 13; // height of "0"
    int cxSpace = 3;
    int cxMinus = 4;
    int cyMajorTick = 7;
    int dTxt = 2;
};

struct SHorzTicks
{
    double dTickStep = 1;    // negative when values decrease to the right
    double dTickSpacing = 1; // logical units, positive
    double TickPos = 0;      // x of the first major tick
    double TickVal = 0;      // value there
    int iTickIndex = 0;
    int nTrunc = 0;
    int cxWidth = 0; // characters of the wider trial label
};
// Ticks of a horizontal axis over columns left..right-1 with x -> U = x*dU + U0.
SHorzTicks CalcHorzTicks(int left, int right, double dU, double U0, double UMin, double UMax,
                         const SAxisMetrics& m);

struct SVertTicks
{
    double dTickStep = 1;
    double dTickSpacing = 1; // logical units, upwards
    double TickPos = 0;      // y of the lowest tick
    double TickVal = 0;
    int iTickIndex = 0;
    int nTrunc = 0;
    int cxWidth = 0; // width of the whole axis
};
// Ticks of a vertical axis over rows top..bottom-1 with y -> U = y*dU + U0.
// A step capped at dMaxTickStep is let past the cap once the ticks would
// crowd closer than a label's height, so a contracted plot never gets more
// than a handful of ticks.
SVertTicks CalcVertTicks(int top, int bottom, double dU, double U0, double UMax, double dMaxTickStep,
                         const SAxisMetrics& m);

// The vertical axis fitted to a data range (rows top..bottom-1): both limits 0
// become 0..10000, the maximum is rounded up to the largest tick step of the
// range; an empty range counts as 1.
struct SVertFit
{
    double dMaxTickStep = 1;
    double UMin = 0;
    double UMax = 1;
    double dU = -1;
    double U0 = 0;
};
SVertFit FitVertAxis(int top, int bottom, double dMin, double dMax);

// Linear maps between screen and data along one axis: data = s*dS + S0,
// s = data*ds + s0.
struct SAxisXform
{
    double dS = 1, S0 = 0; // screen to data
    double ds = 1, s0 = 0; // data to screen
};
// X over columns left..right-1 showing Xmin..Xmax; with more points than
// columns each column covers one dS-wide interval centred on it.
SAxisXform CalcXTransform(int left, int right, double Xmin, double Xmax);
// Y over rows top..bottom-1: Ymin on row bottom-1, Ymax on row top.
SAxisXform CalcYTransform(int top, int bottom, double Ymin, double Ymax);

// Curve rectangles of a plot area: the first (front) curve's rectangle inside
// r and the offset to each next one.
enum DispModeValue : int
{
    DispStack = 0,
    DispOffset = 1,
    DispOverlay = 2,
};
CRect CalcTraceRect(const CRect& r, int iDispMode, int nDispTraces, CSize* pShift);

// The shown curves of a plot area: first, step and count.
struct SDispTraces
{
    int iFirst = 0;
    int nStep = 1;
    int nCount = 0;
};
inline constexpr int kMaxNumDispTraces = 20;
// All of n curves, decimated to at most kMaxNumDispTraces.
SDispTraces AllDispTraces(int n);
// The shown run moved to start at iFirst (2147483647: all curves).
SDispTraces MoveDispTraces(const SDispTraces& cur, int n, int iFirst);

// Inputs of vertex generation: the curve's values and transforms.
struct STraceGeom
{
    std::span<const double> y;
    const double* x = nullptr; // ascending X values, or null
    SAxisXform X;
    SAxisXform Y;
    // Block extremes of y, or null: columns of many points then take their
    // minimum and maximum from it (the same values) instead of reading every point.
    const CMinMaxPyramid* env = nullptr;
    // Column extremes kept from the previous drawing, or null; read when they
    // belong to the same column pass, refilled otherwise.
    SColumnEnvelope* cols = nullptr;
};
// Vertices of the part of a curve inside V (a clip rectangle), appended to out
// after clearing it. Through the X values when there are any; one vertex per
// point when each point has a column or more; otherwise one stroke from the
// column's minimum to its maximum per pixel column (at most three vertices a
// column), so the count follows the width, not the number of points. NaN
// values are passed over in every case: the line joins the points on either
// side, and a curve of NaN only has no vertices.
void BuildVertices(const STraceGeom& g, const CRect& V, std::vector<CPoint>& out);

// The fill of an opaque curve: closes the outline down to the bottom of the
// curve rectangle. Returns true with the cut line's top in *pCut when the
// curve leaves the rectangle to the right (its edge is drawn at the last column).
bool AppendFill(std::vector<CPoint>& pts, const CRect& rDisp, CPoint* pCut);

// The fill below an outline whose x never decreases (the curve's vertices
// and the fill's first appended vertex): for every column in
// clipLeft..clipRight-1 that the outline crosses, the rectangle from the
// outline's highest point in that column down to yBottom (exclusive). A
// polygon fill of a long outline costs the raster engine far more than these
// one-pixel columns.
void ColumnFill(std::span<const CPoint> chain, int clipLeft, int clipRight, int yBottom,
                std::vector<CRect>& out);

// Screen position of a line cursor: floor(pos + 0.49999999) within the int range.
int LineScreenPos(double dPos);
// A click hits a shown line when it lies in the clip rectangle and less than
// five pixels from the line.
inline constexpr int kProximityValue = 5;
bool LineHitTest(bool bHorz, const CRect& rClip, double dPos, const CPoint& pt);

} // namespace plot
