// The image view on the real application object: panes for maps and line
// scans, the active pane and the commands it enables, acquired image lines
// and intensities, the selection image's hooks for the AES scan page, and
// the bitmap files of Save As.

#include "AppFixture.h"

#include "app/DocCommands.h"
#include "app/FileFormats.h"
#include "app/ImageView.h"
#include "app/image/ImageWnd.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/ImageRgn.h"
#include "data/StagePosn.h"
#include "data/Update.h"
#include "data/Utility.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/AppMessage.h"
#include "framework/ui/MDIChildWnd.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cstring>

namespace {

struct SRgn
{
    int kind; // 0 raw planes, 1 line scan, 2 corrected image, 3 secondary electrons
    int nx, ny, nz;
    double lineOffset = 0.0;
};

class CFakeScanPage : public IImageSelectPage
{
public:
    bool UsesPointsOrAreas() const override { return uses; }
    void SetDispView(CWnd* p) override { views.push_back(p); }
    void OnLButtonDownInImage(IImagePane* w, POINT p) override { clicks.push_back({w, CPoint(p.x, p.y)}); }
    void DrawOnImage(QPainter* dc, IImagePane*) override
    {
        origins.push_back(dc->transform().map(QPoint(0, 0)));
    }
    bool SetCursor(IImagePane*, POINT) override
    {
        ++cursors;
        return true;
    }

    bool uses = true;
    std::vector<CWnd*> views;
    std::vector<std::pair<IImagePane*, CPoint>> clicks;
    std::vector<QPoint> origins;
    int cursors = 0;
};

class ImageViewTest : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        Start();
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        ImageSelectPage() = nullptr;
    }

    // One line (the second, four pixels) of plane 'kind', every pixel at value.
    void SendLine(int kind, int value)
    {
        int line[4];
        std::fill_n(line, 4, value);
        SAcqUpdate u(m_pDoc, reinterpret_cast<unsigned char*>(line), 0, 0, 0, 0, 1, 4, 2, kind,
                     WMAPP_ACQ_IMAGEDATA);
        m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&u), nullptr);
    }

    CImageView* Open(int expType, const std::vector<SRgn>& rgns)
    {
        CDataFileBuilder b;
        b.Header().Experiment(expType, 1).Source(1, 3000.0).IonGun();
        CDataFileBuilder::SPosnHead head;
        const size_t at = b.BeginPosn(head, 0);
        b.Count(int32_t(rgns.size()));
        for (const SRgn& r : rgns)
            b.ImageRgn(r.kind, r.nx, r.ny, r.nz, r.lineOffset);
        b.EndPosn(at);
        b.End();
        static int n = 0;
        auto* view = OpenView<CImageView>(QStringLiteral("image%1.vlt").arg(++n), b.m_bytes, 600, 700);
        m_pDoc = view ? view->GetDocument() : nullptr;
        return view;
    }

    static bool Enabled(CImageView* v, unsigned id, int* check = nullptr)
    {
        CCmdUI ui(id);
        v->OnCmdMsg(id, &ui);
        if (check)
            *check = ui.m_nCheck;
        return ui.m_bEnabled;
    }

    CVeltraneDoc* m_pDoc = nullptr;
};

TEST_F(ImageViewTest, MapAndLineScanStackWithCommandsForTheActiveKind)
{
    CImageView* v = Open(0x201, {{0, 4, 3, 3}, {1, 5, 1, 1}});
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->GetNumWnds(), 2);
    CImageWnd* map = v->GetImageWnd(0);
    CSpecWnd* line = v->GetSpecWnd(1);
    ASSERT_NE(map, nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(v->GetImageWnd(1), nullptr);
    EXPECT_EQ(v->GetDispWnd(2), nullptr);
    EXPECT_EQ(map->geometry().top(), 0);
    EXPECT_EQ(line->geometry().top(), map->geometry().bottom() + 1);
    EXPECT_EQ(map->width(), line->width());
    EXPECT_TRUE(map->isVisible());
    EXPECT_EQ(map->GetSize(), CSize(4, 3));
    EXPECT_EQ(line->GetNumPoints(0, 0), 5);
    EXPECT_EQ(*line->GetYData(4, 0, 0), 2.0);

    const unsigned zooms[] = {ID_VIEW_ZOOMIN, ID_VIEW_ZOOMOUT, ID_VIEW_DEFAULTZOOM};
    const unsigned scales[] = {ID_VIEW_HORZ_EXPAND, ID_VIEW_HORZ_CONTRACT, ID_VIEW_VERT_EXPAND,
                               ID_VIEW_VERT_CONTRACT, ID_VIEW_FULLSCALE};
    for (unsigned id : zooms)
        EXPECT_FALSE(Enabled(v, id)) << "no active pane " << id;

    // (A press on a plot starts its own drag loop: the click goes to the view directly.)
    v->OnPaneClick(1, CPoint(30, 30), false);
    EXPECT_EQ(v->GetActiveDispWnd(), 1);
    for (unsigned id : zooms)
        EXPECT_FALSE(Enabled(v, id)) << id;
    for (unsigned id : scales)
        EXPECT_TRUE(Enabled(v, id)) << id;

    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(v->GetActiveDispWnd(), 0);
    EXPECT_TRUE(map->IsActive());
    EXPECT_FALSE(line->IsActive());
    for (unsigned id : scales)
        EXPECT_FALSE(Enabled(v, id)) << id;
    EXPECT_FALSE(Enabled(v, ID_VIEW_ZOOMIN)); // 4 x 3: no half of 2 x 2 points
    EXPECT_FALSE(Enabled(v, ID_VIEW_ZOOMOUT));
    EXPECT_FALSE(Enabled(v, ID_VIEW_DEFAULTZOOM));

    // Ctrl+Shift on the active pane leaves none active.
    QTest::mouseClick(map, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, QPoint(30, 30));
    EXPECT_EQ(v->GetActiveDispWnd(), -1);
    EXPECT_FALSE(map->IsActive());
    EXPECT_FALSE(Enabled(v, ID_ACQUIRE_SELECT)); // not a secondary-electron image

    // A repeated initial update replaces the panes.
    v->OnUpdate(nullptr, 0, nullptr);
    EXPECT_EQ(v->GetNumWnds(), 2);
    EXPECT_EQ(v->findChildren<CDispWnd*>().size(), 2);
}

TEST_F(ImageViewTest, ZoomCommandsStepTheActiveMap)
{
    CImageView* v = Open(0x201, {{2, 16, 16, 1}});
    ASSERT_NE(v, nullptr);
    CImageWnd* map = v->GetImageWnd(0);
    v->SetActiveDispWnd(0);
    EXPECT_TRUE(Enabled(v, ID_VIEW_ZOOMIN));
    EXPECT_FALSE(Enabled(v, ID_VIEW_ZOOMOUT));
    v->OnCmdMsg(ID_VIEW_ZOOMIN, nullptr);
    v->OnCmdMsg(ID_VIEW_ZOOMIN, nullptr);
    EXPECT_EQ(map->GetDisp().GetZoom(), 2);
    EXPECT_TRUE(Enabled(v, ID_VIEW_DEFAULTZOOM));
    v->OnCmdMsg(ID_VIEW_DEFAULTZOOM, nullptr);
    EXPECT_EQ(map->GetDisp().GetZoom(), 0);
    // Each pane is grey-scaled by its own range: the corrected image runs 0..255.
    EXPECT_EQ(map->GetDisp().GetMin(), 0);
    EXPECT_EQ(map->GetDisp().GetMax(), 255);
}

TEST_F(ImageViewTest, FullScaleGivesEachLineScanItsOwnScale)
{
    // Line scans of 5 and 41 points run 0..2 and 0..20: Full Scale after a
    // zoom gives each back the scale it opened with, not the other's.
    CImageView* v = Open(0x201, {{1, 5, 1, 1}, {1, 41, 1, 1}});
    ASSERT_NE(v, nullptr);
    for (int i : {0, 1}) {
        SCOPED_TRACE(i);
        CSpecTrace* t = v->GetSpecWnd(i)->GetSpecTrace(0, 0);
        ASSERT_NE(t, nullptr);
        const double yMax = t->GetYmax(), xMax = t->GetXmax();
        EXPECT_DOUBLE_EQ(yMax, i == 0 ? 2.0 : 20.0);
        v->SetActiveDispWnd(i);
        v->OnCmdMsg(ID_VIEW_VERT_EXPAND, nullptr);
        v->OnCmdMsg(ID_VIEW_HORZ_EXPAND, nullptr);
        EXPECT_LT(t->GetYmax(), yMax);
        v->OnCmdMsg(ID_VIEW_FULLSCALE, nullptr);
        EXPECT_DOUBLE_EQ(t->GetYmax(), yMax);
        EXPECT_DOUBLE_EQ(t->GetXmax(), xMax);
    }
}

TEST_F(ImageViewTest, LineScanScaleReachesDownToItsNegativeValues)
{
    // Line scans of 0..2, -1..1 and -10..-8: each scale holds all its values,
    // from 0 where none is below it, at opening and after Full Scale.
    CImageView* v = Open(0x201, {{1, 5, 1, 1, 0.0}, {1, 5, 1, 1, -1.0}, {1, 5, 1, 1, -10.0}});
    ASSERT_NE(v, nullptr);
    const struct
    {
        double lo, hi;
    } want[] = {{0.0, 2.0}, {-1.0, 1.0}, {-10.0, -8.0}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        CSpecTrace* t = v->GetSpecWnd(i)->GetSpecTrace(0, 0);
        ASSERT_NE(t, nullptr);
        for (bool full : {false, true}) {
            if (full) {
                v->SetActiveDispWnd(i);
                v->OnCmdMsg(ID_VIEW_VERT_EXPAND, nullptr);
                v->OnCmdMsg(ID_VIEW_FULLSCALE, nullptr);
            }
            EXPECT_LE(t->GetYmin(), want[i].lo) << full;
            EXPECT_GE(t->GetYmax(), want[i].hi) << full;
            EXPECT_LT(t->GetYmin(), t->GetYmax()) << full;
        }
    }
}

TEST_F(ImageViewTest, FullScaleDuringARunHoldsThePointsMeasuredSinceOpening)
{
    // A raw line scan of 0..4 gains a point of 1000: Full Scale takes the
    // curve as it is now, not the range the plot opened with.
    CImageView* v = Open(0x201, {{0, 5, 1, 1}});
    ASSERT_NE(v, nullptr);
    CSpecTrace* t = v->GetSpecWnd(0)->GetSpecTrace(0, 0);
    ASSERT_NE(t, nullptr);
    EXPECT_LT(t->GetYmax(), 1000.0);
    int block[3] = {998, -1, -1};
    SAcqUpdate u(m_pDoc, reinterpret_cast<unsigned char*>(block), 0, 0, 2, 0, 1, 1, 0, 0, WMAPP_ACQ_INTENSITYDATA);
    m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&u), nullptr);
    ASSERT_DOUBLE_EQ(*v->GetSpecWnd(0)->GetYData(2, 0, 0), 1000.0);
    v->SetActiveDispWnd(0);
    v->OnCmdMsg(ID_VIEW_FULLSCALE, nullptr);
    EXPECT_GE(t->GetYmax(), 1000.0);
    EXPECT_LE(t->GetYmin(), 0.0);
}

TEST_F(ImageViewTest, PrintedPageHoldsEachPaneWhereTheViewHasIt)
{
    // A map whose grey ramp starts black, above a line scan with its axes.
    CImageView* v = Open(0x201, {{2, 16, 16, 1}, {1, 41, 1, 1}});
    ASSERT_NE(v, nullptr);
    QImage page(800, 1000, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        v->OnPrint(&p, page.rect());
    }
    const double k = std::min(800.0 / v->width(), 1000.0 / v->height());
    for (int i : {0, 1}) {
        SCOPED_TRACE(i);
        const QRect g = v->GetDispWnd(i)->geometry();
        const QRect r(int(g.x() * k), int(g.y() * k), int(g.width() * k), int(g.height() * k));
        int darkest = 255;
        for (int y = r.top() + 2; y < r.bottom() - 2; ++y)
            for (int x = r.left() + 2; x < r.right() - 2; ++x)
                darkest = std::min(darkest, qGray(page.pixel(x, y)));
        EXPECT_LT(darkest, 64) << "the pane's image or plot is on the page";
    }
    // Nothing beyond the panes, scaled as the view shows them.
    const QRect last = v->GetDispWnd(1)->geometry();
    EXPECT_EQ(qGray(page.pixel(799, int(last.bottom() * k) + 4)), 255);
}

TEST_F(ImageViewTest, ImageLinesUpdateOnceAfterTheirLastPlane)
{
    CImageView* v = Open(0x201, {{0, 4, 3, 3}});
    ASSERT_NE(v, nullptr);
    CImageWnd* map = v->GetImageWnd(0);
    const std::vector<int> before(map->GetIntData(), map->GetIntData() + 12);

    SendLine(0, 100);
    SendLine(1, 10);
    EXPECT_EQ(std::vector<int>(map->GetIntData(), map->GetIntData() + 12), before);
    SendLine(2, 30); // the last plane: peak minus the mean background
    const std::vector<int> after(map->GetIntData(), map->GetIntData() + 12);
    EXPECT_EQ(std::vector<int>(after.begin() + 4, after.begin() + 8), (std::vector<int>{80, 80, 80, 80}));
    EXPECT_EQ(std::vector<int>(after.begin(), after.begin() + 4),
              std::vector<int>(before.begin(), before.begin() + 4));
    EXPECT_EQ(std::vector<int>(after.begin() + 8, after.end()),
              std::vector<int>(before.begin() + 8, before.end()));

    // Blocks outside the image change nothing.
    int line[4] = {30, 30, 30, 30};
    SAcqUpdate off(m_pDoc, reinterpret_cast<unsigned char*>(line), 0, 0, 0, 0, 1, 4, 4, 2,
                   WMAPP_ACQ_IMAGEDATA);
    v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&off), nullptr);
    SAcqUpdate wide(m_pDoc, reinterpret_cast<unsigned char*>(line), 0, 0, 0, 0, 2, 5, 1, 2,
                    WMAPP_ACQ_IMAGEDATA);
    v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&wide), nullptr);
    EXPECT_EQ(std::vector<int>(map->GetIntData(), map->GetIntData() + 12), after);
}

// A map with the second background alone gets that plane named "B2" (kind 2)
// from the unit: its lines are shown after it, as with any last plane.
TEST_F(ImageViewTest, MapWithTheSecondBackgroundAloneUpdatesAfterIt)
{
    CImageView* v = Open(0x201, {{0, 4, 3, 2}});
    ASSERT_NE(v, nullptr);
    CImageRgn* r = m_pDoc->GetStagePosn(0)->GetImageRgn(0);
    r->m_dBk1 = CUtility::Infinity;
    r->m_dBk2 = 120;
    CImageWnd* map = v->GetImageWnd(0);
    const std::vector<int> before(map->GetIntData(), map->GetIntData() + 12);
    SendLine(0, 100);
    EXPECT_EQ(std::vector<int>(map->GetIntData(), map->GetIntData() + 12), before);
    SendLine(2, 30);
    const std::vector<int> after(map->GetIntData(), map->GetIntData() + 12);
    EXPECT_NE(std::vector<int>(after.begin() + 4, after.begin() + 8),
              std::vector<int>(before.begin() + 4, before.begin() + 8));
}

TEST_F(ImageViewTest, MapIntensityIsTheRegionSumOverScans)
{
    CImageView* v = Open(0x201, {{0, 4, 3, 1}}); // raw pixel i holds i
    ASSERT_NE(v, nullptr);
    CImageWnd* map = v->GetImageWnd(0);
    ASSERT_EQ(map->GetIntData()[5], 5);
    // As the engine sends it: peak, first and second background, -1 when not measured.
    int block[3] = {100, -1, -1};
    SAcqUpdate u(m_pDoc, reinterpret_cast<unsigned char*>(block), 0, 0, 5, 1, 1, 1, 0, 0,
                 WMAPP_ACQ_INTENSITYDATA);
    m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&u), nullptr);
    EXPECT_EQ(map->GetIntData()[5], (5 + 100) / 2); // the sum of two scans, averaged
    EXPECT_EQ(map->GetIntData()[6], 6);
}

TEST_F(ImageViewTest, LineScanIntensitiesAreRunningMeansOverScans)
{
    CImageView* v = Open(0x201, {{1, 5, 1, 1}});
    ASSERT_NE(v, nullptr);
    CSpecWnd* plot = v->GetSpecWnd(0);
    const int values[] = {10, 30, 50};
    for (int s = 0; s < 3; ++s) {
        int block[1] = {values[s]};
        SAcqUpdate u(m_pDoc, reinterpret_cast<unsigned char*>(block), 0, 0, 3, s, 1, 1, 0, 0,
                     WMAPP_ACQ_INTENSITYDATA);
        v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&u), nullptr);
    }
    EXPECT_DOUBLE_EQ(*plot->GetYData(3, 0, 0), 30.0);
    EXPECT_DOUBLE_EQ(*plot->GetYData(2, 0, 0), 1.0); // other points untouched
}

// A second window opened on a line scan part-way through its run starts from
// the document's sums over the scans so far; every window shows the same mean
// once the next scan's intensity has come.
TEST_F(ImageViewTest, ALineScanWindowOpenedDuringTheRunShowsTheSameMeans)
{
    CImageView* first = Open(0x201, {{0, 5, 1, 1}}); // raw planes, pixel 0 empty
    ASSERT_NE(first, nullptr);
    auto scan = [this](int s, int value) {
        int block[3] = {value, -1, -1};
        SAcqUpdate u(m_pDoc, reinterpret_cast<unsigned char*>(block), 0, 0, 0, s, 1, 1, 0, 0,
                     WMAPP_ACQ_INTENSITYDATA);
        m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&u), nullptr);
    };
    scan(0, 10);
    scan(1, 30);
    Execute(ID_WINDOW_NEW);
    Pump(20);
    ASSERT_EQ(m_pDoc->GetViews().size(), 2u);
    auto* second = dynamic_cast<CImageView*>(m_pDoc->GetViews().back());
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, first);
    scan(2, 50);
    for (CImageView* v : {first, second})
        EXPECT_DOUBLE_EQ(*v->GetSpecWnd(0)->GetYData(0, 0, 0), 30.0) << (v == first ? "first" : "second");
}

// A line scan measured with the second background alone: the engine's block
// leaves the first background's place at -1, which is no background.
TEST_F(ImageViewTest, ALineScanWithTheSecondBackgroundAloneShowsThePeakAboveIt)
{
    CImageView* v = Open(0x201, {{0, 5, 1, 1}});
    ASSERT_NE(v, nullptr);
    CImageRgn* r = m_pDoc->GetStagePosn(0)->GetImageRgn(0);
    CRegion measured(*r);
    measured.m_dBk1 = CUtility::Infinity;
    measured.m_dBk2 = 120;
    r->Create(&measured, 5, 1); // as a run's document makes it
    int block[3] = {100, -1, 30};
    SAcqUpdate u(m_pDoc, reinterpret_cast<unsigned char*>(block), 0, 0, 0, 0, 1, 2, 0, 0,
                 WMAPP_ACQ_INTENSITYDATA);
    m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&u), nullptr);
    EXPECT_DOUBLE_EQ(*v->GetSpecWnd(0)->GetYData(0, 0, 0), 70.0);
}

TEST_F(ImageViewTest, SelectionImageHandsItsPaneToTheScanPage)
{
    CFakeScanPage page;
    CImageView* v = Open(0x202, {{3, 8, 6, 1}});
    ASSERT_NE(v, nullptr);
    int check = -1;
    EXPECT_FALSE(Enabled(v, ID_ACQUIRE_SELECT, &check)); // no scan page yet
    ImageSelectPage() = &page;
    page.uses = false;
    EXPECT_FALSE(Enabled(v, ID_ACQUIRE_SELECT));
    page.uses = true;
    EXPECT_TRUE(Enabled(v, ID_ACQUIRE_SELECT, &check));
    EXPECT_EQ(check, 0);

    v->OnCmdMsg(ID_ACQUIRE_SELECT, nullptr);
    EXPECT_EQ(CImageView::GetAcqSelect(), v);
    EXPECT_EQ(page.views, std::vector<CWnd*>{v});
    EXPECT_TRUE(Enabled(v, ID_ACQUIRE_SELECT, &check));
    EXPECT_EQ(check, 1);

    CImageWnd* pane = v->GetImageWnd(0);
    QTest::mouseClick(pane, Qt::LeftButton, {}, QPoint(40, 50));
    ASSERT_EQ(page.clicks.size(), 1u);
    EXPECT_EQ(page.clicks[0].first, static_cast<IImagePane*>(pane));
    EXPECT_EQ(page.clicks[0].second, CPoint(40, 50));

    QTest::mouseMove(pane, QPoint(41, 52));
    EXPECT_GE(page.cursors, 1);

    // Paints of the image pane reach the page in image points; a plot's do not.
    pane->grab();
    ASSERT_FALSE(page.origins.empty());
    EXPECT_EQ(page.origins.back(), QPoint(pane->GetImageRect()->left, pane->GetImageRect()->top));
    const size_t draws = page.origins.size();
    CSpecWnd plot(1);
    QImage scratch(10, 10, QImage::Format_RGB32);
    QPainter dc(&scratch);
    EXPECT_EQ(SendAppMessage(v, WMAPP_PAINTOVER, reinterpret_cast<uintptr_t>(&plot),
                             reinterpret_cast<intptr_t>(&dc)),
              1);
    EXPECT_EQ(page.origins.size(), draws);

    v->OnCmdMsg(ID_ACQUIRE_SELECT, nullptr);
    EXPECT_EQ(CImageView::GetAcqSelect(), nullptr);
    EXPECT_EQ(page.views.back(), nullptr);
    QTest::mouseClick(pane, Qt::LeftButton, {}, QPoint(40, 50));
    EXPECT_EQ(page.clicks.size(), 1u);

    // Closing the selection view ends the selection.
    v->OnCmdMsg(ID_ACQUIRE_SELECT, nullptr);
    EXPECT_EQ(page.views.back(), v);
    app->CloseAllDocuments(true);
    Pump(20);
    EXPECT_EQ(CImageView::GetAcqSelect(), nullptr);
    EXPECT_EQ(page.views.back(), nullptr);
}

TEST_F(ImageViewTest, SaveAsBitmapWritesOneFilePerImagePane)
{
    CRecordingSink sink;
    CImageView* v = Open(0x201, {{2, 5, 3, 1}, {1, 5, 1, 1}, {2, 4, 2, 1}});
    ASSERT_NE(v, nullptr);
    QTemporaryDir dir;
    const std::string base = dir.filePath("map").toStdString();
    EXPECT_TRUE(CImageView::SaveAsBitmap(*m_pDoc, base));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"map_1.bmp", "map_3.bmp"}));
    QImage first(dir.filePath("map_1.bmp"));
    ASSERT_EQ(first.size(), QSize(5, 3));
    EXPECT_EQ(qGray(first.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(first.pixel(4, 2)), 255);
    EXPECT_EQ(QImage(dir.filePath("map_3.bmp")).size(), QSize(4, 2));
    EXPECT_TRUE(sink.Texts().empty());

    // An existing file: Cancel ends the whole operation.
    QFile::remove(dir.filePath("map_3.bmp"));
    sink.Answer(IDCANCEL);
    EXPECT_FALSE(CImageView::SaveAsBitmap(*m_pDoc, base));
    EXPECT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"map_1.bmp"});

    // No: the file dialog names another file for this pane.
    CScriptedFileDialog dialogs;
    dialogs.Answer(dir.filePath("other.bmp"));
    sink.Answer(IDNO);
    EXPECT_TRUE(CImageView::SaveAsBitmap(*m_pDoc, base));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"map_1.bmp", "map_3.bmp", "other.bmp"}));
    EXPECT_EQ(QImage(dir.filePath("other.bmp")).size(), QSize(5, 3));
    QFile::remove(dir.filePath("other.bmp"));
    QFile::remove(dir.filePath("map_3.bmp"));

    // A failed write is reported and leaves no file.
    sink.Clear();
    EXPECT_FALSE(CImageView::SaveAsBitmap(*m_pDoc, dir.filePath("gone/map.bmp").toStdString()));
    EXPECT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"map_1.bmp"});
}

TEST_F(ImageViewTest, SaveAsBitmapOfLineScansAloneSaysNothingWasWritten)
{
    CRecordingSink sink;
    ASSERT_NE(Open(0x201, {{1, 5, 1, 1}, {1, 7, 1, 1}}), nullptr);
    QTemporaryDir dir;
    EXPECT_FALSE(CImageView::SaveAsBitmap(*m_pDoc, dir.filePath("scan").toStdString()));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{LoadString(61707)});
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ImageViewTest, SaveAsWithTheBitmapFilterWritesThePanes)
{
    CScriptedFileDialog dialogs;
    CRecordingSink sink;
    InstallFileFormats();
    ASSERT_NE(Open(0x201, {{2, 5, 3, 1}}), nullptr);
    QTemporaryDir dir;
    dialogs.Answer(dir.filePath("saved"), 1);
    EXPECT_TRUE(Execute(ID_FILE_SAVE_AS));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"saved.bmp"});
    EXPECT_EQ(QImage(dir.filePath("saved.bmp")).size(), QSize(5, 3));
    EXPECT_TRUE(sink.Texts().empty());
    CVeltraneDocCommands::s_saveAsBitmap = nullptr;
    CVeltraneDocCommands::s_saveAsVamas = nullptr;
}

} // namespace
