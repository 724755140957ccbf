// The whole road, as a user takes it: the sheet from the Acquire menu, the
// experiment, the source switched on, stage rows and levels typed into their
// tables, a region from the periodic table with its values typed, the
// settings saved and opened again, Start, and the run to its end on the
// emulated instrument.

#include "XpsSheetFixture.h"

#include "acquire/ui/AcqHost.h"
#include "acquire/ui/PeriodicTable.h"
#include "data/Region.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "data/formats/PkLib.h"
#include "framework/ui/Resources.h"
#include "instrument/Acquire.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>

TEST_F(XpsSheet, FromTheMenuToAFinishedAcquisition)
{
    const CPkLib* lib = &app->m_PkLib;
    if (lib->GetSize() < 29)
        GTEST_SKIP() << "no peak library";

    // Experiment: a depth profile over stage positions 1 and 2.
    Page(0);
    Click("IDC_ACQXPSEXP_DEPTHPROFILE");
    ASSERT_EQ(S().GetMoveType(), CAcquireXPS::Normal);
    auto* count = Ctrl<QLineEdit>("IDC_ACQXPSEXP_NORMPOSNS");
    count->setFocus();
    count->selectAll();
    Type("2");
    Key(Qt::Key_Tab, "\t");
    EXPECT_EQ(S().m_Exp.GetNumPosns(), 2);
    auto* name = Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME");
    name->setText(settings.Path("depth7.vlt"));

    // Source: Mg Ka, switched on.
    Page(1);
    Click("IDC_ACQXPSSRC_XRAYON");
    ASSERT_TRUE(PumpUntil([&] { return !sheet->SrcPage().IsWorking(); }, 10));
    ASSERT_TRUE(sheet->SrcPage().IsXraysOn());

    // Stage: the first row typed as 1 to 2.
    Page(2);
    CAcquireGrid& stage = sheet->StgPage().Grid();
    ClickCell(stage, 0, 1);
    Key(Qt::Key_Delete);
    Type("1");
    Key(Qt::Key_Tab, "\t");
    Key(Qt::Key_Backspace, "\b");
    Type("2");
    Key(Qt::Key_Return, "\r");
    Pump(0);
    const auto& rows = S().m_Stg.m_GridData[CAcquireXPS::Normal];
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0].m_dFirst, 1);
    EXPECT_EQ(rows[0].m_dLast, 2);

    // Profiling: levels 1 and 2, 1 s each, etched by hand.
    Page(3);
    if (auto* manual = Ctrl<QCheckBox>("IDC_ACQXPSPRF_MAN"); manual->isEnabled() && !manual->isChecked())
        Click("IDC_ACQXPSPRF_MAN");
    S().m_Prf.m_bManual = 1;
    CAcquireGrid& levels = sheet->PrfPage().Grid();
    ClickCell(levels, 0, 0);
    Type("1");
    Key(Qt::Key_Tab, "\t");
    Type("2");
    Key(Qt::Key_Tab, "\t");
    Type("1");
    Key(Qt::Key_Return, "\r");
    const CLevelList& depth = *S().CurGroup()->GetProfile()->GetLevelList(CAcquireProfile::DepthProfile);
    ASSERT_EQ(depth.size(), 2u);
    EXPECT_EQ(depth[0].m_dTo, 2);

    // Regions: Cu from the periodic table, then a short range typed over it.
    Page(4);
    auto& regions = *S().CurRegions();
    CAcquirePeriodicTable picker(
        sheet, &regions, lib, false, [&](const CPkLibElement* e, int p) { sheet->RgnPage().AddRegion(e, p); },
        [&](int i) { sheet->RgnPage().OnRegionDeleted(i); });
    picker.Create(sheet);
    picker.Choose(28, -1);
    picker.hide();
    ASSERT_EQ(regions.size(), 1u);
    CAcquireGrid& table = sheet->RgnPage().Grid();
    sheet->activateWindow();
    table.GetGridWnd()->setFocus();
    Pump(0);
    // The table shows energies in the program's unit: binding energies run the other way.
    const double shownStart = std::stod(table.GetTextAt(0, CAcquireXPS_RgnPage::Start));
    const bool binding = AcqHost().xpsUnit && AcqHost().xpsUnit() == 3;
    ClickCell(table, 0, CAcquireXPS_RgnPage::Finish);
    for (int i = 0; i < 12; ++i)
        Key(Qt::Key_Backspace, "\b");
    Type(QString::number(binding ? shownStart - 2 : shownStart + 2, 'f', 3));
    ClickCell(table, 0, CAcquireXPS_RgnPage::Step);
    for (int i = 0; i < 12; ++i)
        Key(Qt::Key_Backspace, "\b");
    Type("0.5");
    ClickCell(table, 0, CAcquireXPS_RgnPage::Dwell);
    for (int i = 0; i < 12; ++i)
        Key(Qt::Key_Backspace, "\b");
    Type("1");
    Key(Qt::Key_Return, "\r");
    Pump(10);
    EXPECT_NEAR(regions[0]->m_dFinish - regions[0]->m_dStart, 2, 0.0011);
    EXPECT_EQ(regions[0]->m_dStep, 0.5);
    EXPECT_EQ(regions[0]->m_dDwell, 1);

    // Saved, the sheet emptied, opened again.
    dialogs.Answer(settings.Path("depth.saq"));
    Click("id_3996");
    sheet->TakeSetup(std::make_unique<CXpsSetup>(S().m_Instr));
    EXPECT_EQ(S().GetExpType(), CAcquireXPS::Widescan);
    dialogs.Answer(settings.Path("depth.saq"));
    Click("id_3997");
    ASSERT_EQ(S().GetExpType(), CAcquireXPS::DepthProfile);
    ASSERT_EQ(S().CurRegions()->size(), 1u);
    EXPECT_EQ(S().m_Stg.GetEndPosn(CAcquireXPS::Normal), 2);
    S().m_Prf.m_bManual = 1;

    // Start: the run goes to its end on the emulated instrument.
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    ASSERT_FALSE(Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled())
        << (sink.Texts().empty() ? std::string("nothing said") : sink.Texts()[0]);
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled(); }, 120));
    ASSERT_FALSE(sink.Texts().empty());
    EXPECT_EQ(sink.Texts().back(), LoadString(5120));

    CVeltraneDoc* doc = AcqHost().engineDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), settings.Path("depth7.vlt").toStdString());
    ASSERT_EQ(doc->GetNumStagePosns(), 2);
    for (int p = 0; p < 2; ++p) {
        const CStagePosn* posn = doc->GetStagePosn(p);
        EXPECT_EQ(posn->GetPosnNum(), p + 1);
        EXPECT_EQ(posn->GetNumLevels(), 2);
        ASSERT_EQ(posn->GetNumSpecRgns(), 1);
        EXPECT_EQ(posn->GetSpecRgn(0)->GetName(), "Cu");
        EXPECT_EQ(posn->GetSpecRgn(0)->GetNumPoints_x(), 5);
    }
    EXPECT_EQ(S().m_Exp.m_csFileName, settings.Path("depth8.vlt").toStdString());
}

TEST_F(XpsSheet, AbortEndsTheRunAndTheButtonsComeBack)
{
    auto setup = std::make_unique<CXpsSetup>(S().m_Instr);
    setup->m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    setup->m_Stg.GetGroups()[0]->m_Regions.push_back(NewRegion("C", 100, 1000, 0.5, 1, 50));
    sheet->TakeSetup(std::move(setup));
    S().m_Src.m_iType = 2; // no X-rays to switch
    Page(0);
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText(settings.Path("long.vlt"));
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("id_3999")->isEnabled(); }, 20))
        << (sink.Texts().empty() ? std::string("nothing said") : sink.Texts()[0]);
    EXPECT_FALSE(Ctrl<QPushButton>("id_3997")->isEnabled()) << "no Open during a run";
    Click("id_3999");
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled(); }, 60));
    EXPECT_FALSE(Ctrl<QPushButton>("id_3999")->isEnabled());
    ASSERT_FALSE(sink.Texts().empty());
    EXPECT_EQ(sink.Texts().back(), LoadString(5121));
}

TEST_F(XpsSheet, ARunThatFailsBeforeItsFirstScanGivesTheButtonsBack)
{
    // The engine takes the run, its preparation fails (the stage unit, a
    // point outside the map area): it says why and posts neither the start
    // nor the end. The sheet must not wait for an end that never comes.
    auto setup = std::make_unique<CXpsSetup>(S().m_Instr);
    setup->m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    setup->m_Stg.GetGroups()[0]->m_Regions.push_back(NewRegion("C", 280, 290, 0.5, 1, 50));
    sheet->TakeSetup(std::move(setup));
    S().m_Src.m_iType = 2; // no X-rays to switch
    SAcqHost& host = AcqHost();
    const auto start = host.startAcquiring;
    host.startAcquiring = [](CVeltraneDoc*, QObject*) {
        AfxMessageBox(2305u);
        return 0;
    };
    Page(0);
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText(settings.Path("failed.vlt"));
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    host.startAcquiring = start;
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], LoadString(2305));
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled(); }, 5));
    EXPECT_FALSE(Ctrl<QPushButton>("id_3999")->isEnabled());
    EXPECT_TRUE(Ctrl<QPushButton>("id_3997")->isEnabled());

    // And the next Start runs.
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText(settings.Path("next.vlt"));
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("id_3999")->isEnabled(); }, 20))
        << (sink.Texts().empty() ? std::string("nothing said") : sink.Texts()[0]);
    Click("id_3999");
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled(); }, 60));
    ASSERT_FALSE(sink.Texts().empty());
    EXPECT_EQ(sink.Texts().back(), LoadString(5121));
}

TEST_F(XpsSheet, ClosingAnUntitledRunAsksWhereToKeepIt)
{
    // A run without a file name goes into the temporary file that the next
    // such run replaces. Closing its document during the run aborts it; the
    // document then stands for no file, so closing asks where to keep it:
    // Cancel keeps it open, Yes saves it under the name chosen.
    CTempFolder tmp(settings.Path(""));
    auto setup = std::make_unique<CXpsSetup>(S().m_Instr);
    setup->m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    setup->m_Stg.GetGroups()[0]->m_Regions.push_back(NewRegion("C", 100, 1000, 0.5, 1, 50));
    sheet->TakeSetup(std::move(setup));
    S().m_Src.m_iType = 2; // no X-rays to switch
    Page(0);
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText(QString());
    Click("IDC_ACQ_STARTBTN");
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("id_3999")->isEnabled(); }, 20));
    CVeltraneDoc* doc = app->GetAcq()->GetDocument();
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->GetPathName(), sheet->TempFile());

    sink.Answer(IDYES);    // abort the run and close
    sink.Answer(IDOK);     // how the run ended
    sink.Answer(IDCANCEL); // where to keep it
    Execute(ID_FILE_CLOSE);
    ASSERT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 1) << "closed without asking";
    EXPECT_FALSE(app->GetAcq()->IsBusy());
    EXPECT_EQ(doc->GetPathName(), "");
    EXPECT_TRUE(doc->IsModified());
    ASSERT_FALSE(sink.Texts().empty());
    EXPECT_EQ(sink.Texts().back(), FormatMessageId(AFX_IDP_ASK_TO_SAVE, {doc->GetTitle()}));

    sink.Answer(IDYES);
    dialogs.Answer(settings.Path("kept.vlt"));
    Execute(ID_FILE_CLOSE);
    EXPECT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 0);
    EXPECT_GT(QFile(settings.Path("kept.vlt")).size(), 0);
}

TEST_F(XpsSheet, ADepthProfileStoppedHalfWayOpensAgainWithTheLevelsTyped)
{
    // Levels 1 and 2 measured before any etching, 3 and 4 after 1 s each,
    // etched by hand; the run is stopped on its way.
    auto setup = std::make_unique<CXpsSetup>(S().m_Instr);
    setup->m_Exp.SetExperiment(CAcquireXPS::DepthProfile);
    setup->m_Exp.SetMovement(CAcquireXPS::Normal);
    setup->m_Prf.m_bManual = 1;
    CStageGroup* group = setup->m_Stg.GetGroups()[0].get();
    *group->GetProfile()->GetLevelList(CAcquireProfile::DepthProfile) = {CLevelInfo(3, 4, 1), CLevelInfo()};
    group->m_Regions.push_back(NewRegion("C", 280, 290, 0.5, 1, 50));
    sheet->TakeSetup(std::move(setup));
    S().m_Src.m_iType = 2; // no X-rays to switch
    Page(0);
    const QString path = settings.Path("late.vlt");
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText(path);
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("id_3999")->isEnabled(); }, 20))
        << (sink.Texts().empty() ? std::string("nothing said") : sink.Texts()[0]);
    CVeltraneDoc* doc = AcqHost().engineDocument();
    ASSERT_NE(doc, nullptr);
    const CStagePosn* posn = doc->GetStagePosn(0);
    std::vector<double> levels;
    for (int l = 0; l < posn->GetNumLevels(); ++l)
        levels.push_back(posn->GetLevel(l)->GetValue());
    EXPECT_EQ(levels, (std::vector<double>{0, 0, 1, 2})) << "the etch time before each level, added up";
    Click("id_3999");
    ASSERT_TRUE(PumpUntil([&] { return Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled(); }, 60));

    // The data file opens into a fresh sheet with the levels as typed.
    sheet->TakeSetup(std::make_unique<CXpsSetup>(S().m_Instr));
    sheet->OpenFile(path.toStdString());
    ASSERT_EQ(S().GetExpType(), CAcquireXPS::DepthProfile);
    const CLevelList& back = *S().CurGroup()->GetProfile()->GetLevelList(CAcquireProfile::DepthProfile);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ((std::vector<double>{back[0].m_dFrom, back[0].m_dTo, back[0].m_dStep}), (std::vector<double>{1, 2, 0}));
    EXPECT_EQ((std::vector<double>{back[1].m_dFrom, back[1].m_dTo, back[1].m_dStep}), (std::vector<double>{3, 4, 1}));
}
