// The AES sheet through its widgets: the profile types offered, the level
// table and its totals, the next file name after a run, Open of every wrong
// kind of file, Save and Open again, and the refusals at Start.

#include "AesSheetFixture.h"

#include "acquire/core/XpsSetup.h"
#include "acquire/ui/AcqHost.h"
#include "app/ImageView.h"
#include "app/image/ImageWnd.h"
#include "instrument/Acquire.h"
#include "tests/common/FileSizeLimit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <optional>

namespace {
using Row = CAcquireProfile::CLevelInfo;
}

TEST_F(AesSheet, PagesInTabOrderAndProfileTypesOnlyWhenTheSampleCanBeEtched)
{
    auto* tabs = sheet->findChild<QTabWidget*>();
    ASSERT_EQ(tabs->count(), 4);
    const char* names[] = {"IDD_ACQ_AESEXP", "IDD_ACQ_AESSCN", "IDD_ACQ_AESPRF", "IDD_ACQ_AESRGN"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(tabs->widget(i)->objectName().toStdString(), names[i]);
    EXPECT_EQ(sheet->windowTitle().toStdString(), "AES Acquisition");

    Page(0);
    auto* profile = Ctrl<QRadioButton>("IDC_ACQAESEXP_PRF");
    auto* fast = Ctrl<QRadioButton>("IDC_ACQAESEXP_FASTPRF");
    EXPECT_TRUE(profile->isEnabled()) << "the emulated DAU reports an ion gun";
    Click("IDC_ACQAESEXP_FASTPRF");
    EXPECT_EQ(S().GetExpType(), CAcquireAES::FastProfile);
    EXPECT_TRUE(S().FastScanMode());

    // No ion gun, no Manual Etch: both disabled, the choice made earlier kept.
    S().m_Instr.canEtch = false;
    Page(2);
    Page(0);
    EXPECT_FALSE(profile->isEnabled());
    EXPECT_FALSE(fast->isEnabled());
    EXPECT_TRUE(fast->isChecked());
    EXPECT_EQ(S().GetExpType(), CAcquireAES::FastProfile);

    // Manual Etch set on the profiling page brings them back.
    Page(2);
    auto* manual = Ctrl<QCheckBox>("IDC_ACQAESPRF_MANUAL");
    ASSERT_TRUE(manual->isEnabled());
    Click("IDC_ACQAESPRF_MANUAL");
    EXPECT_EQ(S().m_Prf.m_bManual, 1);
    Page(0);
    EXPECT_TRUE(profile->isEnabled());

    // Manual Etch and Rotate only for the profile types.
    Click("IDC_ACQAESEXP_WDSCAN");
    Page(2);
    EXPECT_FALSE(manual->isEnabled());
    EXPECT_FALSE(Ctrl<QCheckBox>("IDC_ACQAESPRF_ROTATE")->isEnabled());
}

TEST_F(AesSheet, LevelTableFilledFromTheKeyboard)
{
    Page(0);
    Click("IDC_ACQAESEXP_PRF");
    Page(2);
    CAcquireGrid& grid = sheet->PrfPage().Grid();
    grid.GetGridWnd()->setFocus();
    grid.GotoCell(0, 1);
    Pump(0);
    ASSERT_EQ(QApplication::focusWidget(), grid.GetGridWnd());
    Key(Qt::Key_Return, "\r");
    ASSERT_TRUE(grid.IsEditing()) << "Enter opens the current cell as a click does";
    for (const char* t : {"1", "5", "2"}) {
        Type(QString::fromLatin1(t));
        Key(*t == '2' ? Qt::Key_Return : Qt::Key_Tab, *t == '2' ? "\r" : "\t");
    }
    const auto& rows = S().m_Prf.m_Levels;
    ASSERT_GE(rows.size(), 1u);
    EXPECT_EQ(rows[0].m_dFrom, 1);
    EXPECT_EQ(rows[0].m_dTo, 5);
    EXPECT_EQ(rows[0].m_dStep, 2);
}

TEST_F(AesSheet, LevelTableTypedRowsAndTotals)
{
    Page(0);
    Click("IDC_ACQAESEXP_PRF");
    Page(2);
    CAcquireGrid& grid = sheet->PrfPage().Grid();
    ASSERT_TRUE(grid.isVisible());
    ASSERT_GE(grid.GetRowCount(), CAcquireAES_PrfPage::nMinNumRows);
    EXPECT_EQ(grid.GetTextAt(0, -1), std::string("Before"));
    EXPECT_EQ(grid.GetTextAt(2, -1), std::string("Time"));
    auto typeRow = [&](long row, const char* a, const char* b, const char* c) {
        ClickCell(grid, 0, row);
        for (const char* t : {a, b, c}) {
            Type(QString::fromLatin1(t));
            Key(t == c ? Qt::Key_Return : Qt::Key_Tab, t == c ? "\r" : "\t");
        }
        Pump(0);
    };
    typeRow(1, "1", "5", "2");
    typeRow(2, "6", "10", "3");
    const auto& rows = S().m_Prf.m_Levels;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].m_dFrom, 6);
    EXPECT_EQ(rows[1].m_dTo, 10);
    EXPECT_EQ(rows[1].m_dStep, 3);
    EXPECT_TRUE(rows[2].IsEmpty());
    EXPECT_EQ(Ctrl<QLabel>("IDC_ACQAESPRF_LEVELS")->text(), "10");
    EXPECT_EQ(Ctrl<QLabel>("IDC_ACQAESPRF_TIME")->text(), "25");

    // Letters and signs do not reach the table.
    ClickCell(grid, 2, 1);
    Type("x-.");
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(S().m_Prf.m_Levels[0].m_dStep, 2);

    Ctrl<QPushButton>("id_1001")->click();
    EXPECT_EQ(Ctrl<QLabel>("IDC_ACQAESPRF_LEVELS")->text(), "25");
    EXPECT_EQ(Ctrl<QLabel>("IDC_ACQAESPRF_TIME")->text(), "100");
    Ctrl<QPushButton>("id_1002")->click();
    EXPECT_EQ(S().m_Prf.m_Levels.size(), 1u);
    EXPECT_EQ(Ctrl<QLabel>("IDC_ACQAESPRF_LEVELS")->text(), "0");

    // Another type hides the table and empties the totals.
    Page(0);
    Click("IDC_ACQAESEXP_NWSCAN");
    Page(2);
    EXPECT_FALSE(grid.isVisible());
    EXPECT_TRUE(Ctrl<QLabel>("IDC_ACQAESPRF_LEVELS")->text().isEmpty());
    EXPECT_TRUE(Ctrl<QLabel>("IDC_ACQAESPRF_TIME")->text().isEmpty());
}

TEST_F(AesSheet, TheNextFileNameAfterEachRun)
{
    Page(0);
    auto* name = Ctrl<QLineEdit>("IDC_ACQAESEXP_FILENAME");
    const std::pair<const char*, const char*> cases[] = {
        {"depth12.vlt", "depth13.vlt"}, {"depth.vlt", "depth.vlt"}, {"", ""}};
    for (const auto& [before, after] : cases) {
        name->setFocus();
        name->selectAll();
        Key(Qt::Key_Delete);
        Type(QString::fromLatin1(before));
        EXPECT_EQ(S().m_Exp.m_csFileName, before);
        sink.Clear();
        sheet->OnAppMessage(WMAPP_ACQ_END, 0, 0);
        EXPECT_EQ(name->text().toStdString(), after);
        EXPECT_EQ(S().m_Exp.m_csFileName, after);
        ASSERT_EQ(sink.Texts().size(), 1u);
        EXPECT_EQ(sink.Texts()[0], LoadString(5120));
    }
    // A failed run reports its result first, then the further message.
    sink.Clear();
    sheet->OnAppMessage(WMAPP_ACQ_END, 5121, 2082);
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_EQ(sink.Texts()[0], LoadString(5121));
    EXPECT_EQ(sink.Texts()[1], LoadString(2082));
    EXPECT_TRUE(StartBtn()->isEnabled());
    EXPECT_EQ(StartBtn()->text().toStdString(), LoadString(1104));
}

TEST_F(AesSheet, OpenOfAWrongKindOfFileSaysWhyAndChangesNothing)
{
    S().m_Exp.m_csComment = "mine";
    S().m_Prf.OnReset();
    const CAesSetup* before = &S();

    CXpsSetup xps;
    const std::string xpsSettings = settings.Path("x.saq").toStdString();
    XpsSettingsFile::Write(xps, xpsSettings);
    QFile junk(settings.Path("junk.saq"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray("Spectra\0\0\0\0\0\1\0\0\0\1\0\0\0\3\0\0\0", 24));
    junk.close();
    // A settings file of this sheet, cut short.
    sheet->SaveFile(settings.Path("whole.saq").toStdString());
    QFile whole(settings.Path("whole.saq"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    whole.close();
    QFile cut(settings.Path("cut.saq"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() - 10));
    cut.close();
    struct Case
    {
        QString path;
        std::string said;
    };
    const std::vector<Case> cases = {
        {QString::fromStdString(xpsSettings),
         "The file '" + xpsSettings + "' does not contain Auger acquisition parameters"},
        {WriteDataFile("old.vlt", 0x101, 1, "Norvale"), "The file 'old.vlt' does not contain Auger data"},
        {WriteDataFile("xps.vlt", 0x102, 2), "The file 'xps.vlt' does not contain Auger data"},
        {settings.Path("junk.saq"), "The file 'junk.saq' contains data of an unknown type"},
        {WriteDataFile("odd.vlt", 0x108, 1), "Unknown experiment type."},
        {settings.Path("cut.saq"), "Unexpected end of file while reading 'cut.saq'"},
    };
    for (const auto& c : cases) {
        sink.Clear();
        dialogs.Answer(c.path);
        Click("id_3997");
        ASSERT_FALSE(sink.Texts().empty()) << c.path.toStdString();
        if (!c.said.empty()) {
            EXPECT_EQ(sink.Texts().back(), c.said);
        }
        EXPECT_EQ(&S(), before) << c.path.toStdString();
        EXPECT_EQ(S().m_Exp.m_csComment, "mine");
        EXPECT_EQ(S().m_Prf.m_Levels.size(), 6u);
    }
    EXPECT_TRUE(frame->MDIGetActive() == nullptr) << "the documents opened for the load are closed";
}

TEST_F(AesSheet, ASettingsFileThatCannotBeWrittenSaysWhichAndWhyAndKeepsTheOldOne)
{
    const std::string kept = settings.Path("kept.saq").toStdString();
    sheet->SaveFile(kept);
    QFile f(QString::fromStdString(kept));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    S().m_Exp.m_csComment = "changed";
    struct
    {
        std::string path;
        rlim_t limit; // 0: none
        std::string said;
    } cases[] = {
        {settings.Path("gone/x.saq").toStdString(), 0, "x.saq contains an incorrect path."},
        {kept, 64, "There is not enough space on the disk to save kept.saq."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        sink.Clear();
        {
            std::optional<CFileSizeLimit> limit;
            if (c.limit) {
                limit.emplace(c.limit);
                ASSERT_TRUE(limit->IsSet());
            }
            sheet->SaveFile(c.path);
        }
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{c.said});
    }
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(AesSheet, AnAesDocumentGivesItsTypeAndCommentAndKeepsTheFileName)
{
    Page(0);
    S().m_Exp.m_csFileName = "mine7.vlt";
    S().m_Prf.OnReset();
    sheet->ExpPage().Refresh();
    dialogs.Answer(WriteDataFile("n.vlt", 0x102, 1));
    sink.Clear();
    Click("id_3997");
    EXPECT_TRUE(sink.Texts().empty()) << Said();
    EXPECT_EQ(S().GetExpType(), CAcquireAES::Narrowscan);
    EXPECT_TRUE(Ctrl<QRadioButton>("IDC_ACQAESEXP_NWSCAN")->isChecked());
    EXPECT_EQ(Ctrl<QLineEdit>("IDC_ACQAESEXP_FILENAME")->text(), "mine7.vlt");
    EXPECT_EQ(S().m_Prf.m_Levels.size(), 6u) << "not a profile: the levels stay";
}

TEST_F(AesSheet, SavedSettingsOpenAgainIntoEveryPage)
{
    Page(0);
    Click("IDC_ACQAESEXP_PRF");
    Ctrl<QPlainTextEdit>("IDC_ACQAESEXP_COMMENT")->setPlainText("a comment");
    Page(2);
    Click("IDC_ACQAESPRF_ROTATE");
    sheet->PrfPage().OnReset();
    dialogs.Answer(settings.Path("p.saq"));
    Click("id_3996");

    sheet->TakeSetup(std::make_unique<CAesSetup>(S().m_Instr));
    EXPECT_EQ(S().GetExpType(), CAcquireAES::Widescan);
    EXPECT_FALSE(Ctrl<QCheckBox>("IDC_ACQAESPRF_ROTATE")->isChecked());

    dialogs.Answer(settings.Path("p.saq"));
    Click("id_3997");
    EXPECT_EQ(S().GetExpType(), CAcquireAES::Profile);
    EXPECT_EQ(S().m_Prf.m_bRotate, 1);
    EXPECT_EQ(S().m_Prf.m_Levels.size(), 6u) << "one empty row, not two";
    EXPECT_TRUE(Ctrl<QCheckBox>("IDC_ACQAESPRF_ROTATE")->isChecked());
    EXPECT_EQ(Ctrl<QLabel>("IDC_ACQAESPRF_LEVELS")->text(), "25");
    Page(0);
    EXPECT_TRUE(Ctrl<QRadioButton>("IDC_ACQAESEXP_PRF")->isChecked());
    EXPECT_EQ(Ctrl<QPlainTextEdit>("IDC_ACQAESEXP_COMMENT")->toPlainText(), "a comment");
}

TEST_F(AesSheet, StartRefusalsCreateNothing)
{
    const int docs = int(frame->findChildren<CMDIChildWnd*>().size());
    // A depth profile without levels.
    S().m_Exp.m_iExperiment = CAcquireAES::Profile;
    S().m_Prf.OnClear();
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    EXPECT_EQ(Said(), LoadString(2104));

    // The template cannot make the document.
    S().m_Exp.m_iExperiment = CAcquireAES::Widescan;
    SAcqHost& host = AcqHost();
    const auto templates = host.docTemplate;
    host.docTemplate = [](int) { return nullptr; };
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    EXPECT_EQ(Said(), LoadString(2115));
    host.docTemplate = templates;
    EXPECT_FALSE(sheet->IsOwnRun());

    // Another sheet's run goes on: refused, and nothing is stopped.
    const auto status = host.engineStatus;
    const auto stop = host.stopAcquiring;
    int stops = 0;
    host.engineStatus = [] { return int(CAcquire::Acquiring); };
    host.stopAcquiring = [&](bool) { ++stops; };
    sink.Clear();
    Click("IDC_ACQ_STARTBTN");
    EXPECT_EQ(Said(), LoadString(2114));
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(StartBtn()->text().toStdString(), LoadString(1104));
    host.engineStatus = status;
    host.stopAcquiring = stop;
    EXPECT_EQ(int(frame->findChildren<CMDIChildWnd*>().size()), docs);
}

// The set-up image shows what the next run measures: after another experiment
// type or a loaded settings file it is painted again, also while the scan
// page has not been shown.
TEST_F(AesSheet, TheSetupImageFollowsTheExperimentTypeAndALoadedFile)
{
    CDataFileBuilder b;
    b.Header().Experiment(0x202, 1).Source(1, 3000.0).IonGun();
    CDataFileBuilder::SPosnHead head;
    const size_t at = b.BeginPosn(head, 0);
    b.Count(1);
    b.ImageRgn(3, 256, 256, 1);
    b.EndPosn(at);
    b.End();
    auto* view = OpenView<CImageView>(QStringLiteral("se.vlt"), b.m_bytes, 640, 700);
    ASSERT_NE(view, nullptr);
    view->OnCmdMsg(ID_ACQUIRE_SELECT, nullptr);
    CImageWnd* pane = view->GetImageWnd(0);
    ASSERT_NE(pane, nullptr);
    Pump(20);
    struct SPaints : QObject
    {
        bool painted = false;
        bool eventFilter(QObject*, QEvent* e) override
        {
            painted |= e->type() == QEvent::Paint;
            return false;
        }
    } paints;
    pane->installEventFilter(&paints);
    auto paintedAfter = [&](const std::function<void()>& change) {
        paints.painted = false;
        change();
        Pump(20);
        return paints.painted;
    };

    S().m_Scn.m_iControl = CAcquireAES_Scn::Point;
    S().m_Scn.m_Points = {{-100, 50}};
    S().m_Scn.m_Areas = {{-16, 16, 15, -15}};
    Page(0);
    Click("IDC_ACQAESEXP_NWSCAN");
    EXPECT_TRUE(paintedAfter([&] { Click("IDC_ACQAESEXP_AUGERIMAGE"); })) << "the point gives way to the area";
    EXPECT_TRUE(paintedAfter([&] { Click("IDC_ACQAESEXP_SEIMAGE"); })) << "nothing is placed";
    const std::string path = settings.Path("points.saq").toStdString();
    Click("IDC_ACQAESEXP_NWSCAN");
    sheet->SaveFile(path);
    Click("IDC_ACQAESEXP_SEIMAGE");
    EXPECT_TRUE(paintedAfter([&] { sheet->OpenFile(path); })) << "the loaded point";
    EXPECT_EQ(S().GetExpType(), CAcquireAES::Narrowscan);
    pane->removeEventFilter(&paints);
}
