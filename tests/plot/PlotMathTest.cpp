// The plot's geometry: worked values from hand computation of the tick,
// transform, layout and vertex rules.

#include "app/plot/PlotMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace plot;

TEST(PlotMath, ScreenCoordTruncatesAndClamps)
{
    const struct
    {
        double v;
        int want;
    } cases[] = {{5.7, 5},      {0.0, 0},           {-0.3, -1},      {-2.0, -3}, {16383.5, 16383},
                 {1e12, 16383}, {-16383.0, -16384}, {-1e12, -16384}, {NAN, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(ScreenCoord(c.v), c.want);
    }
}

TEST(PlotMath, TickTableAndDecades)
{
    const auto& lut = TickLUT();
    const struct
    {
        int from, to;
        double m;
    } bands[] = {{0, 9, 1}, {10, 14, 2}, {15, 18, 3}, {19, 22, 4}, {23, 43, 5}, {44, 68, 10}, {69, 100, 20}};
    for (const auto& b : bands)
        for (int j = b.from; j <= b.to; ++j)
            EXPECT_EQ(lut[size_t(j)], b.m) << j;

    const struct
    {
        double R, step;
    } steps[] = {{1000, 200}, {999, 200}, {450, 100}, {230, 50}, {220, 40}, {-1000, 200}, {0, 0.2}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.R);
        EXPECT_DOUBLE_EQ(Decade(s.R).Step(), s.step);
    }
    // Ranges the decade cannot be taken of never index outside the table.
    for (double R : {double(INFINITY), double(NAN), 1e-320, 1e308, 99.99999999999999, 100.00000000000001}) {
        const SDecade d = Decade(R);
        EXPECT_GE(d.n, 0);
        EXPECT_LE(d.n, 100);
        EXPECT_GT(d.Step(), 0);
        EXPECT_TRUE(std::isfinite(d.Step()));
    }
}

TEST(PlotMath, TrialLabelsAndFormatting)
{
    const struct
    {
        double v;
        int nFrac, nChars;
    } cases[] = {{0.25, 3, 4}, {12.0, 0, 2}, {-3.5, 2, 4}, {1000, 0, 4}, {-0.000001, 7, 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.v);
        const SLabelSize s = TrialLabel(c.v);
        EXPECT_EQ(s.nFrac, c.nFrac);
        EXPECT_EQ(s.nChars, c.nChars);
    }
    EXPECT_EQ(FormatTickLabel(12.5, 2), "12.5");
    EXPECT_EQ(FormatTickLabel(13, 2), "13.0");
    EXPECT_EQ(FormatTickLabel(0.25, 3), "0.25");
    EXPECT_EQ(FormatTickLabel(200, 0), "200");
}

TEST(PlotMath, HorizontalTicksForward)
{
    // 0 at x = 0 to 1000 at x = 400 in a 401-wide area.
    const SAxisMetrics m;
    const SHorzTicks t = CalcHorzTicks(0, 401, 1000.0 / 400, 0, 0, 1000, m);
    EXPECT_DOUBLE_EQ(t.dTickStep, 200);
    EXPECT_DOUBLE_EQ(t.dTickSpacing, 80);
    EXPECT_DOUBLE_EQ(t.TickPos, 0);
    EXPECT_DOUBLE_EQ(t.TickVal, 0);
    EXPECT_EQ(kTickSteps[size_t(t.iTickIndex)], 2); // three sub ticks between majors
    EXPECT_EQ(t.nTrunc, 0);
}

TEST(PlotMath, HorizontalTicksReversedStayNegativeWhenWidened)
{
    SAxisMetrics m;
    SHorzTicks t = CalcHorzTicks(0, 401, -1000.0 / 400, 1000, 1000, 0, m);
    EXPECT_DOUBLE_EQ(t.dTickStep, -200);
    EXPECT_DOUBLE_EQ(t.dTickSpacing, 80);
    EXPECT_DOUBLE_EQ(t.TickVal, 1000);
    m.cxDigit = 30; // labels too wide for 80 pixels
    t = CalcHorzTicks(0, 401, -1000.0 / 400, 1000, 1000, 0, m);
    EXPECT_DOUBLE_EQ(t.dTickStep, -400);
    EXPECT_DOUBLE_EQ(t.dTickSpacing, 160);
}

TEST(PlotMath, HorizontalLabelsNeverOverlapInNarrowPanes)
{
    // Ranges just short of a decade start at the table's last step, 20: a
    // two-point spectrum 90 to 89.9 eV in a tiled window drew "90.0089.98...".
    const SAxisMetrics m{};
    const struct
    {
        int width;
        double from, to;
    } cases[] = {{163, 90, 89.9}, {163, 89.9, 90}, {120, 1000, 1.0}, {60, 0, 999}, {400, 1486.6, 1386.7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << ": " << c.from << " to " << c.to);
        const double dU = (c.to - c.from) / (c.width - 1);
        const SHorzTicks t = CalcHorzTicks(0, c.width, dU, c.from, c.from, c.to, m);
        EXPECT_EQ(t.dTickStep < 0, dU < 0);
        EXPECT_GT(t.dTickSpacing, t.cxWidth * m.cxDigit + m.cxMinus + 2 * m.cxSpace);
        // Every label drawn is as wide as the trial ones at most.
        for (double v = t.TickVal; std::fabs(v - t.TickVal) <= std::fabs(c.to - c.from); v += t.dTickStep)
            EXPECT_LE(int(FormatTickLabel(v, t.nTrunc).size()), t.cxWidth) << v;
    }
}

TEST(PlotMath, VerticalFitRoundsMaximumAndPlacesTicks)
{
    const SVertFit f = FitVertAxis(0, 201, 0, 950);
    EXPECT_DOUBLE_EQ(f.UMax, 1000);
    EXPECT_DOUBLE_EQ(f.dU, -5);
    EXPECT_DOUBLE_EQ(f.dMaxTickStep, 200);
    const SVertTicks t = CalcVertTicks(0, 201, f.dU, f.U0, f.UMax, f.dMaxTickStep, SAxisMetrics{});
    EXPECT_DOUBLE_EQ(t.dTickStep, 200);
    EXPECT_DOUBLE_EQ(t.dTickSpacing, 40);
    EXPECT_DOUBLE_EQ(t.TickPos, 200); // then 160, 120, 80, 40, 0
    EXPECT_DOUBLE_EQ(t.TickVal, 0);
}

TEST(PlotMath, TickLabelsNameTheirValuesAtAnyScale)
{
    // Intensities of a few 1e-12 printed with six decimals: every label of the
    // axis read "0".
    const struct
    {
        double lo, hi;
    } cases[] = {{0, 950},     {0, 4.4e-9},  {0, 4.4e-12}, {-2e-10, 5e-10},  {1e-7, 3e-7},
                 {0, 4.4e-6},  {-340, 4100}, {0, 3e14},    {0, 1.2e300}, {-5e20, 5e20}, {0, 9.1e18}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lo << " to " << c.hi);
        const SVertFit f = FitVertAxis(0, 201, c.lo, c.hi);
        const SVertTicks t = CalcVertTicks(0, 201, f.dU, f.U0, f.UMax, f.dMaxTickStep, SAxisMetrics{});
        const SAxisMetrics m;
        std::string prev;
        for (double v = t.TickVal; v <= f.UMax + t.dTickStep / 2; v += t.dTickStep) {
            const double shown = std::fabs(v) < t.dTickStep * 1e-9 ? 0 : v;
            const std::string label = FormatTickLabel(shown, t.nTrunc);
            EXPECT_NE(label, prev);
            EXPECT_NEAR(std::stod(label), shown, t.dTickStep / 4) << label;
            // The axis is wide enough for it.
            EXPECT_LE(int(label.size()) * m.cxDigit + m.cxMinus, t.cxWidth) << label;
            // Short enough to leave room for the plot: huge values written
            // out in full took hundreds of digits.
            EXPECT_LE(label.size(), size_t(16)) << label;
            prev = label;
        }
    }
    // The same for the energy axis, across and along.
    const SHorzTicks h = CalcHorzTicks(0, 401, 4e-9 / 400, 0, 0, 4e-9, SAxisMetrics{});
    EXPECT_NE(FormatTickLabel(h.TickVal + h.dTickStep, h.nTrunc), FormatTickLabel(h.TickVal + 2 * h.dTickStep, h.nTrunc));
    EXPECT_NEAR(std::stod(FormatTickLabel(h.TickVal + h.dTickStep, h.nTrunc)), h.TickVal + h.dTickStep, 1e-12);
}

TEST(PlotMath, VerticalFitOfEmptyRanges)
{
    EXPECT_DOUBLE_EQ(FitVertAxis(0, 201, 0, 0).UMax, 10000);
    // Flat non-zero data: a range of 1, never a zero or non-finite scale.
    // The value stands inside the range, clear of the axis at the bottom.
    const SVertFit f = FitVertAxis(0, 201, 5, 5);
    EXPECT_DOUBLE_EQ(f.UMin, 4.5);
    EXPECT_DOUBLE_EQ(f.UMax, 5.6);
    for (double v : {250.0, -3.0, 1e17}) {
        const SVertFit g = FitVertAxis(0, 201, v, v);
        EXPECT_LT(g.UMin, v) << v;
        EXPECT_GT(g.UMax, v) << v;
    }
    EXPECT_TRUE(std::isfinite(f.dU));
    EXPECT_NE(f.dU, 0);
}

TEST(PlotMath, CappedStepOutsideTheTableUsesTheLastIndex)
{
    // The data range 0..220 caps the step at 40; the plot shows 0..1000 over
    // 2001 rows, so the capped step's mantissa (0.4 of 100) is not in the table.
    const SVertFit f = FitVertAxis(0, 2001, 0, 220);
    ASSERT_DOUBLE_EQ(f.dMaxTickStep, 40);
    const double dU = -1000.0 / 2000;
    const SVertTicks t = CalcVertTicks(0, 2001, dU, 1000, 1000, f.dMaxTickStep, SAxisMetrics{});
    EXPECT_DOUBLE_EQ(t.dTickStep, 40);
    EXPECT_EQ(t.iTickIndex, 6);
}

TEST(PlotMath, ContractedVerticalAxisKeepsFewTicks)
{
    // The cap comes from data 0..950; the plot then shows a million times more.
    const SVertFit f = FitVertAxis(0, 201, 0, 950);
    const double dU = f.dU * 1e6;
    const SVertTicks t = CalcVertTicks(0, 201, dU, 1000 - 200 * dU, 1e9, f.dMaxTickStep, SAxisMetrics{});
    EXPECT_GE(t.dTickSpacing, SAxisMetrics{}.cyDigit);
    EXPECT_LT(200 / t.dTickSpacing, 20);
}

TEST(PlotMath, ShortVerticalAxisLabelsNeverOverlap)
{
    // A waterfall's front curve in a small window: 0..35000 over 50 rows. The
    // table alone stops at a step whose labels would be 7 rows apart.
    const SAxisMetrics m{};
    for (int rows : {20, 35, 50, 80, 120}) {
        SCOPED_TRACE(rows);
        const SVertFit f = FitVertAxis(0, rows, 0, 35000);
        const SVertTicks t = CalcVertTicks(0, rows, f.dU, f.U0, f.UMax, f.dMaxTickStep, m);
        EXPECT_GE(t.dTickSpacing, m.cyDigit);
        EXPECT_DOUBLE_EQ(t.TickVal, 0); // never a tick below the axis minimum
    }
}

TEST(PlotMath, ShortVerticalAxisNamesItsRange)
{
    // Stacked panes a label or two high: the step grown to keep labels apart
    // ended wider than the range, and the axis read a lone "0" or nothing.
    const SAxisMetrics m{};
    const double minSpacing = m.cyDigit + 2.0 * m.dTxt;
    const struct
    {
        int rows;
        double lo, hi;
    } cases[] = {{25, 0, 2900},      {25, -200, 2900},   {25, 1200, 2900}, {22, -4100, 3900},
                 {25, 52000, 61000}, {30, -15000, 42000}, {20, 0, 35000},  {40, 0.002, 0.0031}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, " << c.lo << " to " << c.hi);
        const SVertFit f = FitVertAxis(0, c.rows, c.lo, c.hi);
        const SVertTicks t = CalcVertTicks(0, c.rows, f.dU, f.U0, f.UMax, f.dMaxTickStep, m);
        EXPECT_GE(t.dTickSpacing, minSpacing - 1e-9);
        std::vector<std::string> labels;
        for (double v = t.TickVal; v <= f.UMax + t.dTickStep * 1e-9; v += t.dTickStep)
            if (v >= c.lo - t.dTickStep * 1e-9)
                labels.push_back(FormatTickLabel(v, t.nTrunc));
        ASSERT_GE(labels.size(), size_t(2));
        EXPECT_NE(labels[0], labels[1]);
    }
}

TEST(PlotMath, VerticalAxisIsWideEnoughForItsLowestLabel)
{
    // A differential spectrum from -3.5e6 to 5e5: the labels at the bottom
    // are longer than those at the top, and a narrower axis cut off their
    // minus sign.
    const SAxisMetrics m{};
    const SVertFit f = FitVertAxis(0, 201, -3.5e6, 5e5);
    const SVertTicks t = CalcVertTicks(0, 201, f.dU, f.U0, f.UMax, f.dMaxTickStep, m);
    ASSERT_LT(t.TickVal, -1e6);
    const int chars = int(FormatTickLabel(t.TickVal, t.nTrunc).size()); // minus included
    EXPECT_GE(t.cxWidth, chars * m.cxDigit + m.cyMajorTick + m.dTxt);
}

TEST(PlotMath, Transforms)
{
    // More points than columns: each column covers 2.5 points, centred.
    SAxisXform x = CalcXTransform(0, 400, 0, 999);
    EXPECT_DOUBLE_EQ(x.dS, 2.5);
    EXPECT_DOUBLE_EQ(x.ds, 0.4);
    EXPECT_DOUBLE_EQ((0 - 0.5) * x.dS + x.S0, -0.5);    // column 0 starts half a point early
    EXPECT_DOUBLE_EQ((399 + 0.5) * x.dS + x.S0, 999.5); // the last column ends half a point late
    // Fewer: Xmin on the left column, Xmax on the last.
    x = CalcXTransform(10, 111, 0, 50);
    EXPECT_DOUBLE_EQ(0 * x.ds + x.s0, 10);
    EXPECT_DOUBLE_EQ(50 * x.ds + x.s0, 110);
    // A single point and an empty rectangle give finite maps.
    for (const SAxisXform& t :
         {CalcXTransform(0, 400, 0, 0), CalcXTransform(5, 5, 0, 10), CalcXTransform(5, 6, 0, 10)})
        EXPECT_TRUE(std::isfinite(t.ds) && std::isfinite(t.dS) && t.ds > 0);
    // A single point stands in the middle of the plot, not on the axis line
    // at its left edge, and maps back to itself.
    for (double x0 : {0.0, 750.5}) {
        const SAxisXform one = CalcXTransform(10, 411, x0, x0);
        EXPECT_DOUBLE_EQ(x0 * one.ds + one.s0, 210);
        EXPECT_DOUBLE_EQ(210 * one.dS + one.S0, x0);
    }

    const SAxisXform y = CalcYTransform(0, 201, 0, 1000);
    EXPECT_DOUBLE_EQ(0 * y.ds + y.s0, 200);
    EXPECT_DOUBLE_EQ(1000 * y.ds + y.s0, 0);
    EXPECT_DOUBLE_EQ(200 * y.dS + y.S0, 0);
    const SAxisXform flat = CalcYTransform(0, 201, 3, 3);
    EXPECT_TRUE(std::isfinite(flat.ds));
}

TEST(PlotMath, TraceRectangles)
{
    const CRect area(0, 0, 400, 300);
    const struct
    {
        int mode, n;
        CRect want;
        CSize shift;
    } cases[] = {
        {DispStack, 4, CRect(0, 150, 400, 300), CSize(0, -50)},
        {DispOffset, 4, CRect(0, 129, 337, 300), CSize(21, -42)},
        {DispOverlay, 4, CRect(0, 0, 400, 300), CSize(0, 0)},
        {DispStack, 1, CRect(0, 0, 400, 300), CSize(0, -100)},
        {DispOffset, 1, CRect(0, 0, 400, 300), CSize(150, -300)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " n " << c.n);
        CSize s;
        EXPECT_EQ(CalcTraceRect(area, c.mode, c.n, &s), c.want);
        EXPECT_EQ(s, c.shift);
    }
}

TEST(PlotMath, ShownCurvesAreDecimatedToTwenty)
{
    const struct
    {
        int n, step, count;
    } cases[] = {{1, 1, 1}, {20, 1, 20}, {21, 2, 11}, {40, 2, 20}, {41, 3, 14}, {100, 5, 20}, {0, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        const SDispTraces d = AllDispTraces(c.n);
        EXPECT_EQ(d.iFirst, 0);
        EXPECT_EQ(d.nStep, c.step);
        EXPECT_EQ(d.nCount, c.count);
    }
    // A run that would pass the last curve falls back to curve 0 alone.
    SDispTraces d = MoveDispTraces({0, 3, 4}, 10, 5);
    EXPECT_EQ(d.iFirst, 0);
    EXPECT_EQ(d.nCount, 1);
    d = MoveDispTraces({0, 3, 4}, 11, 1);
    EXPECT_EQ(d.iFirst, 1);
    EXPECT_EQ(d.nCount, 4);
    d = MoveDispTraces({2, 1, 1}, 10, 7);
    EXPECT_EQ(d.iFirst, 7);
    EXPECT_EQ(d.nCount, 1);
    d = MoveDispTraces({2, 1, 1}, 10, 10); // past the end: all again
    EXPECT_EQ(d.nCount, 10);
    d = MoveDispTraces({0, 1, 1}, 100, 2147483647);
    EXPECT_EQ(d.nCount, 20);
    EXPECT_EQ(d.nStep, 5);
}

namespace {

STraceGeom Geom(const std::vector<double>& y, const CRect& r, double ymin, double ymax,
                const double* x = nullptr, double xmin = 0, double xmax = -1)
{
    STraceGeom g;
    g.y = y;
    g.x = x;
    if (xmax < xmin) {
        xmin = 0;
        xmax = double(y.size()) - 1;
    }
    g.X = CalcXTransform(r.left, r.right, xmin, xmax);
    g.Y = CalcYTransform(r.top, r.bottom, ymin, ymax);
    return g;
}

} // namespace

TEST(PlotMath, ManyPointsGiveOneStrokePerColumnAndKeepSpikes)
{
    // 10000 points in 500 columns; one spike that must survive.
    std::vector<double> y(10000);
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = 100 + 50 * std::sin(double(i) / 300);
    y[5001] = 1000;
    const CRect r(0, 0, 500, 201);
    std::vector<CPoint> v;
    BuildVertices(Geom(y, r, 0, 1000), r, v);
    EXPECT_LE(v.size(), size_t(3 * 502));
    EXPECT_GE(v.size(), size_t(500));
    int top = 1 << 30;
    for (size_t i = 1; i < v.size(); ++i) {
        top = std::min(top, v[i].y);
        // Strokes are joined to their neighbours within one column.
        EXPECT_GE(v[i].x, v[i - 1].x);
        EXPECT_LE(v[i].x, v[i - 1].x + 1);
    }
    EXPECT_LE(top, 0); // the spike reaches the top row (1000)
    EXPECT_GE(top, -1);
}

TEST(PlotMath, VertexCountFollowsWidthNotPoints)
{
    const CRect r(0, 0, 300, 100);
    std::vector<double> small(20000, 1.0), large(2000000, 1.0);
    for (size_t i = 0; i < large.size(); i += 7)
        large[i] = 2;
    for (size_t i = 0; i < small.size(); i += 7)
        small[i] = 2;
    std::vector<CPoint> a, b;
    BuildVertices(Geom(small, r, 0, 3), r, a);
    BuildVertices(Geom(large, r, 0, 3), r, b);
    EXPECT_LE(a.size(), size_t(3 * 302));
    EXPECT_LE(b.size(), size_t(3 * 302));
}

TEST(PlotMath, FewPointsGiveOneVertexEach)
{
    const std::vector<double> y{0, 10, 5, 10, 0, 1, 2, 3, 4, 5};
    const CRect r(0, 0, 91, 11);
    std::vector<CPoint> v;
    BuildVertices(Geom(y, r, 0, 10), r, v);
    ASSERT_EQ(v.size(), y.size());
    for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(v[i].x, int(10 * i));
        EXPECT_EQ(v[i].y, 10 - int(y[i]));
    }
    // A clip in the middle converts only what it shows plus one each side.
    BuildVertices(Geom(y, r, 0, 10), CRect(35, 0, 56, 11), v);
    ASSERT_FALSE(v.empty());
    EXPECT_LE(v.front().x, 30);
    EXPECT_GE(v.back().x, 60);
    EXPECT_LE(v.size(), size_t(6));
}

// A point that is no number is a gap the line bridges, never a stroke to the
// top of the window, whichever way the curve is drawn.
TEST(PlotMath, NaNPointsAreBridgedInEveryDrawingMode)
{
    const double nan = NAN;
    const CRect r(0, 0, 91, 11);
    const std::vector<double> x{0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
    struct Case
    {
        const char* name;
        size_t n; // points; more than the width draws by column
        bool byX;
    } cases[] = {{"by point", 10, false}, {"by X", 10, true}, {"by column", 1000, false}};
    for (const Case& c : cases) {
        for (const std::vector<size_t>& at : std::vector<std::vector<size_t>>{{0}, {c.n / 2}, {c.n - 1}}) {
            std::vector<double> y(c.n, 5.0);
            for (size_t i : at)
                y[i] = nan;
            std::vector<CPoint> v;
            BuildVertices(Geom(y, r, 0, 10, c.byX ? x.data() : nullptr, 0, c.byX ? 90 : -1), r, v);
            ASSERT_FALSE(v.empty()) << c.name;
            for (const CPoint& p : v)
                EXPECT_EQ(p.y, 5) << c.name << ", NaN at " << at[0];
        }
        std::vector<double> none(c.n, nan);
        std::vector<CPoint> v;
        BuildVertices(Geom(none, r, 0, 10, c.byX ? x.data() : nullptr, 0, c.byX ? 90 : -1), r, v);
        EXPECT_TRUE(v.empty()) << c.name;
    }
}

TEST(PlotMath, XDataSelectVisiblePoints)
{
    const std::vector<double> x{0, 1, 2, 4, 8, 16, 32, 64};
    const std::vector<double> y{1, 2, 3, 4, 5, 6, 7, 8};
    const CRect r(0, 0, 65, 9);
    std::vector<CPoint> v;
    BuildVertices(Geom(y, r, 0, 8, x.data(), 0, 64), r, v);
    ASSERT_EQ(v.size(), x.size());
    EXPECT_EQ(v[3].x, 4);
    EXPECT_EQ(v[7].x, 64);
    BuildVertices(Geom(y, r, 0, 8, x.data(), 0, 64), CRect(10, 0, 20, 9), v);
    ASSERT_EQ(v.size(), size_t(3)); // 8, 16 and 32: one beyond each edge
    EXPECT_EQ(v.front().x, 8);
    EXPECT_EQ(v.back().x, 32);
}

TEST(PlotMath, FillCutsAtTheRightEdge)
{
    const CRect rDisp(0, 0, 100, 50);
    std::vector<CPoint> p{{80, 40}, {90, 30}, {110, 10}};
    CPoint cut;
    ASSERT_TRUE(AppendFill(p, rDisp, &cut));
    EXPECT_EQ(cut.x, 99);
    EXPECT_EQ(cut.y, 30 + int(std::ceil(9.0 * -20 / 20))); // 21
    ASSERT_EQ(p.size(), size_t(6));
    EXPECT_EQ(p[3], CPoint(111, 10));
    EXPECT_EQ(p[4], CPoint(111, 51));
    EXPECT_EQ(p[5], CPoint(79, 51));
    // Zoomed in, the vertex before the last lies beyond the edge as well: the
    // height is still on the line through those two, not through a vertex
    // further back.
    std::vector<CPoint> z{{90, 40}, {105, 20}, {120, 10}};
    ASSERT_TRUE(AppendFill(z, rDisp, &cut));
    EXPECT_EQ(cut.y, 20 + int(std::ceil(-6.0 * -10 / 15))); // 24

    // A stroke ends with two vertices in one column beyond the edge: no width
    // to interpolate over there, yet a finite height.
    std::vector<CPoint> s{{98, 40}, {99, 40}, {99, 20}, {100, 20}, {100, 5}};
    ASSERT_TRUE(AppendFill(s, rDisp, &cut));
    EXPECT_EQ(cut.x, 99);
    EXPECT_EQ(cut.y, 20);
    std::vector<CPoint> one{{120, 7}};
    ASSERT_TRUE(AppendFill(one, rDisp, &cut));
    EXPECT_EQ(cut.y, 7);

    // Inside the rectangle: no cut, closed at the last column at most.
    std::vector<CPoint> in{{10, 5}, {20, 6}};
    EXPECT_FALSE(AppendFill(in, rDisp, &cut));
    EXPECT_EQ(in[2], CPoint(21, 6));
    EXPECT_EQ(in[4], CPoint(9, 51));
}

TEST(PlotMath, LineCursorHitBand)
{
    const CRect clip(10, 10, 200, 100);
    const struct
    {
        bool horz;
        double pos;
        CPoint pt;
        bool hit;
    } cases[] = {
        {false, 50, {54, 20}, true},      {false, 50, {46, 20}, true},   {false, 50, {55, 20}, false},
        {false, 50, {45, 20}, false},     {false, 50, {50, 5}, false},   {true, 40, {100, 44}, true},
        {true, 40, {100, 45}, false},     {false, 49.6, {54, 20}, true}, {false, 1e300, {199, 50}, false},
        {false, -1e300, {10, 50}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pos << " " << c.pt.x << "," << c.pt.y);
        EXPECT_EQ(LineHitTest(c.horz, clip, c.pos, c.pt), c.hit);
    }
    EXPECT_EQ(LineScreenPos(1e300), INT_MAX);
    EXPECT_EQ(LineScreenPos(-1e300), INT_MIN);
    EXPECT_EQ(LineScreenPos(2.5), 2);
    EXPECT_EQ(LineScreenPos(2.50000001), 3);
}
