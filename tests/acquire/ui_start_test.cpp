// Start: the file the new document is saved under, the prompt for an
// existing file, and what the end of a run does to the names.

#include "XpsSheetFixture.h"

#include "acquire/ui/AcqHost.h"
#include "data/Region.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/Resources.h"
#include "framework/ui/WinApp.h"
#include "tests/common/FileSizeLimit.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

class XpsStart : public XpsSheet
{
protected:
    void SetUp() override
    {
        XpsSheet::SetUp();
        // A wide scan with the source named "Other": nothing to switch on.
        S().m_Src.m_iType = 2;
        S().m_Src.m_dEnergy = 1486.6;
        AcqHost().startAcquiring = [this](CVeltraneDoc* doc, QObject*) {
            started.push_back(doc);
            return 0;
        };
        AcqHost().engineDocument = [this] { return started.empty() ? nullptr : started.back(); };
    }
    void TearDown() override
    {
        AcqHost().startAcquiring = nullptr;
        AcqHost().engineDocument = nullptr;
        XpsSheet::TearDown();
    }
    void StartWith(const QString& name)
    {
        Page(0);
        Ctrl<QLineEdit>("IDC_ACQXPSEXP_FILENAME")->setText(name);
        Click("IDC_ACQ_STARTBTN");
    }
    void End(unsigned result = 0)
    {
        SendAppMessage(sheet, WMAPP_ACQ_END, result, 0);
        Pump(0);
    }
    std::vector<CVeltraneDoc*> started;
};

TEST_F(XpsStart, TheNameGetsItsExtensionAndMovesOnAfterTheRun)
{
    const struct
    {
        const char* typed;
        const char* saved;
        const char* next;
    } cases[] = {
        {"run9", "run9.vlt", "run10"},
        {"run007.VLT", "run007.VLT", "run8.VLT"},
        {"note.txt", "note.txt.vlt", "note.txt"},
    };
    for (const auto& c : cases) {
        const size_t before = started.size();
        sink.Clear();
        StartWith(settings.Path(c.typed));
        ASSERT_EQ(started.size(), before + 1)
            << c.typed << ": " << (sink.Texts().empty() ? "" : sink.Texts()[0]);
        EXPECT_EQ(started.back()->GetPathName(), settings.Path(c.saved).toStdString());
        EXPECT_TRUE(QFile::exists(settings.Path(c.saved)));
        EXPECT_FALSE(Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled()) << "running";
        Click("IDC_ACQ_STARTBTN");
        EXPECT_EQ(started.size(), before + 1) << "a second Start during the run";
        End();
        EXPECT_TRUE(Ctrl<QPushButton>("IDC_ACQ_STARTBTN")->isEnabled());
        EXPECT_EQ(S().m_Exp.m_csFileName, settings.Path(c.next).toStdString());
        ASSERT_FALSE(sink.Texts().empty());
        EXPECT_EQ(sink.Texts().back(), LoadString(5120));
    }
}

TEST_F(XpsStart, ANameWithoutAFolderIsKeptWithTheFullPath)
{
    // Typed without a folder, the file goes into the current one, and the
    // document and the recent-file list name it in full: a later run of the
    // program started in another folder finds the same file.
    struct SBack
    {
        std::filesystem::path cwd = std::filesystem::current_path();
        ~SBack() { std::filesystem::current_path(cwd); }
    } back;
    std::filesystem::current_path(settings.Path("").toStdString());
    const std::string full = settings.Path("plain7.vlt").toStdString();
    StartWith("plain7");
    ASSERT_EQ(started.size(), 1u) << (sink.Texts().empty() ? "" : sink.Texts()[0]);
    EXPECT_EQ(started[0]->GetPathName(), full);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(full)));
    ASSERT_NE(app->GetRecentFileList(), nullptr);
    ASSERT_FALSE(app->GetRecentFileList()->Entries().empty());
    EXPECT_EQ(app->GetRecentFileList()->Entries().front(), full);
    End();
    EXPECT_EQ(S().m_Exp.m_csFileName, "plain8") << "the name stays as typed, counted on";
}

TEST_F(XpsStart, AFileThatCannotBeMadeStartsNothing)
{
    // Each says why; no document is left, and no file is made. A folder alone
    // is no name: not a hidden ".vlt" in it, which no file dialog shows.
    ASSERT_TRUE(QDir(settings.Path("")).mkdir("sub"));
    const std::string sub = settings.Path("sub/").toStdString();
    const std::string missing = settings.Path("missing/run1.vlt").toStdString();
    const std::string big = settings.Path("big.vlt").toStdString();
    const struct
    {
        QString typed;
        std::string said;
        const char* made;
        bool diskFull;
    } cases[] = {
        {settings.Path("sub/"), FormatMessageId(61701, {sub}), "sub/.vlt", false},
        {settings.Path("sub/.vlt"), FormatMessageId(61701, {sub}), "sub/.vlt", false},
        {settings.Path("missing/run1"), FormatMessageId(61701, {missing}), "missing/run1.vlt", false},
        {settings.Path("big"), FormatMessageId(61703, {big}), "big.vlt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        sink.Clear();
        {
            std::optional<CFileSizeLimit> full;
            if (c.diskFull)
                full.emplace(512);
            StartWith(c.typed);
        }
        EXPECT_TRUE(started.empty());
        ASSERT_FALSE(sink.Texts().empty());
        EXPECT_EQ(sink.Texts()[0], c.said);
        EXPECT_FALSE(QFile::exists(settings.Path(c.made)));
        EXPECT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 0);
    }
}

TEST_F(XpsStart, AnEmptyNameRunsInATemporaryFileThatBecomesUntitled)
{
    StartWith("");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0]->GetPathName(), sheet->TempFile());
    // The next such run replaces the file: it is no file to open again.
    ASSERT_NE(app->GetRecentFileList(), nullptr);
    for (const std::string& recent : app->GetRecentFileList()->Entries())
        EXPECT_NE(recent, sheet->TempFile());
    End();
    const std::string first = started[0]->GetTitle();
    EXPECT_EQ(first.rfind(LoadString(61443), 0), 0u) << first;
    EXPECT_EQ(started[0]->GetPathName(), "") << "no file of that name";
    // Its window says so too, not the temporary file's name.
    for (CMDIChildWnd* f : CVeltrane::GetSpectrumTemplate()->GetFrames(started[0]))
        EXPECT_EQ(f->windowTitle().toStdString(), first);
    StartWith("");
    End();
    ASSERT_EQ(started.size(), 2u);
    const std::string second = started[1]->GetTitle();
    EXPECT_NE(first, second);
    EXPECT_EQ(std::stoi(second.substr(LoadString(61443).size())),
              std::stoi(first.substr(LoadString(61443).size())) + 1);
}

TEST_F(XpsStart, ARunInTheTemporaryFileLeavesTheRecentFilesAsTheyWere)
{
    CRecentFileList* recent = app->GetRecentFileList();
    ASSERT_NE(recent, nullptr);
    for (const char* f : {"/data/d.vlt", "/data/c.vlt", "/data/b.vlt", "/data/a.vlt"})
        recent->Add(f);
    const std::vector<std::string> before = recent->Entries();
    StartWith("");
    ASSERT_EQ(started.size(), 1u);
    End();
    EXPECT_EQ(recent->Entries(), before) << "the temporary file is no file of the user's";
    StartWith(settings.Path("named"));
    ASSERT_EQ(started.size(), 2u);
    End();
    EXPECT_EQ(recent->Entries().front(), settings.Path("named.vlt").toStdString()) << "a named run's file is";
}

TEST_F(XpsStart, TheEndOfARunRetitlesThatRunsDocument)
{
    // The worker lets the engine go just before its end arrives: the other
    // sheet may start a run in between, without a file name too, into the
    // same temporary file. This end makes this run's document Untitled, which
    // holds the only copy of its counts, and leaves the new run's alone.
    StartWith("");
    ASSERT_EQ(started.size(), 1u);
    CVeltraneDoc* mine = started[0];
    auto* next =
        dynamic_cast<CVeltraneDoc*>(CVeltrane::GetSpectrumTemplate()->OpenDocumentFile(nullptr, true));
    ASSERT_NE(next, nullptr);
    next->SetPathName(sheet->TempFile());
    started.push_back(next); // now the engine's
    End();
    EXPECT_EQ(mine->GetPathName(), "");
    EXPECT_TRUE(mine->IsModified());
    EXPECT_EQ(mine->GetTitle().rfind(LoadString(61443), 0), 0u) << mine->GetTitle();
    EXPECT_EQ(next->GetPathName(), sheet->TempFile());
}

TEST_F(XpsStart, ATemporaryFileLeftByARunThatNeverEndedIsReplacedOnlyWhenTheUserSaysSo)
{
    // A run without a file name killed with the program (or still going in
    // another copy of it) left its counts in the temporary file. The next such
    // Start asks before replacing it, as for a named file: Cancel starts
    // nothing, No saves the new run under a name chosen, Yes replaces it.
    // The program's own file is reused without a word, and a tidy end of the
    // program removes it, so the next start finds none.
    CTempFolder tmp(settings.Path(""));
    const QString own = QStringLiteral("Veltrane-%1").arg(::geteuid());
    ASSERT_EQ(::mkdir(settings.Path(own).toLocal8Bit().constData(), 0700), 0);
    const QString temp = settings.Path(own + "/Veltrane.vlt");
    WriteBytes(own + "/Veltrane.vlt", {'d', 'e', 'a', 'd'});
    const struct
    {
        int answer;
        const char* saveAs;
        bool started;
        bool kept;
    } cases[] = {
        {IDCANCEL, nullptr, false, true},
        {IDNO, "chosen.vlt", true, true},
        {IDYES, nullptr, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        const size_t before = started.size();
        sink.Clear();
        sink.Answer(c.answer);
        if (c.saveAs)
            dialogs.Answer(settings.Path(c.saveAs));
        StartWith("");
        ASSERT_FALSE(sink.Texts().empty());
        EXPECT_EQ(sink.Texts().front(), FormatMessageId(4096, {"Veltrane.vlt"}));
        ASSERT_EQ(started.size(), before + (c.started ? 1 : 0));
        if (c.saveAs) {
            EXPECT_EQ(started.back()->GetPathName(), settings.Path(c.saveAs).toStdString());
        }
        EXPECT_EQ(QFile(temp).size() == 4, c.kept);
        if (c.started)
            End();
    }
    sink.Clear();
    StartWith("");
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(started.back()->GetPathName(), temp.toStdString());
    End();
    for (const std::string& said : sink.Texts()) {
        EXPECT_NE(said, FormatMessageId(4096, {"Veltrane.vlt"}));
    }
    sheet = nullptr;
    Stop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(QFile::exists(temp));
}

TEST_F(XpsStart, AnUntitledRunLeavesOtherUsersFilesAlone)
{
    // The temporary folder is shared by every user: the file another user's
    // untitled run left there is not this user's to replace (nor, often, one
    // this user may replace). The run goes into a folder of the user's own
    // that nobody else may enter, without a question.
    CTempFolder tmp(settings.Path(""));
    WriteBytes("Veltrane.vlt", {'t', 'h', 'e', 'i', 'r', 's'});
    StartWith("");
    ASSERT_EQ(started.size(), 1u) << (sink.Texts().empty() ? "" : sink.Texts()[0]);
    EXPECT_TRUE(sink.Texts().empty()) << sink.Texts()[0];
    EXPECT_EQ(QFile(settings.Path("Veltrane.vlt")).size(), 6);
    const QString own = QStringLiteral("Veltrane-%1").arg(::geteuid());
    EXPECT_EQ(sheet->TempFile(), settings.Path(own + "/Veltrane.vlt").toStdString());
    EXPECT_EQ(started[0]->GetPathName(), sheet->TempFile());
    struct stat st;
    ASSERT_EQ(::lstat(settings.Path(own).toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    End();
    EXPECT_EQ(QFile(settings.Path("Veltrane.vlt")).size(), 6);
}

TEST_F(XpsStart, SavingAnUntitledRunAsksForItsName)
{
    // Untitled is a title, not a file: Save goes through Save As, and
    // nothing is written under the title in the current folder.
    struct SBack
    {
        std::filesystem::path cwd = std::filesystem::current_path();
        ~SBack() { std::filesystem::current_path(cwd); }
    } back;
    std::filesystem::current_path(settings.Path("").toStdString());
    StartWith("");
    ASSERT_EQ(started.size(), 1u);
    End();
    CVeltraneDoc* doc = started[0];
    ASSERT_TRUE(doc->IsModified());
    const std::string title = doc->GetTitle();
    EXPECT_EQ(title.rfind(LoadString(61443), 0), 0u) << title;
    CDocCommands* cmds = CVeltrane::GetSpectrumTemplate()->GetCommands(doc);
    ASSERT_NE(cmds, nullptr);
    const size_t asked = dialogs.m_requests.size();
    dialogs.Answer(settings.Path("named.vlt"), 0);
    EXPECT_TRUE(cmds->DoFileSave());
    EXPECT_EQ(dialogs.m_requests.size(), asked + 1);
    EXPECT_EQ(doc->GetPathName(), settings.Path("named.vlt").toStdString());
    EXPECT_TRUE(QFile::exists(settings.Path("named.vlt")));
    EXPECT_FALSE(QFile::exists(settings.Path(QString::fromStdString(title))));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(XpsStart, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo)
{
    const QString path = settings.Path("old.vlt");
    WriteBytes("old.vlt", {'k', 'e', 'e', 'p'});
    // Cancel: nothing is started, the file stays.
    sink.Answer(IDCANCEL);
    StartWith(path);
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(QFile(path).size(), 4);
    // No, then a new name in Save As: the old file stays.
    sink.Answer(IDNO);
    dialogs.Answer(settings.Path("new.vlt"));
    StartWith(path);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(QFile(path).size(), 4);
    EXPECT_TRUE(QFile::exists(settings.Path("new.vlt")));
    End();
    // No, then Cancel in Save As: nothing is started, the file stays.
    sink.Answer(IDNO);
    StartWith(path);
    EXPECT_EQ(started.size(), 1u);
    EXPECT_EQ(QFile(path).size(), 4);
    // Yes: replaced.
    sink.Answer(IDYES);
    StartWith(path);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_GT(QFile(path).size(), 4);
    End();
}

TEST_F(XpsStart, ADataFileGivesBackTheSetUpItWasMadeFrom)
{
    // Narrow scan over memorised positions 1-2 (Default) and 3 (Steel).
    auto setup = std::make_unique<CXpsSetup>(S().m_Instr);
    setup->m_Src.m_iType = 2;
    setup->m_Src.m_dEnergy = 1486.6;
    setup->m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    setup->m_Exp.SetMovement(CAcquireXPS::Memory);
    setup->m_Exp.m_nPosns[CAcquireXPS::Memory] = 3;
    auto& rows = setup->m_Stg.m_GridData[CAcquireXPS::Memory];
    rows = {{1, 2, "Default", "a"},
            {3, 3, "Steel", "b"},
            {CLevelInfo::NotValid, CLevelInfo::NotValid, EmptyText, EmptyText}};
    for (const char* name : {"Default", "Steel"}) {
        CStageGroup* g =
            std::string(name) == "Default" ? setup->m_Stg.GetGroups()[0].get() : setup->m_Stg.AddGroup(name);
        g->m_Regions.push_back(NewRegion(name[0] == 'D' ? "C" : "Fe", 700, 720, 0.5, 50));
    }
    sheet->TakeSetup(std::move(setup));
    S().m_Src.m_iType = 2;
    S().m_Src.m_dEnergy = 1486.6;
    StartWith(settings.Path("made.vlt"));
    ASSERT_EQ(started.size(), 1u) << (sink.Texts().empty() ? "" : sink.Texts()[0]);
    End();
    app->CloseAllDocuments(true);

    sheet->TakeSetup(std::make_unique<CXpsSetup>(S().m_Instr));
    sink.Clear();
    dialogs.Answer(settings.Path("made.vlt"));
    Click("id_3997");
    EXPECT_TRUE(sink.Texts().empty()) << sink.Texts()[0];
    EXPECT_EQ(S().GetExpType(), CAcquireXPS::Narrowscan);
    EXPECT_EQ(S().GetMoveType(), CAcquireXPS::Memory);
    const auto& back = S().m_Stg.m_GridData[CAcquireXPS::Memory];
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].m_dLast, 2);
    EXPECT_EQ(back[1].m_csGroup, "Steel");
    ASSERT_EQ(S().m_Stg.GetGroups().size(), 2u);
    EXPECT_EQ(S().m_Stg.GetGroups()[1]->m_Regions.at(0)->GetName(), "Fe");
    EXPECT_EQ(S().m_Stg.GetGroups()[1]->m_Regions.at(0)->m_dBk1, 0.0) << "no background again";
}

TEST_F(XpsStart, APhotonEnergyOfTwoDecimalsReachesTheRun)
{
    // A He I lamp as the "Other" source: a set-up taken in (a settings file, a
    // data file) shows its energy, and Start reads the page back; 21.22 eV
    // must not become 21.2 on the way.
    for (double photon : {21.22, 40.814}) {
        auto setup = std::make_unique<CXpsSetup>(S().m_Instr);
        setup->m_Src.m_iType = 2;
        setup->m_Src.m_dEnergy = photon;
        sheet->TakeSetup(std::move(setup));
        Page(1); // the source page shows the energy
        started.clear();
        StartWith(settings.Path("lamp.vlt"));
        ASSERT_EQ(started.size(), 1u) << (sink.Texts().empty() ? "" : sink.Texts()[0]);
        EXPECT_EQ(started[0]->GetSource()->GetEnergy(), photon);
        EXPECT_EQ(S().m_Src.m_dEnergy, photon);
        End();
        app->CloseAllDocuments(true);
        sink.Clear();
    }
}

TEST_F(XpsStart, TheSourceIsSwitchedOnlyWhileNoRunGoes)
{
    auto fresh = std::make_unique<CXpsSetup>(S().m_Instr);
    sheet->TakeSetup(std::move(fresh)); // Mg Ka: the X-rays must be on for Start
    Page(1);
    sink.Clear();
    Click("IDC_ACQXPSSRC_XRAYON");
    for (int i = 0; i < 200 && !sheet->SrcPage().IsXraysOn() && sheet->SrcPage().IsWorking(); ++i)
        Pump(10);
    ASSERT_TRUE(sheet->SrcPage().IsXraysOn()) << (sink.Texts().empty() ? "" : sink.Texts()[0]);
    EXPECT_FALSE(Ctrl<QPushButton>("IDC_ACQXPSSRC_XRAYON")->isVisible());
    EXPECT_TRUE(Ctrl<QPushButton>("IDC_ACQXPSSRC_XRAYUPDATE")->isEnabled());
    StartWith("");
    ASSERT_EQ(started.size(), 1u) << (sink.Texts().empty() ? "" : sink.Texts()[0]);
    // While the run goes the source's link is the engine's.
    Page(1);
    EXPECT_FALSE(Ctrl<QPushButton>("IDC_ACQXPSSRC_XRAYUPDATE")->isEnabled());
    EXPECT_FALSE(Ctrl<QPushButton>("IDC_ACQXPSSRC_XRAYOFF")->isEnabled());
    End();
    EXPECT_TRUE(Ctrl<QPushButton>("IDC_ACQXPSSRC_XRAYOFF")->isEnabled());
    Click("IDC_ACQXPSSRC_XRAYOFF");
    for (int i = 0; i < 200 && sheet->SrcPage().IsXraysOn(); ++i)
        Pump(10);
    EXPECT_FALSE(sheet->SrcPage().IsXraysOn());
}

TEST_F(XpsStart, AnOpenedSetUpSetsTheTubeOnlyToValuesItTakes)
{
    sheet->TakeSetup(std::make_unique<CXpsSetup>(S().m_Instr)); // Mg Ka at 10 kV, 10 mA
    Page(1);
    Click("IDC_ACQXPSSRC_XRAYON");
    ASSERT_TRUE(PumpUntil([&] { return !sheet->SrcPage().IsWorking(); }, 5));
    ASSERT_TRUE(sheet->SrcPage().IsXraysOn());

    // A file whose voltage no tube takes: the rest of its set-up is taken,
    // the source is not, and nothing goes to the tube.
    for (double kV : {150.0, std::nan("")}) {
        CXpsSetup hot(S().m_Instr);
        hot.m_Src.m_dVoltage = kV;
        hot.m_Exp.m_csComment = "from the file";
        const QString path = settings.Path("hot.saq");
        XpsSettingsFile::Write(hot, path.toStdString());
        sink.Clear();
        sheet->OpenFile(path.toStdString());
        EXPECT_FALSE(sheet->SrcPage().IsWorking()) << kV;
        EXPECT_EQ(S().m_Src.m_dVoltage, 10.0) << kV;
        EXPECT_EQ(S().m_Exp.m_csComment, "from the file");
        ASSERT_EQ(sink.Texts().size(), 1u) << kV;
        EXPECT_EQ(sink.Texts()[0], "The file 'hot.saq' contains illegal parameters");
    }

    // One the tube takes is sent.
    CXpsSetup warm(S().m_Instr);
    warm.m_Src.m_dVoltage = 12.5;
    XpsSettingsFile::Write(warm, settings.Path("warm.saq").toStdString());
    sink.Clear();
    sheet->OpenFile(settings.Path("warm.saq").toStdString());
    EXPECT_TRUE(sheet->SrcPage().IsWorking());
    ASSERT_TRUE(PumpUntil([&] { return !sheet->SrcPage().IsWorking(); }, 5));
    EXPECT_EQ(S().m_Src.m_dVoltage, 12.5);
    EXPECT_TRUE(sheet->SrcPage().IsXraysOn());

    Click("IDC_ACQXPSSRC_XRAYOFF");
    PumpUntil([&] { return !sheet->SrcPage().IsXraysOn(); }, 5);
}
