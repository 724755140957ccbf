// Offscreen drawing, probed by pixels: axis line and tick rows, the white
// fill under a curve, the grey backdrop of several curves, XOR cursors.

#include "app/plot/HorzAxis.h"
#include "app/plot/LineCursor.h"
#include "app/plot/PlotMath.h"
#include "app/plot/SpecDraw.h"
#include "app/plot/Symbol.h"
#include "app/plot/VertAxis.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QPicture>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <cmath>
#include <vector>

namespace {

bool IsBlack(const QImage& img, int x, int y)
{
    const QRgb p = img.pixel(x, y);
    return qRed(p) < 64 && qGreen(p) < 64 && qBlue(p) < 64;
}

QRgb Rgb(const QImage& img, int x, int y)
{
    return img.pixel(x, y) & 0xFFFFFF;
}

QImage Canvas(int w, int h, QColor bg = QColor(200, 200, 200))
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(bg);
    return img;
}

} // namespace

TEST(PlotRender, HorizontalAxisLineAndTicks)
{
    QImage img = Canvas(460, 60);
    CHorzAxis axis;
    {
        QPainter p(&img);
        axis.SetParams(&p);
        axis.SetRect(CRect(20, 0, 421, 60));
        axis.SetClipRect(CRect(0, 0, 460, 60));
        axis.SetLimits(20, 420, 0, 1000);
        axis.Draw(&p, nullptr, FALSE);
    }
    ASSERT_DOUBLE_EQ(axis.GetTickStep(), 200);
    const int top = axis.GetRect()->top;
    const int major = axis.GetParams()->m_cyMajorTickHeight;
    const int sub = axis.GetParams()->m_cySubTickHeight;
    ASSERT_GT(major, sub);
    for (int x = 20; x <= 420; x += 25)
        EXPECT_TRUE(IsBlack(img, x, top)) << "axis line at " << x;
    // Major ticks every 80 pixels, full height; sub ticks at the quarters, short.
    for (int x : {20, 100, 180, 260, 340, 420}) {
        EXPECT_TRUE(IsBlack(img, x, top + 1)) << x;
        EXPECT_TRUE(IsBlack(img, x, top + major)) << x;
    }
    EXPECT_TRUE(IsBlack(img, 40, top + 1));
    EXPECT_FALSE(IsBlack(img, 40, top + major));
    EXPECT_FALSE(IsBlack(img, 30, top + 1)); // between sub ticks
    // Labels below the ticks: some dark pixels under "1000" and none beyond it.
    const int labelTop = top + 1 + major + axis.GetParams()->m_dTxt;
    bool text = false;
    for (int y = labelTop; y < 60 && !text; ++y)
        for (int x = 405; x < 436; ++x)
            text = text || IsBlack(img, x, y);
    EXPECT_TRUE(text);
}

TEST(PlotRender, HorizontalAxisOfOneValueLabelsOnlyThatValue)
{
    // A one-point spectrum at 90 eV showed a lone "100" ten pixels right of
    // its point; at 89.9 eV the label lost its decimal.
    const struct
    {
        double value;
        const char* label;
    } cases[] = {{90, "90"}, {89.9, "89.9"}, {1486.68, "1486.68"}, {-5.5, "-5.5"}, {0, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        QImage img = Canvas(460, 60);
        CHorzAxis axis;
        {
            QPainter p(&img);
            axis.SetParams(&p);
            axis.SetRect(CRect(20, 0, 421, 60));
            axis.SetClipRect(CRect(0, 0, 460, 60));
            axis.SetLimits(20, 20, c.value, c.value);
            axis.Draw(&p, nullptr, FALSE);
        }
        EXPECT_DOUBLE_EQ(axis.GetTickVal(), c.value);
        EXPECT_DOUBLE_EQ(axis.GetTickPos(), 20);
        EXPECT_EQ(plot::FormatTickLabel(axis.GetTickVal(), axis.GetTrunc()), c.label);
        const int tickRow = axis.GetRect()->top + axis.GetParams()->m_cyMajorTickHeight;
        EXPECT_TRUE(IsBlack(img, 20, tickRow));
        for (int x = 21; x <= 420; ++x)
            ASSERT_FALSE(IsBlack(img, x, tickRow)) << "a second major tick at " << x;
    }
}

TEST(PlotRender, VerticalAxisTicksFromBottomToTop)
{
    QImage img = Canvas(120, 230);
    CVertAxis axis;
    double lo = 0, hi = 950;
    {
        QPainter p(&img);
        axis.SetParams(&p);
        axis.SetRect(CRect(10, 10, 60, 211), &lo, &hi);
        axis.Draw(&p, nullptr, FALSE);
    }
    EXPECT_EQ(hi, 1000);
    const int xA = axis.GetRect()->right - 1;
    for (int y = 10; y <= 210; y += 10)
        EXPECT_TRUE(IsBlack(img, xA, y)) << y;
    const int major = axis.GetParams()->m_cyMajorTickHeight;
    for (int y : {210, 170, 130, 90, 50, 10})
        EXPECT_TRUE(IsBlack(img, xA - major, y)) << y;
    EXPECT_FALSE(IsBlack(img, xA - major, 190));
}

TEST(PlotRender, OpaqueCurveFillsWhiteAndCutsAtTheRightEdge)
{
    QImage img = Canvas(120, 120);
    std::vector<double> y(50, 0.0);
    for (int i = 0; i < 50; ++i)
        y[size_t(i)] = i < 25 ? 50 : 80;
    CSpecTrace t;
    t.SetYData(y.data(), 0, 100, 50);
    const CRect r(10, 10, 110, 110);
    t.SetRect(&r, TRUE, TRUE);
    const double lim[4] = {0, 40, 0, 100}; // the curve runs past the right edge
    t.SetDispLimits(CSpecTrace::XY_SET, lim, TRUE);
    {
        QPainter p(&img);
        p.setBrush(Qt::white);
        EXPECT_EQ(t.DrawTrace(&p, nullptr, FALSE), 0);
    }
    EXPECT_EQ(Rgb(img, 30, 100), 0xFFFFFFu);  // under the curve: white
    EXPECT_EQ(Rgb(img, 30, 20), 0xC8C8C8u);   // above it: untouched
    EXPECT_EQ(Rgb(img, 5, 100), 0xC8C8C8u);   // outside the rectangle: untouched
    EXPECT_EQ(Rgb(img, 112, 100), 0xC8C8C8u); // clipped at the right
    EXPECT_EQ(Rgb(img, 109, 100), 0x0000C0u); // the cut edge in the curve's colour
    // Hidden, or a refresh area beside the curve: nothing, result 1.
    const CRect beside(0, 0, 5, 5);
    QPainter p(&img);
    EXPECT_EQ(t.DrawTrace(&p, &beside, FALSE), 1);
    t.SetVisible(FALSE);
    EXPECT_EQ(t.DrawTrace(&p, nullptr, FALSE), 1);
}

TEST(PlotRender, SeveralCurvesStandOnAGreyBackdrop)
{
    std::vector<double> y(100, 10.0);
    CSpecDraw area;
    area.SetNumTraces(3);
    for (int i = 0; i < 3; ++i)
        area.SetYData(y.data(), 0, 100, 100, i);
    area.SetDispMode(CSpecDraw::Offset);
    const CRect r(0, 0, 300, 300);
    area.SetRect(&r, TRUE, TRUE);
    area.SetDispLimits(0, 1, TRUE);
    const double lim[2] = {0, 100};
    area.SetDispLimits(CSpecTrace::Y_SET, lim, TRUE);

    QImage img = Canvas(300, 300, QColor(100, 100, 100));
    {
        QPainter p(&img);
        area.Draw(&p, nullptr, FALSE);
    }
    const CRect& t = *area.GetTraceRect();
    const CSize s = area.GetShifts();
    // The floor right of the front curve and below the middle one: grey.
    ASSERT_EQ(t, CRect(0, 120, 240, 300));
    ASSERT_EQ(s, CSize(30, -60));
    EXPECT_EQ(Rgb(img, 245, 270), 0xE0E0E0u);
    EXPECT_EQ(Rgb(img, 290, 270), 0x646464u); // beyond the floor
    // Under the front curve: white fill.
    EXPECT_EQ(Rgb(img, t.left + 20, t.bottom - 3), 0xFFFFFFu);

    // On paper the floor is white.
    CSpecDraw copy(area);
    QImage paper = Canvas(300, 300, QColor(100, 100, 100));
    {
        QPainter p(&paper);
        copy.Draw(&p, nullptr, TRUE);
    }
    EXPECT_EQ(Rgb(paper, 245, 270), 0xFFFFFFu);
}

TEST(PlotRender, XorCursorShowsAndRemovesItself)
{
    for (QColor bg : {QColor(Qt::white), QColor(200, 120, 40)}) {
        QImage img = Canvas(100, 100, bg);
        const QImage before = img.copy();
        CLineCursor c(FALSE);
        c.SetClipRect(CRect(10, 10, 90, 90));
        c.SetPos(50);
        c.Show(TRUE, FALSE);
        {
            QPainter p(&img);
            EXPECT_EQ(c.Draw(&p, nullptr), 50);
        }
        EXPECT_NE(Rgb(img, 50, 40), Rgb(before, 50, 40));
        if (bg == QColor(Qt::white)) {
            EXPECT_EQ(Rgb(img, 50, 40), 0x000000u); // black over the window colour
        }
        EXPECT_EQ(Rgb(img, 50, 5), Rgb(before, 50, 5)); // outside its clip rectangle
        EXPECT_EQ(Rgb(img, 51, 40), Rgb(before, 51, 40));
        {
            QPainter p(&img);
            c.Draw(&p, nullptr);
        }
        EXPECT_EQ(img, before);
    }
    // Hidden: nothing drawn.
    CLineCursor hidden(TRUE);
    QImage img = Canvas(10, 10);
    QPainter p(&img);
    EXPECT_EQ(hidden.Draw(&p, nullptr), INT_MIN);
}

TEST(PlotRender, XorCursorKeepsItsColourUnderADarkTheme)
{
    const QPalette saved = QGuiApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Base, QColor(45, 45, 45));
    QGuiApplication::setPalette(dark);
    QImage img = Canvas(100, 100, Qt::white);
    CLineCursor c(FALSE);
    c.SetClipRect(CRect(10, 10, 90, 90));
    c.SetPos(50);
    c.Show(TRUE, FALSE);
    {
        QPainter p(&img);
        c.Draw(&p, nullptr);
    }
    QGuiApplication::setPalette(saved);
    EXPECT_EQ(Rgb(img, 50, 40), 0x000000u) << "black on the white under a curve, not a pale grey";
}

TEST(PlotRender, LoneCurvePointIsSeenInTheMiddle)
{
    // A spectrum of one point at full scale: it stood on the left edge under
    // the axis line, and a line of one vertex drew nothing at all.
    std::vector<double> y{5.0};
    CSpecTrace t;
    t.SetYData(y.data(), 0, 10, 1);
    t.SetDispMode(CSpecTrace::Transparent);
    const CRect r(0, 0, 41, 41);
    t.SetRect(&r, TRUE, TRUE);
    t.SetDispLimits(0, 0, TRUE); // full scale: X limits 0..0
    const QImage blank = Canvas(41, 41);
    QImage img = blank;
    {
        QPainter p(&img);
        t.DrawTrace(&p, nullptr, FALSE);
    }
    const CPoint c(t.IndexTox(0), int(t.YToy(5)));
    EXPECT_EQ(c.x, 20);
    EXPECT_NE(Rgb(img, c.x, c.y), Rgb(blank, c.x, c.y));
    EXPECT_NE(Rgb(img, c.x - 2, c.y), Rgb(blank, c.x - 2, c.y)); // a mark, not a lone pixel
    EXPECT_EQ(Rgb(img, 0, c.y), Rgb(blank, 0, c.y));
}

TEST(PlotRender, SymbolsTransparentCurveOfOnePoint)
{
    std::vector<double> y{5.0};
    CSpecTrace t;
    t.SetYData(y.data(), 0, 10, 1);
    t.SetDispMode(CSpecTrace::Transparent);
    CSymbolSquare square;
    t.SetSymbol(&square);
    const CRect r(0, 0, 41, 41);
    t.SetRect(&r, TRUE, TRUE);
    const double lim[4] = {-1, 1, 0, 10};
    t.SetDispLimits(CSpecTrace::XY_SET, lim, TRUE);
    QImage img = Canvas(41, 41);
    {
        QPainter p(&img);
        t.DrawTrace(&p, nullptr, FALSE);
    }
    // No line, but a hollow square around the point: its centre keeps the background.
    const CPoint c(t.IndexTox(0), int(t.YToy(5)));
    QPainter probe(&img);
    const int s = CSymbol::HalfSizePixels(&probe);
    probe.end();
    ASSERT_EQ(c.x, 20);
    EXPECT_EQ(Rgb(img, c.x, c.y), 0xC8C8C8u);
    EXPECT_EQ(Rgb(img, c.x - s, c.y), 0x0000C0u);
    EXPECT_EQ(Rgb(img, c.x + s, c.y), 0x0000C0u);

    // The triangle's corner is below the point, its flat side above.
    QImage tri = Canvas(41, 41);
    {
        QPainter p(&tri);
        p.setPen(QPen(Qt::black, 0));
        CSymbolTriangle().Draw(&p, CPoint(20, 20));
        const std::unique_ptr<CSymbol> made = CSymbolTriangle().Create();
        EXPECT_NE(made, nullptr);
    }
    // The same physical size on a printer-like device.
    QImage fine(10, 10, QImage::Format_RGB32);
    fine.setDotsPerMeterX(11811); // 300 dpi
    fine.setDotsPerMeterY(11811);
    QPainter fp(&fine);
    EXPECT_EQ(CSymbol::HalfSizePixels(&fp), 9);
    fp.end();
    EXPECT_TRUE(IsBlack(tri, 20, 20 + s));
    EXPECT_TRUE(IsBlack(tri, 20, 20 - s));
    EXPECT_TRUE(IsBlack(tri, 20 - s, 20 - s));
    EXPECT_FALSE(IsBlack(tri, 20 - s, 20 + s));
}

namespace {

struct CPaintProbe : QWidget
{
    QRegion painted;
    void paintEvent(QPaintEvent* e) override { painted += e->region(); }
};

} // namespace

TEST(PlotRender, AcquiredPointsRepaintOnlyTheirStrip)
{
    std::vector<double> y(100, 1.0);
    CSpecTrace t;
    t.SetYData(y.data(), 0, 10, 100);
    const CRect r(0, 0, 201, 101);
    t.SetRect(&r, TRUE, TRUE);
    t.SetDispLimits(0, 0, TRUE);
    CPaintProbe w;
    w.resize(220, 120);
    w.show();
    QCoreApplication::processEvents();
    w.painted = QRegion();
    t.OnUpdate(40, 42, &w);
    QCoreApplication::processEvents();
    const QRect b = w.painted.boundingRect();
    EXPECT_LE(b.left(), t.IndexTox(40));
    EXPECT_GE(b.right(), t.IndexTox(42));
    EXPECT_LT(b.width(), 20);
    EXPECT_EQ(b.height(), 101);

    // With X data the strip runs to the rectangle's edges at the first and
    // last point, where there is no X value beyond.
    std::vector<double> x(100);
    for (int i = 0; i < 100; ++i)
        x[size_t(i)] = i * 0.5;
    t.SetXData(x.data(), 0, 49.5, 100);
    t.SetDispLimits(0, 1, TRUE);
    w.painted = QRegion();
    t.OnUpdate(0, 99, &w);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.painted.boundingRect(), QRect(0, 0, 201, 101));
}

TEST(PlotRender, LongCurveWithXDataDrawsPastTheOldBufferSize)
{
    // 20000 visible points through X values: one vertex each, far more than
    // a fixed buffer of 8192 would hold.
    const int n = 20000;
    std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        x[size_t(i)] = i * 0.01;
        y[size_t(i)] = i % 2 ? 80 : 20;
    }
    CSpecTrace t;
    t.SetYData(y.data(), 20, 80, n);
    t.SetXData(x.data(), 0, (n - 1) * 0.01, n);
    const CRect r(0, 0, 200, 100);
    t.SetRect(&r, TRUE, TRUE);
    t.SetDispLimits(0, 1, TRUE);
    const double lim[2] = {0, 100};
    t.SetDispLimits(CSpecTrace::Y_SET, lim, TRUE);
    std::vector<CPoint> v;
    plot::BuildVertices(t.Geometry(), r, v);
    EXPECT_EQ(v.size(), size_t(n));
    QImage img = Canvas(200, 100);
    {
        QPainter p(&img);
        p.setBrush(Qt::white);
        EXPECT_EQ(t.DrawTrace(&p, nullptr, FALSE), 0);
    }
    EXPECT_EQ(Rgb(img, 100, 95), 0xFFFFFFu);
}

TEST(PlotRender, PrintedOpaqueCurveHasNoEdgeAlongItsBottom)
{
    // On paper the fill's bottom edge lies one printer dot below the clip; a
    // hairline stroked there still inks the last row of the curve's box once
    // the page is rendered, where the screen shows none.
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        GTEST_FAIL() << "pdftoppm (poppler-utils) is needed to check the printed page";
    std::vector<double> y(400, 80.0);
    CSpecTrace t;
    t.SetYData(y.data(), 0, 100, int(y.size()));
    const CRect r(120, 120, 2520, 1320); // printer dots at 1200 per inch
    t.SetRect(&r, TRUE, TRUE);
    const double lim[4] = {0, 399, 0, 100};
    t.SetDispLimits(CSpecTrace::XY_SET, lim, TRUE);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("curve.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setResolution(1200);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&writer);
        p.fillRect(QRect(0, 0, 3000, 1800), QColor(200, 200, 200));
        p.setBrush(Qt::white);
        ASSERT_EQ(t.DrawTrace(&p, nullptr, FALSE), 0);
    }
    const QString png = dir.filePath(QStringLiteral("curve"));
    ASSERT_EQ(QProcess::execute(pdftoppm, {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
                                           QStringLiteral("-singlefile"), pdf, png}),
              0);
    const QImage img(png + QStringLiteral(".png"));
    ASSERT_FALSE(img.isNull());
    auto blueRow = [&](int row) {
        int n = 0;
        for (int x = 40; x < 190; ++x) {
            const QRgb c = img.pixel(x, row);
            n += qBlue(c) > qRed(c) + 60;
        }
        return n > 100;
    };
    // 100 dpi rows: the curve near 30 (80 % up the box), the box's bottom near 110.
    bool top = false;
    for (int row = 25; row < 40; ++row)
        top = top || blueRow(row);
    EXPECT_TRUE(top) << "the curve itself is drawn";
    for (int row = 100; row < 115; ++row)
        EXPECT_FALSE(blueRow(row)) << "row " << row;
}

TEST(PlotRender, RecordedOpaqueCurveFillsWhatTheScreenFills)
{
    // A printer or PDF gets the fill and outline as one polygon where the
    // screen gets a line per column and then the outline; played back, the
    // two differ at most next to the outline. Rows: points and limits that take each way of building the
    // vertices, a curve cut at the right edge, values off the scale.
    struct Case
    {
        const char* name;
        int n;
        double lim[4];
    } const cases[] = {
        {"a point every few columns", 60, {0, 59, 0, 100}},
        {"about one point per column", 300, {0, 299, 0, 100}},
        {"many points per column (extremes)", 20000, {0, 19999, 0, 100}},
        {"running past the right edge", 300, {0, 200, 0, 100}},
        {"above and below the scale", 300, {0, 299, 30, 70}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> y(size_t(c.n));
        unsigned seed = 7;
        for (int i = 0; i < c.n; ++i) {
            seed = seed * 1664525u + 1013904223u;
            y[size_t(i)] = 20 + 60 * std::exp(-std::pow((i - c.n / 3.0) / (c.n / 12.0), 2)) + (seed >> 29);
        }
        CSpecTrace t;
        t.SetYData(y.data(), 0, 100, c.n);
        const CRect r(10, 10, 210, 130);
        t.SetRect(&r, TRUE, TRUE);
        t.SetDispLimits(CSpecTrace::XY_SET, c.lim, TRUE);
        const QColor bg(200, 200, 200);
        const CRect all(0, 0, 220, 140); // a picture being recorded has no size yet

        QImage screen = Canvas(220, 140, bg);
        {
            QPainter p(&screen);
            p.setBrush(Qt::white);
            t.DrawTrace(&p, &all, FALSE);
        }
        QPicture recorded;
        {
            QPainter p(&recorded);
            p.setBrush(Qt::white);
            t.DrawTrace(&p, &all, FALSE);
        }
        QImage played = Canvas(220, 140, bg);
        {
            QPainter p(&played);
            p.drawPicture(0, 0, recorded);
        }
        const QRgb outline = t.GetPen()->color().rgb() & 0xFFFFFF;
        auto nearOutline = [&](int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (screen.rect().contains(x + dx, y + dy) && Rgb(screen, x + dx, y + dy) == outline)
                        return true;
            return false;
        };
        int white = 0, apart = 0;
        for (int yy = 0; yy < screen.height(); ++yy)
            for (int x = 0; x < screen.width(); ++x) {
                white += Rgb(screen, x, yy) == 0xFFFFFFu;
                if (Rgb(screen, x, yy) != Rgb(played, x, yy) && !nearOutline(x, yy))
                    ++apart;
            }
        EXPECT_GT(white, 1000) << "the screen drawing has its fill";
        EXPECT_EQ(apart, 0) << "pixels that differ away from the outline";
    }
}
