// The raster display and its pane on a real widget: the throttled
// progressive update under a manual clock (which rows are repainted and
// when), the grey range during and at the end of a frame, zoom steps that
// cannot happen repainting nothing, an image without points, the bitmap file
// read back by Qt and a failed write that leaves no file behind.

#include "PlotTestApp.h"

#include "app/image/ImageWnd.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <numeric>

namespace {

// A window that records the rectangles it is asked to repaint.
class CRecorder : public QWidget
{
public:
    CRecorder() { resize(300, 300); }
    std::vector<QRect> paints;

protected:
    void paintEvent(QPaintEvent* e) override { paints.push_back(e->rect()); }
};

void Pump()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

class ImageDispTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_old = SetClock(&m_clock);
        m_wnd.show();
        Pump();
        m_wnd.paints.clear();
    }
    void TearDown() override { SetClock(m_old); }

    CManualClock m_clock;
    IClock* m_old = nullptr;
    CRecorder m_wnd;
    QImage m_device{1, 1, QImage::Format_RGB32};
};

TEST_F(ImageDispTest, ProgressiveUpdateRepaintsOnlyNewRowsAtMostOnceASecond)
{
    // A 100 x 100 map, about 2 window pixels a row.
    std::vector<int> data(10000, 0);
    CImageDisp d;
    d.SetImage(data.data(), 100, 100, 0, 0);
    d.Show(true, CRect(0, 0, 224, 240), &m_device, 0, 0);
    const img::SView& v = d.GetView();
    ASSERT_GT(v.cy, 150);
    auto rowTop = [&](int r) { return v.iy0 + r * v.cy / 100; };

    // First scan: the range starts at (0, 0) and only widens.
    for (int i = 0; i < 10000; ++i) {
        data[size_t(i)] = 10 + i % 100;
        if (i == 5000)
            m_clock.Advance(1001);
        d.OnUpdate(&m_wnd, i, i, 0);
        if (i == 4999) {
            Pump();
            EXPECT_TRUE(m_wnd.paints.empty()) << "no repaint within the first second";
        }
        if (i == 5000) {
            EXPECT_EQ(d.GetMin(), 0);
            EXPECT_EQ(d.GetMax(), 109); // widened by the new points only
        }
    }
    EXPECT_EQ(d.GetMin(), 10); // exact at the last point of the frame
    EXPECT_EQ(d.GetMax(), 109);
    Pump();
    ASSERT_FALSE(m_wnd.paints.empty());
    m_wnd.paints.clear();

    // Second scan, values inside the range: strips of the rows converted since
    // the last request.
    for (int i = 0; i < 10000; ++i) {
        if (i == 3550 || i == 7020)
            m_clock.Advance(1001);
        d.OnUpdate(&m_wnd, i, i, 1);
        if (i == 3550 || i == 7020) {
            Pump();
            ASSERT_EQ(m_wnd.paints.size(), 1u) << "point " << i;
            const QRect r = m_wnd.paints.back();
            const int r0 = i == 3550 ? 0 : 35, r1 = i / 100;
            EXPECT_EQ(r.top(), rowTop(r0)) << "point " << i;
            EXPECT_EQ(r.bottom() + 1, std::min(rowTop(r1 + 1) + 1, v.iy0 + v.cy)) << "point " << i;
            EXPECT_EQ(r.left(), v.ix0);
            EXPECT_EQ(r.width(), v.cx);
            m_wnd.paints.clear();
        }
        if (i == 7019) {
            Pump();
            EXPECT_TRUE(m_wnd.paints.empty());
        }
    }
    EXPECT_EQ(d.GetMin(), 10);
}

TEST_F(ImageDispTest, ByteImagesKeepTheirRangeAndPaintFromTheLastRequest)
{
    std::vector<uint8_t> data(64 * 64, 0);
    CImageDisp d;
    d.SetImage(data.data(), 64, 64, 0, 255);
    d.Show(true, CRect(0, 0, 200, 200), &m_device, 0, 255);
    for (int line = 0; line < 64; ++line) {
        std::fill_n(data.begin() + line * 64, 64, uint8_t(line * 4));
        if (line == 10)
            m_clock.Advance(1500);
        d.OnUpdate(&m_wnd, line * 64, line * 64 + 63, 0);
    }
    Pump();
    EXPECT_EQ(d.GetMax(), 255);
    EXPECT_EQ(qGray(d.GetRaster().pixel(0, 63)), 252);
    ASSERT_FALSE(m_wnd.paints.empty());
}

// A run that ends part-way (abort, stop, a fault) sends no last point: the
// pane stayed as its last timed repaint left it, black with the range still
// (0, 0), until something else repainted the window.
TEST_F(ImageDispTest, TheEndOfARunShowsEveryPointMeasuredAtOnce)
{
    const struct
    {
        int scan, lines; // the scan and the lines of it measured when the run ended
        int min, max;
    } cases[] = {
        {0, 64, 100, 163}, // the points not reached hold nothing and stay out of the range
        {0, 1, 100, 100},
        {1, 10, 10, 109},  // a later scan: the rest holds the earlier scans' mean
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scan * 1000 + c.lines);
        std::vector<int> data(100 * 100, 0);
        if (c.scan > 0)
            std::fill(data.begin(), data.end(), 10);
        CImageDisp d;
        d.SetImage(data.data(), 100, 100, 0, 0);
        d.Show(true, CRect(0, 0, 224, 240), &m_device, 0, 0);
        for (int line = 0; line < c.lines; ++line) {
            std::fill_n(data.begin() + line * 100, 100, 100 + line);
            d.OnUpdate(&m_wnd, line * 100, line * 100 + 99, c.scan);
        }
        Pump();
        m_wnd.paints.clear();
        d.Flush(&m_wnd);
        EXPECT_EQ(d.GetMin(), c.min);
        EXPECT_EQ(d.GetMax(), c.max);
        Pump();
        ASSERT_FALSE(m_wnd.paints.empty());
        EXPECT_TRUE(m_wnd.paints.back().contains(QRect(d.GetImageRect()->left, d.GetImageRect()->top,
                                                        d.GetImageRect()->Width(), d.GetImageRect()->Height())));
        m_wnd.paints.clear();
        const QImage& raster = d.GetRaster();
        if (c.lines > 1) {
            EXPECT_EQ(qGray(raster.pixel(0, c.lines - 1)), 255) << "the last line measured is the brightest";
        }
        if (c.lines > 1 && c.scan == 0) {
            EXPECT_EQ(qGray(raster.pixel(0, 0)), 0);
        }
    }

    // A byte image keeps its fixed range and is repainted whole.
    std::vector<uint8_t> bytes(64 * 64, 0);
    CImageDisp b;
    b.SetImage(bytes.data(), 64, 64, 0, 255);
    b.Show(true, CRect(0, 0, 200, 200), &m_device, 0, 255);
    std::fill_n(bytes.begin(), 64 * 10, uint8_t(200));
    b.OnUpdate(&m_wnd, 0, 64 * 10 - 1, 0);
    Pump();
    m_wnd.paints.clear();
    b.Flush(&m_wnd);
    Pump();
    ASSERT_FALSE(m_wnd.paints.empty());
    EXPECT_EQ(b.GetMax(), 255);
    EXPECT_EQ(qGray(b.GetRaster().pixel(0, 9)), 200);
}

TEST_F(ImageDispTest, AnImageWithoutPointsShowsItsCaptionOnly)
{
    CImageDisp d;
    d.SetImage(static_cast<int*>(nullptr), 0, 50, 0, 0);
    d.SetCaption("Cu LMM");
    d.Show(true, CRect(0, 0, 200, 200), &m_device, 0, 0);
    EXPECT_TRUE(d.GetRaster().isNull());
    EXPECT_TRUE(d.GetImageRect()->IsRectEmpty());
    d.OnUpdate(&m_wnd, 0, 10, 0);
    EXPECT_FALSE(d.SetZoom(1, true));
    QImage out(200, 200, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    const CRect all(0, 0, 200, 200);
    d.Draw(&p, &all, false);
    p.end();
    const CRect& c = d.GetCaptionRect();
    bool ink = false;
    for (int y = c.top; y < c.bottom; ++y)
        for (int x = c.left; x < c.right; ++x)
            ink = ink || out.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_TRUE(ink);
}

TEST_F(ImageDispTest, CaptionShowsTheDocumentsSingleByteText)
{
    // Region names are code page 1252 bytes. Read as UTF-8, every such byte
    // became the same replacement mark, so "\xB5" and "\xE9" drew alike; the
    // spectrum panes of the same document showed them as they are.
    auto render = [&](const char* caption, CRect* captionRect) {
        CImageDisp d;
        d.SetImage(static_cast<int*>(nullptr), 0, 50, 0, 0);
        d.SetCaption(caption);
        d.Show(true, CRect(0, 0, 200, 200), &m_device, 0, 0);
        QImage out(200, 200, QImage::Format_RGB32);
        out.fill(Qt::white);
        QPainter p(&out);
        const CRect all(0, 0, 200, 200);
        d.Draw(&p, &all, false);
        *captionRect = d.GetCaptionRect();
        return out;
    };
    CRect c;
    const QImage micro = render("Cu \xB5", &c);
    const QImage acute = render("Cu \xE9", &c);
    const QImage twoBytes = render("Cu \xC3\xA9", &c);
    const QRect caption(c.left, c.top, c.Width(), c.Height());
    EXPECT_NE(micro.copy(caption), acute.copy(caption));
    // UTF-8 bytes in a record are two cp1252 characters, not one.
    EXPECT_NE(acute.copy(caption), twoBytes.copy(caption));
}

TEST_F(ImageDispTest, ZoomStepsThatCannotHappenRepaintNothing)
{
    auto* data = new int[16];
    std::iota(data, data + 16, 0);
    CImageWnd pane;
    pane.SetDataAutoDelete(true);
    pane.SetImage(data, 4, 4, 0, 15);
    pane.resize(200, 200);
    pane.Show(true, 0, 15);
    Pump();
    int paints = 0;
    struct Counter : QObject
    {
        int* n;
        explicit Counter(int* p) : n(p) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                ++*n;
            return false;
        }
    } counter(&paints);
    pane.installEventFilter(&counter);

    EXPECT_FALSE(pane.SetZoom(-1, false)); // fitted: cannot zoom out
    EXPECT_FALSE(pane.SetZoom(0, false));  // already fitted
    Pump();
    EXPECT_EQ(paints, 0);
    EXPECT_TRUE(pane.SetZoom(1, true));
    Pump();
    EXPECT_EQ(paints, 0); // a test repaints nothing
    EXPECT_TRUE(pane.SetZoom(1, false));
    Pump();
    EXPECT_EQ(paints, 1);
    EXPECT_FALSE(pane.SetZoom(1, false)); // 2 x 2 cannot be halved again
    pane.Invalidate(2, false);            // neither the image nor the whole pane
    Pump();
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(pane.GetDisp().GetZoom(), 1);
}

TEST_F(ImageDispTest, BitmapFileReadsBackAndAFailedWriteLeavesNothing)
{
    QTemporaryDir dir;
    const int nX = 5, nY = 3;
    std::vector<int> data(size_t(nX * nY));
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = int(i) * 10 - 20;
    CImageDisp d;
    d.SetImage(data.data(), nX, nY, -20, 120);
    d.Show(true, CRect(0, 0, 100, 100), &m_device, -20, 120);
    const std::string path = dir.filePath("map.bmp").toStdString();
    d.SaveAsBitmap(path);
    QImage q(QString::fromStdString(path));
    ASSERT_EQ(q.size(), QSize(nX, nY));
    const std::vector<uint8_t> grey = img::GreyBytes(data.data(), nullptr, nX, nY, -20, 120);
    for (int y = 0; y < nY; ++y)
        for (int x = 0; x < nX; ++x)
            EXPECT_EQ(qGray(q.pixel(x, y)), grey[size_t(y * nX + x)]);
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), 8 * nY + 1078);

    // A write that fails (the name is taken by a folder) reports and leaves
    // no partial file.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.bmp"));
    EXPECT_THROW(d.SaveAsBitmap(dir.filePath("taken.bmp").toStdString()), CFileException);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"map.bmp"});
}

} // namespace

namespace {

TEST(ImgTracker, LineModeDrawsOneLineWhateverTheCornersAndErasesOnRedraw)
{
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::black);
    CImgTracker t;
    t.SetLine(true);
    const RECT backwards{15, 12, 3, 2}; // second corner up and to the left
    {
        QPainter p(&img);
        t.DrawTrackerRect(&backwards, &p);
    }
    EXPECT_EQ(img.pixel(15, 12), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(3, 2), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(9, 7), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(15, 2), qRgb(0, 0, 0)); // a line, not a rectangle
    {
        QPainter p(&img);
        t.DrawTrackerRect(&backwards, &p);
    }
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(img.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;

    t.SetLine(false);
    {
        QPainter p(&img);
        t.DrawTrackerRect(&backwards, &p);
    }
    EXPECT_EQ(img.pixel(3, 2), qRgb(255, 255, 255)); // the rectangle's corner
}

} // namespace

namespace {

TEST_F(ImageDispTest, ALargeImageDrawnSmallAveragesItsPoints)
{
    // A checkerboard of single points: every window pixel covers several
    // points of both colours, so it is grey, never black or white.
    const int n = 1024;
    std::vector<int> data(size_t(n) * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            data[size_t(y) * n + size_t(x)] = (x + y) % 2 ? 100 : 0;
    CImageDisp d;
    d.SetImage(data.data(), n, n, 0, 100);
    QImage out(420, 460, QImage::Format_RGB32);
    d.Show(true, CRect(0, 0, out.width(), out.height()), &out, 0, 100);
    out.fill(Qt::red);
    QPainter p(&out);
    const CRect all(0, 0, out.width(), out.height());
    d.Draw(&p, &all, false);
    p.end();
    const CRect& r = *d.GetImageRect();
    ASSERT_LT(r.Width(), 512);
    int extremes = 0;
    for (int y = r.top + 1; y < r.bottom - 1; ++y)
        for (int x = r.left + 1; x < r.right - 1; ++x) {
            const int g = qGray(out.pixel(x, y));
            extremes += g < 100 || g > 155;
        }
    EXPECT_EQ(extremes, 0);

    // Zoomed in to points the window shows larger than one pixel, the points themselves.
    d.SetZoom(1, false);
    d.SetZoom(1, false);
    d.SetZoom(1, false);
    QImage zoomed(out.size(), QImage::Format_RGB32);
    QPainter z(&zoomed);
    d.Draw(&z, &all, false);
    z.end();
    int black = 0;
    for (int x = r.left; x < r.right; ++x)
        black += qGray(zoomed.pixel(x, (r.top + r.bottom) / 2)) < 30;
    EXPECT_GT(black, r.Width() / 4);
}

} // namespace
