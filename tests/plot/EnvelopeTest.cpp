// The cached column extremes of zoomed-out curves: the block pyramid answers
// every run as a scan would, the vertices drawn from it are the ones drawn
// from the raw values at any zoom and clip, and every way of changing the
// data in place is seen at the next drawing.

#include "app/plot/MinMaxPyramid.h"
#include "app/plot/PlotMath.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "framework/ui/View.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

using namespace plot;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Noise on a slope with peaks, and a sprinkling of NaN and infinities.
std::vector<double> RandomCurve(int n, unsigned seed, bool oddValues)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<double> y(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        y[size_t(i)] = 100 + 0.001 * i + 50 * u(rng) + (u(rng) < 0.002 ? 2000 * u(rng) : 0);
        if (oddValues) {
            const double r = u(rng);
            if (r < 0.01)
                y[size_t(i)] = kNaN;
            else if (r < 0.011)
                y[size_t(i)] = u(rng) < 0.5 ? kInf : -kInf;
            else if (r < 0.012)
                y[size_t(i)] = -0.0;
        }
    }
    return y;
}

bool Same(const SMinMax& a, const SMinMax& b)
{
    return (a.Empty() && b.Empty()) || (a.lo == b.lo && a.hi == b.hi);
}

STraceGeom Geom(const std::vector<double>& y, const CRect& r, double xmin, double xmax, double ymin,
                double ymax)
{
    STraceGeom g;
    g.y = std::span<const double>(y.data(), y.size());
    g.X = CalcXTransform(r.left, r.right, xmin, xmax);
    g.Y = CalcYTransform(r.top, r.bottom, ymin, ymax);
    return g;
}

QImage Paint(CSpecTrace& t, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(200, 200, 200));
    QPainter p(&img);
    p.setBrush(Qt::white);
    t.Draw(&p, nullptr, FALSE);
    return img;
}

// A curve of many points per column in a 300 x 120 rectangle.
void Layout(CSpecTrace& t, std::vector<double>& y)
{
    t.SetYData(y.data(), 0, 200, int(y.size()));
    const CRect r(5, 5, 305, 125);
    t.SetRect(&r, TRUE, TRUE);
    const double lim[4] = {0, double(y.size() - 1), 0, 200};
    t.SetDispLimits(CSpecTrace::XY_SET, lim, TRUE);
}

// The picture of a fresh curve, which has nothing cached, over the same values.
QImage FreshPaint(std::vector<double> y)
{
    CSpecTrace t;
    Layout(t, y);
    return Paint(t, 310, 130);
}

} // namespace

TEST(MinMaxPyramid, AnswersEveryRunAsAScanDoes)
{
    std::mt19937 rng(7);
    for (const int n : {1, 15, 16, 17, 31, 33, 65, 255, 1000, 4099, 70001}) {
        for (const bool odd : {false, true}) {
            std::vector<double> y = RandomCurve(n, unsigned(n), odd);
            CMinMaxPyramid p;
            p.Build(y.data(), n);
            ASSERT_TRUE(p.IsBuiltFor(y.data(), n));
            auto check = [&](const char* when) {
                std::uniform_int_distribution<int> pick(0, n - 1);
                for (int q = 0; q < 400; ++q) {
                    int a = pick(rng), b = pick(rng);
                    if (a > b)
                        std::swap(a, b);
                    ASSERT_TRUE(Same(p.Query(a, b), ScanMinMax(y.data(), a, b)))
                        << when << " n=" << n << " [" << a << ", " << b << "]";
                }
                ASSERT_TRUE(Same(p.Query(0, n - 1), ScanMinMax(y.data(), 0, n - 1)));
            };
            check("built");
            // Some points change; only their blocks are refreshed.
            const int from = n / 3, to = std::min(n - 1, from + 40);
            for (int i = from; i <= to; ++i)
                y[size_t(i)] = i % 7 == 0 ? kNaN : -500.0 + i;
            p.Update(from, to);
            check("updated");
        }
    }
    // A run of NaN only has no extremes; the NaN elsewhere are passed over.
    const std::vector<double> z = {kNaN, kNaN, 3, kNaN, 1, kNaN};
    EXPECT_TRUE(ScanMinMax(z.data(), 0, 1).Empty());
    const SMinMax m = ScanMinMax(z.data(), 0, 5);
    EXPECT_EQ(m.lo, 1);
    EXPECT_EQ(m.hi, 3);
}

TEST(MinMaxPyramid, CachedColumnsGiveTheVerticesOfTheRawValues)
{
    struct SCase
    {
        int n, width;
        double xFrom, xTo; // fractions of the index range shown
        bool odd;
    };
    const SCase cases[] = {
        {100003, 401, 0, 1, false},       {100003, 97, 0, 1, true},   {100003, 800, 0.25, 0.6, true},
        {250000, 333, 0.001, 0.9, false}, {5000, 300, 0, 1, true}, // 16 points a column: raw only
        {40000, 1000, 0.3, 0.31, false},  {1000000, 640, 0, 1, true},
    };
    std::mt19937 rng(11);
    for (const SCase& c : cases) {
        const std::vector<double> y = RandomCurve(c.n, unsigned(c.n + c.width), c.odd);
        CMinMaxPyramid env;
        env.Build(y.data(), c.n);
        SColumnEnvelope cols;
        const CRect r(3, 10, 3 + c.width, 210);
        const double last = c.n - 1;
        STraceGeom raw = Geom(y, r, c.xFrom * last, c.xTo * last, 80, 300);
        STraceGeom cached = raw;
        cached.env = &env;
        cached.cols = &cols;
        // The whole rectangle, clips of it, and a clip that starts left of it.
        std::vector<CRect> clips = {r, CRect(r.left - 20, 0, r.left + 50, 300)};
        std::uniform_int_distribution<int> pick(r.left, r.right - 1);
        for (int k = 0; k < 6; ++k) {
            int a = pick(rng), b = pick(rng);
            if (a > b)
                std::swap(a, b);
            clips.emplace_back(a, r.top, b + 1, r.bottom);
        }
        clips.push_back(r); // again, after the clips refilled the column cache
        for (const CRect& V : clips) {
            std::vector<CPoint> want, got, again;
            BuildVertices(raw, V, want);
            BuildVertices(cached, V, got);
            BuildVertices(cached, V, again); // now from the kept columns
            ASSERT_FALSE(want.empty());
            ASSERT_EQ(got, want) << "n=" << c.n << " width=" << c.width << " clip " << V.left << ".."
                                 << V.right;
            ASSERT_EQ(again, want) << "n=" << c.n << " width=" << c.width;
        }
    }
}

TEST(MinMaxPyramid, AColumnOfAnotherPointRangeIsNotTakenFromTheCache)
{
    // 100003 points in 112 columns. Drawn whole, column 59 runs over points
    // 50001..50893; a repaint clipped from column 60 starts its running sum
    // at column 59 and gets 50002..50893 there. Only point 50001 stands out.
    std::vector<double> y(100003, 100.0);
    y[50001] = 250;
    const CRect r(3, 0, 115, 200);
    CMinMaxPyramid env;
    env.Build(y.data(), int(y.size()));
    SColumnEnvelope cols;
    const STraceGeom raw = Geom(y, r, 0, 100002, 0, 300);
    STraceGeom cached = raw;
    cached.env = &env;
    cached.cols = &cols;
    std::vector<CPoint> want, got;
    BuildVertices(cached, r, got); // fills the cache
    const CRect strip(60, 0, 115, 200);
    BuildVertices(raw, strip, want);
    BuildVertices(cached, strip, got);
    EXPECT_EQ(got, want);
}

TEST(MinMaxPyramid, ANaNAtAColumnStartDrawsNoSpike)
{
    // 4000 flat points in 100 columns: 40 a column. A NaN used to poison the
    // column it opened and pull its stroke to the top of the window.
    const CRect r(0, 0, 100, 100);
    std::vector<double> y(4000, 50.0);
    std::vector<CPoint> flat, withNaN;
    BuildVertices(Geom(y, r, 0, 3999, 0, 100), r, flat);
    for (const int i : {0, 39, 40, 41, 400, 3999}) {
        std::vector<double> z = y;
        z[size_t(i)] = kNaN;
        BuildVertices(Geom(z, r, 0, 3999, 0, 100), r, withNaN);
        EXPECT_EQ(withNaN, flat) << "NaN at " << i;
    }
}

TEST(MinMaxPyramid, EveryWayOfChangingTheValuesIsSeenAtTheNextDrawing)
{
    using Change = std::function<void(CSpecTrace&, std::vector<double>&, std::vector<double>&)>;
    // Each writes a ramp from far below the curve to far above it into points
    // 20000..20100 (or swaps in data that have it): its extremes lie in
    // different blocks.
    auto ramp = [](int i) { return 10 + 1.8 * (i - 20000); };
    auto spike = [&](std::vector<double>& y) {
        for (int i = 20000; i <= 20100; ++i)
            y[size_t(i)] = ramp(i);
    };
    const struct
    {
        const char* name;
        Change change;
    } cases[] = {
        {"in place, then DataChanged()",
         [&](CSpecTrace& t, std::vector<double>& y, std::vector<double>&) {
             spike(y);
             t.DataChanged();
         }},
        {"in place, then DataChanged(from, to)",
         [&](CSpecTrace& t, std::vector<double>& y, std::vector<double>&) {
             spike(y);
             t.DataChanged(20000, 20100);
         }},
        {"acquired points, OnUpdate",
         [&](CSpecTrace& t, std::vector<double>& y, std::vector<double>&) {
             spike(y);
             t.OnUpdate(20000, 20100, nullptr);
         }},
        {"through the pointer GetYData hands out",
         [&](CSpecTrace& t, std::vector<double>&, std::vector<double>&) {
             int n = 0;
             double* p = t.GetYData(&n);
             for (int i = 20000; i <= 20100; ++i)
                 p[i] = ramp(i);
         }},
        {"a working copy swapped in",
         [&](CSpecTrace& t, std::vector<double>& y, std::vector<double>& copy) {
             copy = y;
             spike(copy);
             t.SetYData(copy.data());
         }},
    };
    for (const auto& c : cases) {
        std::vector<double> y = RandomCurve(60000, 3, false), copy;
        CSpecTrace t;
        Layout(t, y);
        const QImage before = Paint(t, 310, 130); // builds the cache
        c.change(t, y, copy);
        const std::vector<double>& now = copy.empty() ? y : copy;
        const QImage after = Paint(t, 310, 130);
        EXPECT_NE(after, before) << c.name;
        EXPECT_EQ(after, FreshPaint(now)) << c.name;
    }
    // Without a notice the old picture stays: the cache is really used.
    std::vector<double> y = RandomCurve(60000, 3, false);
    CSpecTrace t;
    Layout(t, y);
    const QImage before = Paint(t, 310, 130);
    spike(y);
    EXPECT_EQ(Paint(t, 310, 130), before);
}

TEST(MinMaxPyramid, PlotWindowRedrawsValuesPutBackInPlace)
{
    // What an undo of a processing step does: copy the old values back into
    // the curves' own arrays, tell the window, repaint.
    CView view;
    view.resize(500, 300);
    CSpecWnd wnd(2);
    std::vector<std::vector<double>> data;
    for (int k = 0; k < 4; ++k)
        data.push_back(RandomCurve(50000, unsigned(20 + k), false));
    wnd.Create(&view, RECT{0, 0, 480, 280}, CSpecWnd::FirstWndId);
    for (int plane = 0; plane < 2; ++plane) {
        wnd.SetNumTraces(2, plane);
        for (int k = 0; k < 2; ++k) {
            std::vector<double>& y = data[size_t(plane * 2 + k)];
            wnd.SetYData(y.data(), 0, 200, int(y.size()), k, plane);
        }
    }
    wnd.SetDispMode(CSpecWnd::Overlay, false);
    wnd.Show(true, nullptr, nullptr, 0, 1000);
    view.show();
    QCoreApplication::processEvents();
    const QImage original = wnd.grab().toImage();
    const std::vector<std::vector<double>> saved = data;

    for (int i = 10000; i < 10200; ++i)
        data[0][size_t(i)] = data[1][size_t(i)] = 195;
    wnd.Invalidate(true); // the repaint request alone drops the cached extremes
    const QImage processed = wnd.grab().toImage();
    EXPECT_NE(processed, original);

    for (size_t k = 0; k < data.size(); ++k)
        std::copy(saved[k].begin(), saved[k].end(), data[k].begin());
    wnd.DataChanged();
    wnd.Invalidate(true);
    EXPECT_EQ(wnd.grab().toImage(), original);
}
