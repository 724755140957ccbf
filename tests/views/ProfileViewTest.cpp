// The profile view on the real application object: curves of intensity
// against level from the document, symbols that cycle, the level axis, an
// acquired intensity filling its point of the right plane, positions with
// more points than levels or none, and the legend's placement.

#include "AppFixture.h"

#include "app/Legend.h"
#include "app/ProfileView.h"
#include "app/ViewLayout.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "app/plot/Symbol.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/MDIChildWnd.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPen>
#include <cmath>

namespace {

// A fast profile position: nRgns regions, each level's curve three values
// (peak, first and second background).
struct SProfilePosn
{
    int nRgns;
    std::vector<double> levels;
    int nPoints = 0; // 4: a 2 x 2 raster of analysis points; 0: none
    // When given, every region's level k is the one value counts[k] (a
    // single-plane curve, as a VAMAS import makes) instead of Peak's three.
    std::vector<double> counts = {};
};

// Curve k of region j at position s: peak 100 * (j + 1) + 10 * k + s,
// backgrounds 20 and 40, so the intensity is 70 + 100 j + 10 k + s; region 1's
// level 0 has its peak below the backgrounds.
double Peak(int s, int j, int k)
{
    return j == 1 && k == 0 ? 5.0 : 100.0 * (j + 1) + 10.0 * k + s;
}

class ProfileViewTest : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        Start();
    }

    CProfileView* Open(const std::vector<SProfilePosn>& posns)
    {
        CDataFileBuilder b;
        b.Header().Experiment(0x404, 2).Source().IonGun();
        for (size_t s = 0; s < posns.size(); ++s) {
            const SProfilePosn& p = posns[s];
            CDataFileBuilder::SPosnHead head;
            head.levels = p.levels;
            if (p.nPoints > 0)
                head.posnMode = 4; // the builder's raster is 2 x 2
            const size_t at = b.BeginPosn(head, p.nRgns);
            const int nCurves = std::max(int(p.levels.size()), p.nPoints);
            for (int j = 0; j < p.nRgns; ++j) {
                const size_t r = b.BeginBlock(5, 1);
                const bool single = !p.counts.empty();
                b.RegionParams(j % 2 ? "Si" : "O", 1, 1, single ? 1 : 3, 0).F64(0.5).Count(nCurves);
                for (int k = 0; k < nCurves && single; ++k) {
                    const double c = p.counts[size_t(k) % p.counts.size()];
                    b.F64(c).F64(c).Count(1).F64(c);
                }
                for (int k = 0; k < nCurves && !single; ++k) {
                    const double pk = Peak(int(s), j, k);
                    b.F64(std::max(pk, 40.0)).F64(std::min(pk, 20.0)).Count(3).F64(pk).F64(20.0).F64(40.0);
                }
                b.EndBlock(r);
            }
            b.Count(0);
            b.EndPosn(at);
        }
        b.End();
        static int n = 0;
        auto* view = OpenView<CProfileView>(QStringLiteral("profile%1.vlt").arg(++n), b.m_bytes, 800, 600);
        m_pDoc = view ? view->GetDocument() : nullptr;
        return view;
    }

    static std::vector<double> Curve(CSpecWnd* w, int j, int s)
    {
        int n = 0;
        const double* y = w->GetYData(&n, j, s);
        return y ? std::vector<double>(y, y + n) : std::vector<double>();
    }

    CVeltraneDoc* m_pDoc = nullptr;
};

TEST_F(ProfileViewTest, OneCurvePerRegionAgainstLevelWithCyclingSymbols)
{
    CProfileView* v = Open({{4, {0.0, 30.0, 60.0, 90.0, 120.0}}});
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->GetNumSpecWnds(), 1);
    CSpecWnd* w = v->GetSpecWnd(0);
    ASSERT_EQ(w->GetNumPlanes(), 1);
    ASSERT_EQ(w->GetNumTraces(0), 4);
    EXPECT_FALSE(w->isHidden());
    EXPECT_EQ(Curve(w, 0, 0), (std::vector<double>{70, 80, 90, 100, 110}));
    // A peak below its background counts 0, never a negative intensity.
    EXPECT_EQ(Curve(w, 1, 0), (std::vector<double>{0, 180, 190, 200, 210}));
    const CSpecTrace* t0 = w->GetSpecTrace(0, 0);
    ASSERT_NE(t0->GetXData(), nullptr);
    EXPECT_EQ(std::vector<double>(t0->GetXData(), t0->GetXData() + 5),
              (std::vector<double>{0, 30, 60, 90, 120}));
    EXPECT_EQ(v->GetXMin(), 0.0);
    EXPECT_EQ(v->GetXMax(), 120.0);
    EXPECT_EQ(v->GetMinIntensity(0), 0.0);
    EXPECT_EQ(v->GetMaxIntensity(0), 410.0);

    // Crosses, squares, triangles, then crosses again; colours cycle by ten.
    const CSymbol* s[4];
    for (int j = 0; j < 4; ++j)
        s[j] = w->GetSpecTrace(j, 0)->GetSymbol();
    EXPECT_NE(dynamic_cast<const CSymbolCross*>(s[0]), nullptr);
    EXPECT_NE(dynamic_cast<const CSymbolSquare*>(s[1]), nullptr);
    EXPECT_NE(dynamic_cast<const CSymbolTriangle*>(s[2]), nullptr);
    EXPECT_EQ(s[3], s[0]);
    EXPECT_EQ(v->GetColour(0), PlotRGB(0, 0, 255));
    EXPECT_EQ(v->GetColour(9), PlotRGB(0, 255, 0));
    EXPECT_EQ(v->GetColour(12), PlotRGB(0, 128, 0));

    // One window: the Region button changes nothing.
    EXPECT_TRUE(v->SelectRegion(3));
    EXPECT_EQ(v->GetNumDispWnds(), 1);
    EXPECT_FALSE(w->isHidden());
}

TEST_F(ProfileViewTest, AcquiredIntensityFillsItsPointOfItsPlane)
{
    CProfileView* v = Open({{2, {0.0, 30.0, 60.0}}, {2, {0.0, 30.0, 60.0}}});
    ASSERT_NE(v, nullptr);
    CSpecWnd* w = v->GetSpecWnd(0);
    ASSERT_EQ(w->GetNumPlanes(), 2);
    const std::vector<double> plane0 = Curve(w, 1, 0);
    EXPECT_EQ(Curve(w, 1, 1), (std::vector<double>{0, 181, 191}));

    // The document stores the block in position 1's curve, then the view reads it.
    CTrace* t = m_pDoc->GetStagePosn(1)->GetSpecRgn(1)->GetTrace(2);
    ASSERT_NE(t, nullptr);
    t->GetData()[0] = 1000.0;
    t->GetData()[1] = 100.0;
    t->GetData()[2] = 300.0;
    SAcqUpdate u(m_pDoc, nullptr, 1, 1, 2, 0, 1, 3, 0, 0, WMAPP_ACQ_INTENSITYDATA);
    v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&u), nullptr);
    EXPECT_EQ(Curve(w, 1, 1), (std::vector<double>{0, 181, 800}));
    EXPECT_EQ(Curve(w, 1, 0), plane0);

    // Blocks for points, curves or positions the view does not have change nothing.
    for (auto [posn, rgn, trace] : {std::tuple{2, 0, 0}, {1, 2, 0}, {1, 0, 3}, {-1, 0, 0}}) {
        SAcqUpdate bad(m_pDoc, nullptr, posn, rgn, trace, 0, 1, 3, 0, 0, WMAPP_ACQ_INTENSITYDATA);
        v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&bad), nullptr);
    }
    EXPECT_EQ(Curve(w, 1, 1), (std::vector<double>{0, 181, 800}));

    EXPECT_TRUE(v->SelectSample(1));
    EXPECT_EQ(w->GetDispPlane(), 1);
    EXPECT_FALSE(v->SelectSample(2));
}

TEST_F(ProfileViewTest, LevelIndexIsBoundedByTheLevelsThereAre)
{
    // Position 0: one level but four analysis points: the points beyond the
    // level list are counted by index. Position 1: no levels, an empty plane.
    CProfileView* v = Open({{1, {5.0}, 4}, {1, {}}});
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->GetLevelValues(0), (std::vector<double>{5.0, 1.0, 2.0, 3.0}));
    EXPECT_TRUE(v->GetLevelValues(1).empty());
    CSpecWnd* w = v->GetSpecWnd(0);
    EXPECT_EQ(w->GetNumPoints(0, 0), 4);
    EXPECT_EQ(w->GetNumPoints(0, 1), 0);
    EXPECT_EQ(v->GetXMin(), 1.0); // the axis spans every level value
    EXPECT_EQ(v->GetXMax(), 5.0);
    EXPECT_TRUE(v->SelectSample(1));
    Pump(20);
    v->GetParentFrame()->resize(600, 400);
    Pump(20);
    // A repeated initial update replaces the window.
    v->OnUpdate(nullptr, 0, nullptr);
    EXPECT_EQ(v->GetNumSpecWnds(), 1);
    EXPECT_EQ(v->GetSpecWnd(0)->GetNumPlanes(), 2);
}

TEST_F(ProfileViewTest, LevelAxisOfOneLevelRunsFromItToItself)
{
    CProfileView* v = Open({{2, {42.0}}});
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->GetXMin(), 42.0);
    EXPECT_EQ(v->GetXMax(), 42.0);
    EXPECT_EQ(Curve(v->GetSpecWnd(0), 0, 0), (std::vector<double>{70}));
}

TEST_F(ProfileViewTest, LevelAxisSpansEveryLevelOfEveryPosition)
{
    // Levels stored out of order, repeated or falling, and positions whose
    // levels run to different times: every point lies on the axis.
    const struct
    {
        std::vector<std::vector<double>> levels;
        double lo, hi;
    } cases[] = {
        {{{0.0, 30.0, 60.0, 10.0}}, 0.0, 60.0},         // out of order
        {{{0.0, 30.0, 30.0, 20.0}}, 0.0, 30.0},         // repeated
        {{{90.0, 60.0, 30.0, 0.0}}, 0.0, 90.0},         // falling
        {{{0.0, 300.0}, {0.0, 100.0}}, 0.0, 300.0},     // the last position shorter
        {{{50.0, 100.0}, {-20.0, 10.0}}, -20.0, 100.0}, // apart
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hi);
        std::vector<SProfilePosn> posns;
        for (const auto& l : c.levels)
            posns.push_back({1, l});
        CProfileView* v = Open(posns);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->GetXMin(), c.lo);
        EXPECT_EQ(v->GetXMax(), c.hi);
        const CSpecTrace* t = v->GetSpecWnd(0)->GetSpecTrace(0, 0);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(std::min(t->GetXmin(), t->GetXmax()), c.lo);
        EXPECT_EQ(std::max(t->GetXmin(), t->GetXmax()), c.hi);
    }
}

TEST_F(ProfileViewTest, LevelsThatAreNoNumberLeaveTheScaleToTheOthers)
{
    // An imported "nan" or "inf" at any level, the first included, leaves the
    // position's intensity scale to the levels that are numbers.
    const double nan = std::nan(""), inf = HUGE_VAL;
    const struct
    {
        std::vector<double> counts;
        double lo, hi;
    } cases[] = {
        {{nan, 300.0, 100.0, 200.0}, 100.0, 300.0},
        {{inf, 50.0, -inf, 70.0}, 50.0, 70.0},
        {{40.0, nan, 90.0, 60.0}, 40.0, 90.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lo);
        CProfileView* v = Open({{2, {0.0, 30.0, 60.0, 90.0}, 0, c.counts}});
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->GetMinIntensity(0), c.lo);
        EXPECT_EQ(v->GetMaxIntensity(0), c.hi);
        EXPECT_EQ(Curve(v->GetSpecWnd(0), 1, 0)[3], c.counts[3]);
    }
    // A position whose every level is no number keeps the plain scale.
    CProfileView* v = Open({{1, {0.0, 30.0}, 0, {nan}}});
    ASSERT_NE(v, nullptr);
    EXPECT_FALSE(v->GetMinIntensity(0) <= v->GetMaxIntensity(0));
}

TEST(LegendPlacement, TopRightCornerOnePixelShort)
{
    // Three entries in a parent 600 pixels wide.
    const SLayoutRect r = PlaceLegend(600, 3, 80, 6, 38, 16, 2);
    EXPECT_EQ(r.right, 599);
    EXPECT_EQ(r.Width(), 80 + 12 + 38);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.Height(), 4 * 16);
    // No entries: one line high, the sample and two character widths wide.
    const SLayoutRect e = PlaceLegend(600, 0, 0, 6, 38, 16, 2);
    EXPECT_EQ(e.Height(), 16);
    EXPECT_EQ(e.Width(), 50);
    // Labels wider than the parent: the legend started left of it, with the
    // pen samples that tell the curves apart out of sight.
    struct
    {
        int cx, label;
        SLayoutRect want;
    } const wide[] = {{131, 80, {0, 2, 130, 66}}, // just fits: its own width
                      {130, 80, {0, 2, 129, 66}},
                      {100, 80, {0, 2, 99, 66}},
                      {40, 500, {0, 2, 39, 66}}};
    for (auto& c : wide)
        EXPECT_EQ(PlaceLegend(c.cx, 3, c.label, 6, 38, 16, 2), c.want) << c.cx << " " << c.label;
}

TEST(LegendPlacement, EntriesThatOverrunTheParentGoOnInColumns)
{
    // Lines of 16 pixels under a 2-pixel edge; a column is 130 wide. A legend
    // of more lines than its parent holds ran past the bottom and lost its
    // last entries.
    struct
    {
        int cy, entries, rows;
        SLayoutRect want;
    } const cases[] = {
        {400, 3, 3, {469, 2, 599, 66}},     // fits: one column as before
        {0, 30, 30, {469, 2, 599, 498}},    // no height given: no bound
        {82, 4, 4, {469, 2, 599, 82}},      // exactly fits
        {81, 4, 3, {339, 2, 599, 66}},      // one line short: a second column
        {100, 12, 5, {209, 2, 599, 98}},    // three columns, the last part full
        {30, 5, 5, {469, 2, 599, 98}},      // not even one line fits: one column
        {100, 40, 5, {0, 2, 599, 98}},      // eight columns, wider than the parent
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cy << " high, " << c.entries << " entries");
        EXPECT_EQ(LegendRows(c.cy, c.entries, 16, 2), c.rows);
        EXPECT_EQ(PlaceLegend(600, c.entries, 80, 6, 38, 16, 2, c.cy), c.want);
    }
}

TEST_F(ProfileViewTest, LegendSizesItselfToItsEntries)
{
    QWidget parent;
    parent.resize(600, 400);
    CLegend legend(&parent);
    legend.SetNumEntries(3);
    const char* labels[] = {"O 1s", "Si 2p (oxide)", "C"};
    QPen pens[3] = {QPen(Qt::blue), QPen(Qt::red), QPen(Qt::darkGreen)};
    CSymbolCross cross;
    for (int i = 0; i < 3; ++i) {
        legend.SetLabel(labels[i], i);
        legend.SetPen(&pens[i], i);
        legend.SetSymbol(&cross, i);
    }
    legend.SetLabel("ignored", 3); // out of range
    legend.Reposition(0, 600, 400);
    const QFontMetrics fm(QApplication::font(), &legend);
    EXPECT_EQ(legend.geometry().left() + legend.width(), 599);
    EXPECT_EQ(legend.y(), 2);
    EXPECT_EQ(legend.height(), 4 * (fm.height() + fm.leading()));
    EXPECT_GE(legend.width(), fm.horizontalAdvance("Si 2p (oxide)") + 2 * fm.averageCharWidth());
    QImage img(legend.size(), QImage::Format_RGB32);
    legend.render(&img); // paints every entry without a crash

    // A label far wider than a narrow parent: the legend keeps to the
    // parent, and the first entry's pen sample is still drawn in its colour.
    QWidget narrow;
    narrow.resize(160, 400);
    CLegend cut(&narrow);
    cut.SetNumEntries(1);
    cut.SetLabel(std::string(200, 'W'), 0);
    QPen blue(Qt::blue, 0);
    cut.SetPen(&blue, 0);
    cut.Reposition(0, 160, 400);
    EXPECT_EQ(cut.x(), 0);
    EXPECT_EQ(cut.x() + cut.width(), 159);
    QImage small(cut.size(), QImage::Format_RGB32);
    cut.render(&small);
    const int H = fm.height() + fm.leading(), A = fm.averageCharWidth();
    EXPECT_EQ(small.pixelColor(A / 2 + 2, H / 2 + H / 2), QColor(Qt::blue));

    // Six entries in a parent four lines high: two columns of three, and the
    // last entry's pen sample is drawn inside the legend.
    QWidget low;
    low.resize(600, 2 + 4 * H + 2);
    CLegend cols(&low);
    cols.SetNumEntries(6);
    QPen red(Qt::red, 0);
    for (int i = 0; i < 6; ++i) {
        cols.SetLabel(i == 4 ? "Si 2p (oxide)" : "C 1s", i);
        cols.SetPen(i == 5 ? &red : &blue, i);
    }
    cols.Reposition(0, 600, low.height());
    EXPECT_LE(cols.y() + cols.height(), low.height());
    QImage two(cols.size(), QImage::Format_RGB32);
    cols.render(&two);
    EXPECT_EQ(two.pixelColor(cols.width() / 2 + A / 2 + 2, H / 2 + 2 * H + H / 2), QColor(Qt::red));
}

} // namespace
