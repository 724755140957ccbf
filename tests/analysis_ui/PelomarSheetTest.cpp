// The curve-fitting sheet, reached directly (the view keeps its command
// greyed): limits and cursors at opening, peaks added by clicks in the plot,
// the drawing over the plot, the component table, the remembered place and
// the settings record.

#include "ToolFixture.h"

#include "analysis/core/Process.h"
#include "analysis/ui/PelomarSheet.h"
#include "analysis/ui/ProcDlg.h"
#include "app/SpecView.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Registry.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "res/resource.h"

#include <QCheckBox>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cmath>

namespace {

class PelomarSheetTest : public ToolFixture
{
protected:
    void CloseTool() override
    {
        if (CPelomar_Sheet* s = CPelomar_Sheet::GetInstance())
            s->OnCloseBtn();
    }

    // One position, two regions of 3 levels, n points each: a flat 100 with a
    // Gaussian peak of 1000 at point n / 2, 4 points of half width.
    CSpecView* Open(int n)
    {
        CDataFileBuilder b;
        b.Header().Experiment(0x102, 2).Source(18, 1486.6).IonGun();
        CDataFileBuilder::SPosnHead head;
        head.levels = {0, 30, 60};
        const size_t at = b.BeginPosn(head, 2);
        b.SpecRgn(n, 3);
        b.SpecRgn(n, 3);
        b.Count(0);
        b.EndPosn(at);
        b.End();
        static int k = 0;
        const QString path = WriteBytes(QStringLiteral("fit%1.vlt").arg(++k), b.m_bytes);
        m_pDoc = dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(path.toStdString().c_str()));
        if (!m_pDoc)
            return nullptr;
        for (int r = 0; r < 2; ++r)
            for (int l = 0; l < 3; ++l) {
                double* y = m_pDoc->GetStagePosn(0)->GetSpecRgn(r)->GetTrace(l)->GetData();
                for (int i = 0; i < n; ++i)
                    y[i] = 100 + 1000 * std::exp(-std::log(2.0) * std::pow((i - n / 2) / 4.0, 2));
            }
        auto* view = dynamic_cast<CSpecView*>(m_pDoc->GetViews().front());
        if (view && view->GetParentFrame())
            view->GetParentFrame()->resize(900, 600);
        Pump(20);
        if (view)
            view->OnUpdate(nullptr, 0, nullptr);
        Pump(20);
        return view;
    }
    CPelomar_Sheet* OpenSheet(CSpecView* v)
    {
        auto* s = new CPelomar_Sheet(IDS_PELOMAR_CAPTION, v, 0);
        if (!s->Create(v)) {
            delete s;
            return nullptr;
        }
        Pump(10);
        return s;
    }

    CVeltraneDoc* m_pDoc = nullptr;
};

} // namespace

TEST_F(PelomarSheetTest, OpensWithLimitsCursorsAndOneCurveShown)
{
    CSpecView* v = Open(512);
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(v->IsMultiRegionDisplay());
    CPelomar_Sheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(PelomarSheetTool(), static_cast<IViewTool*>(s));
    EXPECT_EQ(s->GetMethodPage()->m_dStart, 51);
    EXPECT_EQ(s->GetMethodPage()->m_dFinish, 460);
    EXPECT_FALSE(v->IsMultiTraceDisplay());
    EXPECT_FALSE(v->IsMultiRegionDisplay());
    CSpecTrace* t = v->GetSpecTrace();
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(s->GetStartCursor()->IsShown());
    EXPECT_EQ(int(s->GetStartCursor()->GetPos()), t->IndexTox(51));
    EXPECT_EQ(int(s->GetFinishCursor()->GetPos()), t->IndexTox(460));
    // No peaks yet: the sum is the background and the residue the curve less it.
    const double* y = t->GetYDataConst();
    for (int i = 0; i < 512; i += 37)
        EXPECT_DOUBLE_EQ(s->Residual()[size_t(i)], y[i] - s->Background()[size_t(i)]);
    // The buttons beside the tabs: only Close can be pressed.
    for (const char* id : {"id_4719", "id_4718", "id_4717"})
        EXPECT_FALSE(s->findChild<QPushButton*>(id)->isEnabled()) << id;
    ASSERT_TRUE(s->findChild<QPushButton*>("id_4716")->isEnabled());
    // The Constraints page is built but never shown.
    EXPECT_EQ(s->findChild<QTabWidget*>()->count(), 2);

    const QRect moved = s->geometry().translated(-40, -30);
    s->setGeometry(moved);
    QPointer<CPelomar_Sheet> gone = s;
    s->findChild<QPushButton*>("id_4716")->click();
    Pump(0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(gone);
    EXPECT_EQ(PelomarSheetTool(), nullptr);
    EXPECT_TRUE(v->IsMultiTraceDisplay());
    EXPECT_TRUE(v->IsMultiRegionDisplay());
    CPelomar_Sheet* again = OpenSheet(v);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->geometry().topLeft(), moved.topLeft());
}

TEST_F(PelomarSheetTest, ClicksAddPeaksOnlyWhileMarkersShow)
{
    CSpecView* v = Open(200);
    ASSERT_NE(v, nullptr);
    CPelomar_Sheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    CSpecWnd* w = v->GetSpecWnd();
    CSpecTrace* t = v->GetSpecTrace();
    ASSERT_TRUE(w && t);
    const int x = t->IndexTox(100);
    const CRect* rc = t->GetRect();
    const QPointF at(x, (rc->top + rc->bottom) / 2);
    // A plain press starts the plot's rubber band, which runs until the
    // release: queue the release first.
    auto click = [&] {
        QApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, w->mapToGlobal(at),
                                                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        Pump(10);
    };

    CRegistry::m_CPelomar.m_bShowMarkers = false;
    click();
    EXPECT_TRUE(s->Components().empty());

    CRegistry::m_CPelomar.m_bShowMarkers = true;
    click();
    ASSERT_EQ(s->Components().size(), 1u);
    const CPelomar_Component& c = *s->Components()[0];
    EXPECT_EQ(c.m_dPosn, 100);
    EXPECT_NEAR(c.m_dValue, 1100, 1e-9);
    EXPECT_NEAR(c.m_dHeight, 1100 - s->Background()[100], 1e-9);
    EXPECT_GT(c.m_dHalfWidth, 0);
    for (size_t i = 0; i < s->Sum().size(); ++i)
        ASSERT_NEAR(s->Sum()[i] + s->Residual()[i], t->GetYDataConst()[i], 1e-9);

    // The markers are drawn in the peaks' colour over the plot, and only inside it.
    Pump(20);
    const QImage img = w->grab().toImage();
    const QColor red(255, 0, 0);
    int hits = 0;
    for (int yy = rc->top + 2; yy < rc->bottom - 2; ++yy)
        hits += img.pixelColor(x, yy) == red;
    EXPECT_GT(hits, (rc->bottom - rc->top) / 2);
    for (int yy = 0; yy < rc->top - 1; ++yy)
        ASSERT_NE(img.pixelColor(x, yy), red) << yy;
}

TEST_F(PelomarSheetTest, DisplayBoxesSetTheRecordAndTheTableShowsItsLayout)
{
    CSpecView* v = Open(100);
    ASSERT_NE(v, nullptr);
    CPelomar_Sheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    auto* peaks = s->GetMethodPage()->findChild<QCheckBox*>("IDC_PELOMARMTH_PEAKS");
    ASSERT_NE(peaks, nullptr);
    EXPECT_TRUE(peaks->isChecked());
    peaks->click();
    EXPECT_FALSE(CRegistry::m_CPelomar.m_bShowPeaks);

    s->SetActivePage(1);
    Pump(10);
    CPelomar_ComponGrid* g = s->GetComponPage()->GetGrid();
    EXPECT_EQ(g->GetColCount(), 6);
    EXPECT_EQ(g->GetRowCount(), 8);
    const char* headings[] = {"Energy", "Intensity", "Width/2", "CTR", "TMR", "ETR"};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(g->GetTextAt(c, -1), headings[c]);
        EXPECT_EQ(g->GetTextAt(c, 0), "8888.888");
    }
    EXPECT_EQ(g->OnMenuStart(1, 1, UG_SECTION_GRID), 1);
    EXPECT_EQ(g->OnMenuStart(-1, 1, UG_SECTION_SIDEHDG), 0);
    g->OnMenuCommand(1, 1, UG_SECTION_GRID, ID_EDIT_CLEAR);
    EXPECT_EQ(g->GetTextAt(1, 0), "8888.888");
}

TEST(PelomarSettings, RecordKeepsItsPlaceInTheSettingsValue)
{
    RegistryTestPeer::Reset();
    const std::vector<uint8_t> v = CRegistry::StoreValue();
    ASSERT_EQ(v.size(), CRegistry::ValueSize);
    // Eight one-byte flags, then the background, components, residue and sum colours.
    const uint8_t flags[8] = {1, 0, 1, 1, 1, 1, 1, 1};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(v[size_t(64 + i)], flags[i]) << i;
    auto u32 = [&](size_t at) {
        return uint32_t(v[at] | v[at + 1] << 8 | v[at + 2] << 16 | uint32_t(v[at + 3]) << 24);
    };
    EXPECT_EQ(u32(72), 0u);
    EXPECT_EQ(u32(76), 0x0000FFu);
    EXPECT_EQ(u32(80), 0x3F3F3Fu);
    EXPECT_EQ(u32(84), 0xFF00FFu);
    std::vector<uint8_t> changed = v;
    changed[64 + 6] = 0; // markers off
    CRegistry::LoadValue(changed.data(), changed.size());
    EXPECT_FALSE(CRegistry::m_CPelomar.m_bShowMarkers);
    EXPECT_EQ(CRegistry::StoreValue(), changed);
    RegistryTestPeer::Reset();
}

// Pictures for a person to look at: set VELTRANE_SCREENSHOT_DIR (under Xvfb for the real look).
TEST_F(PelomarSheetTest, Screenshot)
{
    const QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    CSpecView* v = Open(200);
    ASSERT_NE(v, nullptr);
    CPelomar_Sheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    CSpecTrace* t = v->GetSpecTrace();
    s->AddComponentAt(t->IndexTox(100));
    s->AddComponentAt(t->IndexTox(60));
    Pump(200);
    frame->grab().save(dir + "/curvefit-plot.png");
    s->grab().save(dir + "/curvefit-method.png");
    s->SetActivePage(1);
    Pump(100);
    s->grab().save(dir + "/curvefit-components.png");
}
