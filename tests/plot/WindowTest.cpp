// The plot window end to end on the offscreen platform: paint, notices to the
// view, line-cursor drags, scroll drags and rubber-band zooms driven by
// mouse events queued before the click.

#include "app/plot/LineCursor.h"
#include "app/plot/SpecWnd.h"
#include "framework/ui/View.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <functional>
#include <vector>

namespace {

// What a widget shows on the screen now (grab() would paint it afresh).
QImage OnScreen(QWidget& w)
{
    const QPoint at = w.mapTo(w.window(), QPoint(0, 0));
    return w.screen()->grabWindow(w.window()->winId(), at.x(), at.y(), w.width(), w.height()).toImage();
}

struct SMsg
{
    unsigned msg;
    uintptr_t w;
    intptr_t l;
    double oldPos;
};

class CTestView : public CView, public IAppMessageHandler
{
public:
    std::vector<SMsg> got;
    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override
    {
        // The old position is only valid during the call.
        const double old = message == WMAPP_LC_POS ? *reinterpret_cast<const double*>(wParam) : 0;
        got.push_back({message, wParam, lParam, old});
        return 0;
    }
    int Count(unsigned msg, uintptr_t w = ~uintptr_t(0)) const
    {
        int n = 0;
        for (const SMsg& m : got)
            n += m.msg == msg && (w == ~uintptr_t(0) || m.w == w);
        return n;
    }
};

class CountingWnd : public CSpecWnd
{
public:
    using CSpecWnd::CSpecWnd;
    int vl = 0, hl = 0;
    QRegion painted;
    void paintEvent(QPaintEvent* e) override
    {
        painted += e->region();
        CSpecWnd::paintEvent(e);
    }
    intptr_t OnAppMessage(unsigned m, uintptr_t w, intptr_t l) override
    {
        vl += m == WMAPP_VL_TRACKING;
        hl += m == WMAPP_HL_TRACKING;
        return CSpecWnd::OnAppMessage(m, w, l);
    }
};

struct WindowFixture : testing::Test
{
    WindowFixture() : wnd(2)
    {
        view.resize(640, 420);
        for (int i = 0; i < 500; ++i)
            y.push_back(100 + (i % 50));
        wnd.Create(&view, RECT{10, 10, 610, 410}, CSpecWnd::FirstWndId + 3);
        for (int plane = 0; plane < 2; ++plane) {
            wnd.SetNumTraces(3, plane);
            for (int k = 0; k < 3; ++k)
                wnd.SetYData(y.data(), 100, 149, int(y.size()), k, plane);
            wnd.SetCaption("Pos 1", plane);
            wnd.SetHorzAxisLabel("Binding Energy (eV)", plane);
        }
        wnd.SetDispMode(CSpecWnd::Stack, false);
        wnd.SetDispTrace(0, 1, 1, false); // one curve shown
        wnd.Show(true, nullptr, nullptr, 1000, 500);
        view.show();
        QCoreApplication::processEvents();
        view.got.clear();
    }

    // Mouse events for the drag that the next click starts: sent one by one
    // from inside its mouse loop, as the window system would deliver them.
    struct SEv
    {
        QEvent::Type type;
        CPoint p;
        int key;
    };
    std::vector<SEv> pending;
    void Queue(QEvent::Type type, CPoint p, Qt::MouseButtons = Qt::LeftButton) { Arm(SEv{type, p, 0}); }
    void QueueKey(int key) { Arm(SEv{QEvent::KeyPress, CPoint(), key}); }
    void Arm(const SEv& ev)
    {
        if (pending.empty())
            QTimer::singleShot(0, &wnd, [this] {
                const std::vector<SEv> evs = std::move(pending);
                pending.clear();
                for (const SEv& e : evs) {
                    if (e.type == QEvent::KeyPress) {
                        QKeyEvent k(QEvent::KeyPress, e.key, Qt::NoModifier);
                        QCoreApplication::sendEvent(&wnd, &k);
                        continue;
                    }
                    const QPointF local(e.p.x, e.p.y);
                    const bool up = e.type == QEvent::MouseButtonRelease;
                    QMouseEvent m(e.type, local, wnd.mapToGlobal(local), up ? Qt::LeftButton : Qt::NoButton,
                                  up ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
                    QCoreApplication::sendEvent(&wnd, &m);
                }
            });
        pending.push_back(ev);
    }
    void Drag(CPoint to)
    {
        Queue(QEvent::MouseMove, to);
        Queue(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    CSpecTrace* Trace() { return wnd.GetSpecTrace(0); }
    CPoint Inside() const
    {
        const CRect& r = *const_cast<CountingWnd&>(wnd).GetSpecTrace(0)->GetRect();
        return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    CTestView view;
    CountingWnd wnd;
    std::vector<double> y;
};

} // namespace

TEST_F(WindowFixture, UnderADarkThemeTheBlackAxesStillHaveALightFace)
{
    QPalette dark = wnd.palette();
    dark.setColor(QPalette::Button, QColor(43, 43, 43));
    dark.setColor(QPalette::ButtonText, QColor(224, 224, 224));
    wnd.setPalette(dark);
    const QImage img = wnd.grab().toImage();
    const CRect& r = *Trace()->GetRect();
    EXPECT_GE(qGray(img.pixel(r.left + 10, r.top + 2)), 128) << "beside the curve, where the axis labels go";
}

TEST_F(WindowFixture, CreateAndPlaneRequests)
{
    EXPECT_EQ(wnd.GetWndID(), 3);
    EXPECT_EQ(wnd.GetNumPlanes(), 2);
    EXPECT_EQ(wnd.GetParentView(), &view);
    EXPECT_EQ(wnd.GetNumTraces(-1), 3);
    EXPECT_EQ(wnd.GetSpecTrace(1, -1), wnd.GetSpecTrace(1, 0));
    EXPECT_NE(wnd.GetSpecTrace(1, 1), wnd.GetSpecTrace(1, 0));
    EXPECT_EQ(wnd.GetSpecTrace(7, -1), nullptr);
    EXPECT_EQ(wnd.GetNumPoints(2, 1), 500);
    // The axis puts 1000 at the first point and 500 at the last.
    EXPECT_NEAR(wnd.xToUnit(Trace()->XTox(0), 0), 1000, 1e-9);
    EXPECT_NEAR(wnd.UnitTox(500, 0), Trace()->XTox(499), 1e-9);
}

TEST_F(WindowFixture, PaintsThePaneThenTheViewsOverlay)
{
    const QImage img = wnd.grab().toImage();
    EXPECT_EQ(view.Count(WMAPP_PAINTOVER, reinterpret_cast<uintptr_t>(static_cast<CSpecWnd*>(&wnd))), 1);
    const CRect& r = *Trace()->GetRect();
    // Under the curve white; the window's own background elsewhere.
    EXPECT_EQ(img.pixel(r.left + 10, r.bottom - 2) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(img.pixel(r.left + 10, r.top + 2), wnd.palette().color(QPalette::Button).rgb());
}

TEST_F(WindowFixture, UnusedClickGoesToTheView)
{
    const CPoint p = Inside();
    Queue(QEvent::MouseButtonRelease, p, Qt::NoButton); // a click without a drag
    const QPointF local(p.x, p.y);
    QMouseEvent press(QEvent::MouseButtonPress, local, wnd.mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&wnd, &press);
    // First the notice of every press, then the one of the click the plot did not use.
    ASSERT_EQ(view.got.size(), size_t(2));
    EXPECT_EQ(view.got[0].msg, unsigned(WM_PARENTNOTIFY));
    EXPECT_EQ(view.got[0].w, uintptr_t(WM_LBUTTONDOWN));
    EXPECT_EQ(view.got[1].msg, unsigned(WM_PARENTNOTIFY));
    EXPECT_EQ(view.got[1].w, uintptr_t(WM_LBUTTONUP));
    EXPECT_EQ(view.got[1].l, intptr_t(p.x | (p.y << 16)));
}

TEST_F(WindowFixture, InvalidateRepaintsTheAreasAsked)
{
    const QRect whole = wnd.rect();
    for (int area : {0xF, 0xFF}) {
        wnd.painted = QRegion();
        wnd.Invalidate(area, true);
        QCoreApplication::processEvents();
        EXPECT_EQ(wnd.painted.boundingRect(), whole) << area;
    }
    wnd.painted = QRegion();
    wnd.Invalidate(CSpecWnd::DispArea, true);
    QCoreApplication::processEvents();
    const CRect& caption = *wnd.GetDisp()->GetCaptionRect();
    const CRect& plot = *wnd.GetDisp()->GetDrawRect();
    EXPECT_TRUE(wnd.painted.contains(QRect(plot.left, plot.top, plot.Width(), plot.Height())));
    EXPECT_FALSE(
        wnd.painted.intersects(QRect(caption.left, caption.top + 2, caption.Width(), caption.Height() - 2)));
    // The active state repaints the frame once, not again when set twice.
    wnd.painted = QRegion();
    wnd.SetActive(true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(wnd.painted.isEmpty());
    wnd.painted = QRegion();
    wnd.SetActive(true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(wnd.painted.isEmpty());
}

TEST_F(WindowFixture, DraggingALineCursorReportsTheOldPosition)
{
    CSpecTrace* t = Trace();
    CLineCursor c(FALSE);
    c.Attach(&wnd);
    c.SetPos(t->IndexTox(100));
    ASSERT_TRUE(wnd.Attach(&c, t));
    c.Show(TRUE, TRUE);
    const double old = c.GetPos();
    const CPoint start(int(old) + 3, Inside().y);
    Queue(QEvent::MouseMove, CPoint(start.x + 10, start.y));      // along the drag
    Queue(QEvent::MouseMove, CPoint(start.x + 10, start.y + 20)); // along the line: no message
    Queue(QEvent::MouseButtonRelease, CPoint(start.x + 30, start.y + 20), Qt::NoButton);
    wnd.OnLButtonDown(MK_LBUTTON, start);
    EXPECT_EQ(c.GetPos(), start.x + 30);
    ASSERT_EQ(view.Count(WMAPP_LC_POS), 1);
    EXPECT_EQ(view.got.back().oldPos, old);
    EXPECT_EQ(view.got.back().l, reinterpret_cast<intptr_t>(&c));
    EXPECT_EQ(wnd.vl, 3); // the start, +10 and +30
    EXPECT_EQ(view.Count(WM_PARENTNOTIFY, WM_LBUTTONUP), 0);

    // Released where it began: hit, not moved, nothing reported.
    view.got.clear();
    const CPoint again(int(c.GetPos()), start.y);
    Queue(QEvent::MouseButtonRelease, again, Qt::NoButton);
    EXPECT_EQ(c.Track(again, t->GetRect()), int(WMAPP_LC_ESC));
    // A miss by five pixels is not a hit.
    EXPECT_EQ(c.Track(CPoint(again.x + 5, again.y), t->GetRect()), 0);
    EXPECT_EQ(view.Count(WMAPP_LC_POS), 0);
    ASSERT_TRUE(wnd.Detach(&c));
}

TEST_F(WindowFixture, CtrlDragScrollsSideways)
{
    wnd.SetDispLimits(4, 1, TRUE);
    const double before = Trace()->GetXmin();
    const CPoint p = Inside();
    Queue(QEvent::MouseMove, CPoint(p.x - 20, p.y));
    Queue(QEvent::MouseButtonRelease, CPoint(p.x - 40, p.y), Qt::NoButton);
    wnd.OnLButtonDown(MK_LBUTTON | MK_CONTROL, p);
    EXPECT_NEAR(Trace()->GetXmin() - before, 40 * (Trace()->xToX(1) - Trace()->xToX(0)), 1e-6);
    EXPECT_EQ(view.Count(WM_PARENTNOTIFY, WM_LBUTTONUP), 0);
    // The temporary cursor is gone again.
    EXPECT_TRUE(Trace()->GetLineCursors().empty());
    // The axis moved with the curve.
    EXPECT_NEAR(wnd.xToUnit(Trace()->XTox(0), 0), 1000, 1e-6);

    // Several curves shown: no scroll, the click goes to the view.
    wnd.SetDispTrace(0, 1, 3, true);
    wnd.OnLButtonDown(MK_LBUTTON | MK_CONTROL, p);
    EXPECT_EQ(view.Count(WM_PARENTNOTIFY, WM_LBUTTONUP), 1);
}

TEST_F(WindowFixture, CtrlDragLeavesWholeLabelsOnTheEnergyAxis)
{
    // Dragged in long jumps, the labels at the two ends of the axis lost their
    // first digits ("1412.5" showed as ".412.5") until the next full repaint.
    wnd.SetDispLimits(8, 1, TRUE);
    QCoreApplication::processEvents();
    const CPoint p = Inside();
    // One mouse move per turn of the drag's loop, with the repaints between.
    std::vector<int> xs = {p.x - 50, p.x - 100, p.x - 150, p.x - 200};
    std::function<void(size_t)> step = [&](size_t i) {
        const bool up = i == xs.size();
        const QPointF local(up ? xs.back() : xs[i], p.y);
        QMouseEvent m(up ? QEvent::MouseButtonRelease : QEvent::MouseMove, local, wnd.mapToGlobal(local),
                      up ? Qt::LeftButton : Qt::NoButton, up ? Qt::NoButton : Qt::LeftButton,
                      Qt::ControlModifier);
        QCoreApplication::sendEvent(&wnd, &m);
        if (!up)
            QTimer::singleShot(20, &wnd, [&step, i] { step(i + 1); });
    };
    QTimer::singleShot(20, &wnd, [&step] { step(0); });
    wnd.OnLButtonDown(MK_LBUTTON | MK_CONTROL, p);
    ASSERT_GT(Trace()->GetXmin(), 0);
    QCoreApplication::processEvents();
    auto onScreen = [&] { return OnScreen(wnd); };
    const QImage afterDrag = onScreen();
    wnd.update();
    QCoreApplication::processEvents();
    // The band of the energy axis, its labels included, across the window.
    const CRect& axis = *wnd.GetDisp()->GetHorzAxis().GetRect();
    const QImage full = onScreen();
    for (int yy = axis.top; yy < axis.bottom; ++yy)
        for (int xx = 0; xx < full.width(); ++xx)
            ASSERT_EQ(full.pixel(xx, yy), afterDrag.pixel(xx, yy)) << "a stale pixel at " << xx << "," << yy;
}

TEST_F(WindowFixture, RubberBandZooms)
{
    const CPoint p = Inside();
    // Four pixels wide: ignored, yet used.
    Drag(CPoint(p.x + 4, p.y + 30));
    wnd.OnLButtonDown(MK_LBUTTON, p);
    EXPECT_EQ(Trace()->GetXmax() - Trace()->GetXmin(), 499);
    EXPECT_EQ(view.Count(WM_PARENTNOTIFY, WM_LBUTTONUP), 0);
    // Forty by thirty: both axes zoom; Escape would have cancelled.
    Drag(CPoint(p.x + 40, p.y + 30));
    wnd.OnLButtonDown(MK_LBUTTON, p);
    EXPECT_LT(Trace()->GetXmax() - Trace()->GetXmin(), 499);
    EXPECT_NEAR(Trace()->YToy(Trace()->GetYmax()), Trace()->GetRect()->top, 1);
    QueueKey(Qt::Key_Escape);
    const double xmin = Trace()->GetXmin();
    wnd.OnLButtonDown(MK_LBUTTON, p);
    EXPECT_EQ(Trace()->GetXmin(), xmin);
    EXPECT_EQ(view.Count(WM_PARENTNOTIFY, WM_LBUTTONUP), 1);
}

TEST_F(WindowFixture, PrintingLaysOutACopy)
{
    const CRect screen = *Trace()->GetRect();
    const double ymax = wnd.GetDisp()->GetVertAxis().GetMax();
    QTemporaryDir dir;
    QPdfWriter pdf(dir.filePath("plot.pdf"));
    {
        QPainter p(&pdf);
        CRect page(0, 0, pdf.width(), pdf.height() / 2);
        wnd.OnPrint(&p, &page, FALSE);
    }
    EXPECT_EQ(*Trace()->GetRect(), screen);
    EXPECT_EQ(wnd.GetDisp()->GetVertAxis().GetMax(), ymax);
    EXPECT_GT(QFileInfo(dir.filePath("plot.pdf")).size(), 500);
}

TEST_F(WindowFixture, ActiveFrameAndEmptyIntensityRange)
{
    wnd.SetActive(true);
    EXPECT_TRUE(wnd.IsActive());
    const QImage active = wnd.grab().toImage();
    wnd.SetActive(false);
    const QImage etched = wnd.grab().toImage();
    EXPECT_NE(active.pixel(0, 5), etched.pixel(0, 5));
    // A zero intensity range shows 0 to 10000.
    std::vector<double> zero(10, 0.0);
    CSpecWnd w(1);
    w.Create(&view, RECT{0, 0, 300, 200}, CSpecWnd::FirstWndId);
    w.SetNumTraces(1, 0);
    w.SetYData(zero.data(), 0, 0, 10, 0, 0);
    w.Show(true, nullptr, nullptr, 0, 9);
    EXPECT_EQ(w.GetDisp()->GetVertAxis().GetMax(), 10000);
}

TEST_F(WindowFixture, WindowClosedDuringADragIsLeftAlone)
{
    // The document's window may close (a keyboard shortcut) while the mouse
    // loop of a drag runs: nothing of the window or its pane is touched after.
    const struct
    {
        const char* name;
        UINT flags;
    } cases[] = {{"rubber band", MK_LBUTTON}, {"sideways scroll", MK_LBUTTON | MK_CONTROL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* w = new CSpecWnd(1);
        w->Create(&view, RECT{0, 0, 400, 300}, CSpecWnd::FirstWndId);
        w->SetNumTraces(1, 0);
        w->SetYData(y.data(), 100, 149, int(y.size()), 0, 0);
        w->Show(true, nullptr, nullptr, 1000, 500);
        w->SetDispLimits(4, 1, TRUE); // room to scroll
        QCoreApplication::processEvents();
        view.got.clear();
        const CRect& r = *w->GetSpecTrace(0, 0)->GetRect();
        const CPoint p((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        QTimer::singleShot(0, &view, [w] { delete w; });
        w->OnLButtonDown(c.flags, p);
        EXPECT_EQ(view.Count(WM_PARENTNOTIFY, WM_LBUTTONUP), 0);
    }
}

TEST(WindowRepaint, ValuesWrittenThroughTheDataPointerShowAfterInvalidate)
{
    // Far more points than pixel columns, so drawing works from cached column
    // extremes; the pointer is taken before the first paint, as a tool does.
    CTestView view;
    view.resize(640, 420);
    CSpecWnd wnd(1);
    std::vector<double> y(100000, 0.0);
    wnd.Create(&view, RECT{10, 10, 610, 410}, CSpecWnd::FirstWndId);
    wnd.SetNumTraces(1, 0);
    wnd.SetYData(y.data(), 0, 100, int(y.size()), 0, 0);
    int n = 0;
    double* data = wnd.GetYData(&n, 0, 0);
    ASSERT_EQ(n, 100000);
    wnd.Show(true, nullptr, nullptr, 0, 1);
    view.show();
    QCoreApplication::processEvents();
    const CRect r = *wnd.GetSpecTrace(0)->GetRect();
    const QPoint probe((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    const QRgb background = wnd.palette().color(QPalette::Button).rgb();
    EXPECT_EQ(wnd.grab().toImage().pixel(probe), background) << "the flat curve lies at the bottom";

    for (int i = 40000; i < 60000; ++i)
        data[i] = 100; // a plateau in the middle, up to the top of the range
    wnd.Invalidate(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(wnd.grab().toImage().pixel(probe) & 0xFFFFFF, 0xFFFFFFu) << "filled below the new plateau";

    for (int i = 40000; i < 60000; ++i)
        data[i] = 0;
    wnd.Invalidate(CSpecWnd::TraceArea, true);
    QCoreApplication::processEvents();
    EXPECT_EQ(wnd.grab().toImage().pixel(probe), background) << "the plateau is gone again";
}

TEST(WindowWaterfall, ABandOverTheBackCurvesZoomsThemAllAndLeavesNothingBehind)
{
    // Depth-profile style: many levels, twenty shown offset one behind the other.
    CTestView view;
    view.resize(640, 420);
    CountingWnd wnd(1);
    std::vector<std::vector<double>> levels(60);
    for (size_t k = 0; k < levels.size(); ++k)
        for (int i = 0; i < 400; ++i)
            levels[k].push_back(100 + double((i + int(k) * 7) % 80));
    wnd.Create(&view, RECT{10, 10, 610, 410}, CSpecWnd::FirstWndId);
    wnd.SetNumTraces(int(levels.size()), 0);
    for (size_t k = 0; k < levels.size(); ++k)
        wnd.SetYData(levels[k].data(), 100, 179, 400, int(k), 0);
    wnd.SetDispMode(CSpecWnd::Offset, false);
    wnd.SetDispTrace(0, 3, 20, false);
    wnd.Show(true, nullptr, nullptr, 1000, 600);
    view.show();
    QCoreApplication::processEvents();

    auto shown = [&](int j) { return wnd.GetSpecTrace(3 * j); };
    const CRect back = *shown(19)->GetRect();
    const CSize step(shown(1)->GetRect()->left - shown(0)->GetRect()->left,
                     shown(1)->GetRect()->top - shown(0)->GetRect()->top);
    ASSERT_LT(step.cy, -2);
    // The band starts above every curve but the last, over its upper part.
    const CPoint from(back.left + 100, back.top + 1);
    const CPoint to(from.x + 60, from.y + 40);
    const double x0 = shown(19)->xToX(from.x), x1 = shown(19)->xToX(to.x);
    const double y0 = shown(19)->yToY(to.y), y1 = shown(19)->yToY(from.y);

    QTimer::singleShot(0, &wnd, [&] {
        for (const QEvent::Type type : {QEvent::MouseMove, QEvent::MouseButtonRelease}) {
            const QPointF local(to.x, to.y);
            const bool up = type == QEvent::MouseButtonRelease;
            QMouseEvent m(type, local, wnd.mapToGlobal(local), up ? Qt::LeftButton : Qt::NoButton,
                          up ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&wnd, &m);
        }
    });
    wnd.OnLButtonDown(MK_LBUTTON, from);
    QCoreApplication::processEvents();
    // What is on the screen now (grab() would paint the window afresh).
    auto onScreen = [&] { return OnScreen(wnd); };
    const QImage afterZoom = onScreen();

    // The back curve shows what the band covered; every shown curve shows the
    // same part of its data, and the curves keep their places.
    EXPECT_NEAR(shown(19)->GetXmin(), x0, 1e-9);
    EXPECT_NEAR(shown(19)->GetXmax(), x1, 1e-9);
    EXPECT_NEAR(shown(19)->GetYmin(), y0, 1e-9);
    EXPECT_NEAR(shown(19)->GetYmax(), y1, 1e-9);
    for (int j = 0; j < 20; ++j) {
        SCOPED_TRACE(j);
        EXPECT_NEAR(shown(j)->GetXmin(), x0, 1e-9);
        EXPECT_NEAR(shown(j)->GetYmax(), y1, 1e-9);
        EXPECT_EQ(shown(j)->GetRect()->left - shown(0)->GetRect()->left, j * step.cx);
        EXPECT_EQ(shown(j)->GetRect()->top - shown(0)->GetRect()->top, j * step.cy);
    }
    // The whole plot was repainted at once: a later full repaint changes no
    // pixel, so no band or patch of another picture is left on the screen.
    wnd.update();
    QCoreApplication::processEvents();
    EXPECT_EQ(onScreen(), afterZoom);
}

TEST(WindowOnePoint, ASpectrumOfOnePointShowsInTheMiddle)
{
    CTestView view;
    view.resize(640, 420);
    CSpecWnd wnd(1);
    std::vector<double> y{250.0};
    wnd.Create(&view, RECT{10, 10, 610, 410}, CSpecWnd::FirstWndId);
    wnd.SetNumTraces(1, 0);
    wnd.SetYData(y.data(), 250, 250, 1, 0, 0);
    wnd.SetHorzAxisLabel("Kinetic Energy (eV)", 0);
    wnd.Show(true, nullptr, nullptr, 1616, 1616);
    view.show();
    QCoreApplication::processEvents();
    // It stood on the left edge and on the bottom row, under both axis lines.
    const CSpecTrace* t = wnd.GetSpecTrace(0);
    ASSERT_NE(t, nullptr);
    const CRect r = *t->GetRect();
    const CPoint p(t->IndexTox(0), int(std::lround(t->YToy(250))));
    EXPECT_NEAR(p.x, (r.left + r.right - 1) / 2, 1);
    EXPECT_GT(p.y, r.top + r.Height() / 4);
    EXPECT_LT(p.y, r.bottom - r.Height() / 4);
    const QImage img = wnd.grab().toImage();
    EXPECT_NE(img.pixel(p.x, p.y), img.pixel(p.x + 20, p.y)) << "the point is drawn";
}
