// The processing dialogs driven through their widgets on a real spectrum
// view: Apply, Reset, OK and Cancel, remembered positions, one tool at a
// time, the width rules, the background preview over the plot, the limits
// in the document, the unit switch of charge correction.

#include "ToolFixture.h"

#include "analysis/core/Process.h"
#include "analysis/core/SavGol.h"
#include "analysis/ui/BackgroundDlg.h"
#include "analysis/ui/ChargeCorrn.h"
#include "analysis/ui/ProcDlg.h"
#include "analysis/ui/SpikeRemoval.h"
#include "app/SpecView.h"
#include "app/VeltraneView.h"
#include "app/plot/LineCursor.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/MDIChildWnd.h"
#include "framework/ui/Resources.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

namespace {

class ProcessDialogsTest : public ToolFixture
{
protected:
    void CloseTool() override
    {
        if (CProcDlg* d = Dlg())
            d->OnCancel();
    }

    // Positions with the given region counts, each region with nLevels curves
    // of nx points (values c * 1000 + i); the values are then replaced by f.
    CSpecView* Open(const std::vector<int>& rgns, int nLevels, int nx, int sourceType = 18,
                    const std::function<double(int posn, int rgn, int level, int i)>& f = nullptr,
                    double photonEnergy = 1486.6)
    {
        CDataFileBuilder b;
        b.Header().Experiment(0x102, 2).Source(sourceType, photonEnergy).IonGun();
        for (int nRgns : rgns) {
            CDataFileBuilder::SPosnHead head;
            head.levels.clear();
            for (int l = 0; l < nLevels; ++l)
                head.levels.push_back(30.0 * l);
            const size_t at = b.BeginPosn(head, nRgns);
            for (int r = 0; r < nRgns; ++r)
                b.SpecRgn(nx, nLevels);
            b.Count(0);
            b.EndPosn(at);
        }
        b.End();
        static int n = 0;
        const QString path = WriteBytes(QStringLiteral("proc%1.vlt").arg(++n), b.m_bytes);
        auto* doc = dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(path.toStdString().c_str()));
        EXPECT_NE(doc, nullptr);
        if (!doc)
            return nullptr;
        m_pDoc = doc;
        if (f)
            for (int p = 0; p < doc->GetNumStagePosns(); ++p)
                for (int r = 0; r < doc->GetStagePosn(p)->GetNumSpecRgns(); ++r)
                    for (int l = 0; l < nLevels; ++l) {
                        double* y = doc->GetStagePosn(p)->GetSpecRgn(r)->GetTrace(l)->GetData();
                        for (int i = 0; i < nx; ++i)
                            y[i] = f(p, r, l, i);
                    }
        auto* view = dynamic_cast<CSpecView*>(doc->GetViews().front());
        EXPECT_NE(view, nullptr);
        if (view && view->GetParentFrame())
            view->GetParentFrame()->resize(900, 600);
        Pump(20);
        return view;
    }

    static CProcDlg* Dlg() { return dynamic_cast<CProcDlg*>(CVeltraneView::m_pProcDlg); }
    template <class T = QWidget> static T* Ctl(const char* name)
    {
        CProcDlg* d = Dlg();
        return d ? d->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
    static void Click(const char* name)
    {
        auto* b = Ctl<QAbstractButton>(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
        Pump(0);
    }
    static void Type(const char* name, const QString& text)
    {
        auto* e = Ctl<QLineEdit>(name);
        ASSERT_NE(e, nullptr) << name;
        e->setText(text);
    }
    static bool IsEnabled(const char* name)
    {
        auto* w = Ctl<QWidget>(name);
        return w && w->isEnabled();
    }
    std::vector<double> All(CSpecViewBase* v) const
    {
        std::unique_ptr<double[]> c = v->CopyYData();
        return std::vector<double>(c.get(), c.get() + v->GetYDataSize());
    }
    bool Run(unsigned id)
    {
        Execute(id);
        Pump(10);
        return Dlg() != nullptr;
    }

    CVeltraneDoc* m_pDoc = nullptr;
};

double Quadratic(int, int, int level, int i)
{
    return 100.0 * level + 0.5 * i * i - 3.0 * i;
}

} // namespace

TEST_F(ProcessDialogsTest, ApplyResetCancelAndOkFollowTheUndoCopy)
{
    CSpecView* v = Open({2, 1}, 2, 41, 18, Quadratic);
    ASSERT_NE(v, nullptr);
    const std::vector<double> before = All(v);
    ASSERT_EQ(before.size(), size_t(3 * 2 * 41));

    // Cancel after Apply restores every curve of every window, plane and level.
    ASSERT_TRUE(Run(ID_PROCESS_SMOOTH));
    EXPECT_FALSE(IsEnabled("IDC_SMOOTH_RESET"));
    Click("IDC_SMOOTH_SIMPLE");
    Ctl<QSpinBox>("IDC_SMOOTH_WIDTH_SPN")->findChild<QLineEdit*>("IDC_SMOOTH_WIDTH_EDT")->setText("3");
    Click("IDC_SMOOTH_APPLY");
    const std::vector<double> smoothed = All(v);
    ASSERT_NE(smoothed, before);
    // Every curve was smoothed: the interior of a quadratic gains (w^2-1)/12 * 2 * 0.5 for w = 3.
    for (size_t c = 0; c < 6; ++c)
        EXPECT_NEAR(smoothed[c * 41 + 20] - before[c * 41 + 20], 1.0 / 3, 1e-9) << c;
    EXPECT_TRUE(IsEnabled("IDC_SMOOTH_RESET"));
    Click("IDC_SMOOTH_RESET");
    EXPECT_EQ(All(v), before);
    EXPECT_FALSE(IsEnabled("IDC_SMOOTH_RESET"));
    Click("IDC_SMOOTH_APPLY");
    Click("IDCANCEL");
    Pump(0);
    EXPECT_EQ(Dlg(), nullptr);
    EXPECT_EQ(All(v), before);
    EXPECT_FALSE(m_pDoc->IsModified());

    // OK without Apply changes nothing; OK after Apply keeps the result and
    // marks the document modified.
    ASSERT_TRUE(Run(ID_PROCESS_SMOOTH));
    Click("IDOK");
    Pump(0);
    EXPECT_FALSE(m_pDoc->IsModified());
    ASSERT_TRUE(Run(ID_PROCESS_SMOOTH));
    EXPECT_EQ(Ctl<QLineEdit>("IDC_SMOOTH_WIDTH_EDT")->text(), "3") << "the last width comes back";
    Click("IDC_SMOOTH_APPLY");
    Click("IDOK");
    Pump(0);
    EXPECT_TRUE(m_pDoc->IsModified());
    EXPECT_EQ(All(v), smoothed);
}

// A save while the dialog is open writes the processed curves. Taking the
// processing back afterwards (Cancel, or Reset and OK) must leave the document
// modified: it was left unmodified, so it closed without a prompt and the file
// kept curves the user had cancelled.
TEST_F(ProcessDialogsTest, SavedWhileAppliedStaysModifiedWhenTakenBack)
{
    struct Case
    {
        const char* name;
        bool save;
        std::vector<const char*> clicks; // after the save
        bool modified;
    };
    const Case cases[] = {
        {"cancel after save", true, {"IDCANCEL"}, true},
        {"reset and OK after save", true, {"IDC_SMOOTH_RESET", "IDOK"}, true},
        {"apply again, cancel", true, {"IDC_SMOOTH_APPLY", "IDCANCEL"}, true},
        {"cancel, no save", false, {"IDCANCEL"}, false},
        {"reset and OK, no save", false, {"IDC_SMOOTH_RESET", "IDOK"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSpecView* v = Open({1}, 1, 41, 18, Quadratic);
        ASSERT_NE(v, nullptr);
        ASSERT_FALSE(m_pDoc->IsModified());
        ASSERT_TRUE(Run(ID_PROCESS_SMOOTH));
        Click("IDC_SMOOTH_APPLY");
        if (c.save) {
            ASSERT_TRUE(Execute(ID_FILE_SAVE));
            Pump(0);
            ASSERT_FALSE(m_pDoc->IsModified());
        }
        for (const char* name : c.clicks)
            Click(name);
        Pump(0);
        EXPECT_EQ(Dlg(), nullptr);
        EXPECT_EQ(m_pDoc->IsModified(), c.modified);
        app->CloseAllDocuments(true);
        Pump(0);
    }

    // Background limits moved and saved, then cancelled or moved back: the
    // file holds the moved limits, the document the old ones. Unmoved limits
    // and a save in between leave nothing to ask about.
    struct LimitCase
    {
        const char* name;
        bool moved;     // the start limit dragged before the save
        bool movedBack; // and dragged back to where it was after it
        const char* button;
        bool modified;
    };
    const LimitCase limitCases[] = {
        {"moved, cancel", true, false, "IDCANCEL", true},
        {"moved back, OK", true, true, "IDOK", true},
        {"moved back, cancel", true, true, "IDCANCEL", true},
        {"not moved, OK", false, false, "IDOK", false},
    };
    for (const LimitCase& c : limitCases) {
        SCOPED_TRACE(c.name);
        CSpecView* v = Open({1}, 1, 41, 18, Quadratic);
        ASSERT_NE(v, nullptr);
        ASSERT_TRUE(Run(ID_PROCESS_BACKGROUNDSUBTRACTION));
        auto* dlg = dynamic_cast<CBackgroundDlg*>(Dlg());
        ASSERT_NE(dlg, nullptr);
        const CBackground::Limits opened = m_pDoc->GetBackgroundSubtract()->GetAll();
        auto dragStart = [&](int i) {
            dlg->GetStartCursor()->MoveTo(v->GetSpecTrace()->IndexTox(i));
            v->OnLineCursorPos(0, reinterpret_cast<intptr_t>(dlg->GetStartCursor()));
        };
        if (c.moved)
            dragStart(20);
        ASSERT_TRUE(Execute(ID_FILE_SAVE));
        ASSERT_FALSE(m_pDoc->IsModified());
        if (c.movedBack) {
            dragStart(opened.at(0).at(0).start);
            ASSERT_EQ(m_pDoc->GetBackgroundSubtract()->GetAll(), opened);
        }
        Click(c.button);
        Pump(0);
        EXPECT_EQ(m_pDoc->IsModified(), c.modified);
        app->CloseAllDocuments(true);
        Pump(0);
    }
}

TEST_F(ProcessDialogsTest, OneToolAtATimeAndClosingTheViewCancels)
{
    CSpecView* v = Open({1}, 1, 41, 18, Quadratic);
    ASSERT_NE(v, nullptr);
    const std::vector<double> before = All(v);
    ASSERT_TRUE(Run(ID_PROCESS_INTEGRATE));
    CProcDlg* first = Dlg();
    for (unsigned id : {ID_PROCESS_SMOOTH, ID_PROCESS_DIFFERENTIATE, ID_PROCESS_BACKGROUNDSUBTRACTION,
                        ID_PROCESS_SATELLITE, ID_PROCESS_SPIKEREMOVAL, ID_PROCESS_CHARGECORRN})
        EXPECT_FALSE(Action(id)->isEnabled()) << id;
    Execute(ID_PROCESS_SMOOTH);
    EXPECT_EQ(Dlg(), first);
    Click("IDC_INTEGRATE_APPLY");
    EXPECT_NE(All(v), before);
    // The view going cancels its dialog, curves restored first.
    v->OnDestroy();
    Pump(0);
    EXPECT_EQ(Dlg(), nullptr);
    EXPECT_EQ(All(v), before);
}

TEST_F(ProcessDialogsTest, PositionsAreRememberedPerKind)
{
    CSpecView* v = Open({1}, 1, 41);
    ASSERT_NE(v, nullptr);
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_TRUE(Run(ID_PROCESS_SATELLITE));
    QRect r = Dlg()->geometry();
    EXPECT_NEAR(r.center().x(), work.center().x(), 1);
    EXPECT_EQ(r.bottom(), work.bottom() - 2);
    Dlg()->setGeometry(r.translated(-40, -60));
    const QRect moved = Dlg()->geometry();
    Click("IDOK");
    Pump(0);
    ASSERT_TRUE(Run(ID_PROCESS_SATELLITE));
    EXPECT_EQ(Dlg()->geometry(), moved);
    Click("IDOK");
    Pump(0);
    ASSERT_TRUE(Run(ID_PROCESS_SPIKEREMOVAL));
    EXPECT_EQ(Dlg()->geometry().bottom(), work.bottom() - 2) << "another kind keeps its own place";
}

TEST_F(ProcessDialogsTest, SmoothingWidthRules)
{
    CSpecView* v = Open({1}, 1, 8, 18, Quadratic);
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(Run(ID_PROCESS_SMOOTH));
    auto* edit = Ctl<QLineEdit>("IDC_SMOOTH_WIDTH_EDT");
    auto* spin = Ctl<QSpinBox>("IDC_SMOOTH_WIDTH_SPN");
    Click("IDC_SMOOTH_SIMPLE");
    edit->setText("6");
    EXPECT_TRUE(IsEnabled("IDC_SMOOTH_APPLY"));
    edit->setText("1");
    EXPECT_FALSE(IsEnabled("IDC_SMOOTH_APPLY"));
    edit->setText("6");
    // Savitzky-Golay lowers an even width to the odd one below; the arrows step by two.
    Click("IDC_SMOOTH_SAVGOL");
    EXPECT_EQ(edit->text(), "5");
    spin->stepBy(1);
    EXPECT_EQ(edit->text(), "7");
    spin->stepBy(-1);
    spin->stepBy(-1);
    EXPECT_EQ(edit->text(), "5") << "not below the method's minimum";
    // An even width typed by hand has no matrix: Apply is greyed and says why.
    edit->setText("8");
    EXPECT_FALSE(IsEnabled("IDC_SMOOTH_APPLY"));
    EXPECT_FALSE(Ctl<QLabel>("ReasonLabel")->text().isEmpty());
    // A curve shorter than the width is skipped and reported once; with
    // every curve skipped there is nothing to take back, and nothing to save.
    m_pDoc->SetModifiedFlag(false);
    edit->setText("9");
    Click("IDC_SMOOTH_APPLY");
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{Text(2352)});
    EXPECT_FALSE(IsEnabled("IDC_SMOOTH_RESET"));
    Click("IDOK");
    Pump(0);
    EXPECT_FALSE(m_pDoc->IsModified());
    // As many points as the width is smoothed (the cubic rows keep a quadratic).
    ASSERT_TRUE(Run(ID_PROCESS_SMOOTH));
    Click("IDC_SMOOTH_SAVGOL");
    const std::vector<double> before = All(v);
    Ctl<QLineEdit>("IDC_SMOOTH_WIDTH_EDT")->setText("7");
    Click("IDC_SMOOTH_APPLY");
    const std::vector<double> after = All(v);
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_NEAR(after[i], before[i], 1e-4) << i;
}

TEST_F(ProcessDialogsTest, DifferentiationRangesAndResult)
{
    CSpecView* v = Open({1}, 1, 21, 18, Quadratic);
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(Run(ID_PROCESS_DIFFERENTIATE));
    auto* edit = Ctl<QLineEdit>("IDC_DIFFERENTIATE_WIDTH_EDT");
    auto* order = Ctl<QComboBox>("IDC_DIFFERENTIATE_ORDER");
    Click("IDC_DIFFERENTIATE_SIMPLE");
    order->setCurrentIndex(2);
    edit->setText("3");
    EXPECT_FALSE(IsEnabled("IDC_DIFFERENTIATE_APPLY")) << "third order needs 4 points";
    edit->setText("4");
    EXPECT_TRUE(IsEnabled("IDC_DIFFERENTIATE_APPLY"));
    Click("IDC_DIFFERENTIATE_SAVGOL");
    EXPECT_EQ(edit->text(), "3");
    EXPECT_FALSE(IsEnabled("IDC_DIFFERENTIATE_APPLY")) << "third order Savitzky-Golay needs 7";
    edit->setText("7");
    EXPECT_TRUE(IsEnabled("IDC_DIFFERENTIATE_APPLY"));
    // First derivative of 0.5 i^2 - 3 i by Savitzky-Golay: i - 3 at every point.
    order->setCurrentIndex(0);
    edit->setText("5");
    Click("IDC_DIFFERENTIATE_APPLY");
    const std::vector<double> d = All(v);
    for (int i = 0; i < 21; ++i)
        EXPECT_NEAR(d[size_t(i)], i - 3.0, 1e-4) << i;
    // The derivative goes below zero: the pane at full scale, its minimum
    // "Zero" as shipped, shows that part too.
    Click("IDOK");
    Pump(0);
    Execute(ID_VIEW_FULLSCALE);
    Pump(10);
    EXPECT_LT(v->GetSpecTrace()->GetYmin(), -2.9);
}

TEST_F(ProcessDialogsTest, IntegrationRepeatsFromTheOpeningCurves)
{
    CSpecView* v = Open({1}, 1, 16, 18, [](int, int, int, int) { return 1.0; });
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(Run(ID_PROCESS_INTEGRATE));
    EXPECT_FALSE(IsEnabled("IDC_INTEGRATE_WIDTH")) << "the width serves Ends only";
    Click("IDC_INTEGRATE_NONE");
    // The default width 16 is not below 16 points: not integrated, reported.
    Click("IDC_INTEGRATE_APPLY");
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{Text(2352)});
    EXPECT_EQ(All(v), std::vector<double>(16, 1.0));
    Click("IDC_INTEGRATE_ENDS");
    Type("IDC_INTEGRATE_WIDTH", "4");
    Click("IDC_INTEGRATE_NONE");
    Click("IDC_INTEGRATE_APPLY");
    std::vector<double> once = All(v);
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(once[size_t(k)], k, 1e-12);
    Click("IDC_INTEGRATE_APPLY");
    EXPECT_EQ(All(v), once) << "a second Apply integrates the opening curves again";
    Click("IDC_INTEGRATE_MEAN");
    Click("IDC_INTEGRATE_APPLY");
    for (double y : All(v))
        EXPECT_NEAR(y, 0.0, 1e-12);
    Type("IDC_INTEGRATE_WIDTH", "0");
    EXPECT_FALSE(IsEnabled("IDC_INTEGRATE_APPLY"));
}

TEST_F(ProcessDialogsTest, SatellitesOfTheSourceAreSubtracted)
{
    // Mg K-alpha, step 0.1: shifts 84, 102, 175 and 200 points; 48.5 eV (485) lies beyond 301 points.
    const int n = 301;
    CSpecView* v = Open({1}, 1, n, 10, [](int, int, int, int i) { return i == 0 ? 1000.0 : 0.0; });
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(Run(ID_PROCESS_SATELLITE));
    Click("IDC_SATELLITE_APPLY");
    const std::vector<double> y = All(v);
    EXPECT_NEAR(y[84], -85.3, 1e-9);
    EXPECT_NEAR(y[102], -46.0, 1e-9);
    EXPECT_NEAR(y[175], -5.5, 1e-9);
    EXPECT_NEAR(y[200], -4.5, 1e-9);
    EXPECT_NEAR(y[101], 0.0, 1e-12);
    EXPECT_NEAR(y[0], 1000.0, 1e-9);
    Click("IDOK");
    Pump(0);
    EXPECT_TRUE(m_pDoc->IsModified());

    // A source without satellites: Apply changes nothing, and Close leaves
    // nothing to save.
    app->CloseAllDocuments(true);
    Pump(0);
    v = Open({1}, 1, n, 0, [](int, int, int, int i) { return i == 0 ? 1000.0 : 0.0; });
    ASSERT_NE(v, nullptr);
    const std::vector<double> before = All(v);
    ASSERT_TRUE(Run(ID_PROCESS_SATELLITE));
    Click("IDC_SATELLITE_APPLY");
    EXPECT_EQ(All(v), before);
    EXPECT_FALSE(IsEnabled("IDC_SATELLITE_RESET"));
    Click("IDOK");
    Pump(0);
    EXPECT_FALSE(m_pDoc->IsModified());
}

TEST_F(ProcessDialogsTest, SpikeUnderTheMarker)
{
    CSpecView* v = Open({1}, 1, 41, 18, [](int, int, int, int i) { return i == 20 ? 500.0 : double(i); });
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(Run(ID_PROCESS_SPIKEREMOVAL));
    auto* dlg = dynamic_cast<CSpikeRemoval*>(Dlg());
    ASSERT_NE(dlg, nullptr);
    CSpecTrace* t = v->GetSpecTrace();
    ASSERT_NE(t, nullptr);
    // The marker sits over the centre of the curve; put it on the spike.
    dlg->GetMarker()->MoveTo(t->IndexTox(20));
    Type("IDC_SPIKE_NPTS", "2");
    Click("IDC_SPIKE_APPLY");
    EXPECT_DOUBLE_EQ(All(v)[20], 20.0);
    Click("IDCANCEL");
    Pump(0);
    EXPECT_DOUBLE_EQ(All(v)[20], 500.0);
}

TEST_F(ProcessDialogsTest, BackgroundPreviewLimitsAndBlock169)
{
    // A peak on a step: Shirley territory.
    const int n = 101;
    auto peak = [](int, int, int level, int i) {
        return (i < 50 ? 300.0 : 100.0) + 2000.0 * std::exp(-std::pow((i - 50) / 6.0, 2)) + 10.0 * level;
    };
    CSpecView* v = Open({2}, 2, n, 18, peak);
    ASSERT_NE(v, nullptr);
    const std::vector<double> before = All(v);
    ASSERT_TRUE(Run(ID_PROCESS_BACKGROUNDSUBTRACTION));
    auto* dlg = dynamic_cast<CBackgroundDlg*>(Dlg());
    ASSERT_NE(dlg, nullptr);
    CBackground* limits = m_pDoc->GetBackgroundSubtract();
    EXPECT_EQ(limits->GetAll(), (CBackground::Limits{{{10, 90}, {10, 90}}}));
    EXPECT_FALSE(v->IsMultiTraceDisplay());

    // The preview is drawn over the plot in the background colour.
    CSpecWnd* w = v->GetSpecWnd();
    Pump(20);
    const QImage img = w->grab().toImage();
    const QColor green(0, 127, 0);
    int greens = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            greens += QColor(img.pixel(x, y)) == green;
    EXPECT_GT(greens, 50) << "background curve drawn over the plot";

    // Dragging the finish cursor moves the limit of this region only.
    CSpecTrace* t = v->GetSpecTrace();
    CLineCursor* finish = dlg->GetFinishCursor();
    finish->MoveTo(t->IndexTox(80));
    v->OnLineCursorPos(0, reinterpret_cast<intptr_t>(finish));
    const int iWnd = w->GetWndID();
    EXPECT_EQ(limits->GetLimits(0, iWnd)->finish, 80);
    std::vector<double> want(static_cast<size_t>(n));
    int np = 0;
    const double* y = t->GetYData(&np);
    CalcBackground(want.data(), y, 10, 80, n, BkgShirley);
    EXPECT_EQ(dlg->GetBackground()[30], want[30]);

    // Apply subtracts from the current curve only; Cancel restores curves and limits.
    Click("IDC_BACKGROUND_APPLY");
    EXPECT_NEAR(y[30], before[size_t(iWnd * 2 * n) + 30] - want[30], 1e-9);
    Click("IDCANCEL");
    Pump(0);
    EXPECT_EQ(All(v), before);
    EXPECT_EQ(limits->GetAll(), (CBackground::Limits{{{10, 90}, {10, 90}}}));
    EXPECT_TRUE(v->IsMultiTraceDisplay());

    // OK keeps moved limits, and saving writes them in block 169.
    ASSERT_TRUE(Run(ID_PROCESS_BACKGROUNDSUBTRACTION));
    dlg = dynamic_cast<CBackgroundDlg*>(Dlg());
    Click("IDC_BACKGROUND_LINEAR");
    Ctl<QCheckBox>("IDC_BACKGROUND_LEVELS")->setChecked(true);
    dlg->GetStartCursor()->MoveTo(t->IndexTox(5));
    v->OnLineCursorPos(0, reinterpret_cast<intptr_t>(dlg->GetStartCursor()));
    Click("IDC_BACKGROUND_APPLY");
    // Every level of the region lost its own linear background.
    for (int level = 0; level < 2; ++level) {
        int m = 0;
        const double* yl = w->GetYData(&m, level, w->GetDispPlane());
        EXPECT_NEAR(yl[5], 0.0, 60) << level;
    }
    Click("IDOK");
    Pump(0);
    EXPECT_TRUE(m_pDoc->IsModified());
    ASSERT_TRUE(m_pDoc->OnSaveDocument(m_pDoc->GetPathName().c_str()));
    CVeltraneDoc again;
    CFile f;
    ASSERT_TRUE(f.Open(m_pDoc->GetPathName(), CFile::modeRead));
    ASSERT_TRUE(again.ReadFrom(f));
    EXPECT_EQ(again.GetBackgroundSubtract()->GetLimits(0, iWnd)->start, 5);
    EXPECT_EQ(again.GetBackgroundSubtract()->GetLimits(0, iWnd)->finish, 90);
    // The saved curves carry the limits of the subtracted values, not of the
    // curves before (an export writes them too).
    for (int level = 0; level < 2; ++level) {
        const CTrace* saved = again.GetStagePosn(0)->GetSpecRgn(iWnd)->GetTrace(level);
        const double* d = saved->GetData();
        const auto [lo, hi] = std::minmax_element(d, d + saved->GetNumPoints());
        EXPECT_EQ(saved->GetMinValue(), *lo) << level;
        EXPECT_EQ(saved->GetMaxValue(), *hi) << level;
    }
}

TEST_F(ProcessDialogsTest, ChargeCorrectionMovesTheOffsetsAndFollowsTheUnit)
{
    // Regions at 280 to 290 eV kinetic (offset 0.5): no carbon or oxygen line in them.
    CSpecView* v = Open({2}, 1, 101);
    ASSERT_NE(v, nullptr);
    // OK with the reference left at the cursor's energy moves nothing.
    m_pDoc->SetModifiedFlag(false);
    ASSERT_TRUE(Run(ID_PROCESS_CHARGECORRN));
    Click("IDOK");
    Pump(0);
    EXPECT_EQ(m_pDoc->GetStagePosn(0)->GetSpecRgn(0)->GetOffset(), 0.5);
    EXPECT_FALSE(m_pDoc->IsModified());
    ASSERT_TRUE(Run(ID_PROCESS_CHARGECORRN));
    EXPECT_FALSE(Ctl<QRadioButton>("IDC_CHARGECORRN_CARBON")->isChecked());
    EXPECT_FALSE(Ctl<QRadioButton>("IDC_CHARGECORRN_OXYGEN")->isChecked());
    auto* now = Ctl<QLineEdit>("IDC_CHARGECORRN_NEWVAL");
    auto* cur = Ctl<QLineEdit>("IDC_CHARGECORRN_CURVAL");
    EXPECT_EQ(now->text(), cur->text());
    const double atCursor = cur->text().toDouble();
    // Typing the references selects their buttons (binding energies shown).
    now->setText("532");
    EXPECT_TRUE(Ctl<QRadioButton>("IDC_CHARGECORRN_OXYGEN")->isChecked());
    now->setText("532.5");
    EXPECT_FALSE(Ctl<QRadioButton>("IDC_CHARGECORRN_OXYGEN")->isChecked());
    // The unit switch converts both edits.
    dynamic_cast<CProcDlg*>(Dlg())->OnUnitChange(CVeltrane::BE, CVeltrane::KE);
    EXPECT_EQ(now->text(), "954.100");
    dynamic_cast<CProcDlg*>(Dlg())->OnUnitChange(CVeltrane::KE, CVeltrane::BE);
    EXPECT_EQ(now->text(), "532.500");
    // A reference no spectrometer reaches, typed with an exponent into the
    // short field, is refused with the range message: it shifted every region
    // to an infinite or enormous energy and the next correction made it NaN.
    for (const char* huge : {"1e308", "-1e308", "1e6"}) {
        sink.Clear();
        now->setText(QString::fromLatin1(huge));
        Click("IDOK");
        Pump(0);
        ASSERT_NE(Dlg(), nullptr) << huge;
        EXPECT_EQ(sink.Texts(),
                  std::vector<std::string>{FormatMessageId(AFX_IDP_PARSE_REAL_RANGE, {"-100000", "100000"})})
            << huge;
        EXPECT_EQ(m_pDoc->GetStagePosn(0)->GetSpecRgn(0)->GetOffset(), 0.5) << huge;
    }
    // OK: the cursor's energy becomes the typed one on every region, in this
    // window and in a second one on the document.
    auto* tmpl = dynamic_cast<CMultiDocTemplate*>(m_pDoc->GetDocTemplate());
    ASSERT_NE(tmpl, nullptr);
    CMDIChildWnd* second = tmpl->CreateNewFrame(m_pDoc);
    ASSERT_NE(second, nullptr);
    tmpl->InitialUpdateFrame(second, m_pDoc, false);
    auto* other = dynamic_cast<CSpecView*>(second->GetActiveView());
    ASSERT_NE(other, nullptr);
    ASSERT_NE(other->GetSpecWnd(0), nullptr);
    const double otherAt0 = other->GetSpecWnd(0)->xToUnit(50, 0);
    const double thisAt0 = v->GetSpecWnd(0)->xToUnit(50, 0);
    now->setText(QString::number(atCursor - 1.25, 'f', 3));
    Click("IDOK");
    Pump(0);
    for (int r = 0; r < 2; ++r)
        EXPECT_NEAR(m_pDoc->GetStagePosn(0)->GetSpecRgn(r)->GetOffset(), 0.5 + 1.25, 1e-9) << r;
    EXPECT_TRUE(m_pDoc->IsModified());
    const double moved = v->GetSpecWnd(0)->xToUnit(50, 0) - thisAt0;
    EXPECT_NEAR(std::fabs(moved), 1.25, 1e-9);
    EXPECT_NEAR(other->GetSpecWnd(0)->xToUnit(50, 0) - otherAt0, moved, 1e-9);
}

// A coefficient file that holds only the smoothing block serves smoothing;
// differentiation refuses to open with the file message, and so does
// smoothing once the file is cut short.
TEST_F(ProcessDialogsTest, ShortCoefficientFileIsRefusedAtOpening)
{
    CSpecView* v = Open({1}, 1, 41);
    ASSERT_NE(v, nullptr);
    QFile full(QCoreApplication::applicationDirPath() + "/Savgol.dat");
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    const QByteArray bytes = full.readAll();
    const QString dir = settings.Path(QString());
    auto write = [&](qsizetype n) {
        QFile f(dir + "/Savgol.dat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes.left(n));
    };
    CSavGol::s_directory = dir.toStdString() + "/";
    write(CSavGol::BlockBytes);
    ASSERT_TRUE(Run(ID_PROCESS_SMOOTH));
    Click("IDCANCEL");
    Pump(0);
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_FALSE(Run(ID_PROCESS_DIFFERENTIATE));
    write(CSavGol::BlockBytes - 4);
    EXPECT_FALSE(Run(ID_PROCESS_SMOOTH));
    CSavGol::s_directory.clear();
    ASSERT_EQ(sink.Texts().size(), 2u);
    for (const std::string& t : sink.Texts())
        EXPECT_NE(t.find("Savgol.dat"), std::string::npos) << t;
    EXPECT_TRUE(Action(ID_PROCESS_SMOOTH)->isEnabled()) << "nothing stays registered";
}

// Makes LC_NUMERIC use a decimal comma, building the locale into a scratch
// folder when the system has none installed.
bool SetDecimalCommaLocale(const QString& dir)
{
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        return true;
    const std::string cmd =
        "localedef -i de_DE -f UTF-8 '" + dir.toStdString() + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return false;
    setenv("LOCPATH", dir.toStdString().c_str(), 1);
    const bool ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    unsetenv("LOCPATH");
    return ok;
}

// A photon energy of 570 eV puts C 1s (284 eV binding) at 286 eV kinetic,
// inside the regions (280.5 to 290.5 eV with their offset).
TEST_F(ProcessDialogsTest, ChargeCorrectionFindsTheCarbonLineInAnyLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const bool comma = SetDecimalCommaLocale(settings.Path(QString()));
    CSpecView* v = Open({2}, 1, 101, 18, nullptr, 570.0);
    ASSERT_NE(v, nullptr);
    // The dialog opens with the last reference chosen: choose carbon once,
    // after an OK has left another value behind (the choice, made by a
    // button, and the value, kept by OK only, must not undo each other).
    ASSERT_TRUE(Run(ID_PROCESS_CHARGECORRN));
    {
        // The energy at the cursor confirmed as it is: the offsets stay.
        auto* first = dynamic_cast<CChargeCorrn*>(Dlg());
        ASSERT_NE(first, nullptr);
        CSpecWnd* w = v->GetSpecWnd();
        first->GetMarker()->MoveTo(w->UnitTox(289.0, w->GetDispPlane()));
        v->OnLineCursorPos(0, reinterpret_cast<intptr_t>(first->GetMarker()));
        Ctl<QLineEdit>("IDC_CHARGECORRN_NEWVAL")->setText(Ctl<QLineEdit>("IDC_CHARGECORRN_CURVAL")->text());
        Click("IDOK");
        Pump(0);
    }
    ASSERT_TRUE(Run(ID_PROCESS_CHARGECORRN));
    Click("IDC_CHARGECORRN_CARBON");
    Click("IDCANCEL");
    Pump(0);
    ASSERT_TRUE(Run(ID_PROCESS_CHARGECORRN));
    auto* dlg = dynamic_cast<CChargeCorrn*>(Dlg());
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(Ctl<QRadioButton>("IDC_CHARGECORRN_CARBON")->isChecked());
    EXPECT_EQ(Ctl<QLineEdit>("IDC_CHARGECORRN_NEWVAL")->text(), "284.000");
    EXPECT_EQ(Ctl<QLineEdit>("IDC_CHARGECORRN_CURVAL")->text(), "284.000");
    // The peak is found at 286.1 eV: the cursor goes there and OK shifts the
    // kinetic-energy offset by 2.1 on the active region only.
    Ctl<QCheckBox>("IDC_CHARGECORRN_ALLREGIONS")->setChecked(false);
    CSpecWnd* w = v->GetSpecWnd();
    dlg->GetMarker()->MoveTo(w->UnitTox(286.1, w->GetDispPlane()));
    v->OnLineCursorPos(0, reinterpret_cast<intptr_t>(dlg->GetMarker()));
    const double shown = Ctl<QLineEdit>("IDC_CHARGECORRN_CURVAL")->text().toDouble();
    EXPECT_NEAR(shown, 286.1, 0.02);
    Click("IDOK");
    Pump(0);
    const int active = w->GetWndID();
    for (int r = 0; r < 2; ++r)
        EXPECT_NEAR(m_pDoc->GetStagePosn(0)->GetSpecRgn(r)->GetOffset(),
                    r == active ? 0.5 + shown - 284.0 : 0.5, 1e-9)
            << r;
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!comma)
        GTEST_SKIP() << "no decimal-comma locale could be made; checked in the C locale only";
}

// A region whose energies fall point by point (a file on rising binding
// energies) holds the carbon line as well: the dialog put the cursor on the
// middle of the curve instead, as for a region without the line.
TEST_F(ProcessDialogsTest, ChargeCorrectionFindsTheCarbonLineOnAFallingScale)
{
    // A photon energy of 570 eV puts C 1s (284 eV binding) at 286 eV kinetic;
    // the regions run from 290.5 down to 280.5 eV with their offset.
    CSpecView* v = Open({2}, 1, 101, 18, nullptr, 570.0);
    ASSERT_NE(v, nullptr);
    for (int r = 0; r < 2; ++r) {
        CSpecRgn* rgn = m_pDoc->GetStagePosn(0)->GetSpecRgn(r);
        rgn->m_dStart = 290.0;
        rgn->m_dFinish = 280.0;
        rgn->m_dStep = -0.1;
    }
    // Carbon chosen once, so that the next opening looks for it.
    ASSERT_TRUE(Run(ID_PROCESS_CHARGECORRN));
    Click("IDC_CHARGECORRN_CARBON");
    Click("IDCANCEL");
    Pump(0);
    ASSERT_TRUE(Run(ID_PROCESS_CHARGECORRN));
    EXPECT_TRUE(Ctl<QRadioButton>("IDC_CHARGECORRN_CARBON")->isChecked());
    EXPECT_EQ(Ctl<QLineEdit>("IDC_CHARGECORRN_CURVAL")->text(), "284.000");
    Click("IDCANCEL");
    Pump(0);
}

// Pictures for a person to look at: set VELTRANE_SCREENSHOT_DIR and run this
// test (under Xvfb for the real look).
TEST_F(ProcessDialogsTest, Screenshot)
{
    const QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    auto peak = [](int, int, int, int i) {
        return (i < 100 ? 300.0 : 100.0) + 2000.0 * std::exp(-std::pow((i - 100) / 12.0, 2));
    };
    CSpecView* v = Open({1}, 1, 201, 18, peak);
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(Run(ID_PROCESS_BACKGROUNDSUBTRACTION));
    Pump(300);
    frame->grab().save(dir + "/background-preview.png");
    Dlg()->grab().save(dir + "/background-dialog.png");
    Click("IDC_BACKGROUND_APPLY");
    Pump(200);
    frame->grab().save(dir + "/background-applied.png");
    Click("IDOK");
    Pump(0);
    for (unsigned id :
         {ID_PROCESS_SMOOTH, ID_PROCESS_DIFFERENTIATE, ID_PROCESS_INTEGRATE, ID_PROCESS_CHARGECORRN}) {
        ASSERT_TRUE(Run(id));
        Pump(100);
        Dlg()->grab().save(dir + QByteArray("/dialog-") + QByteArray::number(id) + ".png");
        Dlg()->OnCancel();
        Pump(0);
    }
}
