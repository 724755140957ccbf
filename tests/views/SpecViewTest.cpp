// The spectrum view on the real application object: windows per region,
// the Sample, Region and Level buttons, following acquired data, processing
// hints, enable rules, the tools' notifications, the undo copy, the active
// frame, the level drop-down and printing.

#include "AppFixture.h"

#include "app/SpecView.h"
#include "app/SummaryView.h"
#include "app/TraceDlg.h"
#include "app/ViewTools.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/MDIChildWnd.h"
#include "res/resource.h"
#include "tools/mkdemo/DemoFile.h"

#include "framework/ui/Resources.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <numeric>

namespace {

// A processing dialog or analysis sheet that records what its view tells it.
class CFakeTool : public QDialog, public IViewTool
{
public:
    explicit CFakeTool(CSpecViewBase* view) : m_pView(view) {}
    CSpecViewBase* GetView() const override { return m_pView; }
    void OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld) override { wndChanges.push_back({pNew, pOld}); }
    void OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld) override
    {
        traceChanges.push_back({pNew, pOld});
    }
    void OnSampleChange(int iNew, int iOld) override { sampleChanges.push_back({iNew, iOld}); }
    intptr_t OnPaintOver(CSpecWnd*, QPainter*) override { return ++paintOvers; }
    intptr_t OnLineCursorPos(uintptr_t, intptr_t) override { return ++cursorMoves; }
    void OnViewClick(int x) override { clicks.push_back(x); }
    void OnCancel() override { ++cancels; }
    void DestroyWindow() override { ++destroys; }
    void CloseWindow() override { ++closes; }

    CSpecViewBase* m_pView;
    std::vector<std::pair<CSpecWnd*, CSpecWnd*>> wndChanges;
    std::vector<std::pair<CSpecTrace*, CSpecTrace*>> traceChanges;
    std::vector<std::pair<int, int>> sampleChanges;
    int paintOvers = 0, cursorMoves = 0, cancels = 0, destroys = 0, closes = 0;
    std::vector<int> clicks;
};

struct SPosn
{
    int nRgns;
    int nLevels;
};

class SpecViewTest : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        m_oldMake = CVeltrane::s_makeSpecView;
        CVeltrane::s_makeSpecView = [] { return new CSpecView; };
        Start();
    }
    void TearDown() override
    {
        CVeltraneView::m_pProcDlg = nullptr;
        SToolInstances::m_pChemPrfSheet = SToolInstances::m_pPelomarSheet = SToolInstances::m_pQuantifySheet =
            nullptr;
        AppFixture::TearDown();
        CVeltrane::s_makeSpecView = m_oldMake;
    }

    CSpecView* Open(const std::vector<SPosn>& posns, int technique = 2, int nx = 11, int sourceType = 18,
                    double photonEnergy = 1486.6)
    {
        CDataFileBuilder b;
        b.Header().Experiment(0x102, technique).Source(sourceType, photonEnergy).IonGun();
        for (const SPosn& p : posns) {
            CDataFileBuilder::SPosnHead head;
            head.levels.clear();
            for (int l = 0; l < p.nLevels; ++l)
                head.levels.push_back(30.0 * l);
            const size_t at = b.BeginPosn(head, p.nRgns);
            for (int r = 0; r < p.nRgns; ++r)
                b.SpecRgn(nx, p.nLevels);
            b.Count(0);
            b.EndPosn(at);
        }
        b.End();
        static int n = 0;
        const QString path = WriteBytes(QStringLiteral("view%1.vlt").arg(++n), b.m_bytes);
        CDocument* doc = app->OpenDocumentFile(path.toStdString().c_str());
        EXPECT_NE(doc, nullptr);
        if (!doc)
            return nullptr;
        m_pDoc = dynamic_cast<CVeltraneDoc*>(doc);
        auto* view = dynamic_cast<CSpecView*>(doc->GetViews().front());
        EXPECT_NE(view, nullptr);
        if (view && view->GetParentFrame())
            view->GetParentFrame()->resize(900, 600);
        Pump(20);
        return view;
    }

    static std::vector<int> Visible(CSpecViewBase* v)
    {
        std::vector<int> out;
        for (int i = 0; i < v->GetNumSpecWnds(); ++i)
            if (!v->GetSpecWnd(i)->isHidden())
                out.push_back(i);
        return out;
    }
    static bool Enabled(CSpecViewBase* v, unsigned id, int* check = nullptr)
    {
        CCmdUI ui(id);
        v->OnCmdMsg(id, &ui);
        if (check)
            *check = ui.m_nCheck;
        return ui.m_bEnabled;
    }

    std::function<CView*()> m_oldMake;
    CVeltraneDoc* m_pDoc = nullptr;
};

TEST_F(SpecViewTest, OneWindowPerRegionIndexShowingTheFirstPosition)
{
    CSpecView* v = Open({{2, 1}, {3, 1}, {1, 1}});
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->GetNumSpecWnds(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(v->GetSpecWnd(i)->GetWndID(), i);
        EXPECT_EQ(v->GetSpecWnd(i)->GetNumPlanes(), 3);
    }
    EXPECT_EQ(Visible(v), (std::vector<int>{0, 1}));
    EXPECT_EQ(v->GetNumDispWnds(), 2);
    EXPECT_EQ(v->GetSpecWnd(0)->GetDispPlane(), 0);
    EXPECT_EQ(v->GetSpecWnd(1)->GetDispPlane(), 0);
    EXPECT_EQ(v->GetSpecWnd(2)->GetDispPlane(), 1) << "the lowest position that has the region";
    // Captions name the region; the curves are the document's own arrays.
    EXPECT_EQ(v->GetSpecWnd(0)->GetDisp(0)->GetCaption(), "C 1s");
    EXPECT_EQ(v->GetSpecWnd(1)->GetYData(nullptr == nullptr ? 0 : 0, 0, 1),
              m_pDoc->GetStagePosn(1)->GetSpecRgn(1)->GetTrace(0)->GetData());
    // The visible windows lie side by side inside the view, not overlapping.
    const QRect r0 = v->GetSpecWnd(0)->geometry(), r1 = v->GetSpecWnd(1)->geometry();
    EXPECT_FALSE(r0.intersects(r1));
    EXPECT_TRUE(v->rect().contains(r0) && v->rect().contains(r1));
    EXPECT_GT(r0.width(), 50);

    // An update with a sender or an object does nothing; one with neither lays
    // the view out anew, replacing the windows rather than adding to them.
    CSpecWnd* before = v->GetSpecWnd(0);
    int object = 0;
    v->OnUpdate(v, 0, nullptr);
    v->OnUpdate(nullptr, 0, &object);
    EXPECT_EQ(v->GetSpecWnd(0), before);
    v->OnUpdate(nullptr, 0, nullptr);
    EXPECT_EQ(v->GetNumSpecWnds(), 3);
    EXPECT_EQ(v->findChildren<CSpecWnd*>(Qt::FindDirectChildrenOnly).size(), 3);
    EXPECT_EQ(Visible(v), (std::vector<int>{0, 1}));
}

TEST_F(SpecViewTest, DemonstrationDepthProfile)
{
    CDocument* doc = app->OpenDocumentFile(WriteBytes("demo.vlt", MakeDemoFile(5)).toStdString().c_str());
    ASSERT_NE(doc, nullptr);
    auto* v = dynamic_cast<CSpecView*>(doc->GetViews().front());
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->GetNumSpecWnds(), 3);
    const char* captions[] = {"C 1s", "O 1s", "Si 2p"};
    const double highBE[] = {294.0, 540.0, 110.0};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        CSpecWnd* w = v->GetSpecWnd(i);
        EXPECT_EQ(w->GetDisp(0)->GetCaption(), captions[i]);
        EXPECT_EQ(w->GetNumTraces(0), 5);
        EXPECT_EQ(w->GetNumDispTraces(0), 5) << "the waterfall of all levels";
        // Binding energy falls from left to right.
        EXPECT_NEAR(w->xToUnit(w->GetSpecTrace(0, 0)->XTox(0), 0), highBE[i], 0.01);
    }
    EXPECT_EQ(v->GetNumLevels(), 5);
}

TEST_F(SpecViewTest, RegionAndSampleButtonsCycle)
{
    CSpecView* v = Open({{3, 1}, {4, 1}, {2, 1}});
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(Enabled(v, ID_DISP_REGION));
    EXPECT_TRUE(Enabled(v, ID_DISP_SAMPLE));
    EXPECT_FALSE(Enabled(v, ID_DISP_LEVEL)) << "one level per region";
    // All three shown: Region goes to the first alone, then on, then all again.
    const std::vector<std::vector<int>> cycle = {{0}, {1}, {2}, {0, 1, 2}, {0}};
    for (const auto& expect : cycle) {
        v->OnCmdMsg(ID_DISP_REGION, nullptr);
        EXPECT_EQ(Visible(v), expect);
    }
    v->EnableMultiRegionDisplay(false);
    v->OnCmdMsg(ID_DISP_REGION, nullptr);
    v->OnCmdMsg(ID_DISP_REGION, nullptr);
    EXPECT_EQ(Visible(v), std::vector<int>{2});
    v->OnCmdMsg(ID_DISP_REGION, nullptr);
    EXPECT_EQ(Visible(v), std::vector<int>{0}) << "no 'all' while forbidden";
    v->EnableMultiRegionDisplay(true);
    v->SelectRegion(99);
    EXPECT_EQ(Visible(v), (std::vector<int>{0, 1, 2}));

    // Sample: 0 -> 1 (four regions) -> 2 (two: the other two hidden) -> 0.
    v->OnCmdMsg(ID_DISP_SAMPLE, nullptr);
    EXPECT_EQ(v->GetCurrentSample(), 1);
    EXPECT_EQ(Visible(v), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(v->GetSpecWnd(3)->GetDispPlane(), 1);
    v->OnCmdMsg(ID_DISP_SAMPLE, nullptr);
    EXPECT_EQ(v->GetCurrentSample(), 2);
    EXPECT_EQ(Visible(v), (std::vector<int>{0, 1}));
    v->OnCmdMsg(ID_DISP_SAMPLE, nullptr);
    EXPECT_EQ(v->GetCurrentSample(), 0);
    EXPECT_EQ(Visible(v), (std::vector<int>{0, 1, 2}));
}

TEST_F(SpecViewTest, DropDownListsOfSampleAndRegion)
{
    CSpecView* v = Open({{2, 1}, {2, 1}});
    ASSERT_NE(v, nullptr);
    QMenu menu;
    v->OnDispDropDown(ID_DISP_SAMPLE, &menu);
    ASSERT_EQ(menu.actions().size(), 2);
    EXPECT_EQ(menu.actions()[1]->text(), ToQString(m_pDoc->GetTitle()) + QStringLiteral(" 1"));
    EXPECT_EQ(menu.actions()[1]->data().toUInt(), 33001u);
    EXPECT_TRUE(menu.actions()[0]->isChecked());
    menu.actions()[1]->trigger();
    EXPECT_EQ(v->GetCurrentSample(), 1);

    QMenu regions;
    v->OnDispDropDown(ID_DISP_REGION, &regions);
    const QList<QAction*> a = regions.actions();
    ASSERT_EQ(a.size(), 4); // two regions, separator, all
    EXPECT_EQ(a[0]->text(), QStringLiteral("C 1s"));
    EXPECT_TRUE(a[2]->isSeparator());
    EXPECT_EQ(a[3]->text(), QStringLiteral("All regions"));
    EXPECT_TRUE(a[3]->isChecked());
    a[1]->trigger();
    EXPECT_EQ(Visible(v), std::vector<int>{1});
    v->EnableMultiRegionDisplay(false);
    QMenu again;
    v->OnDispDropDown(ID_DISP_REGION, &again);
    EXPECT_TRUE(again.actions()[1]->isChecked());
    EXPECT_FALSE(again.actions()[3]->isEnabled());
}

TEST_F(SpecViewTest, FollowsTheAcquisitionUnlessTheUserMovedOn)
{
    CSpecView* v = Open({{1, 1}, {1, 1}, {1, 1}});
    ASSERT_NE(v, nullptr);
    unsigned char data[4] = {};
    auto block = [&](int posn, int rgn, int trace, int scan, int start) {
        SAcqUpdate u(m_pDoc, data, posn, rgn, trace, scan, start, start, 0, 0, WMAPP_ACQ_SPECTRALDATA);
        v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&u), nullptr);
    };
    block(0, 0, 0, 0, 1);
    EXPECT_EQ(v->GetCurrentSample(), 0);
    block(1, 0, 0, 1, 1); // a later scan of position 1 does not move the view
    EXPECT_EQ(v->GetCurrentSample(), 0);
    block(1, 0, 0, 0, 1);
    EXPECT_EQ(v->GetCurrentSample(), 1);
    v->SelectSample(0);
    v->SelectSample(2); // the user looks elsewhere
    block(1, 0, 0, 0, 1);
    EXPECT_EQ(v->GetCurrentSample(), 2);
    // Blocks that name no window, plane or curve of the view change nothing.
    block(7, 0, 0, 0, 1);
    block(0, 5, 0, 0, 1);
    block(0, 0, 9, 0, 1);
    SUpdate odd(static_cast<SUpdate::UpdateType>(7));
    v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&odd), nullptr);
    EXPECT_EQ(v->GetCurrentSample(), 2);
}

TEST_F(SpecViewTest, ProcessingHintStoresEachCurvesLimits)
{
    CSpecView* v = Open({{2, 2}, {1, 2}});
    ASSERT_NE(v, nullptr);
    // Every curve of every window and plane gets a new extreme value.
    double big = 1e6;
    for (int i = 0; i < v->GetNumSpecWnds(); ++i)
        for (int j = 0; j < 2; ++j)
            for (int k = 0; k < v->GetSpecWnd(i)->GetNumTraces(j); ++k) {
                int n = 0;
                double* y = v->GetSpecWnd(i)->GetYData(&n, k, j);
                ASSERT_NE(y, nullptr);
                y[3] = big;
                y[4] = -big;
                big += 1;
            }
    SViewUpdate all(0, 0, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0);
    v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&all), nullptr);
    double expect = 1e6;
    int curves = 0;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < m_pDoc->GetStagePosn(j)->GetNumSpecRgns(); ++i)
            for (int k = 0; k < 2; ++k, ++curves) {
                SCOPED_TRACE(testing::Message() << "position " << j << " region " << i << " curve " << k);
                const CTrace* t = m_pDoc->GetStagePosn(j)->GetSpecRgn(i)->GetTrace(k);
                EXPECT_GE(t->GetMaxValue(), 1e6);
                EXPECT_LE(t->GetMinValue(), -1e6);
            }
    (void)expect;
    EXPECT_EQ(curves, 6);
}

TEST_F(SpecViewTest, EnableRules)
{
    CSpecView* v = Open({{2, 3}});
    ASSERT_NE(v, nullptr);
    const unsigned process[] = {ID_PROCESS_SMOOTH, ID_PROCESS_CHEMICALPROFILING, ID_PROCESS_QUANTIFICATION,
                                ID_PROCESS_PELOMARTING};
    // The registry outlives the test: the creators keep to a static count.
    static int created;
    created = 0;
    for (unsigned id : process)
        RegisterProcessTool(id, [](CVeltraneView*) { ++created; });
    EXPECT_TRUE(Enabled(v, ID_PROCESS_SMOOTH));
    EXPECT_TRUE(Enabled(v, ID_PROCESS_QUANTIFICATION));
    EXPECT_FALSE(Enabled(v, ID_PROCESS_PELOMARTING)) << "curve fitting is never offered";
    v->OnCmdMsg(ID_PROCESS_SMOOTH, nullptr);
    EXPECT_EQ(created, 1);
    // Any open tool, on whatever view, greys every processing command.
    QDialog other;
    for (QWidget** slot : {reinterpret_cast<QWidget**>(&CVeltraneView::m_pProcDlg),
                           &SToolInstances::m_pChemPrfSheet, &SToolInstances::m_pQuantifySheet}) {
        *slot = &other;
        for (unsigned id : process)
            EXPECT_FALSE(Enabled(v, id)) << id;
        v->OnCmdMsg(ID_PROCESS_SMOOTH, nullptr);
        *slot = nullptr;
    }
    EXPECT_EQ(created, 1);

    // Zoom: only with one level shown in an active window.
    EXPECT_GT(v->GetNumDispTraces(), 1);
    v->SetActiveDispWnd(0);
    EXPECT_FALSE(Enabled(v, ID_VIEW_HORZ_EXPAND));
    v->SetDispTraces(0, 1, 1);
    EXPECT_EQ(v->GetNumDispTraces(), 1);
    EXPECT_TRUE(Enabled(v, ID_VIEW_HORZ_EXPAND));
    v->SetActiveDispWnd(-1);
    EXPECT_FALSE(Enabled(v, ID_VIEW_VERT_CONTRACT));
    EXPECT_TRUE(Enabled(v, ID_VIEW_FULLSCALE));
    EXPECT_TRUE(Enabled(v, ID_DISP_LEVEL));

    // Units belong to the main frame for XPS, are fixed at KE for AES.
    CCmdUI ke(ID_VIEW_UNITS_KE);
    EXPECT_FALSE(v->OnCmdMsg(ID_VIEW_UNITS_KE, &ke));
    CSpecView* aes = Open({{1, 1}}, 1);
    ASSERT_NE(aes, nullptr);
    int check = -1;
    EXPECT_FALSE(Enabled(aes, ID_VIEW_UNITS_KE, &check));
    EXPECT_EQ(check, 1);
    EXPECT_FALSE(Enabled(aes, ID_VIEW_UNITS_BE, &check));
    EXPECT_EQ(check, 0);
}

TEST_F(SpecViewTest, UnitChangeRelabelsAndFullScaleUndoesAZoom)
{
    CSpecView* v = Open({{1, 1}}, 2, 41);
    ASSERT_NE(v, nullptr);
    CSpecWnd* w = v->GetSpecWnd(0);
    CSpecTrace* t = w->GetSpecTrace(0, 0);
    auto firstPointValue = [&] { return w->xToUnit(t->XTox(0), 0); };
    // Stored kinetic energies (280.5 eV with the offset) shown as binding energy.
    EXPECT_NEAR(firstPointValue(), 1486.6 - 280.5, 0.01);
    app->SetXPSUnit(CVeltrane::KE);
    SUnitUpdate unit;
    v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&unit), nullptr);
    EXPECT_NEAR(firstPointValue(), 280.5, 0.01);

    v->SetActiveDispWnd(0);
    ASSERT_EQ(v->GetNumDispTraces(), 1);
    const double span = t->GetXmax() - t->GetXmin();
    v->OnCmdMsg(ID_VIEW_HORZ_EXPAND, nullptr);
    EXPECT_LT(t->GetXmax() - t->GetXmin(), span * 0.75);
    v->OnCmdMsg(ID_VIEW_FULLSCALE, nullptr);
    EXPECT_DOUBLE_EQ(t->GetXmax() - t->GetXmin(), span);
}

TEST_F(SpecViewTest, UpsSpectraFollowTheUnitChoice)
{
    // A UPS document (an unknown source, He I photons): the main frame offers
    // the kinetic/binding choice for it, and its windows must show what it says.
    CSpecView* v = Open({{1, 1}}, 4, 41, 0, 21.22);
    ASSERT_NE(v, nullptr);
    CSpecWnd* w = v->GetSpecWnd(0);
    CSpecTrace* t = w->GetSpecTrace(0, 0);
    auto firstPointValue = [&] { return w->xToUnit(t->XTox(0), 0); };
    SUnitUpdate unit;
    for (auto [choice, expected] :
         {std::pair{CVeltrane::KE, 280.5}, std::pair{CVeltrane::BE, 21.22 - 280.5}}) {
        app->SetXPSUnit(choice);
        v->OnUpdate(nullptr, reinterpret_cast<intptr_t>(&unit), nullptr);
        EXPECT_EQ(v->GetEnergyUnit(), choice);
        EXPECT_NEAR(firstPointValue(), expected, 0.01) << choice;
    }
    CCmdUI ke(ID_VIEW_UNITS_KE);
    EXPECT_FALSE(v->OnCmdMsg(ID_VIEW_UNITS_KE, &ke)) << "the main frame decides, as for XPS";
}

TEST_F(SpecViewTest, ToolsHearOfChangesOnTheirOwnView)
{
    CSpecView* v = Open({{3, 4}, {2, 4}});
    ASSERT_NE(v, nullptr);
    CFakeTool proc(v), quant(v);
    CVeltraneView::m_pProcDlg = &proc;
    SToolInstances::m_pQuantifySheet = &quant;

    v->SelectRegion(1);
    CSpecWnd* w1 = v->GetSpecWnd(1);
    ASSERT_FALSE(proc.wndChanges.empty());
    EXPECT_EQ(proc.wndChanges.back().first, w1);
    EXPECT_EQ(quant.wndChanges.size(), proc.wndChanges.size());

    v->SetDispTraces(0, 1, 1);
    const size_t before = proc.traceChanges.size();
    v->SetDispTrace(2);
    ASSERT_EQ(proc.traceChanges.size(), before + 1);
    EXPECT_EQ(proc.traceChanges.back().first, w1->GetSpecTrace(2));
    EXPECT_EQ(proc.traceChanges.back().second, w1->GetSpecTrace(0));
    v->SetDispTrace(2);
    EXPECT_EQ(proc.traceChanges.size(), before + 1) << "no notice when the curve stays";

    v->SelectSample(1);
    EXPECT_EQ(quant.sampleChanges, (std::vector<std::pair<int, int>>{{1, 0}}));
    EXPECT_TRUE(proc.sampleChanges.empty());

    // Notifications from the plot windows.
    EXPECT_EQ(SendAppMessage(v, WMAPP_PAINTOVER, reinterpret_cast<uintptr_t>(w1), 0), 1);
    EXPECT_EQ(SendAppMessage(v, WMAPP_LC_POS, 0, 0), 1);
    EXPECT_EQ(proc.cursorMoves, 1);
    // A tool on another view hears nothing of this one, but still paints.
    CFakeTool elsewhere(nullptr);
    CVeltraneView::m_pProcDlg = &elsewhere;
    EXPECT_EQ(SendAppMessage(v, WMAPP_LC_POS, 0, 0), 1) << "passed on to the quantification sheet";
    EXPECT_EQ(elsewhere.cursorMoves, 0);
    EXPECT_EQ(quant.cursorMoves, 1);
    EXPECT_EQ(SendAppMessage(v, WMAPP_PAINTOVER, reinterpret_cast<uintptr_t>(w1), 0), 1);
    v->SelectRegion(0);
    EXPECT_TRUE(elsewhere.wndChanges.empty());

    // Clicks the plot did not use go to the curve-fitting sheet on this view.
    CFakeTool fit(v);
    SToolInstances::m_pPelomarSheet = &fit;
    SendAppMessage(v, WM_PARENTNOTIFY, WM_LBUTTONUP, (17 << 16) | 42);
    EXPECT_EQ(fit.clicks, std::vector<int>{42});

    // A tool that forbids several levels leaves the first of those shown.
    v->SetDispTraces(1, 1, 3);
    EXPECT_EQ(v->GetNumDispTraces(), 3);
    v->EnableMultiTraceDisplay(false);
    EXPECT_EQ(v->GetNumDispTraces(), 1);
    EXPECT_EQ(v->GetDispTrace(), 1);
    // The Level button then wraps from the last level to the first.
    v->SetDispTrace(3);
    v->OnCmdMsg(ID_DISP_LEVEL, nullptr);
    EXPECT_EQ(v->GetDispTrace(), 0);
    EXPECT_EQ(v->GetNumDispTraces(), 1);
    SToolInstances::m_pPelomarSheet = nullptr;
}

TEST_F(SpecViewTest, LevelButtonCycle)
{
    CSpecView* v = Open({{1, 3}});
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->GetNumDispTraces(), 3) << "all levels at first";
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 5; ++i) {
        v->OnCmdMsg(ID_DISP_LEVEL, nullptr);
        seen.push_back({v->GetDispTrace(), v->GetNumDispTraces()});
    }
    // Several shown: the first alone; then on; past the last: all of them.
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {2, 1}, {0, 3}, {0, 1}}));
}

TEST_F(SpecViewTest, ClosingTheViewClosesItsTools)
{
    CSpecView* v = Open({{1, 1}});
    CSpecView* other = Open({{1, 1}});
    ASSERT_TRUE(v && other);
    CFakeTool chem(v), proc(v), fit(v), quant(other);
    SToolInstances::m_pChemPrfSheet = &chem;
    CVeltraneView::m_pProcDlg = &proc;
    SToolInstances::m_pPelomarSheet = &fit;
    SToolInstances::m_pQuantifySheet = &quant;
    v->OnDestroy();
    EXPECT_EQ(chem.destroys, 1);
    EXPECT_EQ(proc.cancels, 1);
    EXPECT_EQ(fit.closes, 1);
    EXPECT_EQ(quant.destroys, 0) << "a sheet on another view stays";
}

TEST_F(SpecViewTest, UndoCopyRoundTrip)
{
    CSpecView* v = Open({{2, 3}, {1, 3}}, 2, 7);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->GetYDataSize(), size_t(3 * 3 * 7));
    std::unique_ptr<double[]> copy = v->CopyYData();
    // Window 0: plane 0 curves 0..2, plane 1 curves 0..2; window 1: plane 0.
    EXPECT_EQ(copy[0], 0.0);
    EXPECT_EQ(copy[7], 1000.0);
    EXPECT_EQ(copy[7 * 3 + 1], 1.0);
    int n = 0;
    double* y = v->GetSpecWnd(1)->GetYData(&n, 2, 0);
    ASSERT_EQ(n, 7);
    std::fill(y, y + n, -5.0);
    v->RestoreYData(copy.get());
    EXPECT_EQ(y[6], 2006.0);
}

TEST_F(SpecViewTest, DocumentsWithoutPositionsOrRegionsShowNothing)
{
    for (const std::vector<SPosn>& posns : {std::vector<SPosn>{}, std::vector<SPosn>{{0, 1}, {0, 2}}}) {
        SCOPED_TRACE(posns.size());
        CSpecView* v = Open(posns);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->GetNumSpecWnds(), 0);
        v->GetParentFrame()->resize(500, 400);
        Pump(10);
        for (unsigned id :
             {ID_DISP_SAMPLE, ID_DISP_REGION, ID_DISP_LEVEL, ID_VIEW_FULLSCALE, ID_VIEW_HORZ_EXPAND})
            v->OnCmdMsg(id, nullptr);
        v->SelectSample(0);
        v->SelectRegion(0);
        v->SetDispTrace(1);
        EXPECT_EQ(v->GetSpecWnd(), nullptr);
        EXPECT_EQ(v->GetSpecTrace(), nullptr);
        EXPECT_EQ(v->GetCurrentRegion(), nullptr);
        EXPECT_EQ(v->GetNumLevels(), 0);
        EXPECT_EQ(v->GetYDataSize(), 0u);
        QMenu menu;
        v->OnDispDropDown(ID_DISP_REGION, &menu);
        QImage page(800, 1000, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        v->OnPrint(&p, page.rect(), 100, 100, false);
    }
}

TEST_F(SpecViewTest, ClickMakesTheWindowActiveWithARaisedFrame)
{
    CSpecView* v = Open({{2, 1}});
    ASSERT_NE(v, nullptr);
    CSpecWnd* w0 = v->GetSpecWnd(0);
    CSpecWnd* w1 = v->GetSpecWnd(1);
    auto click = [&](CSpecWnd* w, Qt::KeyboardModifiers m) {
        const QPointF at(w->width() / 2.0, w->height() / 3.0);
        // A plain press starts the plot's rubber band, which runs until the
        // release: queue the release first.
        QApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, w->mapToGlobal(at),
                                                   Qt::LeftButton, Qt::NoButton, m));
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          m);
        QApplication::sendEvent(w, &press);
        Pump(0);
    };
    click(w1, Qt::NoModifier);
    EXPECT_EQ(v->GetActiveDispWnd(), 1);
    EXPECT_TRUE(w1->IsActive());
    EXPECT_FALSE(w0->IsActive());
    // The active frame is raised (light face at the top left, dark at the
    // bottom right), the others etched: probe the painted pixels.
    const QImage a = w1->grab().toImage(), b = w0->grab().toImage();
    const QPalette& pal = w1->palette();
    auto rgb = [](QRgb p) { return p & 0xFFFFFFu; };
    auto role = [&](QPalette::ColorRole r) { return pal.color(r).rgb() & 0xFFFFFFu; };
    EXPECT_EQ(rgb(a.pixel(0, 0)), role(QPalette::Button));
    EXPECT_EQ(rgb(a.pixel(a.width() - 1, a.height() - 1)), role(QPalette::Dark));
    EXPECT_EQ(rgb(b.pixel(0, 0)), role(QPalette::Mid));
    EXPECT_EQ(rgb(b.pixel(b.width() - 1, b.height() - 1)), role(QPalette::Light));

    click(w1, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(v->GetActiveDispWnd(), -1);
    EXPECT_FALSE(w1->IsActive());
    EXPECT_FALSE(Enabled(v, ID_VIEW_HORZ_EXPAND));
}

TEST_F(SpecViewTest, LevelDropDownRangesAndButtons)
{
    CSpecView* v = Open({{1, 10}});
    ASSERT_NE(v, nullptr);
    v->SetDispTraces(0, 1, 3);
    struct Probe
    {
        int startMax, stepMax, numberMax;
        bool start, step, number, next;
    };
    auto run = [&](const std::function<void(CTraceDlg&)>& act) {
        CTraceDlg dlg;
        Probe p{};
        QTimer::singleShot(0, &dlg, [&] {
            if (act)
                act(dlg);
            p = {dlg.GetStartSpin()->maximum(),   dlg.GetStepSpin()->maximum(),
                 dlg.GetNumberSpin()->maximum(),  dlg.GetStartSpin()->isEnabled(),
                 dlg.GetStepSpin()->isEnabled(),  dlg.GetNumberSpin()->isEnabled(),
                 dlg.GetNextButton()->isEnabled()};
            dlg.reject();
        });
        dlg.DoModal(v);
        return p;
    };
    Probe p = run(nullptr);
    EXPECT_EQ(p.startMax, 7);
    EXPECT_EQ(p.stepMax, 4);
    EXPECT_EQ(p.numberMax, 10);
    EXPECT_TRUE(p.start && p.step && p.number && p.next);
    // A spin change sets that one value.
    run([](CTraceDlg& d) { d.GetStepSpin()->setValue(2); });
    EXPECT_EQ(v->GetDispTraceStep(), 2);
    EXPECT_EQ(v->GetNumDispTraces(), 3);
    run([](CTraceDlg& d) { d.GetNextButton()->click(); });
    EXPECT_EQ(v->GetDispTrace(), 4) << "the next group starts at the last level shown";
    EXPECT_EQ(v->GetNumDispTraces(), 3);
    run([](CTraceDlg& d) { d.GetResetButton()->click(); });
    EXPECT_EQ(v->GetNumDispTraces(), 10);
    // Single-level display forced by a tool: step and number stay at 1.
    v->EnableMultiTraceDisplay(false);
    p = run(nullptr);
    EXPECT_EQ(p.stepMax, 1);
    EXPECT_EQ(p.numberMax, 1);
    EXPECT_FALSE(p.step || p.number);
    // One level on show: Next steps to the following level (it stayed put),
    // and from the last level it goes nowhere.
    struct
    {
        int from, to;
    } const single[] = {{3, 4}, {8, 9}, {9, 9}};
    for (auto& c : single) {
        v->SetDispTraces(c.from, 1, 1);
        run([](CTraceDlg& d) { d.GetNextButton()->click(); });
        EXPECT_EQ(v->GetDispTrace(), c.to) << c.from;
        EXPECT_EQ(v->GetNumDispTraces(), 1) << c.from;
    }
}

namespace {

// Records the preview flag and the resolution that each rendering of the page gets.
class CPrintRecordingView : public CSpecView
{
public:
    static std::vector<bool> s_flags;
    static std::vector<int> s_dpi;

protected:
    void OnPrint(QPrinter* printer, bool bPreview) override
    {
        s_flags.push_back(bPreview);
        s_dpi.push_back(printer->resolution());
        CSpecView::OnPrint(printer, bPreview);
    }
};
std::vector<bool> CPrintRecordingView::s_flags;
std::vector<int> CPrintRecordingView::s_dpi;

} // namespace

TEST_F(SpecViewTest, PrintPreviewRendersWithThePreviewFlagFromTheFirstPage)
{
    CVeltrane::s_makeSpecView = [] { return new CPrintRecordingView; };
    CSpecView* v = Open({{2, 1}});
    ASSERT_NE(v, nullptr);
    CPrintRecordingView::s_flags.clear();
    CPrintRecordingView::s_dpi.clear();
    // The preview renders as it is shown, before it runs modally; close it then.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    closer.start(20);
    ASSERT_TRUE(Execute(ID_FILE_PRINT_PREVIEW));
    closer.stop();
    ASSERT_FALSE(CPrintRecordingView::s_flags.empty());
    for (bool b : CPrintRecordingView::s_flags)
        EXPECT_TRUE(b);
    // The page is laid out in the printer's own dots, not on the screen's
    // 96-per-inch grid that would coarsen every curve and tick on paper.
    for (int dpi : CPrintRecordingView::s_dpi)
        EXPECT_GE(dpi, 300);
}

TEST_F(SpecViewTest, PrintsTheVisibleWindowsInTheirCells)
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        GTEST_FAIL() << "pdftoppm (poppler-utils) is needed to check the printed page";
    CSpecView* v = Open({{3, 1}});
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->GetNumDispTraces(), 1);
    const QString pdf = settings.Path("print.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    const double dpi = printer.resolution();
    const QRect area(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    const std::vector<QRect> cells = v->CalcPrintRects(area, dpi, dpi);
    ASSERT_EQ(cells.size(), 3u);
    // One column of three cells at ratio 1.9, each centred across the page.
    EXPECT_EQ(cells[0].left(), cells[2].left());
    EXPECT_NEAR(double(cells[0].width()) / (cells[0].height() + 50 * dpi / 2540), 1.9, 0.01);
    EXPECT_LT(cells[0].bottom(), cells[1].top());
    {
        QPainter painter(&printer);
        v->OnPrint(&painter, area, dpi, dpi, false);
    }
    const QString png = settings.Path("print");
    ASSERT_EQ(QProcess::execute(pdftoppm, {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-png"),
                                           QStringLiteral("-singlefile"), pdf, png}),
              0);
    const QImage img(png + QStringLiteral(".png"));
    ASSERT_FALSE(img.isNull());
    // Page pixels: the paint area starts at the 10 mm margin.
    const double s = 60.0 / dpi, m = 10.0 / 25.4 * 60.0;
    auto dark = [&](double x, double y) { return qGray(img.pixel(int(x), int(y))) < 128; };
    auto px = [&](int x) { return m + x * s; };
    for (size_t k = 0; k < cells.size(); ++k) {
        SCOPED_TRACE(k);
        const QRect& c = cells[k];
        const double midX = px(c.left() + c.width() / 2), midY = px(c.top() + c.height() / 2);
        // The frame's top and left edges, found near where the layout puts them.
        bool top = false, left = false;
        for (int d = -1; d <= 1; ++d) {
            top |= dark(midX, px(c.top()) + d);
            left |= dark(px(c.left()) + d, midY);
        }
        EXPECT_TRUE(top);
        EXPECT_TRUE(left);
        EXPECT_FALSE(dark(px(c.left()) - 4, midY)) << "nothing left of the cell";
    }
    // Nothing below the last cell.
    for (double y = px(cells[2].bottom()) + 3; y < img.height() - m; y += 2)
        ASSERT_FALSE(dark(img.width() / 2.0, y)) << y;
}

} // namespace
