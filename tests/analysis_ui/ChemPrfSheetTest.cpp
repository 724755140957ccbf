// The chemical-profiling sheet on a real spectrum view of measured Mn 2p
// data: references opened through the import path and shared, a fit of the
// current level through the widgets, the overlay, closing.

#include "AppFixture.h"
#include "analysis/ui/ChemPrf.h"
#include "analysis/ui/ProcDlg.h"
#include "app/SpecView.h"
#include "app/VeltraneView.h"
#include "app/plot/LineCursor.h"
#include "app/plot/SpecTrace.h"
#include "data/VeltraneDoc.h"
#include "res/resource.h"

#include <QAbstractButton>
#include <QCheckBox>

namespace {

const std::string kVamas = VELTRANE_SOURCE_DIR "/tests/formats/fixtures/vamas/";

class ChemPrfSheetTest : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        InstallProcessTools();
        m_oldMake = CVeltrane::s_makeSpecView;
        CVeltrane::s_makeSpecView = [] { return new CSpecView; };
        Start();
    }
    void TearDown() override
    {
        if (CChemPrf_Sheet* s = CChemPrf_Sheet::GetInstance())
            s->close();
        Pump(0);
        AppFixture::TearDown();
        CVeltrane::s_makeSpecView = m_oldMake;
    }
    static void Click(const char* name)
    {
        auto* b = CChemPrf_Sheet::GetInstance()->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
        Pump(0);
    }
    std::function<CView*()> m_oldMake;
};

TEST_F(ChemPrfSheetTest, MnLevelFittedByOxideReferences)
{
    auto* doc = dynamic_cast<CVeltraneDoc*>(
        app->OpenDocumentFile((kVamas + "xpsdl__mno_gas-phase_removed.vms").c_str()));
    ASSERT_NE(doc, nullptr);
    auto* view = dynamic_cast<CSpecView*>(doc->GetViews().front());
    ASSERT_NE(view, nullptr);
    view->GetParentFrame()->resize(900, 600);
    Pump(20);
    Execute(ID_PROCESS_CHEMICALPROFILING);
    Pump(10);
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
    auto* multi = sheet->findChild<QCheckBox*>("IDC_CHMPRFCALC_MULTISHIFT");
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

} // namespace
