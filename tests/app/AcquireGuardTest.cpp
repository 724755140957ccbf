// A document being acquired: Save and Save As are greyed, and closing it
// asks; No keeps the run, Yes aborts it, waits for the worker (the user
// interface serving its last save) and closes the document. Opening its file
// again shows the running document rather than a copy of the last save, which
// could be processed and saved over the file the run is still writing.

#include "AppFixture.h"

#include "app/InstrumentHooks.h"
#include "framework/ui/Resources.h"
#include "instrument/Acquire.h"
#include "instrument/DAU.h"
#include "instrument/ui/AcqHost.h"
#include "res/resource.h"
#include "tests/instrument/AcquireSheets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace {

// Writes the document of a one-region wide scan to 'path' and opens it, as a
// run's document before its start; null (with a failure) when it cannot.
CVeltraneDoc* OpenRunDocument(CVeltrane& app, const std::string& path)
{
    SFakeXPS sheet;
    sheet.type = CAcquireXPS::Widescan;
    auto region = MakeRegion(0, 1000, 1, 1, 1, 20);
    sheet.rgn.m_WidescanRegions = {region.get()};
    {
        CVeltraneDoc prepared;
        const std::string error = BuildDocument(prepared, sheet, 1, 1, path);
        if (!error.empty()) {
            ADD_FAILURE() << error;
            return nullptr;
        }
    }
    return dynamic_cast<CVeltraneDoc*>(app.OpenDocumentFile(path.c_str()));
}

} // namespace

// The program started with the emulated unit open (each poll waits a real
// second), and a run's document open but not yet started.
class RunDocument : public AppFixture
{
protected:
    void StartWithRunDocument()
    {
        InstallInstrumentHooks();
        Start();
        Pump(700); // the start's delayed reports, which would take an answer later
        app->m_pDAU->SetSourceID(0x201);
        ASSERT_EQ(app->m_pDAU->Open(), 0);
        path = settings.Path("run.vlt").toStdString();
        running = OpenRunDocument(*app, path);
        ASSERT_NE(running, nullptr);
    }

    std::string path;
    CVeltraneDoc* running = nullptr;
};

TEST_F(AppFixture, DocumentBeingAcquiredIsGuarded)
{
    InstallInstrumentHooks();
    Start();
    ASSERT_NE(app->GetAcq(), nullptr);
    app->m_pDAU->SetSourceID(0x201); // the emulated unit: each poll waits a real second
    ASSERT_EQ(app->m_pDAU->Open(), 0);

    const std::string path = settings.Path("run.vlt").toStdString();
    CVeltraneDoc* doc = OpenRunDocument(*app, path);
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(app->GetAcq()->StartAcquiring(doc, nullptr), 0);
    EXPECT_TRUE(CVeltrane::IsAcquiring(doc));
    Pump(50);

    EXPECT_FALSE(Action(ID_FILE_SAVE)->isEnabled());
    EXPECT_FALSE(Action(ID_FILE_SAVE_AS)->isEnabled());

    // By the same path, by another spelling of it, and from the desktop.
    const QString other = settings.Path("sub/../run.vlt");
    ASSERT_TRUE(QDir().mkpath(settings.Path("sub")));
    for (const std::string& again : {path, other.toStdString()})
        EXPECT_EQ(app->OpenDocumentFile(again.c_str()), doc) << again;
    app->OpenShellRequest({QString::fromStdString(path)});
    EXPECT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 1);
    EXPECT_EQ(doc->GetViews().size(), 1u);

    sink.Clear();
    sink.Answer(IDNO);
    Execute(ID_FILE_CLOSE);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 1);
    EXPECT_TRUE(CVeltrane::IsAcquiring(doc));

    sink.Clear();
    sink.Answer(IDYES); // abort and close
    QElapsedTimer t;
    t.start();
    Execute(ID_FILE_CLOSE);
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_FALSE(app->GetAcq()->IsBusy());
    EXPECT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 0);
    EXPECT_EQ(app->GetAcq()->GetStatus(), CAcquire::Inactive);
}

// A run's document shown in two windows: closing one leaves the run alone
// without a question; closing the last asks, and only a Yes stops the run.
TEST_F(RunDocument, OnlyTheLastWindowOfARunsDocumentAsksToStopIt)
{
    ASSERT_NO_FATAL_FAILURE(StartWithRunDocument());
    ASSERT_EQ(app->GetAcq()->StartAcquiring(running, nullptr), 0);
    Pump(50);
    ASSERT_TRUE(Execute(ID_WINDOW_NEW));
    auto frames = [&] { return CVeltrane::GetSpectrumTemplate()->GetFrames(running); };
    ASSERT_EQ(frames().size(), 2u);

    sink.Clear();
    frames()[0]->close();
    Pump(0);
    EXPECT_TRUE(sink.Texts().empty());
    ASSERT_EQ(frames().size(), 1u);
    EXPECT_TRUE(CVeltrane::IsAcquiring(running));

    sink.Answer(IDNO);
    frames()[0]->close();
    Pump(0);
    EXPECT_EQ(sink.Texts().size(), 1u);
    ASSERT_EQ(frames().size(), 1u);
    EXPECT_TRUE(CVeltrane::IsAcquiring(running));

    sink.Clear();
    sink.Answer(IDYES);
    frames()[0]->close();
    Pump(0);
    EXPECT_FALSE(sink.Texts().empty());
    EXPECT_FALSE(app->GetAcq()->IsBusy());
    EXPECT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 0);
}

// Another document saved under the name of the file a run is writing, as
// data or as VAMAS: the run's next save would replace it, or it would replace
// what the run has saved. It is refused, and the run's file stays the run's.
TEST_F(RunDocument, NoOtherDocumentIsSavedOverARunsFile)
{
    ASSERT_NO_FATAL_FAILURE(StartWithRunDocument());
    ASSERT_EQ(app->GetAcq()->StartAcquiring(running, nullptr), 0);
    const QString other = WriteDataFile("other.vlt", 0x102);
    CDocument* doc = app->OpenDocumentFile(other.toStdString().c_str());
    ASSERT_NE(doc, nullptr);
    const QString sub = settings.Path("sub");
    ASSERT_TRUE(QDir().mkpath(sub));
    for (int filter : {0, 2}) {
        SCOPED_TRACE(filter);
        sink.Clear();
        dialogs.Answer(sub + "/../run.vlt", filter);
        Execute(ID_FILE_SAVE_AS); // the document just opened is the active one
        ASSERT_FALSE(sink.Texts().empty());
        EXPECT_EQ(sink.Texts().back(), Text(5169));
        EXPECT_EQ(doc->GetPathName(), other.toStdString());
        CVeltraneDoc onDisk;
        EXPECT_TRUE(onDisk.OnOpenDocument(path)) << "the run's file replaced";
    }
    CQtAcqHost::AbortAndWait(*app->GetAcq()); // before the documents go
}

// Quitting with a run going and another document modified: a Cancel at any
// question keeps everything as it was, the run included. Its abort cannot be
// taken back, so it is asked about after the other documents.
TEST_F(RunDocument, CancellingTheQuitLeavesTheRunGoing)
{
    ASSERT_NO_FATAL_FAILURE(StartWithRunDocument());
    CDocument* edited = app->OpenDocumentFile(WriteDataFile("edited.vlt", 0x102).toStdString().c_str());
    ASSERT_NE(edited, nullptr);
    edited->SetModifiedFlag(true);
    ASSERT_EQ(app->GetAcq()->StartAcquiring(running, nullptr), 0);
    Pump(50);

    sink.Clear();
    sink.Answer(IDYES);    // the first question
    sink.Answer(IDCANCEL); // the second
    Execute(ID_APP_EXIT);
    EXPECT_FALSE(frame->IsDestroyed());
    EXPECT_EQ(app->GetOpenDocumentCount(), 2);
    EXPECT_TRUE(CVeltrane::IsAcquiring(running)) << "the run was stopped by a quit that was cancelled";
    ASSERT_FALSE(sink.Texts().empty());
    EXPECT_EQ(sink.Texts().front(), FormatMessageId(AFX_IDP_ASK_TO_SAVE, {edited->GetTitle()}));
    CQtAcqHost::AbortAndWait(*app->GetAcq()); // before the documents go
}

namespace {

double Sum(const CVeltraneDoc& doc)
{
    double sum = 0;
    for (int i = 0; i < doc.GetNumStagePosns(); ++i)
        for (int g = 0; g < doc.GetStagePosn(i)->GetNumSpecRgns(); ++g) {
            const CSpecRgn* r = doc.GetStagePosn(i)->GetSpecRgn(g);
            for (int t = 0; t < r->GetNumTraces(); ++t)
                for (int k = 0; k < r->GetTrace(t)->GetNumPoints(); ++k)
                    sum += r->GetTrace(t)->GetData()[k];
        }
    return sum;
}

} // namespace

// A one-level run on the emulated unit whose document is saved in the file at
// path before it starts; once its first counts are shown, act is called. The
// counts shown then are returned when the program's event loop has ended.
class RunEnd : public AppFixture
{
protected:
    double RunAndThen(const std::string& path, const std::function<void()>& act)
    {
        InstallInstrumentHooks();
        SFakeXPS sheet;
        sheet.type = CAcquireXPS::Widescan;
        auto region = MakeRegion(0, 50, 1, 20);
        sheet.rgn.m_WidescanRegions = {region.get()};
        {
            CVeltraneDoc prepared;
            if (!BuildDocument(prepared, sheet, 1, 1, path).empty())
                ::_exit(2);
        }
        app = std::make_unique<CVeltrane>();
        double shown = 0;
        QTimer poll;
        QTimer::singleShot(0, [&] {
            app->m_pDAU->SetSourceID(0x201);
            auto* doc = app->m_pDAU->Open() == 0
                            ? dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(path.c_str()))
                            : nullptr;
            if (!doc || app->GetAcq()->StartAcquiring(doc, nullptr) != 0)
                ::_exit(3);
            QObject::connect(&poll, &QTimer::timeout, [&, doc] {
                if ((shown = Sum(*doc)) > 0) {
                    poll.stop();
                    sink.Clear();
                    act();
                }
            });
            poll.start(20);
        });
        app->Run();
        return shown;
    }
};

// A logout or shutdown (SIGTERM), a closed terminal (SIGHUP) or Ctrl+C while a
// one-level run goes on: the program ends through its exit, asking nothing,
// and the exit's abort saves the counts shown so far, instead of dying with
// nothing in the file but the empty document written at the start. Each case
// runs in a child process.
TEST_F(RunEnd, EndSignalDuringARunSavesWhatWasAcquired)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = settings.Path("signalled.vlt").toStdString();
    auto runUntil = [&](int sig) {
        const double shown = RunAndThen(path, [sig] { ::raise(sig); });
        CVeltraneDoc saved;
        // Nothing asked: a question would wait for a user who is not there.
        const bool ok =
            shown > 0 && sink.Texts().empty() && saved.OnOpenDocument(path) && Sum(saved) >= shown;
        ::_exit(ok ? 0 : 1);
    };
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        EXPECT_EXIT(runUntil(sig), ::testing::ExitedWithCode(0), "") << "signal " << sig;
}

// Started with a hangup ignored (nohup, a background job): the program is
// meant to outlive its terminal, and the run goes on.
TEST_F(RunEnd, AnIgnoredHangupStaysIgnored)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = settings.Path("nohup.vlt").toStdString();
    auto run = [&] {
        ::signal(SIGHUP, SIG_IGN);
        RunAndThen(path, [this] {
            ::raise(SIGHUP);
            QTimer::singleShot(300, [this] {
                const bool going = app->GetAcq()->GetStatus() == CAcquire::Acquiring;
                ::_exit(going ? 0 : 1);
            });
        });
        ::_exit(2); // the loop ended
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

namespace {
std::string g_lostPath;
double g_lostShown = 0;
} // namespace

// The connection to the display breaks during a run (the X server went away):
// Qt ends the process with exit() from inside the event loop, and nothing
// after the loop runs. The file still gets the counts shown until then. The
// check is an exit handler registered before the program's own, so it runs
// after it.
TEST_F(RunEnd, DisplayLostDuringARunSavesWhatWasAcquired)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    g_lostPath = settings.Path("lost.vlt").toStdString();
    auto run = [&] {
        std::atexit([] {
            CVeltraneDoc saved;
            const bool ok = g_lostShown > 0 && saved.OnOpenDocument(g_lostPath) && Sum(saved) >= g_lostShown;
            ::_exit(ok ? 0 : 1);
        });
        RunAndThen(g_lostPath, [this] {
            g_lostShown = Sum(*app->GetAcq()->GetDocument());
            std::exit(1);
        });
        ::_exit(4); // the loop ended some other way
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}
