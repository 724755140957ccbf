// The AES scan-control page on the real application: the table typed into
// at each image size, its pop-up menu and clipboard, the checks' messages,
// and real mouse presses and drags on the pane of an image view showing a
// secondary-electron image, with the marks read back from the pane's pixels.

#include "../app/AppFixture.h"
#include "framework/ui/ClipFormat.h"

#include "UGrid/UGGrid.h"
#include "acquire/core/AcqError.h"
#include "acquire/ui/AesScnPage.h"
#include "app/ImageView.h"
#include "app/image/ImageWnd.h"
#include "res/resource.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>

namespace {

using AesScan::kMissing;
using Pt = CAcquireAES_Scn::CScanPoint;
using Ar = CAcquireAES_Scn::CScanArea;

class AesScnPage : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        Start();
        page = std::make_unique<CAcquireAES_ScnPage>();
        page->SetSetup(&setup);
        page->resize(520, 320);
        page->show();
        page->OnSetActive();
        Pump(10);
    }
    void TearDown() override
    {
        page.reset();
        AppFixture::TearDown();
    }

    CAesScnModel& M() { return setup.m_Scn; }
    void Mode(int exp, int control, int linescan = 0)
    {
        setup.m_Exp.m_iExperiment = exp;
        M().m_iControl = control;
        M().m_bLinescan = linescan;
        page->Refresh();
    }
    QString Cell(int col, int row) { return QString::fromStdString(page->Grid().GetTextAt(col, row)); }
    void Key(Qt::Key key, const QString& text = QString())
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
        Pump(0);
    }
    void Type(const QString& text)
    {
        for (QChar c : text)
            Key(c == QLatin1Char('-') ? Qt::Key_Minus : Qt::Key(c.unicode()), QString(c));
    }
    void ClickCell(int col, long row)
    {
        CAcquireGrid& grid = page->Grid();
        RECT r;
        grid.GetCellRect(&col, &row, &r);
        QTest::mouseClick(grid.GetGridWnd(), Qt::LeftButton, {},
                          QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
        Pump(0);
    }
    void SetSize(const QString& size)
    {
        auto* box = page->findChild<QComboBox*>(QStringLiteral("IDC_ACQAESSCN_SIZE"));
        ASSERT_NE(box, nullptr);
        box->setCurrentIndex(box->findText(size));
        emit box->activated(box->currentIndex());
        Pump(0);
    }

    // An SE image of size x size pixels made the set-up image.
    CImageView* OpenSEImage(int size)
    {
        CDataFileBuilder b;
        b.Header().Experiment(0x202, 1).Source(1, 3000.0).IonGun();
        CDataFileBuilder::SPosnHead head;
        const size_t at = b.BeginPosn(head, 0);
        b.Count(1);
        b.ImageRgn(3, size, size, 1);
        b.EndPosn(at);
        b.End();
        auto* view = OpenView<CImageView>(QStringLiteral("se.vlt"), b.m_bytes, 640, 700);
        if (view) {
            view->OnCmdMsg(ID_ACQUIRE_SELECT, nullptr);
            Pump(10);
        }
        return view;
    }
    // The middle of the image pixel of scan coordinates, in the pane's window pixels.
    QPoint At(CImageWnd* pane, int x, int y)
    {
        POINT p{x, y};
        page->SPtoLP(&p, pane);
        POINT q{p.x + 1, p.y + 1};
        pane->ImageToWindow(&p);
        pane->ImageToWindow(&q);
        return QPoint((p.x + q.x) / 2, (p.y + q.y) / 2);
    }
    // Its top-left corner, where a one-pixel line through it is drawn.
    QPoint Corner(CImageWnd* pane, int x, int y)
    {
        POINT p{x, y};
        page->SPtoLP(&p, pane);
        pane->ImageToWindow(&p);
        return QPoint(p.x, p.y);
    }
    void Drag(QWidget* w, QPoint from, QPoint to)
    {
        QTest::mousePress(w, Qt::LeftButton, {}, from);
        QTest::mouseMove(w, (from + to) / 2);
        QTest::mouseMove(w, to);
        QTest::mouseRelease(w, Qt::LeftButton, {}, to);
        Pump(0);
    }
    static bool Red(const QImage& img, QPoint p)
    {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy) {
                const QColor c = img.pixelColor(p + QPoint(dx, dy));
                if (c.red() == 255 && c.green() == 0 && c.blue() == 0)
                    return true;
            }
        return false;
    }

    CAesSetup setup;
    std::unique_ptr<CAcquireAES_ScnPage> page;
};

TEST_F(AesScnPage, TypingStoresScanCoordinatesAtEachSize)
{
    Mode(CAcquireAES::Profile, CAcquireAES_Scn::Point);
    EXPECT_EQ(ImageSelectPage(), page.get());
    EXPECT_TRUE(page->Grid().isVisible());
    SetSize(QStringLiteral("512"));
    ClickCell(0, 0);
    Type(QStringLiteral("100"));
    Key(Qt::Key_Tab);
    Type(QStringLiteral("-37"));
    Key(Qt::Key_Return);
    ASSERT_EQ(M().m_Points.size(), 1u);
    EXPECT_EQ(M().m_Points[0], (Pt{200, -74}));
    EXPECT_EQ(Cell(0, 0), QStringLiteral("100"));
    EXPECT_EQ(page->Rows(), 1);
    SetSize(QStringLiteral("256"));
    EXPECT_EQ(Cell(0, 0), QStringLiteral("50"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("-18")); // truncated toward zero
    SetSize(QStringLiteral("1024"));
    EXPECT_EQ(Cell(0, 0), QStringLiteral("200"));

    // Letters are refused; five characters are one too many.
    ClickCell(0, 1);
    Type(QStringLiteral("x12345"));
    Key(Qt::Key_Return);
    ASSERT_EQ(M().m_Points.size(), 2u);
    EXPECT_EQ(M().m_Points[1], (Pt{1234, kMissing}));

    // Escape in the new row takes back the entry it had started.
    ClickCell(0, 2);
    Type(QStringLiteral("7"));
    EXPECT_EQ(M().m_Points.size(), 3u);
    Key(Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_EQ(M().m_Points.size(), 2u);
    EXPECT_EQ(Cell(0, 2), QString());
    // In a row that was there, Escape puts the old value back.
    ClickCell(0, 0);
    Type(QStringLiteral("9"));
    Key(Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_EQ(M().m_Points[0], (Pt{200, -74}));
    EXPECT_EQ(Cell(0, 0), QStringLiteral("200"));
    // The minus sign is taken only in front of the number.
    ClickCell(0, 0);
    Type(QStringLiteral("1-2"));
    Key(Qt::Key_Tab);
    Type(QStringLiteral("-3-"));
    Key(Qt::Key_Return);
    EXPECT_EQ(M().m_Points[0], (Pt{12, -3}));

    // Tab runs along an area's four values and on into the next row.
    Mode(CAcquireAES::Narrowscan, CAcquireAES_Scn::AreaScan);
    ClickCell(0, 0);
    for (const char* v : {"-9", "8", "7", "-6"}) {
        Type(QString::fromLatin1(v));
        Key(Qt::Key_Tab);
    }
    Type(QStringLiteral("5"));
    Key(Qt::Key_Return);
    EXPECT_EQ(M().m_Areas,
              (std::vector<Ar>{{-9, 8, 7, -6}, {5, kMissing, kMissing, kMissing}})); // at size 1024
    EXPECT_EQ(M().m_Points.size(), 2u);

    // Full field and the SE image have no table.
    Mode(CAcquireAES::Profile, CAcquireAES_Scn::FullScan);
    EXPECT_FALSE(page->Grid().isVisible());
    Mode(CAcquireAES::AugerImage, CAcquireAES_Scn::FullScan);
    EXPECT_TRUE(page->Grid().isVisible());
    EXPECT_FALSE(page->findChild<QRadioButton*>(QStringLiteral("IDC_ACQAESSCN_POINT"))->isEnabled());
}

TEST_F(AesScnPage, ClipboardKeepsTheKindOfEntry)
{
    Mode(CAcquireAES::Narrowscan, CAcquireAES_Scn::AreaScan);
    M().m_Areas = {{-40, 40, 40, -40}, {1, 2, 3, 4}};
    page->Refresh();
    page->OnMenuCommand(0, 0, 1, ID_EDIT_COPY);
    Mode(CAcquireAES::Narrowscan, CAcquireAES_Scn::Point);
    EXPECT_EQ(page->OnMenuStart(0, 0, 1), 1);
    page->OnMenuCommand(0, 0, 1, ID_EDIT_PASTE);
    EXPECT_TRUE(M().m_Points.empty());
    Mode(CAcquireAES::Narrowscan, CAcquireAES_Scn::AreaScan);
    page->OnMenuCommand(0, 1, 1, ID_EDIT_PASTE);
    EXPECT_EQ(M().m_Areas, (std::vector<Ar>{{-40, 40, 40, -40}, {-40, 40, 40, -40}, {1, 2, 3, 4}}));
    EXPECT_EQ(Cell(3, 1), QStringLiteral("-10"));
    page->OnMenuCommand(0, 2, 1, ID_EDIT_CUT);
    page->OnMenuCommand(0, 0, 1, ID_EDIT_INSERT);
    EXPECT_EQ(M().m_Areas, (std::vector<Ar>{AesScan::kEmptyArea, {-40, 40, 40, -40}, {-40, 40, 40, -40}}));
    EXPECT_EQ(page->Rows(), 3);

    // A record of the wrong size is refused, not read past.
    auto* data = new QMimeData;
    data->setData(ClipFormat::MimeType(AesScan::CF_SCNAREA), QByteArray(12, '\x7f'));
    QApplication::clipboard()->setMimeData(data);
    page->OnMenuCommand(0, 0, 1, ID_EDIT_PASTE);
    EXPECT_EQ(M().m_Areas.size(), 3u);
}

TEST_F(AesScnPage, StartMessages)
{
    auto text = [this] {
        try {
            M().ErrorCheck();
        } catch (const CAcqException& e) {
            return e.Error().Text();
        }
        return std::string();
    };
    Mode(CAcquireAES::AugerImage, 0);
    M().m_Areas = {{-10, 10, 10, -10}};
    M().m_iMag = 0;
    EXPECT_EQ(text(), "The magnification must be between 1 and 200000");
    M().m_iMag = 200000;
    M().m_iResol = 0;
    EXPECT_EQ(text(), "The resolution must be greater than 0");
    M().m_bLinescan = 1;
    EXPECT_EQ(text(), "");
    Mode(CAcquireAES::Profile, CAcquireAES_Scn::Point);
    EXPECT_EQ(text(), "At least one point must be specfied");
}

TEST_F(AesScnPage, PointsOnTheSetupImage)
{
    Mode(CAcquireAES::Profile, CAcquireAES_Scn::Point);
    CImageView* v = OpenSEImage(256);
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(CImageView::GetAcqSelect(), v);
    CImageWnd* pane = v->GetImageWnd(0);
    ASSERT_NE(pane, nullptr);
    ASSERT_EQ(pane->ImageWidth(), 256);

    const QPoint a = At(pane, -200, 100), b = At(pane, 300, -300);
    QTest::mouseClick(pane, Qt::LeftButton, {}, a);
    QTest::mouseClick(pane, Qt::LeftButton, {}, b);
    ASSERT_EQ(M().m_Points.size(), 2u);
    EXPECT_EQ(M().m_Points[0], (Pt{-200, 100}));
    EXPECT_EQ(M().m_Points[1], (Pt{300, -300}));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("75")); // the table refilled, in table units
    // A point typed but not finished is not drawn.
    M().m_Points.push_back({0, kMissing});

    QImage img = pane->grab().toImage();
    const int hs = (76 * pane->logicalDpiX() + 1270) / 2540;
    EXPECT_TRUE(Red(img, a + QPoint(hs, 0)));
    EXPECT_TRUE(Red(img, b - QPoint(0, hs)));
    EXPECT_FALSE(Red(img, At(pane, 0, 0) + QPoint(hs, 0)));

    // A press on a point removes it; outside the image, nothing.
    QTest::mouseClick(pane, Qt::LeftButton, {}, a + QPoint(2, -2));
    EXPECT_EQ(M().m_Points, (std::vector<Pt>{{300, -300}, {0, kMissing}}));
    EXPECT_EQ(Cell(0, 0), QStringLiteral("75"));
    const RECT r = pane->ImageRect();
    if (r.right + 5 < pane->width()) {
        QTest::mouseClick(pane, Qt::LeftButton, {}, QPoint(r.right + 3, r.top + 3));
        EXPECT_EQ(M().m_Points.size(), 2u);
    }
    img = pane->grab().toImage();
    EXPECT_FALSE(Red(img, a + QPoint(hs, 0)));
}

TEST_F(AesScnPage, AreasAreDrawnMovedAndResizedWithTheMouse)
{
    Mode(CAcquireAES::Profile, CAcquireAES_Scn::AreaScan);
    CImageView* v = OpenSEImage(512);
    ASSERT_NE(v, nullptr);
    CImageWnd* pane = v->GetImageWnd(0);
    ASSERT_NE(pane, nullptr);

    // A rubber band adds an area, normalised: X0 < X1, Y0 > Y1.
    Drag(pane, At(pane, 200, -200), At(pane, -200, 200));
    ASSERT_EQ(M().m_Areas.size(), 1u);
    const Ar first = M().m_Areas[0];
    EXPECT_NEAR(first.x0, -200, 4);
    EXPECT_NEAR(first.y0, 200, 4);
    EXPECT_NEAR(first.x1, 200, 4);
    EXPECT_NEAR(first.y1, -200, 4);
    EXPECT_EQ(first.x0 % 2, 0); // a 512 image gives even coordinates
    EXPECT_EQ(page->Rows(), 1);
    EXPECT_EQ(Cell(0, 0).toInt(), first.x0 / 4); // table units follow the size chosen, 256
    // The band keeps its cross-hair; Escape abandons it.
    QTest::mousePress(pane, Qt::LeftButton, {}, At(pane, 300, 300));
    QTest::mouseMove(pane, At(pane, 450, 100));
    EXPECT_EQ(pane->cursor().shape(), Qt::CrossCursor);
    QTest::keyClick(pane, Qt::Key_Escape);
    QTest::mouseRelease(pane, Qt::LeftButton, {}, At(pane, 450, 100));
    EXPECT_EQ(M().m_Areas.size(), 1u);
    // Three pixels high adds nothing.
    Drag(pane, At(pane, 300, 300), At(pane, 400, 300) + QPoint(0, 3));
    EXPECT_EQ(M().m_Areas.size(), 1u);

    QImage img = pane->grab().toImage();
    EXPECT_TRUE(Red(img, Corner(pane, first.x0, 0)));
    EXPECT_TRUE(Red(img, Corner(pane, 0, first.y1)));
    EXPECT_FALSE(Red(img, At(pane, 0, 0)));

    // Dragging the inside moves it; a corner handle resizes it.
    Drag(pane, At(pane, 0, 0), At(pane, 0, 0) + QPoint(20, 0));
    ASSERT_EQ(M().m_Areas.size(), 1u);
    const Ar moved = M().m_Areas[0];
    EXPECT_GT(moved.x0, first.x0);
    EXPECT_EQ(moved.x1 - moved.x0, first.x1 - first.x0);
    EXPECT_EQ(moved.y0, first.y0);
    const QPoint corner = At(pane, moved.x1, moved.y1) - QPoint(1, 1);
    Drag(pane, corner, corner + QPoint(10, 10));
    EXPECT_EQ(M().m_Areas[0].x0, moved.x0);
    EXPECT_GT(M().m_Areas[0].x1, moved.x1);
    EXPECT_LT(M().m_Areas[0].y1, moved.y1);
    img = pane->grab().toImage();
    EXPECT_TRUE(Red(img, Corner(pane, M().m_Areas[0].x1, 0)));

    // An area with a value missing is neither drawn nor hit: the press adds a new one.
    M().m_Areas = {{-100, kMissing, 100, -100}};
    page->Refresh();
    Drag(pane, At(pane, -50, 50), At(pane, 50, -50));
    EXPECT_EQ(M().m_Areas.size(), 2u);
}

TEST_F(AesScnPage, LineScanLinesKeepTheirDirection)
{
    Mode(CAcquireAES::AugerImage, 0, 1);
    CImageView* v = OpenSEImage(256);
    ASSERT_NE(v, nullptr);
    CImageWnd* pane = v->GetImageWnd(0);
    ASSERT_NE(pane, nullptr);

    // Drawn from right to left and bottom to top: kept as drawn.
    Drag(pane, At(pane, 300, -300), At(pane, -300, 100));
    ASSERT_EQ(M().m_Areas.size(), 1u);
    const Ar line = M().m_Areas[0];
    EXPECT_NEAR(line.x0, 300, 8);
    EXPECT_NEAR(line.y0, -300, 8);
    EXPECT_NEAR(line.x1, -300, 8);
    EXPECT_NEAR(line.y1, 100, 8);
    QImage img = pane->grab().toImage();
    EXPECT_TRUE(Red(img, (At(pane, line.x0, line.y0) + At(pane, line.x1, line.y1)) / 2));

    // A horizontal line typed in is drawn and hit on its body.
    M().m_Areas.push_back({-400, 400, 400, 400});
    page->Refresh();
    img = pane->grab().toImage();
    EXPECT_TRUE(Red(img, Corner(pane, 0, 400)));
    // Hits on a diagonal: the body within 4 pixels, the ends that are the line's own.
    struct Hit
    {
        RECT line;
        POINT p;
        int part;
    };
    const Hit hits[] = {
        {{0, 0, 100, 100}, {52, 49}, 8},
        {{0, 0, 100, 100}, {55, 45}, -1},
        {{100, 100, 0, 0}, {2, 2}, 0},
        {{0, 0, 100, 100}, {98, 2}, -1},
        {{100, 0, 0, 100}, {98, 2}, 1},
        {{100, 0, 0, 100}, {2, 98}, 3},
        {{0, 0, 100, 100}, {200, 200}, -1},
        {{0, 0, 100, 100}, {98, 98}, 2},
        // Far beyond any window: no overflow in the products.
        {{-2000000000, -2000000000, 2000000000, 2000000000}, {3, 1}, 8},
        {{-2000000000, -2000000000, 2000000000, 2000000000}, {1000000, -1000000}, -1},
    };
    for (const Hit& h : hits)
        EXPECT_EQ(page->HitTestLine(h.line, h.p), h.part) << h.p.x << "," << h.p.y;

    // Dragging an end keeps the other end, stored as (left, top).
    const QPoint end = At(pane, line.x1, line.y1);
    Drag(pane, end, end + QPoint(0, 20));
    const Ar dragged = M().m_Areas[0];
    EXPECT_EQ(dragged.x0, line.x0);
    EXPECT_EQ(dragged.y0, line.y0);
    EXPECT_EQ(dragged.x1, line.x1);
    EXPECT_LT(dragged.y1, line.y1);

    // The body moves the whole line.
    const QPoint mid = (At(pane, dragged.x0, dragged.y0) + At(pane, dragged.x1, dragged.y1)) / 2;
    Drag(pane, mid, mid + QPoint(8, 0));
    EXPECT_GT(M().m_Areas[0].x0, dragged.x0);
    EXPECT_GT(M().m_Areas[0].x1, dragged.x1);
    EXPECT_EQ(M().m_Areas[0].y0, dragged.y0);
}

TEST_F(AesScnPage, Screenshots)
{
    const QString dir = qEnvironmentVariable("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    Mode(CAcquireAES::Profile, CAcquireAES_Scn::Point);
    CImageView* v = OpenSEImage(256);
    ASSERT_NE(v, nullptr);
    CImageWnd* pane = v->GetImageWnd(0);
    ASSERT_NE(pane, nullptr);
    for (auto [x, y] : {std::pair{-300, 300}, {0, 0}, {250, -120}, {400, 400}})
        QTest::mouseClick(pane, Qt::LeftButton, {}, At(pane, x, y));
    Pump(20);
    v->grab().save(dir + QStringLiteral("/aes-scn-image-points.png"));
    page->grab().save(dir + QStringLiteral("/aes-scn-page-points.png"));

    Mode(CAcquireAES::Profile, CAcquireAES_Scn::AreaScan);
    Drag(pane, At(pane, -400, 400), At(pane, -100, 150));
    Drag(pane, At(pane, 50, 0), At(pane, 350, -350));
    Pump(20);
    v->grab().save(dir + QStringLiteral("/aes-scn-image-areas.png"));
    page->grab().save(dir + QStringLiteral("/aes-scn-page-areas.png"));

    Mode(CAcquireAES::AugerImage, 0, 1);
    M().m_Areas.clear();
    Drag(pane, At(pane, 400, -400), At(pane, -300, 200));
    M().m_Areas.push_back({-450, -250, 450, -250});
    page->Refresh();
    v->update();
    pane->update();
    Pump(20);
    v->grab().save(dir + QStringLiteral("/aes-scn-image-lines.png"));
    page->grab().save(dir + QStringLiteral("/aes-scn-page-lines.png"));
}

} // namespace
