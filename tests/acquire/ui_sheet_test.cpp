// The XPS sheet driven through its widgets: tables typed into with real
// keys, regions chosen from drop-down lists and the periodic table, settings
// saved and opened with the sheet's buttons, and the refusals of Start.

#include "XpsSheetFixture.h"

#include "SettingsBytes.h"
#include "acquire/core/RegionCheck.h"
#include "acquire/ui/PeriodicTable.h"
#include "data/Region.h"
#include "data/formats/PkLib.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <fstream>

TEST_F(XpsSheet, StageRowsAreTypedIntoTheEditRow)
{
    S().m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    S().m_Exp.SetMovement(CAcquireXPS::Normal);
    Page(2);
    CAcquireGrid& grid = sheet->StgPage().Grid();
    const auto& rows = S().m_Stg.m_GridData[CAcquireXPS::Normal];
    // Row 2 is the empty row: select it, type First, Tab, Last, Enter.
    ClickCell(grid, 0, 2);
    ASSERT_TRUE(grid.IsEditing());
    Type("5");
    Key(Qt::Key_Tab, "\t");
    EXPECT_EQ(rows.size(), 2u) << "no new row until Last is set";
    Type("x7");
    Key(Qt::Key_Return, "\r");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].m_dFirst, 5);
    EXPECT_EQ(rows[1].m_dLast, 7) << "a letter cannot be typed";
    EXPECT_EQ(grid.GetTextAt(1, 2), "7");
    // Escape during an edit puts the rows back as they were.
    ClickCell(grid, 0, 1);
    Type("9");
    Key(Qt::Key_Escape, "\x1b");
    EXPECT_EQ(rows[0].m_dFirst, 1);

    // A group added on the page is chosen for the row from the drop-down list.
    Ctrl<QLineEdit>("IDC_ACQXPSSTG_GROUPEDIT")->setText("Steel");
    Click("IDC_ACQXPSSTG_ADD");
    ClickCell(grid, 3, 2);
    Key(Qt::Key_Escape, "\x1b");
    Choose(grid, 2, 0, "Steel");
    EXPECT_EQ(rows[1].m_csGroup, "Steel");

    // A cell opens with its text selected: digits typed over a full one replace it.
    for (const char* t : {"12345678", "9"}) {
        ClickCell(grid, 1, 2);
        ASSERT_TRUE(grid.IsEditing());
        Type(QString::fromLatin1(t));
        Key(Qt::Key_Return, "\r");
        EXPECT_EQ(rows[1].m_dLast, std::stod(t));
    }
}

TEST_F(XpsSheet, RegionsComeFromTheTableAndThePeriodicTable)
{
    const CPkLib* lib = &app->m_PkLib;
    if (lib->GetSize() < 29)
        GTEST_SKIP() << "no peak library";
    S().m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    Page(4);
    CAcquireGrid& grid = sheet->RgnPage().Grid();
    auto& regions = *S().m_Stg.GetGroups()[0]->GetRegions();
    Choose(grid, 0, CAcquireXPS_RgnPage::Element, "Cu");
    Pump(10);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0]->GetName(), "Cu");

    // A photoelectron peak: kinetic energy = photon energy - binding energy.
    const CPkLibElement* cu = lib->GetElement("Cu");
    const int peak = regions[0]->m_iRegion;
    EXPECT_NEAR(regions[0]->m_dPeak, S().m_Src.m_dEnergy - cu->GetPeak(peak)->m_dPeak, 0.0011);

    // A value typed and left with a click elsewhere is the region's.
    ClickCell(grid, 0, CAcquireXPS_RgnPage::Dwell);
    Type("250");
    ClickCell(grid, 0, CAcquireXPS_RgnPage::Scans);
    Pump(10);
    EXPECT_EQ(regions[0]->m_dDwell, 250);
    Type("3");
    Key(Qt::Key_Tab, "\t");
    EXPECT_EQ(regions[0]->m_nScans, 3);
    // Counts are whole: the point is refused as it is typed.
    for (int row : {CAcquireXPS_RgnPage::Scans, CAcquireXPS_RgnPage::Repeat}) {
        ClickCell(grid, 0, row);
        Type("1.5");
        Key(Qt::Key_Return, "\r");
        EXPECT_EQ(grid.GetTextAt(0, row), "15") << row;
    }
    EXPECT_EQ(regions[0]->m_nScans, 15);
    EXPECT_EQ(regions[0]->m_iRepeat, 15);
    // The step takes decimals.
    ClickCell(grid, 0, CAcquireXPS_RgnPage::Step);
    Type("0.5");
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(regions[0]->m_dStep, 0.5);
    // One point to a number: a second one is refused as it is typed.
    ClickCell(grid, 0, CAcquireXPS_RgnPage::Step);
    Type("1.2.5");
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(regions[0]->m_dStep, 1.25);

    // "Wide" in the empty column shares the wide-scan region; an element
    // chosen there then makes a region of its own and leaves "Wide" alone.
    Choose(grid, 1, CAcquireXPS_RgnPage::Element, "Wide");
    Pump(10);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[1], S().m_Rgn.GetWidescanRgn());
    Choose(grid, 1, CAcquireXPS_RgnPage::Element, "O");
    Pump(10);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[1]->GetName(), "O");
    EXPECT_EQ(S().m_Rgn.GetWidescanRgn()->GetName(), "Wide");

    // The periodic table: Fe added, then removed again; its button follows.
    CAcquirePeriodicTable picker(
        sheet, &regions, lib, false, [&](const CPkLibElement* e, int p) { sheet->RgnPage().AddRegion(e, p); },
        [&](int i) { sheet->RgnPage().OnRegionDeleted(i); });
    picker.Create(sheet);
    const int fe = 25;
    ASSERT_EQ(lib->GetElement(fe)->GetSymbol(), "Fe");
    EXPECT_FALSE(picker.Button(fe)->isChecked());
    EXPECT_TRUE(picker.Button(28)->isChecked()) << "Cu has a region";
    picker.Choose(fe, 0);
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[2]->GetName(), "Fe");
    EXPECT_TRUE(picker.Button(fe)->isChecked());
    EXPECT_EQ(grid.GetTextAt(2, CAcquireXPS_RgnPage::Element), "Fe");
    int ticked = 0;
    std::unique_ptr<QMenu> menu(picker.BuildMenu(fe, &ticked));
    EXPECT_EQ(ticked, 1);
    picker.Choose(fe, 0);
    EXPECT_EQ(regions.size(), 2u);
    EXPECT_FALSE(picker.Button(fe)->isChecked());
    picker.hide();
}

// An element chosen alone, in the table or with the anode changed between
// choices, gets a line the anode's photons reach: Mg 1s and As 2p3/2, the
// library's defaults, lie beyond those of a Mg anode.
TEST_F(XpsSheet, AnElementChosenAloneGetsALineTheAnodeReaches)
{
    const CPkLib* lib = &app->m_PkLib;
    if (!lib->GetElement("Mg") || !lib->GetElement("As"))
        GTEST_SKIP() << "no peak library";
    S().m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    const struct
    {
        const char* anodeButton;
        const char* element;
        const char* line;
    } cases[] = {
        {"IDC_ACQXPSSRC_MGKA", "Mg", "2s"},    {"IDC_ACQXPSSRC_MGKA", "As", "3p3/2"},
        {"IDC_ACQXPSSRC_MGKA", "Cu", "2p3/2"}, {"IDC_ACQXPSSRC_ALKA", "Mg", "1s"},
        {"IDC_ACQXPSSRC_ALKA", "As", "2p3/2"},
    };
    auto& regions = *S().m_Stg.GetGroups()[0]->GetRegions();
    for (const auto& c : cases) {
        Page(1);
        Click(c.anodeButton);
        Page(4);
        CAcquireGrid& grid = sheet->RgnPage().Grid();
        const int col = int(regions.size());
        Choose(grid, col, CAcquireXPS_RgnPage::Element, c.element);
        Pump(10);
        ASSERT_EQ(int(regions.size()), col + 1) << c.element;
        const CRegion* r = regions.back();
        const CPkLibPeak* p = lib->GetElement(c.element)->GetPeak(r->m_iRegion);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(r->GetRegion(), c.line) << c.anodeButton << " " << c.element;
        EXPECT_EQ(grid.GetTextAt(col, CAcquireXPS_RgnPage::Region), c.line);
        EXPECT_NEAR(r->m_dPeak, S().m_Src.m_dEnergy - p->m_dPeak, 0.0011) << c.element;
        EXPECT_GE(r->m_dStart, 0) << c.element;
    }
    // Every region so made can be measured.
    for (const CRegion* r : regions)
        EXPECT_NO_THROW(CheckRegion(*r, false, true)) << r->GetName();
}

// The data file's name is a path: saved with the settings and shown again as
// typed, letters beyond cp1252 included.
TEST_F(XpsSheet, AccentedFileNameIsKeptAsTyped)
{
    const QString typed = settings.Path(QStringLiteral("Probe \u00fc \u65e5\u672c.vlt"));
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText(typed);
    const QString path = settings.Path("u.saq");
    dialogs.Answer(path);
    Click("id_3996");
    EXPECT_EQ(S().m_Exp.m_csFileName, typed.toStdString());
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText("other");
    dialogs.Answer(path);
    Click("id_3997");
    EXPECT_EQ(S().m_Exp.m_csFileName, typed.toStdString());
    EXPECT_EQ(Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->text(), typed);

    // A name from an older set-up file may be cp1252: shown, and run, as UTF-8.
    S().m_Exp.m_csFileName = "Messung_\xE4.vlt";
    sheet->ExpPage().Refresh();
    EXPECT_EQ(Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->text(), QStringLiteral("Messung_\u00e4.vlt"));
}

TEST_F(XpsSheet, SettingsAreSavedAndOpenedWithTheButtons)
{
    Click("IDC_ACQXPSEXP_NWSCAN");
    ASSERT_EQ(S().GetExpType(), CAcquireXPS::Narrowscan);
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText("run3.vlt");
    S().m_Stg.AddGroup("Steel")->m_Regions.push_back(NewRegion("Fe", 700, 720, 0.1));
    const QString path = settings.Path("a.saq");
    dialogs.Answer(path);
    Click("id_3996");
    ASSERT_TRUE(QFile::exists(path));

    // Change everything, then open the file again: all comes back, group 0 current.
    Click("IDC_ACQXPSEXP_WDSCAN");
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText("other");
    S().SetCurGroup(1);
    dialogs.Answer(path);
    Click("id_3997");
    EXPECT_EQ(S().GetExpType(), CAcquireXPS::Narrowscan);
    EXPECT_EQ(S().m_Exp.m_csFileName, "run3.vlt");
    ASSERT_EQ(S().m_Stg.GetGroups().size(), 2u);
    EXPECT_EQ(S().m_Stg.GetGroups()[1]->m_Regions[0]->GetName(), "Fe");
    EXPECT_EQ(S().m_iGroup, 0);

    // A file cut short changes nothing and says why.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.resize(f.size() - 5);
    f.close();
    Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText("kept");
    Page(1);
    sink.Clear();
    dialogs.Answer(path);
    Click("id_3997");
    EXPECT_EQ(S().m_Exp.m_csFileName, "kept");
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], FormatMessageId(2065, {"a.saq"}));

    // An AES settings file: refused with the full path.
    const auto aes = CBytes().header(1).b;
    WriteBytes("b.saq", aes);
    sink.Clear();
    dialogs.Answer(settings.Path("b.saq"));
    Click("id_3997");
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], FormatMessageId(2160, {settings.Path("b.saq").toStdString()}));
}

TEST_F(XpsSheet, StartRefusesWhatCannotBeMeasured)
{
    struct Case
    {
        const char* what;
        std::function<void(CXpsSetup&)> set;
        unsigned id;
    };
    const std::vector<Case> cases = {
        {"X-rays off", [](CXpsSetup&) {}, 2130},
        {"no region in a used group",
         [](CXpsSetup& s) {
             s.m_Src.m_iType = 2;
             s.m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
         },
         2143},
        {"a position no row covers",
         [](CXpsSetup& s) {
             s.m_Src.m_iType = 2;
             s.m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
             s.m_Exp.SetMovement(CAcquireXPS::Memory);
             s.m_Exp.m_nPosns[CAcquireXPS::Memory] = 9;
             auto& rows = s.m_Stg.m_GridData[CAcquireXPS::Memory];
             rows.insert(rows.begin() + 1, CAcquireXPS_Stg::CGridRow{7, 9, "Default", ""});
         },
         2177},
        {"an empty depth profile",
         [](CXpsSetup& s) {
             s.m_Src.m_iType = 2;
             s.m_Exp.SetExperiment(CAcquireXPS::DepthProfile);
         },
         2132},
        {"a step of 0.0005 eV",
         [](CXpsSetup& s) {
             s.m_Src.m_iType = 2;
             s.m_Rgn.GetWidescanRgn()->m_dStep = 0.0005;
         },
         2199},
        {"an image without regions",
         [](CXpsSetup& s) {
             s.m_Src.m_iType = 2;
             s.m_Exp.m_iExperiment = CAcquireXPS::Image;
             s.m_Exp.m_iMovement = CAcquireXPS::Planar;
         },
         2142},
    };
    for (const auto& c : cases) {
        auto fresh = std::make_unique<CXpsSetup>(S().m_Instr);
        c.set(*fresh);
        const CXpsSrcModel src = fresh->m_Src;
        sheet->TakeSetup(std::move(fresh));
        S().m_Src = src;
        sink.Clear();
        Click("IDC_ACQ_STARTBTN");
        ASSERT_EQ(sink.Texts().size(), 1u) << c.what;
        EXPECT_EQ(sink.Texts()[0].substr(0, 14), LoadString(c.id).substr(0, 14)) << c.what;
        EXPECT_TRUE(Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled()) << c.what;
    }
}

// A refused energy is a kinetic energy: with the table in binding energies
// the message says so and gives the binding energies allowed, else the
// refused value, as shown, seems to lie in the range named.
TEST_F(XpsSheet, AnEnergyRefusedInBindingEnergiesIsExplained)
{
    auto fresh = std::make_unique<CXpsSetup>(S().m_Instr);
    fresh->m_Src.m_iType = 2;
    fresh->m_Src.m_dEnergy = 1300;
    fresh->m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    // Mg 1s (1305 eV) with these photons: shown from 1361.4 to 1341.4 eV.
    fresh->m_Stg.GetGroups()[0]->GetRegions()->push_back(NewRegion("Mg", -61.4, -41.4, 0.1));
    const CXpsSrcModel src = fresh->m_Src;
    sheet->TakeSetup(std::move(fresh));
    S().m_Src = src;
    const std::string note = "photon energy of 1300 eV, binding energies from -1700 to 1300 eV";
    for (unsigned id : {unsigned(ID_VIEW_UNITS_BE), unsigned(ID_VIEW_UNITS_KE)}) {
        frame->OnViewUnits(id);
        Pump(0);
        sink.Clear();
        Click("IDC_ACQ_STARTBTN");
        ASSERT_EQ(sink.Texts().size(), 1u) << id;
        const std::string text = sink.Texts()[0];
        EXPECT_EQ(text.substr(0, text.find('\n')), (CAcqError{2194, {"3000"}}.Text())) << id;
        EXPECT_EQ(text.find(note) != std::string::npos, id == ID_VIEW_UNITS_BE) << text;
        EXPECT_TRUE(Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled());
    }
}

TEST_F(XpsSheet, AWideScanShowsItsOneRegionInTheUnitChosen)
{
    Page(4);
    CAcquireGrid& grid = sheet->RgnPage().Grid();
    // One read-only "Wide" column, no empty column, no periodic table, the wide-scan labels.
    EXPECT_EQ(grid.GetTextAt(0, CAcquireXPS_RgnPage::Element), "Wide");
    CUGCell cell;
    grid.GetCell(1, CAcquireXPS_RgnPage::Element, &cell);
    EXPECT_NE(cell.GetCellType(), UGTYPE_DROPLIST);
    EXPECT_FALSE(Ctrl<QPushButton>("id_4093")->isEnabled());
    EXPECT_EQ(Ctrl<QRadioButton>("id_4089")->text().toStdString(), LoadString(1154));
    // Every choice of the page reads in full: none is squeezed under its text
    // (once the layouts have run; a loaded machine may not have run them yet).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    for (const char* name : {"id_4089", "id_4090", "id_4091", "id_4092"}) {
        const QRadioButton* b = Ctrl<QRadioButton>(name);
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
    }

    // The unit changes while the page is in front: start and finish follow, the step does not.
    const CRegion* wide = S().m_Rgn.GetWidescanRgn();
    const double photon = S().m_Src.m_dEnergy;
    for (unsigned id : {unsigned(ID_VIEW_UNITS_KE), unsigned(ID_VIEW_UNITS_BE)}) {
        frame->OnViewUnits(id);
        Pump(0);
        const bool binding = id == ID_VIEW_UNITS_BE;
        const double start = binding ? photon - wide->m_dStart : wide->m_dStart;
        EXPECT_EQ(grid.GetTextAt(0, CAcquireXPS_RgnPage::Start), FormatPrintf("%.3f", start)) << id;
        EXPECT_EQ(grid.GetTextAt(0, CAcquireXPS_RgnPage::Step), FormatPrintf("%.3f", wide->m_dStep)) << id;
    }
    // A pass energy this instrument's list lacks (a set-up from another) is
    // shown as the run sends it: 37.5 read as 38.
    S().m_Rgn.GetWidescanRgn()->m_dAnalyserEnergy = 37.5;
    Page(0);
    Page(4);
    EXPECT_EQ(grid.GetTextAt(0, CAcquireXPS_RgnPage::Pass), "37.5");
}

TEST_F(XpsSheet, AValueBeingTypedWhenStartIsPressedCounts)
{
    S().m_Src.m_iType = 2;
    Page(4);
    CAcquireGrid& grid = sheet->RgnPage().Grid();
    ClickCell(grid, 0, CAcquireXPS_RgnPage::Dwell);
    ASSERT_TRUE(grid.IsEditing());
    for (int i = 0; i < 8; ++i)
        Key(Qt::Key_Backspace, "\b");
    Type("2000");
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    EXPECT_EQ(S().m_Rgn.GetWidescanRgn()->m_dDwell, 2000);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], LoadString(2193));
}

TEST_F(XpsSheet, AFileWithAnEmptyStageTableOpensOnTheStagePage)
{
    // A damaged or hand-made file may hold no row at all for a movement,
    // not even the one the user types a new row into.
    CXpsSetup made(S().m_Instr);
    made.m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    made.m_Exp.SetMovement(CAcquireXPS::Normal);
    made.m_Stg.m_GridData[CAcquireXPS::Normal].clear();
    const QString path = settings.Path("bare.saq");
    XpsSettingsFile::Write(made, path.toStdString());
    sheet->OpenFile(path.toStdString());
    Page(2);
    EXPECT_EQ(S().GetMoveType(), CAcquireXPS::Normal);
    EXPECT_EQ(S().m_Stg.m_GridData[CAcquireXPS::Normal].size(), 1u);
}

TEST_F(XpsSheet, LevelRowsTypedOneAfterAnotherAreKept)
{
    S().m_Exp.SetExperiment(CAcquireXPS::DepthProfile);
    S().m_Exp.SetMovement(CAcquireXPS::Normal);
    Page(3);
    CAcquireGrid& grid = sheet->PrfPage().Grid();
    const CLevelList& rows = *S().CurGroup()->GetProfile()->GetLevelList(CAcquireProfile::DepthProfile);
    auto typeRow = [this](const char* from, const char* to, const char* time) {
        for (const char* t : {from, to, time}) {
            Type(QString::fromLatin1(t));
            Key(Qt::Key_Tab, "\t");
        }
    };
    // Rows typed one after another, Tab past the last column starting the
    // next: a row that sorts before an earlier one does not send the typing
    // into that earlier row.
    ClickCell(grid, 0, 0);
    ASSERT_TRUE(grid.IsEditing());
    typeRow("5", "10", "30");
    for (int i = 0; i < 14; ++i)
        typeRow("1", "2", "3");
    Key(Qt::Key_Escape, "\x1b");
    ASSERT_EQ(rows.size(), 3u) << grid.GetTextAt(0, 1) << " " << grid.GetTextAt(0, 2);
    EXPECT_EQ((std::vector<double>{rows[0].m_dFrom, rows[0].m_dTo, rows[0].m_dStep}),
              (std::vector<double>{1, 2, 3}));
    EXPECT_EQ((std::vector<double>{rows[1].m_dFrom, rows[1].m_dTo, rows[1].m_dStep}),
              (std::vector<double>{5, 10, 30}));
    EXPECT_TRUE(rows[2].IsEmpty());
    EXPECT_EQ(Ctrl<QLabel>("IDC_ACQXPSPRF_LEVELS")->text(), "10");
    EXPECT_EQ(Ctrl<QLabel>("IDC_ACQXPSPRF_TIME")->text(), "186");

    // Escape puts back the rows and the selected row, though the cancelled
    // text would have made a gap row before the edited one.
    const int& selected = S().CurGroup()->GetProfile()->SelectedRow(CAcquireProfile::DepthProfile);
    ClickCell(grid, 1, 2);
    Type("99");
    Key(Qt::Key_Escape, "\x1b");
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].m_dTo, 10);
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(grid.GetTextAt(1, 0), "10");

    // Moving on from a row that was already there still walks the rows.
    ClickCell(grid, 0, 1);
    typeRow("1", "2", "4");
    Type("6");
    Key(Qt::Key_Return, "\r");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].m_dStep, 4);
    EXPECT_EQ(rows[1].m_dTo, 5) << "the gap before the moved row";
    EXPECT_EQ(rows[2].m_dFrom, 6);

    // A cell opens with its text selected: four digits typed over four digits
    // replace them.
    for (const char* t : {"3600", "20"}) {
        ClickCell(grid, 2, 3);
        ASSERT_TRUE(grid.IsEditing());
        Type(QString::fromLatin1(t));
        Key(Qt::Key_Return, "\r");
        EXPECT_EQ(rows[2].m_dStep, std::stod(t));
    }
}
