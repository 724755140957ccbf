// The chemical-profiling sheet on a real spectrum view of measured Mn 2p
// data: references opened through the import path and shared, a fit of the
// current level through the widgets, the overlay, closing.

#include "ToolFixture.h"
#include "UGrid/UGDropListType.h"
#include "UGrid/UGEdit.h"
#include "UGrid/UGGrid.h"
#include "analysis/ui/ChemPrf.h"
#include "analysis/ui/ChemPrfGrids.h"
#include "analysis/ui/ChemPrfView.h"
#include "analysis/ui/ProcDlg.h"
#include "app/Legend.h"
#include "app/SpecView.h"
#include "app/VeltraneView.h"
#include "app/plot/LineCursor.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Registry.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/MDIChildWnd.h"
#include "res/resource.h"
#include "tools/mkdemo/DemoFile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const std::string kVamas = VELTRANE_SOURCE_DIR "/tests/formats/fixtures/vamas/";

class ChemPrfSheetTest : public ToolFixture
{
protected:
    void CloseTool() override
    {
        if (CChemPrf_Sheet* s = CChemPrf_Sheet::GetInstance())
            s->close();
    }
    // The measured Mn spectra in a view of a size for the plot, with the
    // profiling sheet opened on it.
    void OpenMeasuredMn(CSpecView*& view) { OpenWithSheet(kVamas + "xpsdl__mno_gas-phase_removed.vms", view); }

    // Opens a data file and the profiling sheet on its view.
    void OpenWithSheet(const std::string& path, CSpecView*& view)
    {
        auto* doc = dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(path.c_str()));
        ASSERT_NE(doc, nullptr);
        view = dynamic_cast<CSpecView*>(doc->GetViews().front());
        ASSERT_NE(view, nullptr);
        view->GetParentFrame()->resize(900, 600);
        Pump(20);
        Execute(ID_PROCESS_CHEMICALPROFILING);
        Pump(10);
    }

    // Opens a data file with the profiling sheet and adds one reference file.
    void OpenWithReference(const std::string& data, const std::string& ref, CSpecView*& view,
                           CChemPrf_Sheet*& sheet)
    {
        ASSERT_NO_FATAL_FAILURE(OpenWithSheet(data, view));
        sheet = CChemPrf_Sheet::GetInstance();
        ASSERT_NE(sheet, nullptr);
        ASSERT_EQ(sheet->AddReferenceFiles({ref}, 0, false), 1);
    }

    // The lines of the real Pt 4f file: its header's 90 lines, then counts
    // and transmission alternating, count k on line 91 + 2k.
    static void ReadPt4fLines(QList<QByteArray>& lines)
    {
        QFile in(QString::fromStdString(kVamas + "kherve__Pt4f.vms"));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        lines = in.readAll().split('\n');
    }

    // Writes edited lines as a file of the test's own; its path.
    QString WriteLines(const QString& name, const QList<QByteArray>& lines)
    {
        const QString path = WriteBytes(name, {});
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(lines.join('\n'));
        return path;
    }

    static void Click(const char* name)
    {
        auto* b = CChemPrf_Sheet::GetInstance()->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
        Pump(0);
    }
};

TEST_F(ChemPrfSheetTest, MnLevelFittedByOxideReferences)
{
    CSpecView* view = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenMeasuredMn(view));
    CChemPrf_Sheet* sheet = CChemPrf_Sheet::GetInstance();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(ChemPrfSheetTool(), static_cast<IViewTool*>(sheet));
    EXPECT_FALSE(sheet->findChild<QAbstractButton*>("IDC_CHMPRF_CALC")->isEnabled());

    // The same file three times: one document, three references.
    const std::string refs = kVamas + "xpsdl__Mn_references.vms";
    ASSERT_EQ(sheet->AddReferenceFiles({refs}, 0, false), 1);
    ASSERT_EQ(sheet->AddReferenceFiles({refs, refs}, 1, true), 1);
    ASSERT_EQ(sheet->GetRefList().size(), 3u);
    EXPECT_EQ(sheet->CountRefDocuments(), 1);
    sheet->SetRefLevel(1, 1);
    sheet->SetRefLevel(2, 2);
    EXPECT_EQ(sheet->GetRefList()[2]->m_iLevel, 2);
    // A file that is not there adds nothing and keeps the document count.
    EXPECT_EQ(sheet->AddReferenceFiles({kVamas + "missing.vms"}, 3, true), 0);
    EXPECT_EQ(sheet->CountRefDocuments(), 1);
    sheet->RemoveReference(2);
    EXPECT_EQ(sheet->CountRefDocuments(), 1); // still used by two
    sheet->AddReferenceFiles({refs}, 2, true);
    sheet->SetRefLevel(2, 2);

    // The reference table: drop lists for region and level, the label, the
    // menu only on reference rows.
    CChemPrfFileGrid* grid = sheet->GetFileGrid();
    CUGCell cell;
    grid->GetCell(4, 1, &cell);
    EXPECT_EQ(cell.GetCellType(), 1);
    EXPECT_STREQ(cell.GetText(), "1");
    std::string two = "2";
    grid->OnCellTypeNotify(0, 4, 0, CTN_SELECT, reinterpret_cast<long>(&two));
    EXPECT_EQ(sheet->GetRefList()[0]->m_iLevel, 2);
    std::string zero = "0";
    grid->OnCellTypeNotify(0, 4, 0, CTN_SELECT, reinterpret_cast<long>(&zero));
    std::string label = "MnO";
    grid->OnEditFinish(1, 0, nullptr, label, 0);
    EXPECT_EQ(sheet->GetRefList()[0]->m_csLabel, "MnO");
    // An edit left with Escape keeps what was typed, in the cell as in the
    // reference.
    grid->StartEditCell(1, 1, 0);
    ASSERT_NE(grid->GetEditCtrl(), nullptr);
    QTest::keyClicks(grid->GetEditCtrl(), QStringLiteral("Mn2O3"));
    QTest::keyClick(grid->GetEditCtrl(), Qt::Key_Escape);
    Pump(0);
    EXPECT_EQ(sheet->GetRefList()[1]->m_csLabel, "Mn2O3");
    EXPECT_EQ(grid->GetTextAt(1, 1), "Mn2O3");
    // A file name is UTF-8; the table shows it in its own code page 1252.
    const QString accented = WriteBytes(QStringLiteral("r\u00E9f\u00E9rence.vms"), {});
    ASSERT_TRUE(QFile::remove(accented));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(refs), accented));
    ASSERT_EQ(sheet->AddReferenceFiles({accented.toStdString()}, 3, true), 1);
    grid->GetCell(0, 3, &cell);
    EXPECT_STREQ(cell.GetText(), "r\xE9"
                                 "f\xE9"
                                 "rence.vms");
    sheet->RemoveReference(3);
    EXPECT_TRUE(grid->OnMenuStart(0, 2, UG_SECTION_GRID));
    EXPECT_FALSE(grid->OnMenuStart(0, 3, UG_SECTION_GRID)); // the add row

    // The cursors on the stretch the references cover (817.7 to 855.6 eV), in
    // reverse order.
    CSpecTrace* t = view->GetSpecTrace();
    sheet->GetCursor(1)->SetPos(t->IndexTox(569));
    sheet->GetCursor(2)->SetPos(t->IndexTox(190));
    int lo = 0, hi = 0;
    ASSERT_TRUE(sheet->GetStretch(lo, hi));
    EXPECT_EQ(lo, 190);
    EXPECT_EQ(hi, 569);
    Click("IDC_CHMPRF_CALC"); // runs the calculating dialog until the fit ends
    CChemPrfParams* p = sheet->GetParams();
    ASSERT_TRUE(p->IsDone(view->GetCurrentLevel()));
    double sum = 0;
    for (double v : sheet->GetResult())
        sum += std::fabs(v);
    EXPECT_GT(sum, 0.0);

    // Turning independent shifts on discards the result and relays the rows.
    ASSERT_TRUE(sheet->SetActivePage(1)); // the General page
    auto* multi = sheet->findChild<QCheckBox*>("IDC_CHMPRFCALC_MULTISHIFT");
    EXPECT_EQ(multi->isChecked(), CRegistry::m_CChemPrf.m_bMultiShift);
    const bool was = multi->isChecked();
    multi->setChecked(!was);
    EXPECT_EQ(p->CountDone(), 0);
    EXPECT_EQ(p->GetRowLength(), was ? 3 + 1 + 1 : 1 + 6);
    multi->setChecked(was);
    Click("IDC_CHMPRF_CALC");

    const QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        Pump(200);
        view->GetParentFrame()->grab().save(dir + "/chemprf-fitted.png");
        sheet->grab().save(dir + "/chemprf-sheet.png");
    }
    Click("IDC_CHMPRF_CLOSE");
    Pump(10);
    EXPECT_EQ(CChemPrf_Sheet::GetInstance(), nullptr);
    EXPECT_EQ(ChemPrfSheetTool(), nullptr);
}

// The measured MnO spectrum (630 points, 798.7 to 861.6 eV) is the MnO
// reference (400 points, 816.7 to 856.6 eV) on a wider grid: fitted by it,
// intensity 1 at shift 0 wherever the cursors stand.
TEST_F(ChemPrfSheetTest, MnOFittedByItsOwnReferenceWhereverTheCursorsStand)
{
    CSpecView* view = nullptr;
    CChemPrf_Sheet* sheet = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenWithReference(kVamas + "xpsdl__mno_gas-phase_removed.vms", kVamas + "xpsdl__Mn_references.vms", view, sheet));
    CChemPrfParams* p = sheet->GetParams();
    const int level = view->GetCurrentLevel();
    CSpecTrace* t = view->GetSpecTrace();
    ASSERT_EQ(t->GetNumPoints(), 630);
    const auto expectExact = [&](const char* what) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(p->IsDone(level));
        EXPECT_NEAR(p->GetIntensity(level, 0), 1.0, 1e-3);
        EXPECT_NEAR(p->GetShift(level, 0), 0.0, 0.05); // reference channels
    };
    // The default cursors (points 63 and 567) reach 18 eV below the
    // reference: the fit is held inside it.
    Click("IDC_CHMPRF_CALC");
    expectExact("default cursors");
    // A second Calculate starts from the first result.
    sheet->GetCursor(1)->SetPos(t->IndexTox(195));
    sheet->GetCursor(2)->SetPos(t->IndexTox(565));
    Click("IDC_CHMPRF_CALC");
    expectExact("cursors inside the reference");
    // A stretch the reference does not cover at all is refused.
    sink.Clear();
    p->ResetAll();
    sheet->GetCursor(1)->SetPos(t->IndexTox(10));
    sheet->GetCursor(2)->SetPos(t->IndexTox(150));
    Click("IDC_CHMPRF_CALC");
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0],
              "The region being fitted does not contain sufficient points for a succesful fit.");
    EXPECT_FALSE(p->IsDone(level));
    Click("IDC_CHMPRF_CLOSE");
}

// The measured Mn file as a reference: its four regions carry the same name,
// so the region chosen in the table's list is told by its row, not its text.
TEST_F(ChemPrfSheetTest, EnterOpensAReferencesLabelForEditing)
{
    CSpecView* view = nullptr;
    CChemPrf_Sheet* sheet = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenWithReference(kVamas + "xpsdl__mno_gas-phase_removed.vms",
                                              kVamas + "xpsdl__mno_gas-phase_removed.vms", view, sheet));
    CChemPrfFileGrid* grid = sheet->GetFileGrid();
    grid->GotoCell(1, 0);
    Pump(0);
    QTest::keyClick(grid->GetGridWnd(), Qt::Key_Return);
    EXPECT_TRUE(grid->IsEditing()) << "as a click on the label does";
    Click("IDC_CHMPRF_CLOSE");
}

TEST_F(ChemPrfSheetTest, RegionChosenFromAListOfLikeNames)
{
    CSpecView* view = nullptr;
    CChemPrf_Sheet* sheet = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenWithReference(kVamas + "xpsdl__mno_gas-phase_removed.vms", kVamas + "xpsdl__mno_gas-phase_removed.vms", view, sheet));
    CChemPrfFileGrid* grid = sheet->GetFileGrid();
    const std::vector<std::string> items = grid->Items(0, 3);
    ASSERT_EQ(items.size(), 4u);
    ASSERT_EQ(items[2], items[0]) << "the fixture's regions are expected to share a name";
    int col = 3;
    long row = 0;
    grid->GotoCell(col, row);
    Pump(0);
    RECT r;
    grid->GetCellRect(&col, &row, &r);
    QTest::mouseClick(grid->GetGridWnd(), Qt::LeftButton, {}, QPoint(r.right - 4, (r.top + r.bottom) / 2));
    Pump(0);
    CUGLstBox* box = grid->GetDropListType()->GetListBox();
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->count(), 4);
    box->setCurrentRow(2);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    Pump(0);
    EXPECT_EQ(sheet->GetRefList()[0]->m_iRegion, 2);
    Click("IDC_CHMPRF_CLOSE");
}

TEST_F(ChemPrfSheetTest, PagesButtonColumnAndEscape)
{
    auto* doc = dynamic_cast<CVeltraneDoc*>(
        app->OpenDocumentFile((kVamas + "xpsdl__mno_gas-phase_removed.vms").c_str()));
    ASSERT_NE(doc, nullptr);
    Execute(ID_PROCESS_CHEMICALPROFILING);
    Pump(10);
    CChemPrf_Sheet* sheet = CChemPrf_Sheet::GetInstance();
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->GetPageCount(), 2);
    EXPECT_EQ(sheet->GetPage(0)->windowTitle(), QStringLiteral("Files"));
    EXPECT_EQ(sheet->GetPage(1)->windowTitle(), QStringLiteral("General"));
    EXPECT_EQ(sheet->GetActiveIndex(), 0);
    EXPECT_TRUE(sheet->GetPage(0)->IsBuilt());
    EXPECT_FALSE(sheet->GetPage(1)->IsBuilt()); // built when first shown
    // No OK, Cancel or Apply: the own buttons stand in a column right of
    // the tabs, from the top of the page area down, Close last.
    EXPECT_FALSE(sheet->GetApplyButton()->isVisibleTo(sheet));
    auto* tabs = sheet->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    const int pageTop = sheet->GetPage(0)->mapTo(sheet, QPoint()).y();
    int top = -1;
    for (const char* name :
         {"IDC_CHMPRF_CALC", "IDC_CHMPRF_PROFILE", "IDC_CHMPRF_SHOWHIDE", "IDC_CHMPRF_CLOSE"}) {
        SCOPED_TRACE(name);
        auto* b = sheet->findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(b->isVisibleTo(sheet));
        EXPECT_GE(b->x(), tabs->geometry().right());
        EXPECT_GT(b->y(), top);
        if (top < 0) {
            EXPECT_NEAR(b->y(), pageTop, 8);
        }
        top = b->y();
    }
    // Escape closes the sheet as its Close button does, not just hides it.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(sheet, &esc);
    Pump(10);
    EXPECT_EQ(CChemPrf_Sheet::GetInstance(), nullptr);
}

// A depth profile of 50 levels fitted by two of its own levels, opened again
// as a reference document.
class ChemPrfProfileTest : public ChemPrfSheetTest
{
protected:
    CChemPrf_Sheet* OpenProfile()
    {
        m_path = WriteBytes("profile50.vlt", MakeDemoFile(50)).toStdString();
        auto* doc = dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(m_path.c_str()));
        EXPECT_NE(doc, nullptr);
        if (!doc)
            return nullptr;
        m_view = dynamic_cast<CSpecView*>(doc->GetViews().front());
        m_view->GetParentFrame()->resize(900, 600);
        Pump(20);
        Execute(ID_PROCESS_CHEMICALPROFILING);
        Pump(10);
        CChemPrf_Sheet* sheet = CChemPrf_Sheet::GetInstance();
        EXPECT_NE(sheet, nullptr);
        if (!sheet)
            return nullptr;
        EXPECT_EQ(sheet->GetParams()->GetNumLevels(), 50);
        sheet->AddReferenceFiles({m_path}, 0, false);
        sheet->AddReferenceFiles({m_path}, 1, true);
        sheet->SetRefLevel(1, 49);
        EXPECT_EQ(sheet->CountRefDocuments(), 1);
        return sheet;
    }

    // Runs the event loop until the dialog's worker has ended; returns the
    // longest wait between two turns of the loop, in ms. onTick runs at each.
    static qint64 RunUntilIdle(CChemPrf_Profiling& dlg, const std::function<void()>& onTick = nullptr)
    {
        QEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, worst = 0;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            worst = std::max(worst, now - last);
            last = now;
            if (onTick)
                onTick();
            if (!dlg.IsRunning() || now > 60000)
                loop.quit();
        });
        tick.start();
        loop.exec();
        return worst;
    }

    std::string m_path;
    CSpecView* m_view = nullptr;
};

TEST_F(ChemPrfProfileTest, FiftyLevelsOnAWorkerStopRestartAndExport)
{
    CChemPrf_Sheet* sheet = OpenProfile();
    ASSERT_NE(sheet, nullptr);
    CChemPrfParams* p = sheet->GetParams();
    // A label typed in the table is code page 1252 text ("\xB0": a degree).
    sheet->SetRefLabel(1, " 550\xB0"
                          "C ");
    {
        CChemPrf_Profiling dlg(sheet);
        sheet->m_pProfiling = &dlg;
        ASSERT_TRUE(dlg.Create(sheet));
        CUGCell heading;
        dlg.Grid()->GetCell(1, -1, &heading);
        EXPECT_STREQ(heading.GetText(), "550\xB0"
                                        "C");
        // Inside the work area and centred; two columns never need the
        // horizontal scroll bar, and without the vertical one every row shows.
        const QRect work = sheet->screen()->availableGeometry();
        EXPECT_EQ(dlg.Grid()->GetHScrollHeight(), 0);
        if (dlg.Grid()->GetVScrollWidth() == 0) {
            EXPECT_GE(dlg.Grid()->height(), 51 * dlg.Grid()->GetRowHeight(0));
        }
        EXPECT_LE(dlg.height(), work.height() - 2);
        EXPECT_NEAR(dlg.geometry().center().x(), work.center().x(), 2);
        // Stop at once: the worker finishes at most the level it is on.
        dlg.StartStopButton()->click();
        const int doneAtStop = dlg.LevelsSolved();
        RunUntilIdle(dlg);
        EXPECT_LE(p->CountDone(), doneAtStop + 1) << "Stop ends the run within one level";
        // (A fast machine may have fitted every level before the click.)
        if (p->CountDone() < 50) {
            EXPECT_EQ(dlg.StartStopButton()->text(), QStringLiteral("&Start"));
        }
        EXPECT_EQ(dlg.findChild<QPushButton*>("IDC_CHMPRFPRF_SAVEAS")->isEnabled(), p->CountDone() > 0);

        // Started again: every level, the loop never held up for long.
        if (dlg.StartStopButton()->isEnabled())
            dlg.StartStopButton()->click();
        const qint64 worst = RunUntilIdle(dlg);
        EXPECT_LT(worst, 50) << "longest wait of the event loop, ms";
        EXPECT_EQ(p->CountDone(), 50);
        EXPECT_FALSE(dlg.StartStopButton()->isEnabled());
        CUGCell cell;
        dlg.Grid()->GetCell(1, 49, &cell);
        EXPECT_EQ(std::string(cell.GetText()), QString::asprintf("%f", p->GetIntensity(49, 1)).toStdString());
        // The level that is its own reference is fitted by it alone.
        EXPECT_NEAR(p->GetIntensity(49, 1), 1.0, 1e-3);
        EXPECT_NEAR(p->GetIntensity(0, 0), 1.0, 1e-3);

        if (const QByteArray shots = qgetenv("VELTRANE_SCREENSHOT_DIR"); !shots.isEmpty())
            dlg.grab().save(shots + "/chemprf-profiling.png");
        const QString out = QString::fromStdString(m_path) + ".txt";
        ASSERT_TRUE(dlg.SaveTo(out.toStdString()));
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        EXPECT_EQ(text.count("\r\n"), 51);
        EXPECT_TRUE(text.startsWith(" Level       Intensity 0       Intensity 1        Shift (eV)\r\n"));
        {
            // An export that fails is said as a failed write of the chosen
            // file, whatever the cause; here no file descriptor is left.
            const std::string failed = m_path + ".2.txt";
            rlimit old{};
            ::getrlimit(RLIMIT_NOFILE, &old);
            const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            ASSERT_GE(lowest, 0);
            ::close(lowest);
            rlimit none = old;
            none.rlim_cur = rlim_t(lowest);
            sink.Clear();
            ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
            const bool saved = dlg.SaveTo(failed);
            ::setrlimit(RLIMIT_NOFILE, &old);
            EXPECT_FALSE(saved);
            const std::string name = failed.substr(failed.find_last_of('/') + 1);
            EXPECT_EQ(sink.Texts(),
                      std::vector<std::string>{"An unexpected error occurred while writing " + name + "."});
            EXPECT_FALSE(QFile::exists(QString::fromStdString(failed)));
        }
        {
            // Save As asks through the program's dialog, which adds the
            // extension before it asks whether to replace a file: a typed
            // name must not replace its .txt unasked. A dialog of its own
            // is closed so that the test ends.
            QTimer::singleShot(3000, [] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* d = qobject_cast<QDialog*>(w); d && d->inherits("QFileDialog"))
                        d->reject();
            });
            const size_t asked = dialogs.m_requests.size();
            const QString chosen = QString::fromStdString(m_path) + ".3.txt";
            dialogs.Answer(chosen);
            dlg.findChild<QPushButton*>("IDC_CHMPRFPRF_SAVEAS")->click();
            ASSERT_EQ(dialogs.m_requests.size(), asked + 1);
            EXPECT_EQ(dialogs.m_requests.back().defaultSuffix, QStringLiteral("txt"));
            EXPECT_TRUE(dialogs.m_requests.back().bOverwritePrompt);
            EXPECT_TRUE(QFile::exists(chosen));
        }
        sheet->m_pProfiling = nullptr;
    }
    sheet->UpdateButtons(); // as the Profile button does when its dialog ends
    // Show puts the chemical profile over the spectrum view; Hide takes it away.
    sheet->SetRefLabel(0, "   "); // blank: the file's title
    auto* show = sheet->findChild<QPushButton*>("IDC_CHMPRF_SHOWHIDE");
    ASSERT_TRUE(show->isEnabled());
    Click("IDC_CHMPRF_SHOWHIDE");
    CChemPrfView* prf = sheet->GetPrfView();
    ASSERT_NE(prf, nullptr);
    EXPECT_EQ(show->text(), QStringLiteral("Hide"));
    // It stands in for the spectrum view in the frame and the document.
    CMDIChildWnd* frame = m_view->GetParentFrame();
    CDocument* doc = m_view->GetDocument();
    const auto lists = [doc](CView* v) {
        return std::count(doc->GetViews().begin(), doc->GetViews().end(), v);
    };
    EXPECT_EQ(frame->GetActiveView(), prf);
    EXPECT_EQ(prf->GetParentFrame(), frame);
    EXPECT_EQ(lists(prf), 1);
    EXPECT_EQ(lists(m_view), 1);
    EXPECT_TRUE(m_view->isHidden());
    EXPECT_TRUE(prf->isVisible());
    EXPECT_EQ(prf->GetDlgCtrlID(), 0xE900u);
    EXPECT_EQ(m_view->GetDlgCtrlID(), 0xE901u);
    // The document's sample and level steps do not reach the profile.
    CCmdUI level(ID_DISP_LEVEL);
    EXPECT_TRUE(frame->RouteCommand(ID_DISP_LEVEL, &level));
    EXPECT_TRUE(level.m_bEnableChanged);
    EXPECT_FALSE(level.m_bEnabled);
    EXPECT_EQ(prf->GetNumDispTraces(), 2);
    ASSERT_NE(prf->GetLegend(), nullptr);
    EXPECT_EQ(prf->GetLegend()->GetNumEntries(), 2);
    EXPECT_EQ(prf->GetLegend()->GetLabel(0), "profile50.vlt");
    EXPECT_EQ(prf->GetLegend()->GetLabel(1), "550\u00B0C"); // trimmed, drawn as UTF-8
    // Both curves share one plot: each is an outline, or the one drawn last
    // would fill over the other where it lies below.
    for (int k = 0; k < 2; ++k)
        EXPECT_EQ(prf->GetSpecWnd(0)->GetSpecTrace(k, 0)->GetDispMode(), CSpecTrace::Transparent) << k;
    const QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        Pump(200);
        m_view->GetParentFrame()->grab().save(dir + "/chemprf-profile.png");
        app->GetMainFrame()->grab().save(dir + "/chemprf-profile-main.png");
    }
    QPointer<CChemPrfView> gone(prf);
    Click("IDC_CHMPRF_SHOWHIDE");
    EXPECT_EQ(sheet->GetPrfView(), nullptr);
    EXPECT_EQ(show->text(), QStringLiteral("Show"));
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(frame->GetActiveView(), m_view);
    EXPECT_EQ(frame->GetViews().size(), 1u);
    EXPECT_EQ(lists(prf), 0);
    EXPECT_EQ(m_view->GetDlgCtrlID(), 0xE900u);
    EXPECT_TRUE(m_view->isVisible());
    EXPECT_EQ(frame->windowTitle().toStdString(), doc->GetTitle());
    Click("IDC_CHMPRF_SHOWHIDE");
    ASSERT_NE(sheet->GetPrfView(), nullptr);
    // Closing the sheet takes the profile away first.
    Click("IDC_CHMPRF_CLOSE");
}

// The grids hold cp1252 and the legend UTF-8: a file name (UTF-8) and a label
// typed into the grid (cp1252) each show as the letters they are.
TEST_F(ChemPrfProfileTest, AccentedFileNamesAndLabelsShowAsTyped)
{
    m_path = WriteBytes("Réf ü.vlt", MakeDemoFile(3)).toStdString();
    auto* doc = dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(m_path.c_str()));
    ASSERT_NE(doc, nullptr);
    m_view = dynamic_cast<CSpecView*>(doc->GetViews().front());
    m_view->GetParentFrame()->resize(900, 600);
    Pump(20);
    Execute(ID_PROCESS_CHEMICALPROFILING);
    Pump(10);
    CChemPrf_Sheet* sheet = CChemPrf_Sheet::GetInstance();
    ASSERT_NE(sheet, nullptr);
    sheet->AddReferenceFiles({m_path}, 0, false);
    sheet->AddReferenceFiles({m_path}, 1, true);
    sheet->SetRefLevel(1, 2);
    sheet->SetRefLabel(1, "caf\xE9"); // cp1252, as the grid's editor gives it
    CUGCell cell;
    sheet->GetFileGrid()->GetCell(0, 0, &cell);
    EXPECT_EQ(std::string(cell.GetText()), "R\xE9"
                                           "f \xFC.vlt");
    {
        CChemPrf_Profiling dlg(sheet);
        sheet->m_pProfiling = &dlg;
        ASSERT_TRUE(dlg.Create(sheet));
        for (const auto& [col, text] : {std::pair{0, "R\xE9"
                                                     "f \xFC.vlt"},
                                        std::pair{1, "caf\xE9"}}) {
            dlg.Grid()->GetCell(col, -1, &cell);
            EXPECT_EQ(std::string(cell.GetText()), text) << col;
        }
        RunUntilIdle(dlg); // the run starts with the dialog
        sheet->m_pProfiling = nullptr;
    }
    sheet->UpdateButtons();
    Click("IDC_CHMPRF_SHOWHIDE");
    ASSERT_NE(sheet->GetPrfView(), nullptr);
    const CLegend* legend = sheet->GetPrfView()->GetLegend();
    ASSERT_NE(legend, nullptr);
    EXPECT_EQ(legend->GetLabel(0), "Réf ü.vlt");
    EXPECT_EQ(legend->GetLabel(1), "café");
    Click("IDC_CHMPRF_CLOSE");
}

TEST_F(ChemPrfProfileTest, ClosingTheDocumentWhileTheProfileIsShown)
{
    CChemPrf_Sheet* sheet = OpenProfile();
    ASSERT_NE(sheet, nullptr);
    for (int l = 0; l < 3; ++l)
        sheet->GetParams()->SetDone(l, true);
    sheet->UpdateButtons();
    Click("IDC_CHMPRF_SHOWHIDE");
    QPointer<CChemPrfView> prf(sheet->GetPrfView());
    ASSERT_FALSE(prf.isNull());
    CDocument* doc = m_view->GetDocument();
    ASSERT_EQ(doc->GetViews().size(), 2u);
    QPointer<CMDIChildWnd> frame(m_view->GetParentFrame());
    frame->close();
    Pump(10);
    EXPECT_EQ(CChemPrf_Sheet::GetInstance(), nullptr);
    EXPECT_TRUE(prf.isNull());
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(app->GetMainFrame()->GetMDIClient()->subWindowList().isEmpty());
}

TEST_F(ChemPrfProfileTest, ClosingTheViewDuringAProfileStopsAndWaits)
{
    CChemPrf_Sheet* sheet = OpenProfile();
    ASSERT_NE(sheet, nullptr);
    // Through the Profile button: the modal dialog runs its own loop, in
    // which the document window is closed while the worker fits.
    QTimer::singleShot(0, [&] {
        auto* dlg = sheet->findChild<CChemPrf_Profiling*>();
        ASSERT_NE(dlg, nullptr);
        EXPECT_TRUE(dlg->IsRunning());
        m_view->GetParentFrame()->close();
    });
    Click("IDC_CHMPRF_PROFILE");
    Pump(10);
    EXPECT_EQ(CChemPrf_Sheet::GetInstance(), nullptr);
}

// A solve that lasts until the test lets it end.
std::atomic<bool> g_release{false};
int HeldCalc(double* theta, const int*, double* sse, const int*)
{
    while (!g_release.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    theta[0] = 42.0;
    *sse = 0.0;
    return 0x40003;
}
int NoSetup(const double*, const int*, const int*, int*)
{
    return 0;
}
void NoRef(const double*, const int*, const int*, const double*, const double*, const double*) {}
void NoRelease() {}

TEST_F(ChemPrfSheetTest, CalculatingDialogCannotBeClosedWhileTheFitRuns)
{
    std::vector<double> ref(100);
    for (int i = 0; i < 100; ++i)
        ref[size_t(i)] = std::sin(0.1 * i);
    const std::vector<SChemPrfRefCurve> refs = {{ref.data(), 100, -1.0, 1.0, 0.0, 99.0, 1.0}};
    const SPelomarApi api{&NoSetup, &NoRef, &HeldCalc, &NoRelease};
    CChemPrfFitSetup setup(api, refs, {0.0, 99.0, 100}, 10, 60, nullptr);
    std::vector<double> row = {0.0, 1.0};
    CChemPrf_Calculating dlg(setup, row, 0, nullptr);
    g_release = false;
    bool stillOpen = false;
    QTimer::singleShot(100, [&] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &esc);
        dlg.close();
        stillOpen = dlg.isVisible();
        g_release = true;
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_TRUE(stillOpen);
    EXPECT_GE(clock.elapsed(), 500); // shown for at least half a second
    EXPECT_EQ(dlg.Outcome(), 0x40003);
    EXPECT_EQ(row[0], 42.0); // the private copy holds the estimates
}

} // namespace

// The measured Mn file holds one spectrum per region: a fit of one region's
// spectrum is no result for the next region's, and is not shown as one.
TEST_F(ChemPrfSheetTest, AnotherRegionStartsWithoutTheLastRegionsFits)
{
    CSpecView* view = nullptr;
    CChemPrf_Sheet* sheet = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenWithReference(kVamas + "xpsdl__mno_gas-phase_removed.vms", kVamas + "xpsdl__Mn_references.vms", view, sheet));
    Click("IDC_CHMPRF_CALC");
    ASSERT_TRUE(sheet->GetParams()->IsDone(0));
    const CSpecRgn* first = view->GetCurrentRegion();
    Execute(ID_DISP_REGION);
    Pump(10);
    ASSERT_NE(view->GetCurrentRegion(), first);
    EXPECT_EQ(sheet->GetParams()->CountDone(), 0);
    EXPECT_EQ(sheet->GetParams()->GetNumRefs(), 1);
    EXPECT_EQ(sheet->GetParams()->GetIntensity(0, 0), 1.0); // the start value
    for (double v : sheet->GetResult())
        ASSERT_EQ(v, 0.0);
    // This region's own fit then goes as on the first.
    Click("IDC_CHMPRF_CALC");
    EXPECT_TRUE(sheet->GetParams()->IsDone(0));
    Click("IDC_CHMPRF_CLOSE");
}

// A count that is not a number (a VAMAS file may carry "nan") leaves the
// library nothing to solve: the user is told, and the level stays unfitted
// instead of showing its start values as a fit.
TEST_F(ChemPrfSheetTest, ACountThatIsNotANumberIsNoFit)
{
    QList<QByteArray> lines;
    ASSERT_NO_FATAL_FAILURE(ReadPt4fLines(lines));
    ASSERT_EQ(lines[90].trimmed(), "544.369"); // count 0
    lines[90 + 2 * 140] = "nan";
    CSpecView* view = nullptr;
    CChemPrf_Sheet* sheet = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenWithReference(WriteLines("pt4f-nan.vms", lines).toStdString(),
                                              kVamas + "kherve__Pt4f.vms", view, sheet));
    sink.Clear();
    Click("IDC_CHMPRF_CALC");
    const std::string noSolve = "The fit could not be calculated: the fitted stretch or a reference spectrum "
                                "holds a value that is not a finite number.";
    const auto told = [&] {
        const auto& texts = sink.Texts();
        return std::count(texts.begin(), texts.end(), noSolve);
    };
    EXPECT_EQ(told(), 1);
    EXPECT_FALSE(sheet->GetParams()->IsDone(view->GetCurrentLevel()));
    // The same data without the bad point fits at once.
    sheet->GetCursor(1)->SetPos(view->GetSpecTrace()->IndexTox(150));
    sheet->GetCursor(2)->SetPos(view->GetSpecTrace()->IndexTox(250));
    sink.Clear();
    Click("IDC_CHMPRF_CALC");
    EXPECT_EQ(told(), 0);
    EXPECT_TRUE(sheet->GetParams()->IsDone(view->GetCurrentLevel()));
    Click("IDC_CHMPRF_CLOSE");
}

// A VAMAS file may give its energies falling (a rising binding-energy scale
// reads as falling kinetic energy). The Pt 4f spectrum fitted by itself with
// one of the two written that way is still itself: intensity 1, no shift.
TEST_F(ChemPrfSheetTest, ReferenceAndDataOnScalesRunningOppositeWays)
{
    QList<QByteArray> lines;
    ASSERT_NO_FATAL_FAILURE(ReadPt4fLines(lines));
    // Start and step of the abscissa, then 281 pairs of count and
    // transmission from line 91.
    ASSERT_EQ(lines[64].trimmed(), "1396.68");
    ASSERT_EQ(lines[65].trimmed(), "0.1");
    lines[64] = "1424.68";
    lines[65] = "-0.1";
    for (int k = 0; k < 140; ++k) {
        std::swap(lines[90 + 2 * k], lines[90 + 2 * (280 - k)]);
        std::swap(lines[91 + 2 * k], lines[91 + 2 * (280 - k)]);
    }
    const QString falling = WriteLines("pt4f-falling.vms", lines);
    const std::string rising = kVamas + "kherve__Pt4f.vms";
    const std::pair<std::string, std::string> cases[] = {{rising, falling.toStdString()},
                                                         {falling.toStdString(), rising}};
    for (const auto& [data, ref] : cases) {
        SCOPED_TRACE(data);
        CSpecView* view = nullptr;
        CChemPrf_Sheet* sheet = nullptr;
        ASSERT_NO_FATAL_FAILURE(OpenWithReference(data, ref, view, sheet));
        CVeltraneDoc* doc = view->GetDocument();
        Click("IDC_CHMPRF_CALC");
        const CChemPrfParams* p = sheet->GetParams();
        ASSERT_TRUE(p->IsDone(0));
        EXPECT_NEAR(p->GetIntensity(0, 0), 1.0, 1e-3);
        EXPECT_NEAR(p->GetShift(0, 0), 0.0, 0.05); // reference channels
        Click("IDC_CHMPRF_CLOSE");
        Pump(10);
        doc->SetModifiedFlag(false);
        view->GetParentFrame()->close();
        Pump(10);
    }
}

// A profile whose middle level holds a count that is not a number: that
// level is left unfitted and the run says so once at its end; the others fit.
TEST_F(ChemPrfProfileTest, ALevelTheLibraryCannotSolveIsLeftUnfitted)
{
    CDataFileBuilder b;
    b.Header().Experiment(0x102, 2).Source().IonGun();
    CDataFileBuilder::SPosnHead head;
    head.levels = {0.0, 30.0, 60.0};
    const size_t at = b.BeginPosn(head, 1);
    b.SpecRgn(41, 3).Count(0);
    b.EndPosn(at);
    b.End();
    // Point 20 of level 1 holds 1020 (level c, point i: c * 1000 + i).
    const double was = 1020.0, nan = std::nan("");
    const auto it = std::search(b.m_bytes.begin(), b.m_bytes.end(), reinterpret_cast<const uint8_t*>(&was),
                                reinterpret_cast<const uint8_t*>(&was) + 8);
    ASSERT_NE(it, b.m_bytes.end());
    std::memcpy(&*it, &nan, 8);
    m_view = OpenView<CSpecView>("nan-level.vlt", b.m_bytes, 900, 600);
    ASSERT_NE(m_view, nullptr);
    Execute(ID_PROCESS_CHEMICALPROFILING);
    Pump(10);
    CChemPrf_Sheet* sheet = CChemPrf_Sheet::GetInstance();
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->AddReferenceFiles({settings.Path("nan-level.vlt").toStdString()}, 0, false), 1);
    CChemPrfParams* p = sheet->GetParams();
    sink.Clear();
    {
        CChemPrf_Profiling dlg(sheet);
        sheet->m_pProfiling = &dlg;
        ASSERT_TRUE(dlg.Create(sheet));
        RunUntilIdle(dlg);
        sheet->m_pProfiling = nullptr;
        EXPECT_TRUE(dlg.StartStopButton()->isEnabled()); // not every level is fitted
    }
    EXPECT_TRUE(p->IsDone(0));
    EXPECT_FALSE(p->IsDone(1));
    EXPECT_TRUE(p->IsDone(2));
    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>{"The fit could not be calculated: the fitted stretch or a "
                                       "reference spectrum holds a value that is not a finite number."});
    Click("IDC_CHMPRF_CLOSE");
}

// Two positions of three levels each: the Sample button shows the other
// position's curves in the same window. The limit cursors go with them, and
// the last position's fits are not shown as this one's.
TEST_F(ChemPrfSheetTest, AnotherSampleTakesTheCursorsAndNoneOfTheFits)
{
    CDataFileBuilder b;
    b.Header().Experiment(0x102, 2).Source().IonGun();
    for (int p = 0; p < 2; ++p) {
        CDataFileBuilder::SPosnHead head;
        head.levels = {0.0, 30.0, 60.0};
        const size_t at = b.BeginPosn(head, 1);
        b.SpecRgn(41, 3).Count(0);
        b.EndPosn(at);
    }
    b.End();
    auto* view = OpenView<CSpecView>("two-positions.vlt", b.m_bytes, 900, 600);
    ASSERT_NE(view, nullptr);
    Execute(ID_PROCESS_CHEMICALPROFILING);
    Pump(10);
    CChemPrf_Sheet* sheet = CChemPrf_Sheet::GetInstance();
    ASSERT_NE(sheet, nullptr);
    CSpecTrace* first = view->GetSpecTrace();
    ASSERT_EQ(first->GetLineCursors().size(), 2u);
    sheet->GetParams()->SetNumRefs(1, true);
    sheet->GetParams()->SetDone(0, true); // as a fit of position 0 leaves it
    Execute(ID_DISP_SAMPLE);
    Pump(10);
    ASSERT_EQ(view->GetCurrentSample(), 1);
    CSpecTrace* second = view->GetSpecTrace();
    ASSERT_NE(second, first);
    EXPECT_EQ(second->GetLineCursors().size(), 2u);
    EXPECT_TRUE(first->GetLineCursors().empty());
    EXPECT_EQ(sheet->GetParams()->CountDone(), 0);
    int lo = 0, hi = 0;
    ASSERT_TRUE(sheet->GetStretch(lo, hi));
    EXPECT_EQ(lo, 4);
    EXPECT_EQ(hi, 36);
    Click("IDC_CHMPRF_CLOSE");
    Pump(10);
    EXPECT_TRUE(second->GetLineCursors().empty());
}

// The profile's legend takes the right-hand corner that hides fewer points:
// a reference rising to the last level ends in the top corner, where the
// legend sat over its last points.
TEST_F(ChemPrfSheetTest, ProfileLegendKeepsOffTheCurves)
{
    struct
    {
        std::vector<double> a, b;
        bool top;
    } const cases[] = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 10}, {0, 1, 1, 2, 2, 3, 3, 4, 4, 5}, false},
                       {{10, 8, 7, 6, 5, 4, 3, 2, 1, 0}, {5, 4, 4, 3, 3, 2, 2, 1, 1, 0}, true}};
    for (const auto& c : cases) {
        QWidget host;
        host.resize(700, 450);
        std::vector<double> levels(c.a.size());
        for (size_t i = 0; i < levels.size(); ++i)
            levels[i] = double(i);
        auto* v = new CChemPrfView(levels, {c.a, c.b}, {"Si", "SiO2"});
        v->setParent(&host);
        v->resize(700, 450);
        host.show();
        v->OnInitialUpdate();
        Pump(10);
        const CLegend* legend = v->GetLegend();
        ASSERT_NE(legend, nullptr);
        EXPECT_EQ(legend->geometry().center().y() < v->GetSpecWnd(0)->height() / 2, c.top) << c.top;
        EXPECT_EQ(v->PointsIn(legend->geometry(), 2), 0) << c.top;
    }
}

// A profile refits the level on show even when it was fitted before, and a
// stopped run resets it: the fitted curve over the data and the value column
// follow the level's row either way, not the fit that was there before.
TEST_F(ChemPrfProfileTest, TheLevelOnShowFollowsTheProfilesFit)
{
    CChemPrf_Sheet* sheet = OpenProfile();
    ASSERT_NE(sheet, nullptr);
    CChemPrfParams* p = sheet->GetParams();
    const int level = m_view->GetCurrentLevel();
    Click("IDC_CHMPRF_CALC");
    ASSERT_TRUE(p->IsDone(level));
    // An earlier fit of another stretch left other values on show.
    p->GetRow(level)[p->GetRowLength() - 2] = 0.5;
    sheet->CalcFittedCurve();
    sheet->GetFileGrid()->RefreshValues();
    const auto shown = [&] {
        const std::vector<double> result = sheet->GetResult();
        sheet->CalcFittedCurve();
        EXPECT_EQ(result, sheet->GetResult());
        CUGCell cell;
        sheet->GetFileGrid()->GetCell(5, 0, &cell);
        EXPECT_EQ(std::string(cell.GetText()),
                  QString::asprintf("%f", p->GetIntensity(level, 0)).toStdString());
    };
    {
        CChemPrf_Profiling dlg(sheet);
        sheet->m_pProfiling = &dlg;
        ASSERT_TRUE(dlg.Create(sheet));
        RunUntilIdle(dlg);
        sheet->m_pProfiling = nullptr;
    }
    EXPECT_NEAR(p->GetIntensity(level, 0), 1.0, 1e-3);
    {
        SCOPED_TRACE("refitted");
        shown();
    }
    // Stopped before it reaches the level on show (the last one).
    m_view->SetDispTrace(49);
    Pump(10);
    Click("IDC_CHMPRF_CALC");
    ASSERT_TRUE(p->IsDone(49));
    {
        CChemPrf_Profiling dlg(sheet);
        sheet->m_pProfiling = &dlg;
        ASSERT_TRUE(dlg.Create(sheet));
        dlg.StartStopButton()->click();
        RunUntilIdle(dlg);
        sheet->m_pProfiling = nullptr;
    }
    if (!p->IsDone(49)) {
        SCOPED_TRACE("stopped");
        for (double v : sheet->GetResult())
            ASSERT_EQ(v, 0.0);
        shown();
    }
    Click("IDC_CHMPRF_CLOSE");
}

// One profile seen three ways: the result table, the export and the
// chemical profile view all carry the table's intensities and shifts, level
// by level, with the unfitted levels left out of the export and the view.
TEST_F(ChemPrfProfileTest, TableExportAndProfileViewAgree)
{
    CChemPrf_Sheet* sheet = OpenProfile();
    ASSERT_NE(sheet, nullptr);
    CChemPrfParams* p = sheet->GetParams();
    const QString out = QString::fromStdString(m_path) + ".agree.txt";
    {
        CChemPrf_Profiling dlg(sheet);
        sheet->m_pProfiling = &dlg;
        ASSERT_TRUE(dlg.Create(sheet));
        RunUntilIdle(dlg);
        ASSERT_EQ(p->CountDone(), 50);
        for (int level : {7, 30, 31})
            p->ResetLevel(level);
        for (int level = 0; level < 50; level += 7)
            for (int k = 0; k < 2; ++k) {
                CUGCell cell;
                dlg.Grid()->GetCell(k, level, &cell);
                if (p->IsDone(level))
                    EXPECT_EQ(QString::fromLatin1(cell.GetText()).toDouble(),
                              std::round(p->GetIntensity(level, k) * 1e6) / 1e6)
                        << level << " " << k;
            }
        ASSERT_TRUE(dlg.SaveTo(out.toStdString()));
        sheet->m_pProfiling = nullptr;
    }
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    std::vector<int> levels;
    const double step = sheet->RefCurves()[0].step;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> v = lines[i].simplified().split(' ');
        if (v.size() != 4)
            continue;
        const int level = v[0].toInt();
        levels.push_back(level);
        EXPECT_NEAR(v[1].toDouble(), p->GetIntensity(level, 0),
                    1e-5 * std::max(1.0, p->GetIntensity(level, 0)));
        EXPECT_NEAR(v[2].toDouble(), p->GetIntensity(level, 1),
                    1e-5 * std::max(1.0, p->GetIntensity(level, 1)));
        EXPECT_NEAR(v[3].toDouble(), p->GetShift(level, 0) * step,
                    1e-5 * std::max(1.0, std::fabs(p->GetShift(level, 0) * step)));
    }
    std::vector<int> fitted;
    for (int l = 0; l < 50; ++l)
        if (p->IsDone(l))
            fitted.push_back(l);
    EXPECT_EQ(levels, fitted);

    sheet->UpdateButtons();
    Click("IDC_CHMPRF_SHOWHIDE");
    CChemPrfView* prf = sheet->GetPrfView();
    ASSERT_NE(prf, nullptr);
    for (int k = 0; k < 2; ++k) {
        const CSpecTrace* t = prf->GetSpecWnd(0)->GetSpecTrace(k, 0);
        ASSERT_EQ(t->GetNumPoints(), int(fitted.size()));
        for (size_t i = 0; i < fitted.size(); ++i) {
            EXPECT_EQ(t->GetXData()[i], double(fitted[i]));
            EXPECT_EQ(t->GetYDataConst()[i], p->GetIntensity(fitted[i], k));
        }
    }
    Click("IDC_CHMPRF_CLOSE");
}
