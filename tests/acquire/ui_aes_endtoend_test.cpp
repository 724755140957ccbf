// From the AES sheet to a finished acquisition on the emulated instrument,
// for each kind of experiment: the document holds what was set up. Values
// of pages that are set through their models here: the regions, points and
// areas.

#include "AesSheetFixture.h"

#include "acquire/ui/AcqHost.h"
#include "acquire/ui/AcquireXPS.h"
#include "data/Experiment.h"
#include "framework/ui/Resources.h"
#include "data/ImageRgn.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "instrument/Acquire.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>

namespace {
using Scn = CAcquireAES_Scn;
}

class AesRun : public AesSheet
{
protected:
    // Start through the button; true once the run has ended with the message id.
    ::testing::AssertionResult Run(unsigned expected = 5120, int seconds = 60)
    {
        sink.Clear();
        Click("IDC_ACQ_STARTBTN");
        if (!sheet->IsOwnRun())
            return ::testing::AssertionFailure() << "nothing started: " << Said();
        const std::string end = LoadString(expected);
        const bool ended = PumpUntil(
            [&] {
                const auto t = sink.Texts();
                return std::find(t.begin(), t.end(), end) != t.end();
            },
            seconds);
        if (!ended)
            return ::testing::AssertionFailure() << "no end: " << Said();
        Pump(10);
        return ::testing::AssertionSuccess();
    }
    CVeltraneDoc* Doc() { return AcqHost().engineDocument(); }
    void Name(const char* file)
    {
        Page(0);
        auto* edit = Ctrl<QLineEdit>("IDC_ACQAESEXP_FILENAME");
        edit->setText(*file ? settings.Path(QString::fromLatin1(file)) : QString());
        S().m_Exp.m_csFileName = edit->text().toStdString();
    }
    // A short region: 5 points of 1 ms.
    void NarrowRegion(const char* name, double at)
    {
        S().m_Rgn.m_NarrowscanRegions.push_back(NewRegion(name, at, at + 4, 1, 1));
    }
    void ExpectIdleButtons()
    {
        EXPECT_TRUE(StartBtn()->isEnabled());
        EXPECT_EQ(StartBtn()->text().toStdString(), LoadString(1104));
        EXPECT_FALSE(Btn("id_3999")->isEnabled());
        EXPECT_TRUE(Btn("id_3997")->isEnabled());
        EXPECT_TRUE(Btn("id_3996")->isEnabled());
    }
};

TEST_F(AesRun, SpectraAtPoints)
{
    Page(0);
    Click("IDC_ACQAESEXP_NWSCAN");
    NarrowRegion("Cu", 915);
    NarrowRegion("O", 500);
    S().m_Scn.m_iControl = Scn::Point;
    S().m_Scn.m_Points = {{-100, 50}, {20, -30}};
    Name("points4.vlt");
    ASSERT_TRUE(Run());
    ExpectIdleButtons();
    CVeltraneDoc* doc = Doc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), settings.Path("points4.vlt").toStdString());
    EXPECT_EQ(doc->GetTechnique(), CExperiment::AES);
    EXPECT_EQ(doc->GetExperiment()->GetExpType(), CExperiment::Narrowscan);
    ASSERT_EQ(doc->GetNumStagePosns(), 1);
    const CStagePosn* posn = doc->GetStagePosn(0);
    EXPECT_EQ(posn->GetPosnMode(), CStagePosn::PointList);
    ASSERT_EQ(posn->GetNumSpecRgns(), 2);
    EXPECT_EQ(posn->GetSpecRgn(0)->GetName(), "Cu");
    EXPECT_EQ(posn->GetSpecRgn(1)->GetNumPoints_x(), 5);
    EXPECT_EQ(S().m_Exp.m_csFileName, settings.Path("points5.vlt").toStdString());
    EXPECT_EQ(Ctrl<QLineEdit>("IDC_ACQAESEXP_FILENAME")->text(), settings.Path("points5.vlt"));
}

// A file name with letters beyond ASCII is the name of the file on disk, as
// the system spells it, and the next one follows it in the field.
TEST_F(AesRun, AccentedFileNameIsTheFileOnDisk)
{
    Page(0);
    Click("IDC_ACQAESEXP_NWSCAN");
    NarrowRegion("Cu", 915);
    auto* edit = Ctrl<QLineEdit>("IDC_ACQAESEXP_FILENAME");
    const QString path = settings.Path(QStringLiteral("Probe \u00fc \u65e5\u672c7.vlt"));
    edit->setText(path);
    ASSERT_TRUE(Run());
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Doc()->GetPathName(), path.toStdString());
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(edit->text().toStdString(),
              settings.Path(QStringLiteral("Probe \u00fc \u65e5\u672c8.vlt")).toStdString());
}

TEST_F(AesRun, DepthProfileWithItsLevels)
{
    Page(0);
    Click("IDC_ACQAESEXP_PRF");
    Page(2);
    S().m_Prf.m_Levels = {{1, 2, 0}, {3, 3, 1}, {}};
    sheet->PrfPage().Refresh();
    NarrowRegion("Si", 90);
    // Profiled at two points: a stage position each.
    S().m_Scn.m_iControl = Scn::Point;
    S().m_Scn.m_Points = {{-100, 50}, {20, -30}};
    Name("");
    ASSERT_TRUE(Run());
    CVeltraneDoc* doc = Doc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetExperiment()->GetExpType(), CExperiment::Profile);
    ASSERT_EQ(doc->GetNumStagePosns(), 2);
    EXPECT_EQ(doc->GetStagePosn(1)->GetNumLevels(), 3);
    const CStagePosn* posn = doc->GetStagePosn(0);
    ASSERT_EQ(posn->GetNumLevels(), 3);
    EXPECT_EQ(posn->GetLevel(2)->GetValue(), 1);
    // The temporary file's document is renamed and asks to be saved; the
    // next run reuses the temporary file without a question.
    const std::string untitled = LoadString(61443);
    ASSERT_EQ(doc->GetTitle().rfind(untitled, 0), 0u) << doc->GetTitle();
    EXPECT_EQ(doc->GetPathName(), "");
    const int first = std::stoi(doc->GetTitle().substr(untitled.size()));
    EXPECT_TRUE(doc->IsModified());
    ExpectIdleButtons();
    ASSERT_TRUE(Run());
    EXPECT_EQ(sink.Texts().size(), 1u) << "no replace question";
    EXPECT_EQ(Doc()->GetTitle(), untitled + std::to_string(first + 1));
}

TEST_F(AesRun, AugerMapAndLineScan)
{
    for (const bool line : {false, true}) {
        SCOPED_TRACE(line);
        Page(0);
        Click("IDC_ACQAESEXP_AUGERIMAGE");
        for (CRegion* r : S().m_Rgn.m_ImageRegions)
            delete r;
        S().m_Rgn.m_ImageRegions.clear();
        CRegion* peak = NewRegion("Cu", 915, 916, 1, 1);
        peak->m_dBk1 = 930;
        S().m_Rgn.m_ImageRegions.push_back(peak);
        S().m_Scn.m_iControl = Scn::None;
        S().m_Scn.m_bLinescan = line ? 1 : 0;
        S().m_Scn.m_Areas = {{-16, 16, 15, -15}};
        Name(line ? "line.vlt" : "map.vlt");
        ASSERT_TRUE(Run());
        CVeltraneDoc* doc = Doc();
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetExperiment()->GetExpType(), CExperiment::Image);
        ASSERT_EQ(doc->GetNumStagePosns(), 1);
        const CStagePosn* posn = doc->GetStagePosn(0);
        EXPECT_EQ(posn->GetPosnMode(), line ? CStagePosn::Linear2D : CStagePosn::Image);
        ASSERT_EQ(posn->GetNumImageRgns(), 1);
        ExpectIdleButtons();
    }
}

TEST_F(AesRun, SecondaryElectronImageCanOnlyBeAborted)
{
    Page(0);
    Click("IDC_ACQAESEXP_SEIMAGE");
    Name("se.vlt");
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    ASSERT_TRUE(sheet->IsOwnRun()) << Said();
    ASSERT_TRUE(PumpUntil([&] { return Btn("id_3999")->isEnabled() || !sheet->IsOwnRun(); }, 20));
    if (sheet->IsOwnRun()) {
        EXPECT_EQ(StartBtn()->text().toStdString(), LoadString(1163));
        EXPECT_FALSE(StartBtn()->isEnabled());
        EXPECT_FALSE(Btn("id_3997")->isEnabled());
    }
    ASSERT_TRUE(PumpUntil([&] { return !sheet->IsOwnRun(); }, 60)) << Said();
    ASSERT_TRUE(PumpUntil([&] { return !sink.Texts().empty(); }, 5));
    CVeltraneDoc* doc = Doc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetExperiment()->GetExpType(), CExperiment::SEImage);
    ASSERT_EQ(doc->GetNumStagePosns(), 1);
    EXPECT_EQ(doc->GetStagePosn(0)->GetNumImageRgns(), 1);
    ExpectIdleButtons();
}

TEST_F(AesRun, StartDuringItsOwnRunStopsIt)
{
    Page(0);
    Click("IDC_ACQAESEXP_WDSCAN");
    CRegion* wide = S().m_Rgn.GetWidescanRgn();
    wide->m_dFinish = 300;
    wide->m_dStep = 1;
    wide->m_dDwell = 1;
    wide->m_nScans = 50;
    Name("long.vlt");
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    ASSERT_TRUE(PumpUntil([&] { return Btn("id_3999")->isEnabled(); }, 20)) << Said();
    EXPECT_EQ(StartBtn()->text().toStdString(), LoadString(1163));
    ASSERT_TRUE(StartBtn()->isEnabled());
    Click("IDC_ACQ_STARTBTN");
    EXPECT_FALSE(StartBtn()->isEnabled()) << "stopping";
    ASSERT_TRUE(PumpUntil([&] { return !sheet->IsOwnRun(); }, 60));
    ASSERT_TRUE(PumpUntil([&] { return !sink.Texts().empty(); }, 5));
    EXPECT_EQ(sink.Texts().front(), LoadString(5121));
    ExpectIdleButtons();
}

TEST_F(AesRun, ARunThatFailsBeforeItsFirstScanGivesTheButtonsBack)
{
    // The engine takes the run, its preparation fails: it says why and
    // posts neither the start nor the end.
    SAcqHost& host = AcqHost();
    const auto start = host.startAcquiring;
    host.startAcquiring = [](CVeltraneDoc*, QObject*) {
        AfxMessageBox(2305u);
        return 0;
    };
    Page(0);
    Click("IDC_ACQAESEXP_NWSCAN");
    NarrowRegion("Cu", 915);
    Name("failed.vlt");
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    host.startAcquiring = start;
    EXPECT_EQ(Said(), LoadString(2305));
    ASSERT_TRUE(PumpUntil([&] { return !sheet->IsOwnRun(); }, 5));
    ExpectIdleButtons();
    // And the next Start runs.
    ASSERT_TRUE(Run());
    ExpectIdleButtons();
}

// Pictures of the sheet and of the program during a run, for a person to
// look at (a real window under a virtual display).
TEST_F(AesRun, Screenshots)
{
    const QString dir = qEnvironmentVariable("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    frame->resize(1280, 800);
    Pump(20);
    Page(0);
    Click("IDC_ACQAESEXP_PRF");
    Name("depth12.vlt");
    Ctrl<QPlainTextEdit>("IDC_ACQAESEXP_COMMENT")->setPlainText("Oxide on steel, 3 keV Ar+");
    Pump(20);
    sheet->grab().save(dir + QStringLiteral("/aes-sheet-experiment.png"));
    Page(2);
    sheet->PrfPage().OnReset();
    Pump(20);
    sheet->grab().save(dir + QStringLiteral("/aes-sheet-profiling.png"));

    Page(0);
    Click("IDC_ACQAESEXP_NWSCAN");
    S().m_Rgn.m_NarrowscanRegions.push_back(NewRegion("Cu", 900, 930, 0.25, 20, 20));
    S().m_Rgn.m_NarrowscanRegions.push_back(NewRegion("O", 490, 520, 0.25, 20, 20));
    Name("run1.vlt");
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    ASSERT_TRUE(PumpUntil([&] { return Btn("id_3999")->isEnabled(); }, 20)) << Said();
    Pump(4000);
    sheet->raise();
    Pump(100);
    QScreen* screen = QGuiApplication::primaryScreen();
    screen->grabWindow(0).save(dir + QStringLiteral("/aes-sheet-running.png"));
    Click("id_3999");
    ASSERT_TRUE(PumpUntil([&] { return !sheet->IsOwnRun(); }, 60));
}

TEST_F(AesRun, TheOtherSheetCannotStartOrStopThisRun)
{
    Page(0);
    Click("IDC_ACQAESEXP_WDSCAN");
    CRegion* wide = S().m_Rgn.GetWidescanRgn();
    wide->m_dFinish = 300;
    wide->m_dDwell = 1;
    wide->m_nScans = 50;
    Name("mine.vlt");
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    ASSERT_TRUE(sheet->IsOwnRun()) << Said();
    ASSERT_TRUE(Execute(ID_ACQUIRE_XPS));
    CAcquireXPSSheet* xps = frame->GetXPSSheet();
    ASSERT_NE(xps, nullptr);
    Pump(20);
    sink.Clear();
    auto* xpsStart = xps->findChild<QPushButton*>(QStringLiteral("IDC_ACQ_STARTBTN"));
    ASSERT_NE(xpsStart, nullptr);
    xpsStart->click();
    Pump(20);
    EXPECT_EQ(Said(), LoadString(2114));
    EXPECT_TRUE(sheet->IsOwnRun());
    EXPECT_EQ(AcqHost().engineStatus(), int(CAcquire::Acquiring)) << "the run goes on";
    Click("id_3999");
    ASSERT_TRUE(PumpUntil([&] { return !sheet->IsOwnRun(); }, 60));
    ExpectIdleButtons();
}

// Start by its key (the focus stays where it was): what is being typed into a
// table cell or a number field is what the run measures or what Start checks.
TEST_F(AesRun, StartByItsKeyTakesWhatIsBeingTyped)
{
    Page(0);
    Click("IDC_ACQAESEXP_NWSCAN");
    NarrowRegion("Cu", 915);
    Name("typed.vlt");
    Page(3);
    ClickCell(sheet->RgnPage().Grid(), 0, CAesRgnModel::Dwell);
    Type("2");
    ASSERT_TRUE(sheet->RgnPage().Grid().IsEditing());
    sheet->OnStart(); // as its key gives it: the focus stays in the cell
    ASSERT_TRUE(sheet->IsOwnRun()) << Said();
    ASSERT_TRUE(PumpUntil([&] { return !sheet->IsOwnRun(); }, 30));
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Doc()->GetStagePosn(0)->GetSpecRgn(0)->GetDwell(), 2);
    EXPECT_EQ(S().m_Rgn.m_NarrowscanRegions.front()->m_dDwell, 2);

    // A magnification typed and not left is the one checked; one that is no
    // number is said once and refused, and the field keeps it. Neither runs
    // as the magnification before.
    Page(0);
    Click("IDC_ACQAESEXP_AUGERIMAGE");
    S().m_Rgn.m_ImageRegions.push_back(NewRegion("Cu", 915, 916, 1, 1));
    S().m_Scn.m_Areas = {{-16, 16, 15, -15}};
    Page(1);
    auto* mag = Ctrl<QLineEdit>("IDC_ACQAESSCN_MAG");
    const std::pair<const char*, std::string> cases[] = {
        {"0", FormatMessageId(2100, {"200000"})},
        {"5x", LoadString(AFX_IDP_PARSE_UINT)},
    };
    for (const auto& [typed, said] : cases) {
        SCOPED_TRACE(typed);
        mag->setFocus();
        mag->selectAll();
        QTest::keyClicks(mag, typed);
        sink.Clear();
        sheet->OnStart();
        EXPECT_FALSE(sheet->IsOwnRun());
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{said});
        EXPECT_EQ(mag->text().toStdString(), typed);
        EXPECT_EQ(S().m_Scn.m_iMag, 0);
    }
    // Another page is not shown while the field holds no number; said once.
    sink.Clear();
    Page(0);
    EXPECT_EQ(sheet->findChild<QTabWidget*>()->currentIndex(), 1);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{LoadString(AFX_IDP_PARSE_UINT)});
}
