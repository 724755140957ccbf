// The plot area: which curves are shown, and zooms that keep the hidden
// curves in step with the shown ones.

#include "app/plot/SpecDraw.h"
#include "app/plot/LineCursor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct AreaFixture : testing::Test
{
    void Make(int nCurves, int nPts = 200)
    {
        y.assign(size_t(nPts), 0.0);
        for (int i = 0; i < nPts; ++i)
            y[size_t(i)] = i % 20;
        area.SetNumTraces(nCurves);
        for (int k = 0; k < nCurves; ++k)
            area.SetYData(y.data(), 0, 19, nPts, k);
        const CRect r(0, 0, 400, 300);
        area.SetRect(&r, TRUE, TRUE);
        area.SetDispLimits(0, 0, TRUE);
    }
    std::vector<double> y;
    CSpecDraw area;
};

} // namespace

TEST_F(AreaFixture, ShowsEveryNthCurveAndFallsBack)
{
    Make(10);
    EXPECT_EQ(area.GetNumDispTraces(), 10);
    area.SetDispTrace(0, 3, 4);
    EXPECT_FALSE(area.GetSpecTrace(1)->IsVisible());
    EXPECT_TRUE(area.GetSpecTrace(9)->IsVisible());
    area.SetDispTrace(5); // 5, 8, 11, 14: past the last curve
    EXPECT_EQ(area.GetDispTrace(), 0);
    EXPECT_EQ(area.GetNumDispTraces(), 1);
    EXPECT_TRUE(area.GetSpecTrace(0)->IsVisible());
    EXPECT_FALSE(area.GetSpecTrace(9)->IsVisible());
    area.SetDispTrace(2147483647);
    EXPECT_EQ(area.GetNumDispTraces(), 10);
    // A run the caller got wrong leaves what is shown.
    area.SetDispTrace(8, 2, 3);
    EXPECT_EQ(area.GetNumDispTraces(), 10);
}

TEST_F(AreaFixture, OneShownCurveFillsTheAreaInEveryMode)
{
    Make(5);
    area.SetDispTrace(2, 1, 1);
    for (int mode : {CSpecDraw::Stack, CSpecDraw::Offset, CSpecDraw::Overlay}) {
        area.SetDispMode(mode);
        const CRect r(0, 0, 400, 300);
        area.SetRect(&r, TRUE, TRUE);
        EXPECT_EQ(*area.GetSpecTrace(2)->GetRect(), r) << mode;
    }
}

TEST_F(AreaFixture, ZoomKeepsHiddenCurvesInStep)
{
    Make(6);
    area.SetDispTrace(0, 2, 3); // 0, 2, 4 shown
    const int r = area.SetDispLimits(4, 2, TRUE);
    EXPECT_EQ(r, 3);
    const CSpecTrace* shown = area.GetSpecTrace(0);
    for (int k = 1; k < 6; ++k) {
        SCOPED_TRACE(k);
        EXPECT_DOUBLE_EQ(area.GetSpecTrace(k)->GetXmin(), shown->GetXmin());
        EXPECT_DOUBLE_EQ(area.GetSpecTrace(k)->GetYmax(), shown->GetYmax());
    }
    // Asking changes nothing.
    const double xmin = shown->GetXmin();
    EXPECT_EQ(area.SetDispLimits(2, 1, FALSE), 1);
    EXPECT_EQ(shown->GetXmin(), xmin);
}

TEST_F(AreaFixture, ScrollsOnlyWithOneCurveAndCopiesTheView)
{
    Make(3);
    area.SetDispLimits(4, 1, TRUE);
    CRect u;
    EXPECT_EQ(area.ScrollHorz(5, &u), 0); // three shown
    EXPECT_TRUE(u.IsRectEmpty());
    area.SetDispTrace(1, 1, 1);
    const CRect r(0, 0, 400, 300);
    area.SetRect(&r, TRUE, TRUE);
    EXPECT_EQ(area.ScrollHorz(5, &u), 5);
    EXPECT_DOUBLE_EQ(area.GetSpecTrace(0)->GetXmin(), area.GetSpecTrace(1)->GetXmin());
    EXPECT_DOUBLE_EQ(area.GetSpecTrace(2)->XTox(10), area.GetSpecTrace(1)->XTox(10));
}

TEST_F(AreaFixture, CursorsAttachToTheirCurveAndClicksTryEveryCurve)
{
    Make(3);
    CLineCursor c(FALSE);
    CSpecTrace other;
    EXPECT_FALSE(area.Attach(&c, &other));
    EXPECT_TRUE(area.Attach(&c, area.GetSpecTrace(2)));
    EXPECT_EQ(c.GetClipRect(), *area.GetSpecTrace(2)->GetRect());
    EXPECT_TRUE(area.Detach(&c));
    EXPECT_FALSE(area.Detach(&c));
    // Several curves shown: no mouse cursor of the area's own.
    CPoint p(10, 290);
    EXPECT_EQ(area.GetCursor(p), nullptr);
}

TEST_F(AreaFixture, ExtremesOverAllCurves)
{
    Make(2);
    std::vector<double> other{-5, 50};
    area.SetYData(other.data(), -5, 50, 2, 1);
    EXPECT_EQ(area.GetMaxValue(), 50);
    EXPECT_EQ(area.GetMinValue(), -5);
}
