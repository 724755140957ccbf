// The quantification sheet through its widgets on the real application and
// spectrum view: the regions table, Cancel after a first and a later opening,
// the Auger page's Browse and remembered files, the profile pane and the export.

#include "ToolFixture.h"

#include "UGrid/UGDropListType.h"
#include "UGrid/UGEdit.h"
#include "UGrid/UGGrid.h"
#include "analysis/core/QuantifyCalc.h"
#include "analysis/ui/QuantifySheet.h"
#include "app/Legend.h"
#include "app/SpecView.h"
#include "app/plot/SpecWnd.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/MDIChildWnd.h"
#include "platform/Settings.h"
#include "res/resource.h"
#include "tools/mkdemo/DemoFile.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <iterator>

void InstallProcessTools();

namespace {

class QuantifySheetTest : public ToolFixture
{
protected:
    void BeforeStart() override { CQuantifySheet::ResetCarriedSettings(); }
    void CloseTool() override
    {
        if (CQuantifySheet* s = CQuantifySheet::GetInstance())
            s->OnClose();
    }

    // One position of three regions (C 1s, O 1s, Si 2p3/2 as XPS; C, O, Si
    // KLL as AES) with three levels of 50 points; region r's peak at level l
    // is (r + 1) * (l + 1) * 100 above a flat 10.
    CSpecView* Open(bool aes, int positions = 1)
    {
        CDataFileBuilder b;
        b.Header().Experiment(0x102, aes ? 1 : 2, 1, positions).Source(18, 1486.6).IonGun();
        CDataFileBuilder::SPosnHead head;
        head.levels = {0, 30, 60};
        for (int p = 0; p < positions; ++p) {
            const size_t at = b.BeginPosn(head, 3);
            for (int r = 0; r < 3; ++r)
                b.SpecRgn(50, 3);
            b.Count(0);
            b.EndPosn(at);
        }
        b.End();
        static int k = 0;
        const QString path = WriteBytes(QStringLiteral("quant%1.vlt").arg(++k), b.m_bytes);
        m_pDoc = dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(path.toStdString().c_str()));
        if (!m_pDoc)
            return nullptr;
        const char* names[3] = {"C", "O", "Si"};
        const char* xps[3] = {"1s", "1s", "2p3/2"};
        for (int k = 0; k < 3 * positions; ++k) {
            const int r = k % 3;
            CSpecRgn* rgn = m_pDoc->GetStagePosn(k / 3)->GetSpecRgn(r);
            rgn->m_csName = names[r];
            rgn->m_csRegion = aes ? "KLL" : xps[r];
            for (int l = 0; l < 3; ++l) {
                double* y = rgn->GetTrace(l)->GetData();
                for (int i = 0; i < 50; ++i)
                    y[i] = 10 + (i == 25 ? (r + 1) * (l + 1) * 100.0 : 0.0);
            }
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
    CQuantifySheet* OpenSheet(CSpecView* v)
    {
        m_pDoc->OpenQuantifyPropertySheet(v);
        Pump(10);
        return CQuantifySheet::GetInstance();
    }

    CVeltraneDoc* m_pDoc = nullptr;
};

bool Enabled(CSpecViewBase* v, unsigned id)
{
    CCmdUI ui(id);
    v->OnCmdMsg(id, &ui);
    return ui.m_bEnabled;
}

std::string CellText(CUGCtrl& g, int col, long row)
{
    CUGCell cell;
    g.GetCell(col, row, &cell);
    // The check box's text is its state; what it shows is its label.
    const char* t = col == 0 ? cell.GetLabel() : cell.GetText();
    return t ? t : "";
}

} // namespace

TEST_F(QuantifySheetTest, OpensOnTheViewWithARowPerRegionAndItsFactor)
{
    CSpecView* v = Open(false);
    ASSERT_NE(v, nullptr);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SToolInstances::m_pQuantifySheet, s);
    EXPECT_EQ(QuantifySheetTool(), static_cast<IViewTool*>(s));
    CQuantify& q = *m_pDoc->GetQuantify();
    ASSERT_TRUE(q.m_bValid);
    ASSERT_EQ(q.m_RgnLists.size(), 1u);
    ASSERT_EQ(q.m_RgnLists[0].size(), 3u);
    CQuantify_RgnsGrid& g = s->GetRgnsPage()->m_Grid;
    EXPECT_EQ(g.GetRowCount(), 8); // 3 regions, 5 blank rows
    // Seven records: two blank rows after them.
    q.m_RgnLists[0].resize(7, q.m_RgnLists[0][0]);
    g.Refresh();
    EXPECT_EQ(g.GetRowCount(), 9);
    q.m_RgnLists[0].resize(3);
    g.Refresh();
    EXPECT_EQ(g.GetRowCount(), 8);
    EXPECT_EQ(CellText(g, 4, 5), ""); // no value of the longer list stays
    EXPECT_EQ(CellText(g, 0, 0), "C 1s");
    EXPECT_EQ(CellText(g, 2, 2), "2p3/2");
    EXPECT_EQ(CellText(g, 0, 3), "");
    const double want = Quant::PhotoRSF(app->m_PkLib, "O", "1s", 18, 1486.6);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", want);
    EXPECT_EQ(CellText(g, 3, 1), buf);
    // Peak heights per dwell over the factors, 100 % at every level.
    for (int l = 0; l < 3; ++l) {
        double sum = 0;
        for (const CQuantifyRgn& r : q.m_RgnLists[0])
            sum += r.m_pdResults[size_t(l)];
        EXPECT_NEAR(sum, 100.0, 1e-9);
    }
}

TEST_F(QuantifySheetTest, TableEditsSelectionFactorAndLabel)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    CQuantify_RgnsGrid& g = s->GetRgnsPage()->m_Grid;
    CQuantify::RgnList& list = m_pDoc->GetQuantify()->m_RgnLists[0];
    g.OnCellTypeNotify(0, 0, 2, CTN_CHECK, 0);
    EXPECT_EQ(list[2].m_bSelected, 0);
    EXPECT_EQ(CellText(g, 4, 2), ""); // no value for an unselected region
    EXPECT_NEAR(list[0].m_pdResults[0] + list[1].m_pdResults[0], 100.0, 1e-9);
    UINT key = '-';
    EXPECT_EQ(g.OnEditVerify(3, 0, nullptr, &key), 0);
    key = 'a';
    EXPECT_EQ(g.OnEditVerify(3, 0, nullptr, &key), 0);
    key = '7';
    EXPECT_EQ(g.OnEditVerify(3, 0, nullptr, &key), 1);
    // A second point is refused unless it replaces the first.
    CUGEdit edit(&g);
    edit.SetText(QStringLiteral("1.5"));
    edit.moveCursor(QTextCursor::End);
    key = '.';
    EXPECT_EQ(g.OnEditVerify(3, 0, &edit, &key), 0);
    edit.selectAll();
    EXPECT_EQ(g.OnEditVerify(3, 0, &edit, &key), 1);
    std::string text = " 1.5 ";
    g.OnEditFinish(3, 0, nullptr, text, 0);
    EXPECT_EQ(list[0].m_dRSF, 1.5);
    EXPECT_EQ(text, "1.500000");
    // Pasted text reads as its typed keys would: a negative factor made the
    // region's share of every level negative.
    for (const auto& [pasted, want] : {std::pair{"-3", 3.0}, {"2.5e1", 2.51}, {"-", 0.0}}) {
        text = pasted;
        g.OnEditFinish(3, 0, nullptr, text, 0);
        EXPECT_EQ(list[0].m_dRSF, want) << pasted;
    }
    text = "1.5";
    g.OnEditFinish(3, 0, nullptr, text, 0);
    text = "Carbon";
    g.OnEditFinish(0, 1, nullptr, text, 1); // cancelled: nothing changes
    EXPECT_EQ(list[1].m_csLabel, "O 1s");
    text = " Oxygen ";
    g.OnEditFinish(0, 1, nullptr, text, 0);
    EXPECT_EQ(list[1].m_csLabel, "Oxygen");
    // A pasted label of several lines stays on one line of the export.
    text = "Oxygen\r\nbulk\tside";
    g.OnEditFinish(0, 1, nullptr, text, 0);
    EXPECT_EQ(list[1].m_csLabel, "Oxygen  bulk side");
    text = "Oxygen";
    g.OnEditFinish(0, 1, nullptr, text, 0);
    // A new element keeps the transition and label and takes its own factor.
    std::string chosen = "N";
    g.OnCellTypeNotify(0, 1, 1, CTN_SELECT, reinterpret_cast<long>(&chosen));
    EXPECT_EQ(list[1].m_csElement, "N");
    EXPECT_EQ(list[1].m_csTransition, "1s");
    EXPECT_EQ(list[1].m_dRSF, Quant::PhotoRSF(app->m_PkLib, "N", "1s", 18, 1486.6));
}

TEST_F(QuantifySheetTest, EnterOpensAFactorOrLabelForEditing)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    CQuantify_RgnsGrid& g = s->GetRgnsPage()->m_Grid;
    for (int col : {3, 0}) {
        SCOPED_TRACE(col);
        g.GotoCell(col, 1);
        Pump(0);
        QTest::keyClick(g.GetGridWnd(), Qt::Key_Return);
        EXPECT_TRUE(g.IsEditing()) << "as a click on the cell does";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        Pump(0);
    }
}

// The drop-down list hands the chosen item to the table as a string object;
// read as a C string, the record took the bytes of that object for its
// element or transition.
TEST_F(QuantifySheetTest, ItemChosenFromADropListReachesTheRecord)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    s->show();
    Pump(10);
    CQuantify_RgnsGrid& g = s->GetRgnsPage()->m_Grid;
    CQuantify::RgnList& list = m_pDoc->GetQuantify()->m_RgnLists[0];
    // The region's own transition is offered whatever the record holds.
    list[0].m_csTransition = "2s";
    g.Refresh();
    g.GotoCell(2, 0);
    Pump(0);
    int col = 2;
    long row = 0;
    RECT r;
    g.GetCellRect(&col, &row, &r);
    QTest::mouseClick(g.GetGridWnd(), Qt::LeftButton, {}, QPoint(r.right - 4, (r.top + r.bottom) / 2));
    Pump(0);
    CUGLstBox* box = g.GetDropListType()->GetListBox();
    ASSERT_NE(box, nullptr);
    const auto found = box->findItems(QStringLiteral("1s"), Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty());
    box->setCurrentItem(found.front());
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    Pump(0);
    EXPECT_EQ(list[0].m_csTransition, "1s");
    EXPECT_EQ(CellText(g, 2, 0), "1s");
}

TEST_F(QuantifySheetTest, CancelAfterAFirstAndAfterALaterOpening)
{
    CSpecView* v = Open(false);
    m_pDoc->SetModifiedFlag(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    s->OnClose(); // Cancel of the first opening: no state, nothing to save
    Pump(10);
    EXPECT_FALSE(m_pDoc->GetQuantify()->m_bValid);
    EXPECT_FALSE(m_pDoc->IsModified());
    EXPECT_EQ(SToolInstances::m_pQuantifySheet, nullptr);

    s = OpenSheet(v);
    s->OnOKButton();
    Pump(10);
    EXPECT_TRUE(m_pDoc->GetQuantify()->m_bValid);
    EXPECT_TRUE(m_pDoc->IsModified());
    const CQuantify kept = *m_pDoc->GetQuantify();
    m_pDoc->SetModifiedFlag(false);

    s = OpenSheet(v);
    s->GetRgnsPage()->m_Grid.OnCellTypeNotify(0, 0, 0, CTN_CHECK, 0);
    s->GetDispPage()->OnCalc(IDC_QUANTDISP_PKTOPK);
    EXPECT_FALSE(*m_pDoc->GetQuantify() == kept);
    s->OnClose();
    Pump(10);
    EXPECT_TRUE(*m_pDoc->GetQuantify() == kept);
    EXPECT_FALSE(m_pDoc->IsModified());

    // A save while the sheet is open writes its changed state; Cancel puts the
    // old state back, which the file no longer holds, so the document stays
    // modified (it was left unmodified and closed without a prompt).
    s = OpenSheet(v);
    s->GetRgnsPage()->m_Grid.OnCellTypeNotify(0, 0, 0, CTN_CHECK, 0);
    ASSERT_TRUE(Execute(ID_FILE_SAVE));
    ASSERT_FALSE(m_pDoc->IsModified());
    s->OnClose();
    Pump(10);
    EXPECT_TRUE(*m_pDoc->GetQuantify() == kept);
    EXPECT_TRUE(m_pDoc->IsModified());
}

// Curves processed while the sheet is closed (here the flat 10 taken off as
// a background would be): the next opening shows their composition, not the
// one worked out before, and the document then holds a changed state.
TEST_F(QuantifySheetTest, ReopeningFollowsCurvesChangedMeanwhile)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    s->OnOKButton();
    Pump(10);
    m_pDoc->SetModifiedFlag(false);
    for (int r = 0; r < 3; ++r)
        for (int l = 0; l < 3; ++l) {
            double* y = m_pDoc->GetStagePosn(0)->GetSpecRgn(r)->GetTrace(l)->GetData();
            for (int i = 0; i < 50; ++i)
                y[i] -= 10.0;
        }
    s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    const CQuantify::RgnList& list = m_pDoc->GetQuantify()->m_RgnLists[0];
    for (int l = 0; l < 3; ++l) {
        // Heights (r + 1)(l + 1)100 over the factors; the dwell is common.
        double share[3], total = 0.0;
        for (int r = 0; r < 3; ++r)
            total += share[r] = (r + 1) * (l + 1) * 100.0 / list[size_t(r)].m_dRSF;
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(list[size_t(r)].m_pdResults[size_t(l)], 100.0 * share[r] / total, 1e-9)
                << "region " << r << " level " << l;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", list[0].m_pdResults[0]);
    EXPECT_EQ(CellText(s->GetRgnsPage()->m_Grid, 4, 0), buf);
    s->OnOKButton();
    Pump(10);
    EXPECT_TRUE(m_pDoc->IsModified());
}

// Choosing the peak area puts the limit lines on the current plot window and
// choosing another measure takes them off; either way the window is painted
// again at once (the lines used to appear, or stay, until something else
// repainted it).
TEST_F(QuantifySheetTest, AreaLimitLinesComeAndGoOnTheScreenAtOnce)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    CSpecWnd* w = v->GetSpecWnd();
    ASSERT_NE(w, nullptr);
    struct PaintSpy : QObject
    {
        bool painted = false;
        bool eventFilter(QObject*, QEvent* e) override
        {
            painted = painted || e->type() == QEvent::Paint;
            return false;
        }
    } spy;
    w->installEventFilter(&spy);
    Pump(20);
    for (const auto& [id, shown] : {std::pair{IDC_QUANTDISP_PKAREA, true},
                                    {IDC_QUANTDISP_PKHEIGHT, false},
                                    {IDC_QUANTDISP_PKAREA, true},
                                    {IDC_QUANTDISP_PKTOPK, false}}) {
        SCOPED_TRACE(id);
        spy.painted = false;
        s->GetDispPage()->OnCalc(id);
        Pump(20);
        EXPECT_EQ(bool(s->GetLowerCursor()->IsShown()), shown);
        EXPECT_EQ(bool(s->GetUpperCursor()->IsShown()), shown);
        EXPECT_TRUE(spy.painted);
    }
    w->removeEventFilter(&spy);
}

// OK marks the document only when the state it keeps is not the one at
// opening; the sheet's own window closing while another window keeps the
// document open leaves a changed state asked about.
TEST_F(QuantifySheetTest, OkAndAClosedWindowMarkTheDocumentOnlyForAChange)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    s->OnOKButton();
    Pump(10);
    const CQuantify kept = *m_pDoc->GetQuantify();
    m_pDoc->SetModifiedFlag(false);

    s = OpenSheet(v);
    s->OnOKButton();
    Pump(10);
    EXPECT_FALSE(m_pDoc->IsModified());

    // The file holds the edit that OK then confirms the undoing of.
    s = OpenSheet(v);
    s->GetRgnsPage()->m_Grid.OnCellTypeNotify(0, 0, 0, CTN_CHECK, 0);
    ASSERT_TRUE(Execute(ID_FILE_SAVE));
    s->GetRgnsPage()->m_Grid.OnCellTypeNotify(0, 0, 0, CTN_CHECK, 0);
    ASSERT_TRUE(*m_pDoc->GetQuantify() == kept);
    s->OnOKButton();
    Pump(10);
    EXPECT_TRUE(m_pDoc->IsModified());
    ASSERT_TRUE(Execute(ID_FILE_SAVE));
    ASSERT_FALSE(m_pDoc->IsModified());

    auto* tmpl = dynamic_cast<CMultiDocTemplate*>(m_pDoc->GetDocTemplate());
    ASSERT_NE(tmpl, nullptr);
    CMDIChildWnd* second = tmpl->CreateNewFrame(m_pDoc);
    ASSERT_NE(second, nullptr);
    tmpl->InitialUpdateFrame(second, m_pDoc, true);
    Pump(10);
    s = OpenSheet(v);
    s->GetRgnsPage()->m_Grid.OnCellTypeNotify(0, 0, 1, CTN_CHECK, 0);
    const CQuantify edited = *m_pDoc->GetQuantify();
    v->GetParentFrame()->close();
    Pump(10);
    EXPECT_EQ(CQuantifySheet::GetInstance(), nullptr);
    ASSERT_EQ(tmpl->GetFrames(m_pDoc).size(), 1u);
    EXPECT_TRUE(*m_pDoc->GetQuantify() == edited);
    EXPECT_TRUE(m_pDoc->IsModified());
}

TEST_F(QuantifySheetTest, ProfilePaneShowsAndHidesInPlaceOfTheView)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    QPushButton* b = s->GetShowHideButton();
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->isEnabled()); // selected regions, 3 levels
    EXPECT_EQ(b->text(), QStringLiteral("Show"));
    QTest::mouseClick(b, Qt::LeftButton);
    Pump(20);
    CQuantifyPrfView* pane = s->GetProfileView();
    ASSERT_NE(pane, nullptr);
    EXPECT_FALSE(v->isVisible());
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(b->text(), QStringLiteral("Hide"));
    EXPECT_EQ(pane->GetNumCurves(), 3);
    // It stands in for the view in the frame and the document: the frame's
    // active view with the first pane's id, the document's commands routed to
    // it and refused.
    CMDIChildWnd* frame = v->GetParentFrame();
    const auto listed = [this](CView* w) {
        return std::count(m_pDoc->GetViews().begin(), m_pDoc->GetViews().end(), w);
    };
    EXPECT_EQ(frame->GetActiveView(), pane);
    EXPECT_EQ(pane->GetParentFrame(), frame);
    EXPECT_EQ(listed(pane), 1);
    EXPECT_EQ(listed(v), 1);
    EXPECT_EQ(pane->GetDlgCtrlID(), CView::FirstPaneID);
    EXPECT_EQ(v->GetDlgCtrlID(), CView::FirstPaneID + 1);
    for (unsigned id : {ID_DISP_SAMPLE, ID_DISP_REGION, ID_DISP_LEVEL}) {
        CCmdUI ui(id);
        EXPECT_TRUE(frame->RouteCommand(id, &ui));
        EXPECT_FALSE(ui.m_bEnabled);
    }
    QPointer<CQuantifyPrfView> gone(pane);
    // The view's level, region and sample commands rest while the pane stands in for it.
    EXPECT_FALSE(Enabled(v, ID_DISP_LEVEL));
    EXPECT_FALSE(Enabled(v, ID_DISP_REGION));
    EXPECT_EQ(pane->GetYMin(), 0.0);
    // The Absolute and Normalised buttons follow the pane.
    EXPECT_TRUE(s->GetDispPage()->m_bProfile);
    s->GetDispPage()->OnDispMode(IDC_QUANTDISP_NORM);
    EXPECT_EQ(pane->GetYMax(), 100.0);
    for (int t = 0; t < 3; ++t) {
        const std::vector<double> y = pane->CurveValues(t);
        EXPECT_DOUBLE_EQ(*std::max_element(y.begin(), y.end()), 100.0);
    }
    // A curve whose largest value is 0 cannot be scaled to 100: it stays 0.
    for (int l = 0; l < 3; ++l) {
        double* y = m_pDoc->GetStagePosn(0)->GetSpecRgn(2)->GetTrace(l)->GetData();
        std::fill(y, y + 50, 0.0);
    }
    s->Recalculate(false);
    for (double y : pane->CurveValues(2))
        EXPECT_EQ(y, 0.0);
    const std::vector<double> first = pane->CurveValues(0);
    EXPECT_DOUBLE_EQ(*std::max_element(first.begin(), first.end()), 100.0);
    QTest::mouseClick(b, Qt::LeftButton);
    Pump(20);
    EXPECT_EQ(s->GetProfileView(), nullptr);
    EXPECT_TRUE(gone.isNull());
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(frame->GetActiveView(), v);
    EXPECT_EQ(frame->GetViews().size(), 1u);
    EXPECT_EQ(m_pDoc->GetViews().size(), 1u);
    EXPECT_EQ(v->GetDlgCtrlID(), CView::FirstPaneID);
    EXPECT_FALSE(s->GetDispPage()->m_bProfile);
    EXPECT_TRUE(Enabled(v, ID_DISP_LEVEL));
    // The display-mode buttons are disabled while the pane is hidden.
    s->SetActivePage(1);
    Pump(10);
    EXPECT_FALSE(s->GetDispPage()->findChild<QRadioButton*>(QStringLiteral("id_4812"))->isEnabled());
}

// Show is offered while a region is checked: unchecking the last one takes
// it away and checking one gives it back without reopening the sheet.
TEST_F(QuantifySheetTest, ShowFollowsTheCheckedRegions)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    CQuantify_RgnsGrid& g = s->GetRgnsPage()->m_Grid;
    QPushButton* b = s->GetShowHideButton();
    ASSERT_TRUE(b->isEnabled());
    const struct
    {
        long row;
        bool enabled;
    } steps[] = {{0, true}, {1, true}, {2, false}, {1, true}};
    for (const auto& step : steps) {
        g.OnCellTypeNotify(0, 0, step.row, CTN_CHECK, 0);
        EXPECT_EQ(b->isEnabled(), step.enabled) << "after row " << step.row;
    }
}

// The pane's legend names each curve by its region's label, in the curves'
// order, and follows unchecking a region and renaming one.
TEST_F(QuantifySheetTest, ProfileLegendNamesTheSelectedRegions)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    s->OnShowHide();
    Pump(20);
    ASSERT_NE(s->GetProfileView(), nullptr);
    const auto labels = [s] {
        std::vector<std::string> out;
        if (CLegend* l = s->GetProfileView()->GetLegend(); l && l->isVisible())
            for (int i = 0; i < l->GetNumEntries(); ++i)
                out.push_back(l->GetLabel(i));
        return out;
    };
    using L = std::vector<std::string>;
    EXPECT_EQ(labels(), (L{"C 1s", "O 1s", "Si 2p3/2"}));
    CQuantify_RgnsGrid& g = s->GetRgnsPage()->m_Grid;
    g.OnCellTypeNotify(0, 0, 1, CTN_CHECK, 0);
    Pump(10);
    EXPECT_EQ(labels(), (L{"C 1s", "Si 2p3/2"}));
    std::string text = "Silicon";
    g.OnEditFinish(0, 2, nullptr, text, 0);
    EXPECT_EQ(labels(), (L{"C 1s", "Silicon"}));
    // A label typed in the grid is record text (code page 1252); the legend
    // showed a replacement mark in place of the umlaut.
    text = "Silizium \xDC";
    g.OnEditFinish(0, 2, nullptr, text, 0);
    EXPECT_EQ(labels(), (L{"C 1s", "Silizium \u00DC"}));
    for (long r : {0, 2})
        g.OnCellTypeNotify(0, 0, r, CTN_CHECK, 0);
    Pump(10);
    EXPECT_EQ(labels(), L{}); // no curve, no legend: the notice instead
    s->OnShowHide();
    Pump(10);
}

// The legend keeps off the curves: a composition rising to the top at the
// last level sends it to the lower corner, one that ends low keeps it in the
// upper corner; either way it covers no point.
TEST_F(QuantifySheetTest, ProfileLegendKeepsOffTheCurves)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    const struct
    {
        double percent[3][3]; // region, level
        bool top;
    } cases[] = {
        {{{45, 40, 25}, {45, 40, 25}, {10, 20, 50}}, false},
        {{{80, 50, 2}, {10, 25, 49}, {10, 25, 49}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.top);
        // Peak heights that give these shares over the regions' factors.
        const CQuantify::RgnList& list = m_pDoc->GetQuantify()->m_RgnLists[0];
        for (int r = 0; r < 3; ++r)
            for (int l = 0; l < 3; ++l) {
                double* y = m_pDoc->GetStagePosn(0)->GetSpecRgn(r)->GetTrace(l)->GetData();
                std::fill(y, y + 50, 0.0);
                y[25] = c.percent[r][l] * list[size_t(r)].m_dRSF;
            }
        s->Recalculate(false);
        s->OnShowHide();
        Pump(20);
        CQuantifyPrfView* pane = s->GetProfileView();
        ASSERT_NE(pane, nullptr);
        ASSERT_NEAR(list[2].m_pdResults[2], c.percent[2][2], 1e-9);
        ASSERT_NE(pane->GetLegend(), nullptr);
        EXPECT_EQ(pane->GetLegend()->geometry().center().y() < pane->GetSpecWnd(0)->height() / 2, c.top);
        EXPECT_EQ(pane->PointsUnderLegend(), 0);
        s->OnShowHide();
        Pump(10);
    }
}

// Closing the document with the sheet and its pane open takes the sheet's
// window down without OK or Cancel; the state stays with the document.
TEST_F(QuantifySheetTest, ClosingTheDocumentTakesTheSheetDown)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    QTest::mouseClick(s->GetShowHideButton(), Qt::LeftButton);
    Pump(20);
    ASSERT_TRUE(s->IsProfileShown());
    QPointer<CQuantifyPrfView> pane(s->GetProfileView());
    app->CloseAllDocuments(true);
    Pump(20);
    EXPECT_TRUE(pane.isNull());
    EXPECT_EQ(CQuantifySheet::GetInstance(), nullptr);
    EXPECT_EQ(SToolInstances::m_pQuantifySheet, nullptr);
}

TEST_F(QuantifySheetTest, ExportWritesThePositionAsText)
{
    CSpecView* v = Open(false);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    const QString path = WriteBytes(QStringLiteral("old.txt"), {'x'});
    s->SaveTo(path.toStdString());
    std::ifstream in(path.toStdString(), std::ios::binary);
    const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, Quant::ExportText(m_pDoc->GetQuantify()->m_RgnLists[0]));
    EXPECT_EQ(got.substr(0, 6), " Level");
}

TEST_F(QuantifySheetTest, AugerPageLoadsTheDetectorsLibraryAndRemembersBrowsedFiles)
{
    CSpecView* v = Open(true);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->GetPageCount(), 3);
    EXPECT_TRUE(s->IsAES());
    // Detector word 0: the cylindrical mirror analyser's library.
    EXPECT_EQ(m_pDoc->GetQuantify()->m_Auger.m_iFile, 2);
    const QString lib =
        WriteBytes(QStringLiteral("own.dat"), {'5', '0', '0', '0', '\n', 'C', ' ', 'K', 'L', 'L', ' ',
                                               '6', ' ', '0', '.', '5',  ' ', '2', '8', '4', '\n'});
    s->SetActivePage(1);
    Pump(10);
    CQuantify_AES* page = s->GetAESPage();
    page->BrowseTo(lib.toStdString());
    EXPECT_EQ(page->m_iFile, -1);
    EXPECT_EQ(page->m_csFile, lib.toStdString());
    ASSERT_FALSE(page->RememberedFiles().empty());
    EXPECT_EQ(page->RememberedFiles().front(), lib.toStdString());
    EXPECT_EQ(GetProfileString("Quant", "File1"), lib.toStdString()) << "kept before the sheet closes";
    EXPECT_EQ(page->m_pFiles->currentIndex(), CQuantify_AES::NumShipped);
    // Kept beside the document, it is listed by its name alone.
    EXPECT_EQ(page->m_pFiles->itemText(CQuantify_AES::NumShipped), QStringLiteral("own.dat"));
    EXPECT_NE(s->GetAESLib().FindPeak("C", "KLL"), nullptr);
    s->OnOKButton();
    Pump(10);
    EXPECT_EQ(GetProfileString("Quant", "File1"), lib.toStdString());
    // The next sheet offers it again after the shipped libraries.
    s = OpenSheet(v);
    s->SetActivePage(1);
    Pump(10);
    EXPECT_EQ(s->GetAESPage()->m_pFiles->count(), CQuantify_AES::NumShipped + 1);
    EXPECT_EQ(s->GetAESPage()->m_pFiles->currentIndex(), CQuantify_AES::NumShipped);
    s->OnOKButton();
    Pump(10);

    // The library confirmed last is gone when the next AES document is first
    // quantified: the user is told, no library is chosen and factors are 1.0.
    std::remove(lib.toStdString().c_str());
    CSpecView* other = Open(true);
    const size_t before = sink.Texts().size();
    s = OpenSheet(other);
    ASSERT_NE(s, nullptr);
    ASSERT_GT(sink.Texts().size(), before);
    EXPECT_EQ(sink.Texts().back(), "The Auger sensitivity factor library could not be loaded");
    EXPECT_EQ(m_pDoc->GetQuantify()->m_Auger.m_iFile, -1);
    EXPECT_EQ(m_pDoc->GetQuantify()->m_Auger.m_csFile, "");
    for (const CQuantifyRgn& r : m_pDoc->GetQuantify()->m_RgnLists[0])
        EXPECT_EQ(r.m_dRSF, 1.0);
}

// OK with the Auger page active after the beam energy was edited asks
// whether to recalculate; No keeps the old energy and the old factors.
TEST_F(QuantifySheetTest, OkAfterABeamEnergyEditAsksAndNoKeepsTheOldEnergy)
{
    CSpecView* v = Open(true);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    const double factor = m_pDoc->GetQuantify()->m_RgnLists[0][0].m_dRSF;
    EXPECT_NE(factor, 1.0); // C KLL is in the library
    s->SetActivePage(1);
    Pump(10);
    s->GetAESPage()->m_pEnergy->setText(QStringLiteral("10"));
    sink.Answer(IDNO);
    const size_t before = sink.Texts().size();
    s->OnOKButton();
    Pump(10);
    ASSERT_EQ(sink.Texts().size(), before + 1);
    EXPECT_NE(sink.Texts().back().find("beam energy has been changed"), std::string::npos);
    EXPECT_EQ(m_pDoc->GetQuantify()->m_Auger.m_dEnergy, 5.0);
    EXPECT_EQ(m_pDoc->GetQuantify()->m_RgnLists[0][0].m_dRSF, factor);
    EXPECT_EQ(CQuantifySheet::GetInstance(), nullptr);

    // Yes recalculates the factors at the new energy before closing.
    s = OpenSheet(v);
    s->SetActivePage(1);
    Pump(10);
    s->GetAESPage()->m_pEnergy->setText(QStringLiteral("10"));
    sink.Answer(IDYES);
    s->OnOKButton();
    Pump(10);
    EXPECT_EQ(m_pDoc->GetQuantify()->m_Auger.m_dEnergy, 10.0);
    EXPECT_NE(m_pDoc->GetQuantify()->m_RgnLists[0][0].m_dRSF, factor);
}

// A beam energy typed on the Auger page and left there for another page is
// asked about at OK as well; No keeps the energy the factors were scaled to
// (the new energy used to be kept beside the old energy's factors).
TEST_F(QuantifySheetTest, ABeamEnergyLeftOnItsPageIsAskedAboutAtOk)
{
    CSpecView* v = Open(true);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    const double factor = m_pDoc->GetQuantify()->m_RgnLists[0][0].m_dRSF;
    s->SetActivePage(1);
    Pump(10);
    s->GetAESPage()->m_pEnergy->setText(QStringLiteral("10"));
    s->SetActivePage(0);
    Pump(10);
    ASSERT_EQ(s->GetAESPage()->m_dEnergy, 10.0);
    sink.Answer(IDNO);
    const size_t before = sink.Texts().size();
    s->OnOKButton();
    Pump(10);
    ASSERT_EQ(sink.Texts().size(), before + 1);
    EXPECT_NE(sink.Texts().back().find("beam energy has been changed"), std::string::npos);
    EXPECT_EQ(m_pDoc->GetQuantify()->m_Auger.m_dEnergy, 5.0);
    EXPECT_EQ(m_pDoc->GetQuantify()->m_RgnLists[0][0].m_dRSF, factor);
    EXPECT_EQ(CQuantifySheet::GetInstance(), nullptr);
}

// Choosing another library on the Auger page gives the regions that library's
// factors. The file's 5000 eV is the sheet's 5 kV, so its factors apply
// unscaled; the shipped library chosen again brings the first factor back.
TEST_F(QuantifySheetTest, ChoosingALibraryGivesTheRegionsItsFactors)
{
    CSpecView* v = Open(true);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    const auto& list = m_pDoc->GetQuantify()->m_RgnLists[0];
    ASSERT_EQ(list.size(), 3u);
    const double factor = list[0].m_dRSF;
    const std::string text = "5000\nC KLL 6 0.5 284\nO KLL 8 1.25 532\nSi KLL 14 2 1839\n";
    const QString lib =
        WriteBytes(QStringLiteral("mine.dat"), std::vector<uint8_t>(text.begin(), text.end()));
    s->SetActivePage(1);
    Pump(10);
    CQuantify_AES* page = s->GetAESPage();
    page->BrowseTo(lib.toStdString());
    EXPECT_DOUBLE_EQ(list[0].m_dRSF, 0.5);
    EXPECT_DOUBLE_EQ(list[1].m_dRSF, 1.25);
    EXPECT_DOUBLE_EQ(list[2].m_dRSF, 2.0);
    page->SelectLibrary(2);
    EXPECT_EQ(page->m_iFile, 2);
    EXPECT_DOUBLE_EQ(list[0].m_dRSF, factor);
    s->OnOKButton();
    Pump(10);
}

// Yes to loading the library last chosen, when a document kept another one,
// gives the document's regions that library's factors (its 5000 eV is the
// sheet's 5 kV, so they apply unscaled) and the percentages that follow.
TEST_F(QuantifySheetTest, SwitchingToTheLastChosenLibraryGivesItsFactors)
{
    CSpecView* first = Open(true);
    CVeltraneDoc* doc = m_pDoc;
    CQuantifySheet* s = OpenSheet(first);
    ASSERT_NE(s, nullptr);
    s->OnOKButton();
    Pump(10);
    ASSERT_EQ(doc->GetQuantify()->m_Auger.m_iFile, 2);

    const std::string text = "5000\nC KLL 6 0.5 284\nO KLL 8 1.25 532\nSi KLL 14 2 1839\n";
    const QString lib =
        WriteBytes(QStringLiteral("last.dat"), std::vector<uint8_t>(text.begin(), text.end()));
    s = OpenSheet(Open(true));
    ASSERT_NE(s, nullptr);
    s->SetActivePage(1);
    Pump(10);
    s->GetAESPage()->BrowseTo(lib.toStdString());
    s->OnOKButton();
    Pump(10);

    m_pDoc = doc;
    sink.Answer(IDYES);
    s = OpenSheet(first);
    ASSERT_NE(s, nullptr);
    const CQuantify& q = *doc->GetQuantify();
    EXPECT_EQ(q.m_Auger.m_csFile, lib.toStdString());
    const auto& list = q.m_RgnLists[0];
    ASSERT_EQ(list.size(), 3u);
    EXPECT_DOUBLE_EQ(list[0].m_dRSF, 0.5);
    EXPECT_DOUBLE_EQ(list[1].m_dRSF, 1.25);
    EXPECT_DOUBLE_EQ(list[2].m_dRSF, 2.0);
    s->OnOKButton();
    Pump(10);
}

// The beam energy and the library hold for the whole document: a change on
// the Auger page gives every position's regions the same new factors, not
// only those of the position on view.
TEST_F(QuantifySheetTest, ANewBeamEnergyOrLibraryReachesEveryPosition)
{
    CSpecView* v = Open(true, 2);
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(m_pDoc->GetNumStagePosns(), 2);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    const auto& lists = m_pDoc->GetQuantify()->m_RgnLists;
    ASSERT_EQ(lists.size(), 2u);
    ASSERT_EQ(lists[1].size(), 3u);
    const double before = lists[1][0].m_dRSF;
    s->SetActivePage(1);
    Pump(10);
    CQuantify_AES* page = s->GetAESPage();
    page->m_pEnergy->setText(QStringLiteral("10"));
    page->OnEnter();
    EXPECT_NE(lists[0][0].m_dRSF, before);
    for (size_t r = 0; r < 3; ++r)
        EXPECT_EQ(lists[1][r].m_dRSF, lists[0][r].m_dRSF) << r;

    const std::string text = "10000\nC KLL 6 0.5 284\nO KLL 8 1.25 532\nSi KLL 14 2 1839\n";
    const QString lib =
        WriteBytes(QStringLiteral("both.dat"), std::vector<uint8_t>(text.begin(), text.end()));
    page->BrowseTo(lib.toStdString());
    for (const auto& list : lists) {
        EXPECT_DOUBLE_EQ(list[0].m_dRSF, 0.5);
        EXPECT_DOUBLE_EQ(list[2].m_dRSF, 2.0);
    }
    s->OnOKButton();
    Pump(10);
}

// Pictures for a person to look at: set VELTRANE_SCREENSHOT_DIR (under Xvfb for the real look).
TEST_F(QuantifySheetTest, Screenshot)
{
    const QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    // The demonstration depth profile: carbon goes, the oxide thins, silicon grows.
    const QString path = WriteBytes(QStringLiteral("demo.vlt"), MakeDemoFile(5));
    m_pDoc = dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(path.toStdString().c_str()));
    ASSERT_NE(m_pDoc, nullptr);
    auto* v = dynamic_cast<CSpecView*>(m_pDoc->GetViews().front());
    ASSERT_NE(v, nullptr);
    v->GetParentFrame()->resize(900, 600);
    Pump(50);
    CQuantifySheet* s = OpenSheet(v);
    ASSERT_NE(s, nullptr);
    s->GetDispPage()->OnCalc(IDC_QUANTDISP_PKAREA);
    Pump(100);
    s->grab().save(dir + "/quantify-regions.png");
    frame->grab().save(dir + "/quantify-cursors.png");
    QTest::mouseClick(s->GetShowHideButton(), Qt::LeftButton);
    Pump(200);
    frame->grab().save(dir + "/quantify-profile.png");
    s->SetActivePage(1);
    Pump(100);
    s->grab().save(dir + "/quantify-display.png");
}
