#include "app/plot/PlotMath.h"

#include "app/plot/MinMaxPyramid.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <cstdio>
#include <cstdlib>

namespace plot {

int TruncSat(double v)
{
    if (std::isnan(v))
        return 0;
    if (v <= double(INT_MIN))
        return INT_MIN;
    if (v >= double(INT_MAX))
        return INT_MAX;
    return int(v);
}

int FloorSat(double v)
{
    return TruncSat(std::floor(v));
}

int ScreenCoord(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 0)
        return v > 16383 ? 16383 : int(v);
    return (v <= -16383 ? -16383 : int(v)) - 1;
}

const std::array<double, 101>& TickLUT()
{
    static const std::array<double, 101> lut = [] {
        constexpr int bounds[7] = {9, 14, 18, 22, 43, 68, 101};
        std::array<double, 101> t{};
        int i = 0;
        for (int j = 0; j <= 100; ++j) {
            if (j > bounds[i])
                ++i;
            t[j] = kTickSteps[i];
        }
        return t;
    }();
    return lut;
}

int TickStepIndex(double mantissa)
{
    for (int i = 0; i < int(kTickSteps.size()); ++i)
        if (kTickSteps[i] == mantissa)
            return i;
    return 6;
}

SDecade Decade(double R)
{
    double a = std::fabs(R);
    if (!std::isfinite(a) || a == 0)
        a = 1;
    const double e = std::floor(std::log10(a));
    SDecade d;
    d.p = std::pow(10.0, e - 1);
    if (!(d.p > 0) || !std::isfinite(d.p))
        return SDecade{};
    // log10 may round either way at a decade's edge; the table has 101 entries.
    d.n = std::clamp(TruncSat(std::ceil(a / d.p)), 0, 100);
    return d;
}

namespace {

std::string PrintF(double v)
{
    char buf[400];
    const int len = std::snprintf(buf, sizeof buf, "%f", v);
    if (len < 0)
        return {};
    return std::string(buf, std::min<size_t>(size_t(len), sizeof buf - 1));
}

} // namespace

SLabelSize TrialLabel(double v)
{
    const std::string s = PrintF(v);
    const auto dot = s.find('.');
    SLabelSize r;
    if (dot == std::string::npos) {
        r.nChars = int(s.size());
        return r;
    }
    int count = int(s.size() - dot);
    while (count > 1 && s[dot + count - 1] == '0')
        --count;
    if (count == 1)
        count = 0; // only the "." was left
    r.nFrac = count;
    r.nChars = int(dot) + count;
    return r;
}

std::string FormatTickLabel(double v, int nTrunc)
{
    if (nTrunc < 0) {
        if (v == 0)
            return "0";
        char buf[64];
        const int len = std::snprintf(buf, sizeof buf, "%.*e", -nTrunc - 1, v);
        return len < 0 ? std::string() : std::string(buf, std::min<size_t>(size_t(len), sizeof buf - 1));
    }
    std::string s = PrintF(v);
    const auto dot = s.find('.');
    if (dot != std::string::npos)
        s.resize(std::min(s.size(), dot + size_t(std::max(nTrunc, 0))));
    return s;
}

bool NeedsExponent(double step)
{
    // Below a millionth the six decimals of "%f" read 0; from 1e15 up the
    // digits written out in full would crowd the plot out of its window.
    const double a = std::fabs(step);
    return a > 0 && (a < 1e-6 || a >= 1e15);
}

int ExponentTrunc(double step, double a, double b)
{
    const double big = std::max(std::fabs(a), std::fabs(b));
    const double s = std::fabs(step);
    int d = 0;
    if (big > 0 && s > 0 && std::isfinite(big))
        d = int(std::floor(std::log10(big)) - std::floor(std::log10(s)));
    return -(std::clamp(d, 0, 15) + 1);
}

namespace {
// The next step above step in the sequence 1, 2, 5, 10, 20, 50, ...
double NextNiceStep(double step)
{
    const double p = std::pow(10.0, std::floor(std::log10(step)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p > step * (1 + 1e-9))
            return m * p;
    return 20.0 * p;
}
} // namespace

SHorzTicks CalcHorzTicks(int left, int right, double dU, double U0, double UMin, double UMax,
                         const SAxisMetrics& m)
{
    SHorzTicks t;
    if (dU == 0 || !std::isfinite(dU))
        dU = 1;
    // A spectrum of one point (or a region that starts where it finishes)
    // has one value: the ticks are laid from it, so the one label drawn names
    // that point and carries its decimals, not a round value beside it.
    const bool bOneValue = UMin == UMax;
    double B = std::fabs(UMin) > std::fabs(UMax) ? UMin : UMax;
    double R = double(right - 1 - left) * dU;
    if (R == 0)
        R = 1;
    const SDecade d = Decade(R);
    const double sign = dU < 0 ? -1 : 1;
    t.dTickStep = sign * d.Step();
    int i = TickStepIndex(TickLUT()[d.n]);
    t.dTickSpacing = t.dTickStep / dU;
    if (!bOneValue)
        B = std::ceil(B / t.dTickStep) * t.dTickStep;
    auto fits = [&] {
        const double B2 = B - std::fabs(t.dTickStep);
        if (NeedsExponent(t.dTickStep)) {
            t.nTrunc = ExponentTrunc(t.dTickStep, B, B2);
            t.cxWidth = int(std::max(FormatTickLabel(B, t.nTrunc).size(), FormatTickLabel(B2, t.nTrunc).size()));
        } else {
            const SLabelSize a = TrialLabel(B);
            const SLabelSize b = TrialLabel(B2);
            t.nTrunc = std::max({0, a.nFrac, b.nFrac});
            t.cxWidth = std::max({0, a.nChars, b.nChars});
        }
        return double(t.cxWidth) * m.cxDigit + m.cxMinus + 2 * m.cxSpace < t.dTickSpacing;
    };
    bool bFits = fits();
    while (!bFits && i + 1 < 7) {
        t.dTickStep = sign * d.p * kTickSteps[size_t(++i)];
        t.dTickSpacing = t.dTickStep / dU;
        bFits = fits();
    }
    // A range just short of a decade starts at the table's last step and
    // cannot widen within it: in a narrow pane its labels ran into each other.
    // The step keeps growing through 1, 2, 5 times powers of ten instead.
    if (!bFits && std::isfinite(t.dTickSpacing) && t.dTickSpacing > 0)
        for (int guard = 0; !bFits && guard < 64; ++guard) {
            t.dTickStep = sign * NextNiceStep(std::fabs(t.dTickStep));
            t.dTickSpacing = t.dTickStep / dU;
            bFits = fits();
        }
    if (t.dTickSpacing == 0 || !std::isfinite(t.dTickSpacing))
        t.dTickSpacing = 1;
    t.iTickIndex = std::min(i, 6);
    const double V = left * dU + U0;
    t.TickVal = bOneValue ? UMax : V - std::fmod(V, t.dTickStep);
    t.TickPos = (t.TickVal - U0) / dU;
    return t;
}

SVertTicks CalcVertTicks(int top, int bottom, double dU, double U0, double UMax, double dMaxTickStep,
                         const SAxisMetrics& m)
{
    SVertTicks t;
    if (dU == 0 || !std::isfinite(dU))
        dU = -1;
    double R = double(top - (bottom - 1)) * dU;
    if (R == 0)
        R = 1;
    const SDecade d = Decade(R);
    double step = d.Step();
    double M = TickLUT()[d.n];
    if (step > dMaxTickStep && dMaxTickStep > 0) {
        step = dMaxTickStep;
        M = dMaxTickStep / d.p;
    }
    int i = TickStepIndex(M);
    const double S = double(bottom - 1 - top) / R;
    double spacing = S * step;
    while (4.0 * m.cxDigit > spacing && step < R && step < dMaxTickStep) {
        if (++i >= 7)
            break;
        step = d.p * kTickSteps[i];
        spacing = S * step;
    }
    if (spacing < m.cyDigit && step < d.Step()) {
        // The cap comes from the data range; a plot contracted far below it
        // would get a tick every pixel or less. Let the step follow the shown range.
        step = d.Step();
        i = TickStepIndex(TickLUT()[d.n]);
        spacing = S * step;
        while (4.0 * m.cxDigit > spacing && step < R) {
            if (++i >= 7)
                break;
            step = d.p * kTickSteps[i];
            spacing = S * step;
        }
    }
    // Labels must never overlap: in a plot contracted below what the table can
    // serve (a waterfall's front curve in a small window), the step keeps growing
    // through 1, 2, 5 times powers of ten until the ticks are a label apart.
    const double minSpacing = m.cyDigit + 2.0 * m.dTxt;
    if (S > 0 && std::isfinite(S) && step > 0 && spacing < minSpacing) {
        for (int guard = 0; spacing < minSpacing && guard < 64; ++guard) {
            step = NextNiceStep(step);
            spacing = S * step;
        }
        i = 6; // a mantissa outside the table
    }
    // A short pane can end with a step wider than the shown range, leaving a
    // lone "0" or no label at all. Where two labels fit, take the finest round
    // step that puts two ticks on the range; when no multiples of one do, the
    // ticks count down from the top of the axis instead, at worst a range apart.
    const double Vlo = (bottom - 1) * dU + U0;
    bool bFromTop = false;
    const auto ticksOnRange = [&](double st) {
        const double first = std::ceil(Vlo / st - 1e-9) * st;
        return first + st <= UMax + st * 1e-9;
    };
    if (S > 0 && std::isfinite(S) && step > 0 && std::isfinite(UMax) && UMax > Vlo &&
        (UMax - Vlo) * S >= minSpacing && !ticksOnRange(step)) {
        std::vector<double> cand;
        const double p0 = std::pow(10.0, std::floor(std::log10(minSpacing / S)));
        for (double p10 : {p0, p0 * 10})
            for (int dgt = 1; dgt <= 9; ++dgt)
                if (S * dgt * p10 >= minSpacing * (1 - 1e-9))
                    cand.push_back(dgt * p10);
        // The last resort names the two ends of the range.
        cand.push_back(UMax - Vlo);
        std::sort(cand.begin(), cand.end());
        const auto found = std::find_if(cand.begin(), cand.end(), ticksOnRange);
        const auto fromTop = std::find_if(cand.begin(), cand.end(),
                                          [&](double st) { return st <= (UMax - Vlo) * (1 + 1e-9); });
        if (found != cand.end() || fromTop != cand.end()) {
            bFromTop = found == cand.end();
            step = bFromTop ? *fromTop : *found;
            spacing = S * step;
            i = 6;
        }
    }
    if (spacing == 0 || !std::isfinite(spacing))
        spacing = 1;
    t.dTickStep = step;
    t.dTickSpacing = spacing;
    t.iTickIndex = std::min(i, 6);
    const double V = (bottom - 1) * dU + U0;
    // The bottom row's value is the axis minimum up to rounding; a value a hair
    // below a tick must not start the ticks one step lower.
    t.TickVal = bFromTop ? UMax - std::floor((UMax - V) / step + 1e-9) * step
                         : std::floor(V / step + 1e-9) * step;
    const SLabelSize a = TrialLabel(UMax);
    const SLabelSize b = TrialLabel(UMax - step);
    // The lowest label too: below zero it can be the longest, and a label cut
    // at the pane's edge lost its minus sign.
    const SLabelSize c = TrialLabel(t.TickVal);
    t.nTrunc = std::max({0, a.nFrac, b.nFrac});
    int C = std::max({0, a.nChars, b.nChars, c.nChars});
    if (NeedsExponent(step)) {
        t.nTrunc = ExponentTrunc(step, UMax, t.TickVal);
        C = 0;
        for (double v : {UMax, UMax - step, t.TickVal})
            C = std::max(C, int(FormatTickLabel(v, t.nTrunc).size()));
    }
    t.cxWidth = C * m.cxDigit + m.cxMinus + m.cyMajorTick + m.dTxt;
    t.TickPos = (t.TickVal - U0) / dU;
    return t;
}

SVertFit FitVertAxis(int top, int bottom, double dMin, double dMax)
{
    SVertFit f;
    if (dMin == 0 && dMax == 0)
        dMax = 10000;
    else if (dMin == dMax) {
        // Flat data: a range of 1 around the value (wider for values too large
        // for a unit to show), so a level line or a lone point stands clear of
        // the axis at the bottom rather than on it.
        const double h = std::max(0.5, std::fabs(dMin) * 1e-6);
        dMax = dMin + h;
        dMin -= h;
    }
    const SDecade d = Decade(dMax - dMin);
    f.dMaxTickStep = d.Step();
    dMax = std::ceil(dMax / f.dMaxTickStep) * f.dMaxTickStep;
    f.UMax = dMax;
    f.UMin = dMin;
    double den = double(top - (bottom - 1));
    if (den == 0)
        den = 1;
    f.dU = (f.UMax - f.UMin) / den;
    if (f.dU == 0 || !std::isfinite(f.dU))
        f.dU = 1;
    f.U0 = f.UMin - (bottom - 1) * f.dU;
    return f;
}

SAxisXform CalcXTransform(int left, int right, double Xmin, double Xmax)
{
    SAxisXform t;
    double W = double(right) - left - 1;
    double R = Xmax - Xmin;
    if (R == 0) {
        // A single X value: the point sits in the middle of the plot, not on
        // its left edge where the axis line hides it.
        t.ds = W > 0 ? W : 1;
        t.dS = 1 / t.ds;
        const double c = left + std::floor(std::max(W, 0.0) / 2);
        t.s0 = c - Xmin * t.ds;
        t.S0 = Xmin - c * t.dS;
        return t;
    }
    if (R > W) {
        W += 1;
        R += 1;
        if (W < 1)
            W = 1;
        t.ds = W / R;
        t.dS = R / W;
        t.s0 = (left - 0.5) - (Xmin - 0.5) * t.ds;
        t.S0 = (Xmin - 0.5) - (left - 0.5) * t.dS;
    } else {
        t.ds = W / R;
        t.dS = R / W;
        t.s0 = left - Xmin * t.ds;
        t.S0 = Xmin - left * t.dS;
    }
    return t;
}

SAxisXform CalcYTransform(int top, int bottom, double Ymin, double Ymax)
{
    SAxisXform t;
    double R = Ymax - Ymin;
    if (R == 0)
        R = 1;
    double H = double(top) - bottom + 1;
    if (H == 0)
        H = 1;
    t.ds = H / R;
    t.dS = R / H;
    t.s0 = (bottom - 1) - Ymin * t.ds;
    t.S0 = Ymin - (bottom - 1) * t.dS;
    return t;
}

CRect CalcTraceRect(const CRect& r, int iDispMode, int nDispTraces, CSize* pShift)
{
    const int a = std::max(nDispTraces, 1);
    const int H = r.Height();
    const int W = r.Width();
    int h, sy, sx;
    if (iDispMode & 1) {
        h = (a * H) / (2 * a - 1);
        sy = H / (2 * a - 1);
        sx = sy / 2;
    } else if (iDispMode & 2) {
        h = H;
        sy = 0;
        sx = 0;
    } else {
        h = (3 * H) / (a + 2);
        sy = H / (a + 2);
        sx = 0;
    }
    const int w = W - (a - 1) * sx;
    CRect t = r;
    t.top = t.bottom - h;
    t.right = t.left + w;
    if (pShift)
        *pShift = CSize(sx, -sy);
    return t;
}

SDispTraces AllDispTraces(int n)
{
    SDispTraces s;
    if (n <= kMaxNumDispTraces) {
        s.nCount = std::max(n, 0);
        return s;
    }
    s.nStep = (n - 1) / kMaxNumDispTraces + 1;
    s.nCount = (n - 1) / s.nStep + 1;
    return s;
}

SDispTraces MoveDispTraces(const SDispTraces& cur, int n, int iFirst)
{
    if (iFirst == INT_MAX)
        return AllDispTraces(n);
    iFirst = std::max(iFirst, 0);
    if (cur.nCount <= 1) {
        if (iFirst >= n)
            return AllDispTraces(n);
        return SDispTraces{iFirst, cur.nStep, 1};
    }
    const long long last = iFirst + (long long)(cur.nCount - 1) * cur.nStep;
    if (iFirst >= n || last >= n)
        return SDispTraces{0, 1, 1};
    return SDispTraces{iFirst, cur.nStep, cur.nCount};
}

namespace {

// Through the X values (ascending).
void VerticesByX(const STraceGeom& g, const CRect& V, std::vector<CPoint>& out)
{
    const int n = int(g.y.size());
    const double* X = g.x;
    // Binary searches over the ascending X values: the first point at or
    // right of the left edge (the last point when none is), the last point at
    // or left of the right edge (the first when none is); then one more point
    // on each side.
    const double xl = std::trunc(V.left * g.X.dS + g.X.S0);
    int i = int(std::lower_bound(X, X + (n - 1), xl) - X);
    const int i0 = std::max(i - 1, 0);
    const double xr = std::trunc(V.right * g.X.dS + g.X.S0);
    i = n > 1 ? int(std::upper_bound(X + 1, X + n, xr) - X) - 1 : 0;
    const int i1 = std::min(i + 1, n - 1);
    for (i = i0; i <= i1; ++i)
        if (!std::isnan(g.y[i]) && !std::isnan(X[i]))
            out.emplace_back(ScreenCoord(X[i] * g.X.ds + g.X.s0), ScreenCoord(g.y[i] * g.Y.ds + g.Y.s0));
}

// One vertical stroke per pixel column from the column's minimum to its
// maximum, joined without diagonals.
void VerticesByColumn(const STraceGeom& g, const CRect& V, std::vector<CPoint>& out)
{
    const int n = int(g.y.size());
    const double dX = g.X.dS;
    int xs = V.left - 1;
    double X = (xs - 0.5) * dX + g.X.S0;
    while (X + 1 < 0 && xs <= V.right) {
        ++xs;
        X += dX;
    }
    int xe = V.right;
    while (xe >= xs && (xe + 0.5) * dX + g.X.S0 >= n)
        --xe;
    if (xs > xe)
        return;
    long long k = TruncSat(X + 1);
    int d = 1;
    int pB = 16384, pT = -16384;
    const double* Y = g.y.data();
    SColumnEnvelope* cache = g.cols;
    if (cache && !(cache->y == Y && cache->n == g.y.size() && cache->dS == dX && cache->S0 == g.X.S0 &&
                   xs >= cache->x0)) {
        cache->Clear();
        cache->y = Y;
        cache->n = g.y.size();
        cache->dS = dX;
        cache->S0 = g.X.S0;
        cache->x0 = xs;
    }
    for (int c = xs; c <= xe && k < n; ++c) {
        // The column's points k .. trunc(X + dX), read in sequence.
        const long long kEnd = std::max<long long>(std::min<long long>(TruncSat(X + dX), n - 1), k);
        const size_t ic = cache ? size_t(c - cache->x0) : 0;
        SMinMax m;
        if (cache && ic < cache->col.size() && cache->col[ic].k == k && cache->col[ic].kEnd == kEnd) {
            m = cache->col[ic].m;
        } else {
            if (g.env)
                g.env->Prefetch(TruncSat(X + 3 * dX)); // two columns ahead
            m = g.env && kEnd - k >= 2 * CMinMaxPyramid::kLeaf ? g.env->Query(k, kEnd)
                                                               : ScanMinMax(Y, k, kEnd);
            if (cache && ic < cache->col.size())
                cache->col[ic] = {k, kEnd, m};
            else if (cache && ic == cache->col.size())
                cache->col.push_back({k, kEnd, m});
        }
        k = kEnd + 1;
        X += dX;
        // A column of NaN only has nothing to draw: the stroke goes on from
        // the last column that had a number.
        if (m.Empty())
            continue;
        const double yHi = m.hi;
        const double yLo = m.lo;
        // Bounded both ways: a one-row rectangle turns the Y scale positive,
        // and T = B - L must not overflow.
        const int L = std::clamp(TruncSat((yLo - yHi) * g.Y.ds + 0.5), -32766, 32766);
        const int B = ScreenCoord(yLo * g.Y.ds + g.Y.s0);
        const int T = B - L;
        if (d == 1) {
            if (B < pB) {
                out.emplace_back(c - 1, std::max(B, pT));
                out.emplace_back(c, B);
                out.emplace_back(c, T);
                d = 0;
            } else {
                if (T < pT)
                    out.emplace_back(c, pB);
                out.emplace_back(c, T);
                out.emplace_back(c, B);
                d = 1;
            }
        } else {
            if (T > pT) {
                out.emplace_back(c - 1, std::min(T, pB));
                out.emplace_back(c, T);
                out.emplace_back(c, B);
                d = 1;
            } else {
                if (B > pB)
                    out.emplace_back(c, pT);
                out.emplace_back(c, B);
                out.emplace_back(c, T);
                d = 0;
            }
        }
        pB = B;
        pT = T;
    }
}

// One vertex per point, rounded to the nearest column.
void VerticesByPoint(const STraceGeom& g, const CRect& V, std::vector<CPoint>& out)
{
    const int n = int(g.y.size());
    int i0 = std::max(TruncSat((V.left - 1) * g.X.dS + g.X.S0) - 1, 0);
    const int i1 = std::min((long long)TruncSat(V.right * g.X.dS + g.X.S0) + 1, (long long)n - 1);
    double x = i0 * g.X.ds + g.X.s0;
    while (x + g.X.ds < 0 && i0 <= i1) {
        ++i0;
        x += g.X.ds;
    }
    if (i0 >= n)
        return;
    // A point that is no number has no place on the plot: the line goes on
    // from the last point that is one to the next.
    const int x0 = x >= 0 ? TruncSat(x + 0.4999999999) : TruncSat(x - 1 + 0.4999999999);
    if (!std::isnan(g.y[size_t(i0)]))
        out.emplace_back(x0, ScreenCoord(g.y[size_t(i0)] * g.Y.ds + g.Y.s0));
    for (int k = i0 + 1; k <= i1; ++k) {
        x += g.X.ds;
        if (!std::isnan(g.y[size_t(k)]))
            out.emplace_back(TruncSat(x + 0.4999999999), ScreenCoord(g.y[size_t(k)] * g.Y.ds + g.Y.s0));
    }
}

} // namespace

void BuildVertices(const STraceGeom& g, const CRect& V, std::vector<CPoint>& out)
{
    out.clear();
    if (g.y.empty() || V.IsRectEmpty())
        return;
    if (g.x)
        VerticesByX(g, V, out);
    else if (g.X.dS > 1)
        VerticesByColumn(g, V, out);
    else
        VerticesByPoint(g, V, out);
}

bool AppendFill(std::vector<CPoint>& pts, const CRect& rDisp, CPoint* pCut)
{
    if (pts.empty())
        return false;
    const CPoint P = pts.back();
    const CPoint V0 = pts.front();
    bool cut = false;
    int xp;
    if (P.x >= rDisp.right) {
        xp = P.x + 1;
        cut = true;
        const int xr = rDisp.right - 1;
        // The curve's height at the last column, on the line from the vertex
        // before the last one to the last. Column strokes put those two in
        // one column, and a single vertex has no line: then the height comes
        // from the last vertex at or left of the column and the next one.
        auto along = [xr](CPoint Q, CPoint R) {
            return TruncSat(std::ceil(double(xr - Q.x) * double(R.y - Q.y) / double(R.x - Q.x))) + Q.y;
        };
        int yr = P.y;
        const size_t n = pts.size();
        if (n >= 2 && pts[n - 2].x < P.x) {
            yr = along(pts[n - 2], P);
        } else {
            for (int j = int(n) - 2; j >= 0; --j) {
                if (pts[j].x <= xr) {
                    const CPoint Q = pts[j], R = pts[j + 1];
                    yr = (Q.x == xr || R.x == Q.x) ? Q.y : along(Q, R);
                    break;
                }
            }
        }
        if (pCut)
            *pCut = CPoint(xr, yr);
    } else {
        xp = std::min(P.x + 1, rDisp.right - 1);
    }
    pts.emplace_back(xp, P.y);
    pts.emplace_back(xp, rDisp.bottom + 1);
    pts.emplace_back(std::max(rDisp.left, V0.x - 1), rDisp.bottom + 1);
    return cut;
}

void ColumnFill(std::span<const CPoint> chain, int clipLeft, int clipRight, int yBottom,
                std::vector<CRect>& out)
{
    out.clear();
    if (chain.empty())
        return;
    const int x0 = std::max(chain.front().x, clipLeft);
    const int x1 = std::min(chain.back().x, clipRight - 1);
    if (x1 < x0)
        return;
    thread_local std::vector<int> tops; // scratch, kept to spare the allocation
    tops.assign(size_t(x1 - x0 + 1), INT_MAX);
    auto raise = [&](int c, int y) {
        int& t = tops[size_t(c - x0)];
        t = std::min(t, y);
    };
    if (chain.size() == 1 && chain[0].x >= x0 && chain[0].x <= x1)
        raise(chain[0].x, chain[0].y);
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
        const CPoint a = chain[i], b = chain[i + 1];
        if (b.x < a.x)
            continue; // not expected: the outline runs left to right
        if (a.x == b.x) {
            if (a.x >= x0 && a.x <= x1)
                raise(a.x, std::min(a.y, b.y));
            continue;
        }
        const int from = std::max(a.x, x0), to = std::min(b.x, x1);
        const double slope = double(b.y - a.y) / double(b.x - a.x);
        for (int c = from; c <= to; ++c)
            raise(c, int(std::lround(a.y + (c - a.x) * slope)));
    }
    for (int c = x0; c <= x1; ++c) {
        const int t = tops[size_t(c - x0)];
        if (t < yBottom)
            out.emplace_back(c, t, c + 1, yBottom);
    }
}

int LineScreenPos(double dPos)
{
    if (std::isnan(dPos) || dPos <= double(INT_MIN))
        return INT_MIN;
    if (dPos >= double(INT_MAX))
        return INT_MAX;
    return FloorSat(dPos + 0.49999999);
}

bool LineHitTest(bool bHorz, const CRect& rClip, double dPos, const CPoint& pt)
{
    if (!rClip.PtInRect(pt))
        return false;
    const long long p = LineScreenPos(dPos);
    const long long c = bHorz ? pt.y : pt.x;
    return std::llabs(c - p) < kProximityValue;
}

} // namespace plot
