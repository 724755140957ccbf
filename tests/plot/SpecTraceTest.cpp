// Curve limits, zooms, scrolls and conversions.

#include "app/plot/SpecTrace.h"
#include "app/plot/LineCursor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A curve of n points 0..n-1 with values i % 10, laid out in a 101 x 101 rectangle.
struct TraceFixture
{
    explicit TraceFixture(int n = 1000, const CRect& r = CRect(0, 0, 101, 101)) : y(size_t(n))
    {
        for (int i = 0; i < n; ++i)
            y[size_t(i)] = i % 10;
        t.SetYData(y.data(), 0, n > 1 ? 9 : 0, n);
        t.SetRect(&r, TRUE, TRUE);
        t.SetDispLimits(0, 0, TRUE);
    }
    std::vector<double> y;
    CSpecTrace t;
};

} // namespace

TEST(SpecTrace, FullScaleShowsTheDataWithFivePercentMargins)
{
    TraceFixture f;
    EXPECT_EQ(f.t.GetXmin(), 0);
    EXPECT_EQ(f.t.GetXmax(), 999);
    EXPECT_DOUBLE_EQ(f.t.GetYmin(), 4.5 - 1.1 * 4.5);
    EXPECT_DOUBLE_EQ(f.t.GetYmax(), 4.5 + 1.1 * 4.5);
    // Flat data: value +- 1; one point: the zero X range counts as 1.
    std::vector<double> flat(5, 7.0);
    CSpecTrace t;
    t.SetYData(flat.data(), 7, 7, 5);
    const CRect r(0, 0, 50, 50);
    t.SetRect(&r, TRUE, TRUE);
    t.SetDispLimits(0, 0, TRUE);
    EXPECT_DOUBLE_EQ(t.GetYmin(), 6);
    EXPECT_DOUBLE_EQ(t.GetYmax(), 8);
    TraceFixture one(1);
    EXPECT_TRUE(std::isfinite(one.t.XTox(0)));
    EXPECT_EQ(one.t.xToIndex(30), 0);
}

TEST(SpecTrace, ZoomFactors)
{
    TraceFixture f;
    // Factors 1 and -1 leave their axis alone.
    EXPECT_EQ(f.t.SetDispLimits(1, -1, TRUE), 0);
    // In by 4 about the centre.
    EXPECT_EQ(f.t.SetDispLimits(4, 1, TRUE) & 1, 1);
    EXPECT_DOUBLE_EQ(f.t.GetXmin(), 499.5 - 999.0 / 8);
    // Never narrower than 4 points; below 2 nothing changes.
    for (int i = 0; i < 10; ++i)
        f.t.SetDispLimits(8, 1, TRUE);
    EXPECT_DOUBLE_EQ(f.t.GetXmax() - f.t.GetXmin(), 4);
    // Expanding again at the narrowest range still asks for a redraw.
    EXPECT_EQ(f.t.SetDispLimits(8, 1, FALSE), 1);
    EXPECT_EQ(f.t.SetDispLimits(8, 1, TRUE), 1);
    EXPECT_DOUBLE_EQ(f.t.GetXmax() - f.t.GetXmin(), 4);
    const double narrow[2] = {500, 501};
    f.t.SetDispLimits(CSpecTrace::X_SET, narrow, TRUE);
    EXPECT_EQ(f.t.SetDispLimits(8, 1, TRUE), 0);
    // Out: keeps its width and touches the end it would cross.
    f.t.SetDispLimits(0, 1, TRUE);
    const double lim[2] = {900, 999};
    f.t.SetDispLimits(CSpecTrace::X_SET, lim, TRUE);
    f.t.SetDispLimits(-2, 1, TRUE);
    EXPECT_DOUBLE_EQ(f.t.GetXmax(), 999);
    EXPECT_DOUBLE_EQ(f.t.GetXmin(), 999 - 198);
    // Out past the data: the full range.
    EXPECT_EQ(f.t.SetDispLimits(-20, 1, TRUE), 1);
    EXPECT_DOUBLE_EQ(f.t.GetXmin(), 0);
    EXPECT_DOUBLE_EQ(f.t.GetXmax(), 999);
    EXPECT_EQ(f.t.SetDispLimits(-2, 1, TRUE), 0);
    EXPECT_EQ(f.t.SetDispLimits(0, 1, TRUE), 0);
    // A full-scale Y zoom leaves margins around the data, so doing it again
    // still reports Y, as a zoom out always does.
    EXPECT_EQ(f.t.SetDispLimits(1, 0, TRUE), 2);
    EXPECT_EQ(f.t.SetDispLimits(1, 0, TRUE), 2);
    EXPECT_EQ(f.t.SetDispLimits(1, -2, TRUE), 2);
}

TEST(SpecTrace, YZoomInReportsChangeAndIsLimited)
{
    TraceFixture f;
    // Limits equal to the data range exactly: the zoom still changes them and says so.
    const double lim[2] = {0, 9};
    f.t.SetDispLimits(CSpecTrace::Y_SET, lim, TRUE);
    const double before = f.t.YToy(9);
    EXPECT_EQ(f.t.SetDispLimits(1, 2, FALSE), 2);
    EXPECT_EQ(f.t.SetDispLimits(1, 2, TRUE), 2);
    EXPECT_DOUBLE_EQ(f.t.GetYmax(), 4.5);
    EXPECT_NE(f.t.YToy(9), before); // the transform followed
    // ScreenBottom never magnifies beyond 131072 times the data range.
    f.t.SetVertExpMode(CSpecTrace::ScreenBottom);
    for (int i = 0; i < 40; ++i)
        f.t.SetDispLimits(1, 16, TRUE);
    EXPECT_GE(f.t.GetYmax() - f.t.GetYmin(), 9.0 / 131072 * 0.999);
    // Zoom out: SpectrumZero multiplies both limits.
    f.t.SetVertExpMode(CSpecTrace::SpectrumZero);
    f.t.SetDispLimits(CSpecTrace::Y_SET, lim, TRUE);
    EXPECT_EQ(f.t.SetDispLimits(1, -3, TRUE), 2);
    EXPECT_DOUBLE_EQ(f.t.GetYmax(), 27);
}

TEST(SpecTrace, RubberBandZoom)
{
    TraceFixture f(100, CRect(0, 0, 401, 101));
    // Outside the curve's rectangle: nothing.
    CRect out(500, 10, 520, 30);
    EXPECT_EQ(f.t.SetDispLimits(&out), 0);
    // Full width: Y only.
    CRect full(0, 10, 401, 30);
    EXPECT_EQ(f.t.SetDispLimits(&full), 2);
    // A sliver at the right end: at least 4 points, pushed inside the data.
    CRect sliver(399, 0, 400, 101);
    EXPECT_EQ(f.t.SetDispLimits(&sliver), 1);
    EXPECT_DOUBLE_EQ(f.t.GetXmax(), 99);
    EXPECT_DOUBLE_EQ(f.t.GetXmin(), 95);
}

TEST(SpecTrace, ScrollsAndClampsAtTheEnds)
{
    TraceFixture f;
    CRect u;
    // Whole range shown: refused with an empty update.
    EXPECT_EQ(f.t.ScrollHorz(5, &u), 0);
    EXPECT_TRUE(u.IsRectEmpty());
    const double lim[2] = {400, 500};
    f.t.SetDispLimits(CSpecTrace::X_SET, lim, TRUE);
    const int x450 = f.t.IndexTox(450);
    EXPECT_EQ(f.t.ScrollHorz(10, &u), 10);
    EXPECT_EQ(f.t.IndexTox(450), x450 + 10);
    EXPECT_LT(f.t.GetXmin(), 400);
    // Far to the right: clamped at the first point, whole rectangle repainted.
    EXPECT_EQ(f.t.ScrollHorz(100000, &u), 0);
    EXPECT_EQ(CRect(u), *f.t.GetRect());
    EXPECT_DOUBLE_EQ(f.t.GetXmin(), 0);
    EXPECT_DOUBLE_EQ(f.t.GetXmax(), 100);
    // At the first point and still dragging right: refused.
    EXPECT_EQ(f.t.ScrollHorz(5, &u), 0);
    EXPECT_TRUE(u.IsRectEmpty());
    // A zoom at the narrowest range near the end runs past the last point; a
    // scroll towards the end pulls the window back to it and repaints.
    const double end[2] = {997, 999};
    f.t.SetDispLimits(CSpecTrace::X_SET, end, TRUE);
    f.t.SetDispLimits(8, 1, TRUE);
    ASSERT_DOUBLE_EQ(f.t.GetXmax(), 1000);
    EXPECT_EQ(f.t.ScrollHorz(-3, &u), 0);
    EXPECT_EQ(CRect(u), *f.t.GetRect());
    EXPECT_DOUBLE_EQ(f.t.GetXmax(), 999);
    EXPECT_DOUBLE_EQ(f.t.GetXmin(), 995);
    EXPECT_EQ(f.t.ScrollHorz(-3, &u), 0);
    EXPECT_TRUE(u.IsRectEmpty());
}

TEST(SpecTrace, XDataZoomsAndScrollsKeepToTheXRange)
{
    // 101 points from 500 to 600 eV in steps of 1.
    std::vector<double> x(101), y(101, 1.0);
    for (int i = 0; i < 101; ++i)
        x[size_t(i)] = 500 + i;
    CSpecTrace t;
    t.SetYData(y.data(), 0, 2, 101);
    t.SetXData(x.data(), 500, 600, 101);
    const CRect r(0, 0, 201, 101);
    t.SetRect(&r, TRUE, TRUE);
    t.SetDispLimits(0, 0, TRUE);
    EXPECT_DOUBLE_EQ(t.GetXmin(), 500);
    // A band at the left end stays inside 500..600, not 0..100.
    CRect band(0, 10, 3, 30);
    t.SetDispLimits(&band);
    EXPECT_GE(t.GetXmin(), 500);
    EXPECT_LE(t.GetXmax(), 600);
    CRect u;
    EXPECT_EQ(t.ScrollHorz(-100000, &u), 0);
    EXPECT_DOUBLE_EQ(t.GetXmax(), 600);
    // Screen column to point index goes through the X values.
    t.SetDispLimits(0, 1, TRUE);
    EXPECT_EQ(t.xToIndex(t.IndexTox(37)), 37);
    EXPECT_EQ(t.IndexTox(-5), t.IndexTox(0));
    EXPECT_EQ(t.IndexTox(500), t.IndexTox(100));
    // Fractions are of the X range.
    const double frac[2] = {0.5, 1.0};
    t.SetDispLimits(CSpecTrace::X_FRAC_SET, frac, TRUE);
    EXPECT_DOUBLE_EQ(t.GetXmin(), 550);
}

TEST(SpecTrace, ConversionsClamp)
{
    TraceFixture f(1000, CRect(0, 0, 101, 101));
    EXPECT_EQ(f.t.xToIndex(-50), 0);
    EXPECT_EQ(f.t.xToIndex(5000), 999);
    const double far[2] = {0, 1e-6};
    f.t.SetDispLimits(CSpecTrace::X_SET, far, TRUE);
    EXPECT_EQ(f.t.IndexTox(999), INT_MAX);
    EXPECT_EQ(f.t.IndexTox(-999), INT_MIN);
}

TEST(SpecTrace, CursorsKeepTheirDataPosition)
{
    TraceFixture f;
    CLineCursor c(FALSE);
    f.t.Attach(&c);
    c.SetPos(f.t.IndexTox(300));
    const double x300 = f.t.xToX(c.GetPos());
    f.t.SetDispLimits(4, 1, TRUE);
    EXPECT_NEAR(f.t.xToX(c.GetPos()), x300, 1e-9);
    const CRect wider(0, 0, 301, 101);
    f.t.SetRect(&wider, TRUE, TRUE);
    EXPECT_NEAR(f.t.xToX(c.GetPos()), x300, 1e-9);
    EXPECT_EQ(c.GetClipRect(), wider);
    EXPECT_TRUE(f.t.Detach(&c));
    EXPECT_FALSE(f.t.Detach(&c));
}

TEST(SpecTrace, CopiesOwnTheirPens)
{
    auto t = std::make_unique<CSpecTrace>();
    EXPECT_EQ(t->GetPen(), &CSpecTrace::GetDefaults().m_Pen);
    EXPECT_EQ(t->GetPen()->color(), QColor(0, 0, 192));
    t->SetPen(new QPen(Qt::red));
    CSpecTrace copy(*t);
    EXPECT_NE(copy.GetPen(), t->GetPen());
    t.reset();
    EXPECT_EQ(copy.GetPen()->color(), QColor(Qt::red));
    // A lent pen goes back: the caller keeps what it got.
    QPen lent(Qt::green);
    QPen* prev = copy.SetPen(&lent);
    EXPECT_EQ(copy.SetPen(prev), &lent);
    // A copy shares the default pen and never frees shared data.
    CSpecTrace plain;
    CSpecTrace plainCopy(plain);
    EXPECT_EQ(plainCopy.GetPen(), &CSpecTrace::GetDefaults().m_Pen);
}

TEST(SpecTrace, UpdateWidensTheRangeAndRepaintsTheStrip)
{
    TraceFixture f(100, CRect(0, 0, 101, 101));
    f.y[50] = 42;
    f.t.OnUpdate(50, 50, nullptr);
    EXPECT_EQ(f.t.GetMaxValue(), 42);
    f.y[50] = 3;
    f.t.OnUpdate(0, 99, nullptr); // up to the last point: recomputed
    EXPECT_EQ(f.t.GetMaxValue(), 9);
}

// The limits after processing or an update are those of the finite values: a
// NaN first point made both NaN, and the plot lost its scale; an infinity
// widened it past every other value.
TEST(SpecTrace, UpdateTakesTheLimitsOfTheFiniteValues)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    for (double bad : {nan, inf, -inf}) {
        SCOPED_TRACE(bad);
        TraceFixture f(100, CRect(0, 0, 101, 101));
        f.y[0] = bad;
        f.y[99] = bad;
        f.t.OnUpdate(0, 99, nullptr);
        EXPECT_EQ(f.t.GetMinValue(), 0);
        EXPECT_EQ(f.t.GetMaxValue(), 9);
        f.y[50] = bad; // one point in the middle
        f.t.OnUpdate(50, 50, nullptr);
        EXPECT_EQ(f.t.GetMinValue(), 0);
        EXPECT_EQ(f.t.GetMaxValue(), 9);
        std::fill(f.y.begin(), f.y.end(), bad);
        f.t.OnUpdate(0, 99, nullptr);
        EXPECT_EQ(f.t.GetMinValue(), 0);
        EXPECT_EQ(f.t.GetMaxValue(), 0);
    }
}
