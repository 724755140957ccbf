// Documents reach the program through File Open, the shell's open request
// and dropped files; each goes to the template its experiment type chooses.
// Saving converts an older-format document only after its question.

#include "AppFixture.h"

#include "app/ChildFrm.h"
#include "app/DocCommands.h"
#include "app/ShellRequest.h"
#include "app/VeltraneView.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/MDIChildWnd.h"
#include "framework/ui/Resources.h"
#include "platform/File.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <malloc.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

TEST_F(AppFixture, FileOpenChoosesTheTemplateByExperimentType)
{
    Start();
    struct
    {
        int32_t type;
        CMultiDocTemplate* (*tmpl)();
    } const cases[] = {
        {0x101, &CVeltrane::GetSpectrumTemplate}, {0x102, &CVeltrane::GetSpectrumTemplate},
        {0x104, &CVeltrane::GetSpectrumTemplate}, {0x404, &CVeltrane::GetProfileTemplate},
        {0x201, &CVeltrane::GetImageTemplate},    {0x202, &CVeltrane::GetImageTemplate},
    };
    int n = 0;
    for (auto& c : cases) {
        SCOPED_TRACE(c.type);
        int before = DocCount(c.tmpl());
        QString path = WriteDataFile(QStringLiteral("t%1.vlt").arg(n++), c.type);
        dialogs.Answer(path);
        EXPECT_TRUE(Execute(ID_FILE_OPEN));
        EXPECT_EQ(DocCount(c.tmpl()), before + 1);
    }
    EXPECT_EQ(app->GetOpenDocumentCount(), 6);
    EXPECT_TRUE(sink.Texts().empty() || sink.Texts().size() <= 1) << "only a start-up error may show";
    // The title and the recent files follow the file.
    CDocument* doc = CVeltrane::GetImageTemplate()->GetDocuments().back();
    EXPECT_EQ(doc->GetTitle(), "t5.vlt");
    EXPECT_EQ(app->GetRecentFileList()->Entries().front(), settings.Path("t5.vlt").toStdString());
    EXPECT_EQ(app->GetRecentFileList()->Entries().size(), 4u) << "four recent files";
}

TEST_F(AppFixture, EmptyMissingAndForeignFilesOpenNothing)
{
    Start();
    Pump(700);
    sink.Clear();
    QString empty = WriteBytes("empty.vlt", {});
    EXPECT_EQ(app->OpenDocumentFile(empty.toStdString().c_str()), nullptr);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "Unexpected end of file while reading 'empty.vlt'");

    sink.Clear();
    dialogs.Answer(settings.Path("gone.vlt"));
    Execute(ID_FILE_OPEN);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "gone.vlt was not found.");

    sink.Clear();
    QString settingsFile = WriteBytes("setup.saq", [] {
        CDataFileBuilder b;
        b.Header(2).Experiment();
        return b.m_bytes;
    }());
    EXPECT_EQ(app->OpenDocumentFile(settingsFile.toStdString().c_str()), nullptr);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "The Veltrane file 'setup.saq' cannot be opened as a data file");

    // A folder dropped or named on the command line is no file to open.
    sink.Clear();
    QDir(settings.Path("")).mkdir("folder.vlt");
    app->OpenShellRequest({settings.Path("folder.vlt")});
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "folder.vlt could not be accessed.");
    EXPECT_EQ(app->GetOpenDocumentCount(), 0);
}

// A named pipe given as a document must not keep the program waiting for a
// writer: it is refused before it is opened, also behind a link.
TEST_F(AppFixture, ANamedPipeIsRefusedWithoutWaitingForAWriter)
{
    Start();
    Pump(700);
    const QString pipe = settings.Path("pipe.vlt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString link = settings.Path("link.vlt");
    ASSERT_TRUE(QFile::link(pipe, link));
    for (const QString& path : {pipe, link}) {
        SCOPED_TRACE(path.toStdString());
        sink.Clear();
        // A writer that comes only if the program opened the pipe for reading,
        // so that a program stuck there is freed and the test can fail.
        std::atomic<bool> stop{false}, opened{false};
        std::thread writer([&] {
            while (!stop) {
                const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    opened = true;
                    ::close(fd);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        app->OpenShellRequest({path});
        Pump(0);
        stop = true;
        writer.join();
        EXPECT_FALSE(opened) << "the program waited on the pipe";
        ASSERT_EQ(sink.Texts().size(), 1u);
        EXPECT_EQ(sink.Texts()[0], QFileInfo(path).fileName().toStdString() + " could not be accessed.");
    }
    EXPECT_EQ(app->GetOpenDocumentCount(), 0);
}

TEST_F(AppFixture, ACorruptOwnFileIsReportedByTheReaderThenAsUnsupported)
{
    Start();
    Pump(700);
    sink.Clear();
    CDataFileBuilder b;
    b.Header().Experiment(0x102).Source();
    std::vector<uint8_t> bytes = b.m_bytes;
    bytes.resize(bytes.size() - 6); // cut inside the source block
    QString path = WriteBytes("cut.vlt", bytes);
    EXPECT_EQ(app->OpenDocumentFile(path.toStdString().c_str()), nullptr);
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_EQ(sink.Texts()[1], "The file 'cut.vlt' contains data in an unsupported format.");
    EXPECT_EQ(app->GetOpenDocumentCount(), 0);
    Pump(0);
    EXPECT_TRUE(frame->GetChildFrames().isEmpty());
}

TEST_F(AppFixture, DroppedFilesOpenOneByOne)
{
    Start();
    QString a = WriteDataFile("a.vlt", 0x102);
    QString b = WriteDataFile("b.vlt", 0x201);
    QMimeData data;
    data.setUrls(
        {QUrl::fromLocalFile(a), QUrl::fromLocalFile(settings.Path("missing.vlt")), QUrl::fromLocalFile(b)});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    // Delivered as the window system would after a drag over the frame.
    static_cast<QObject*>(frame)->event(&drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 1);
    EXPECT_EQ(DocCount(CVeltrane::GetImageTemplate()), 1) << "a failing file does not stop the others";
}

// A drop may name this machine in a file's address; the local file opens.
TEST_F(AppFixture, ADroppedAddressNamingThisMachineOpensTheLocalFile)
{
    Start();
    Pump(700); // past the start-up messages
    sink.Clear();
    const QString a = WriteDataFile("a b.vlt", 0x102);
    QStringList sent;
    for (const QString& host : {QStringLiteral("localhost"), QSysInfo::machineHostName()}) {
        QUrl url = QUrl::fromLocalFile(a);
        url.setHost(host);
        sent << url.toString();
    }
    QMimeData data;
    data.setUrls({QUrl(sent[0]), QUrl(sent[1])});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(frame)->event(&drop);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{});
    ASSERT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 2) << sent.join(' ').toStdString();
    for (CDocument* doc : CVeltrane::GetSpectrumTemplate()->GetDocuments())
        EXPECT_EQ(doc->GetPathName(), a.toStdString());
}

TEST_F(AppFixture, OpenRequestOfASecondStartReachesTheRunningInstance)
{
    Start();
    QString a = WriteDataFile("shell.vlt", 0x404);
    std::atomic<bool> sent{false}, done{false};
    std::thread second([&] {
        sent = CShellOpenServer::SendToRunningInstance({a});
        done = true;
    });
    for (int i = 0; i < 100 && !done; ++i)
        Pump(20);
    second.join();
    EXPECT_TRUE(sent);
    Pump(20);
    EXPECT_EQ(DocCount(CVeltrane::GetProfileTemplate()), 1);
}

// A message box runs its own event loop: the socket of a request must not be
// deleted under its signal when the client goes while the box is up.
TEST_F(AppFixture, AClientThatGoesWhileAnOpenMessageIsUpDoesNotBringTheProgramDown)
{
    Start();
    Pump(700); // past the start-up messages
    // What the program was handling when the box came up: an event of the
    // socket (its signal still running under the box) or a queued call.
    struct CLastDelivery : QObject
    {
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::SockAct || e->type() == QEvent::MetaCall)
                last = e->type();
            return false;
        }
        QEvent::Type last = QEvent::None;
    } delivery;
    QCoreApplication::instance()->installEventFilter(&delivery);
    struct CModalSink : CRecordingSink
    {
        int ShowMessage(const std::string& text, unsigned type) override
        {
            ++shown;
            shownDuring = delivery->last;
            // The box stays up, in an event loop of its own as a message box
            // runs, until the client has its answer and has gone.
            QEventLoop loop;
            QTimer poll;
            int waited = 0;
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                waited += 5;
                if (waited > 2000 || (clientGone && (closeAt = closeAt ? closeAt : waited) + 100 < waited))
                    loop.quit();
            });
            poll.start(5);
            loop.exec();
            return CRecordingSink::ShowMessage(text, type);
        }
        std::atomic<bool> clientGone{false};
        std::atomic<int> shown{0};
        int closeAt = 0;
        CLastDelivery* delivery = nullptr;
        QEvent::Type shownDuring = QEvent::None;
    } modal;
    modal.delivery = &delivery;
    const QString good = WriteDataFile("after.vlt", 0x102);
    for (const QString& path : {settings.Path("unreadable.vlt"), good}) {
        modal.clientGone = false;
        std::atomic<bool> sent{false};
        std::thread second([&] {
            sent = CShellOpenServer::SendToRunningInstance({path});
            modal.clientGone = true;
        });
        for (int i = 0; i < 100 && !modal.clientGone; ++i)
            Pump(20);
        second.join();
        EXPECT_TRUE(sent);
        Pump(300);
    }
    QCoreApplication::instance()->removeEventFilter(&delivery);
    EXPECT_EQ(modal.shown, 1);
    EXPECT_EQ(modal.shownDuring, QEvent::MetaCall) << "the files open after the socket's signal returned";
    EXPECT_EQ(modal.Texts(), std::vector<std::string>{"unreadable.vlt was not found."});
    EXPECT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 1);
}

// Without a runtime folder the socket lies in a folder that only the user can
// enter, never in the shared temporary folder.
TEST(ShellOpenServerName, FallsBackToAFolderOnlyTheUserCanEnter)
{
    QTemporaryDir home;
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR"), oldCache = qgetenv("XDG_CACHE_HOME");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath("cache")));
    CShellOpenServer::SetServerName(QString());
    const QString folder = home.filePath("cache/veltrane-runtime");

    auto modeAndOwner = [&](uint32_t& mode, uid_t& uid) {
        struct stat st;
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &st), 0);
        mode = st.st_mode & 07777;
        uid = st.st_uid;
    };
    const QString name = CShellOpenServer::ServerName();
    EXPECT_TRUE(name.startsWith(folder + "/")) << name.toStdString();
    uint32_t mode = 0;
    uid_t uid = 0;
    modeAndOwner(mode, uid);
    EXPECT_EQ(mode, 0700u);
    EXPECT_EQ(uid, ::geteuid());

    // A folder the user left open to others is closed again.
    ::chmod(QFile::encodeName(folder).constData(), 0777);
    EXPECT_EQ(CShellOpenServer::ServerName(), name);
    modeAndOwner(mode, uid);
    EXPECT_EQ(mode, 0700u);

    // A folder of another owner, or a link in its place, is never used: no
    // request is then reported delivered.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 12345, 12345), 0);
        EXPECT_TRUE(CShellOpenServer::ServerName().isEmpty());
        EXPECT_FALSE(CShellOpenServer::SendToRunningInstance({"/x.vlt"}, 200));
    }
    QDir(folder).removeRecursively();
    QDir().mkpath(home.filePath("elsewhere"));
    ASSERT_TRUE(QFile::link(home.filePath("elsewhere"), folder));
    EXPECT_TRUE(CShellOpenServer::ServerName().isEmpty());

    // A runtime folder is used when it is the user's own and closed to others.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath("elsewhere")));
    ::chmod(QFile::encodeName(home.filePath("elsewhere")).constData(), 0755);
    EXPECT_TRUE(CShellOpenServer::ServerName().isEmpty());
    ::chmod(QFile::encodeName(home.filePath("elsewhere")).constData(), 0700);
    EXPECT_EQ(CShellOpenServer::ServerName(), home.filePath("elsewhere/veltrane.sock"));

    for (auto [var, old] :
         {std::pair{"XDG_RUNTIME_DIR", oldRuntime}, std::pair{"XDG_CACHE_HOME", oldCache}}) {
        if (old.isNull())
            qunsetenv(var);
        else
            qputenv(var, old);
    }
}

// A server that takes the request but never answers has not opened it.
TEST(ShellOpenServerName, ARequestNobodyAnsweredIsNotDelivered)
{
    TestApp();
    const QString name = QStringLiteral("veltrane-test-silent-%1").arg(getpid());
    CShellOpenServer::SetServerName(name);
    QLocalServer silent;
    QLocalServer::removeServer(name);
    ASSERT_TRUE(silent.listen(name));
    std::atomic<bool> done{false}, sent{true};
    std::thread second([&] {
        sent = CShellOpenServer::SendToRunningInstance({"/x.vlt"}, 300);
        done = true;
    });
    std::unique_ptr<QLocalSocket> peer;
    for (int i = 0; i < 100 && !done; ++i) {
        Pump(10);
        if (!peer && silent.hasPendingConnections()) {
            peer.reset(silent.nextPendingConnection());
            peer->write("O"); // half an answer
            peer->flush();
        }
    }
    second.join();
    EXPECT_FALSE(sent);
}

TEST_F(AppFixture, ARelativeNameOpensUnderItsFullPath)
{
    Start();
    const std::string full = WriteDataFile("rel.vlt", 0x102).toStdString();
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(settings.Path("")));
    app->OpenShellRequest({QStringLiteral("./rel.vlt")});
    app->OpenShellRequest({QStringLiteral("rel.vlt")});
    QDir::setCurrent(cwd);
    ASSERT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), 2);
    EXPECT_EQ(CVeltrane::GetSpectrumTemplate()->GetDocuments().front()->GetPathName(), full);
    // The next run may start in another folder: the list keeps the full path, once.
    EXPECT_EQ(app->GetRecentFileList()->Entries(), std::vector<std::string>{full});
}

TEST_F(AppFixture, OpeningAndClosingDocumentsAllDayKeepsNoMemory)
{
    // A lab opens and closes hundreds of documents in a session. Whatever
    // one document window takes must go with it: the heap in use after 200
    // rounds stays where it was after the first few (each window's own icon
    // and its drawn copy once stayed behind, some 3.5 KB a round).
    Start();
    const std::string path = WriteDataFile("day.vlt", 0x102).toStdString();
    auto round = [&] {
        ASSERT_NE(app->OpenDocumentFile(path.c_str()), nullptr);
        Pump(0);
        ASSERT_TRUE(Execute(ID_FILE_CLOSE));
        Pump(0);
    };
    for (int i = 0; i < 10; ++i)
        round();
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 200; ++i)
        round();
    EXPECT_EQ(app->GetOpenDocumentCount(), 0);
    const ptrdiff_t grown = ptrdiff_t(mallinfo2().uordblks) - ptrdiff_t(before);
    EXPECT_LT(grown, 40 * 1024) << "bytes still held after 200 documents";
}

TEST(ShellRequest, ParsesOnlyWholeWellFormedRequests)
{
    std::vector<std::string> paths;
    std::string good = MakeShellRequest({"/a b/c.vlt", "/d.vlt"});
    ASSERT_TRUE(ParseShellRequest(good, paths));
    EXPECT_EQ(paths, (std::vector<std::string>{"/a b/c.vlt", "/d.vlt"}));
    struct
    {
        const char* name;
        std::string data;
    } const bad[] = {
        {"empty", ""},
        {"tag only", std::string(kShellRequestTag)},
        {"cut before the end mark", good.substr(0, good.size() - 1)},
        {"cut after a path", good.substr(0, good.find("/d.vlt"))},
        {"bytes after the end", good + "x"},
        {"other tag", "VELTRANE-OPEN 2" + good.substr(kShellRequestTag.size())},
        {"too many paths", MakeShellRequest(std::vector<std::string>(kShellRequestMaxPaths + 1, "/x"))},
    };
    for (auto& c : bad) {
        EXPECT_FALSE(ParseShellRequest(c.data, paths)) << c.name;
        EXPECT_TRUE(paths.empty()) << c.name;
    }
}

// A selection of more files than one request carries, or of long names,
// goes whole and in order over several requests that each pass the parser.
TEST(ShellRequest, ManyOrLongPathsSplitIntoRequestsWithinTheLimits)
{
    const std::string longName = "/" + std::string(4000, 'l');
    for (const std::vector<std::string>& paths :
         {std::vector<std::string>(kShellRequestMaxPaths * 2 + 3, "/x.vlt"),
          std::vector<std::string>(300, longName), std::vector<std::string>{"/a.vlt"}}) {
        std::vector<std::string> all, one;
        for (const std::string& r : MakeShellRequests(paths)) {
            ASSERT_TRUE(ParseShellRequest(r, one)) << r.size() << " bytes";
            all.insert(all.end(), one.begin(), one.end());
        }
        EXPECT_EQ(all, paths);
    }
    EXPECT_TRUE(MakeShellRequests({}).empty());
}

TEST(ShellOpenServerName, ASecondStartWithHundredsOfFilesHandsThemAllOver)
{
    TestApp();
    CShellOpenServer::SetServerName(QStringLiteral("veltrane-test-many-%1").arg(getpid()));
    QStringList received;
    // Opening takes longer than the second start waits for an answer.
    CShellOpenServer server([&](const QStringList& paths) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        received += paths;
    });
    ASSERT_TRUE(server.Listen());
    QStringList files;
    for (int i = 0; i < 300; ++i)
        files << QStringLiteral("/data/f%1.vlt").arg(i);
    std::atomic<bool> done{false}, sent{false};
    std::thread second([&] {
        sent = CShellOpenServer::SendToRunningInstance(files, 300);
        done = true;
    });
    for (int i = 0; i < 300 && !done; ++i)
        Pump(10);
    second.join();
    Pump(700);
    CShellOpenServer::SetServerName(QString());
    EXPECT_TRUE(sent) << "the second start would run as an instance of its own";
    EXPECT_EQ(received, files);
}

TEST(ShellArguments, AFileNameAloneOpensNothing)
{
    EXPECT_TRUE(ShellOpenArguments({"veltrane", "a.vlt"}).isEmpty());
    EXPECT_EQ(ShellOpenArguments({"veltrane", "--open", "a.vlt", "b.vlt"}), (QStringList{"a.vlt", "b.vlt"}));
    EXPECT_EQ(ShellOpenArguments({"veltrane", "x.vlt", "--open", "a.vlt", "--other"}), QStringList{"a.vlt"});
}

TEST_F(AppFixture, DocumentWindowsFollowTheRememberedMaximisedState)
{
    Start();
    CRegistry::m_CChildFrame.m_bMaximized = 1;
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102).toStdString().c_str()), nullptr);
    CMDIChildWnd* first = frame->GetChildFrames().value(0);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isMaximized());
    first->showNormal();
    app->CloseAllDocuments(true);
    EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, 0) << "the last window closed was not maximised";

    // A hidden open that fails leaves the remembered state as it was.
    CRegistry::m_CChildFrame.m_bMaximized = 1;
    QString foreign = WriteBytes("foreign.dat", std::vector<uint8_t>(100, 'x'));
    EXPECT_EQ(CVeltrane::OpenDocument(foreign.toStdString().c_str(), false), nullptr);
    EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, 1);
    // A hidden open does not open maximised, and puts the state back.
    CDocument* hidden = CVeltrane::OpenDocument(WriteDataFile("h.vlt", 0x102).toStdString().c_str(), false);
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, 1);
    CMDIChildWnd* hiddenFrame = CVeltrane::GetSpectrumTemplate()->GetFrames(hidden).front();
    EXPECT_FALSE(hiddenFrame->isVisible());
    EXPECT_FALSE(hiddenFrame->isMaximized());
    EXPECT_EQ(frame->menuBar()->actions().value(0), frame->GetMenus128()[0]->menuAction())
        << "a document without a window keeps the menu of no documents";
}

TEST_F(AppFixture, ClosingTheProgramWithAMaximisedDocumentWindowRemembersIt)
{
    Start();
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102).toStdString().c_str()), nullptr);
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("b.vlt", 0x102).toStdString().c_str()), nullptr);
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("c.vlt", 0x102).toStdString().c_str()), nullptr);
    frame->GetChildFrames().value(1)->showMaximized();
    Pump(0);
    frame->close();
    EXPECT_TRUE(frame->IsDestroyed());
    EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, 1);
}

TEST_F(AppFixture, WindowListReachesEveryWindowByItsOwnKeyOrByName)
{
    // Eleven documents: the first nine are chosen by their number key, the
    // rest by name; no key is shared, and each entry brings up the window it
    // names, a minimised one restored.
    Start();
    for (int i = 1; i <= 11; ++i)
        ASSERT_NE(app->OpenDocumentFile(
                      WriteDataFile(QStringLiteral("w%1.vlt").arg(i), 0x102).toStdString().c_str()),
                  nullptr);
    Pump(0);
    QMenu* window = frame->GetMenus129().value(4);
    ASSERT_NE(window, nullptr);
    Q_EMIT window->aboutToShow();
    std::vector<QAction*> entries;
    for (QAction* a : window->actions())
        if (a->isCheckable())
            entries.push_back(a);
    ASSERT_EQ(entries.size(), 11u);
    std::set<QChar> keys;
    for (size_t i = 0; i < entries.size(); ++i) {
        const QString text = entries[i]->text();
        const QString name = QStringLiteral("w%1.vlt").arg(i + 1);
        EXPECT_TRUE(text.endsWith(QLatin1Char(' ') + name)) << text.toStdString();
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        if (i < 9) {
            ASSERT_EQ(amp, 0) << text.toStdString();
            EXPECT_TRUE(keys.insert(text[1]).second) << "key shared by " << text.toStdString();
        } else {
            EXPECT_EQ(amp, -1) << text.toStdString();
        }
    }
    // One of them minimised: chosen from the list it comes up as a window.
    frame->GetChildFrames().value(9)->showMinimized();
    Pump(0);
    for (size_t i : {size_t(0), size_t(9), size_t(10)}) {
        entries[i]->trigger();
        Pump(0);
        CMDIChildWnd* active = frame->MDIGetActive();
        ASSERT_NE(active, nullptr);
        EXPECT_EQ(active->windowTitle(), QStringLiteral("w%1.vlt").arg(i + 1));
        EXPECT_FALSE(active->isMinimized()) << active->windowTitle().toStdString();
    }
}

TEST_F(AppFixture, CascadeShowsEveryOpenWindowLargeOneTitleBarApart)
{
    // Cascaded, each open window is large enough to show its document, set
    // down one title bar below the one behind it, the active one in front,
    // none over the minimised window's icon.
    Start();
    QList<CMDIChildWnd*> children = OpenDataWindows({"a.vlt", "b.vlt", "c.vlt", "d.vlt", "e.vlt"});
    ASSERT_EQ(children.size(), 5);
    children[1]->showMinimized();
    children[2]->ActivateFrame();
    children[2]->showMaximized();
    Pump(0);
    ASSERT_TRUE(Execute(ID_WINDOW_CASCADE));
    Pump(0);
    const QRect client = frame->GetMDIClient()->viewport()->rect();
    const QRect icon = children[1]->geometry();
    EXPECT_TRUE(children[1]->isMinimized());
    std::set<int> tops;
    for (int i : {0, 2, 3, 4}) {
        const QRect g = children[i]->geometry();
        EXPECT_FALSE(children[i]->isMinimized() || children[i]->isMaximized()) << i;
        EXPECT_TRUE(client.contains(g)) << i;
        EXPECT_GE(g.width(), client.width() / 2) << i;
        EXPECT_GE(g.height(), client.height() / 2) << i;
        EXPECT_FALSE(g.intersects(icon)) << "window " << i << " covers the minimised one";
        EXPECT_TRUE(tops.insert(g.top()).second) << "two windows at one place";
    }
    EXPECT_EQ(frame->MDIGetActive(), children[2]);
    EXPECT_EQ(children[2]->geometry().top(), *tops.rbegin()) << "the active window is not in front";
}

TEST_F(AppFixture, TileLeavesTheMinimisedWindowsInSight)
{
    // Tiled, the open windows share the client above the row of minimised
    // ones without covering them or each other.
    Start();
    QList<CMDIChildWnd*> children = OpenDataWindows({"a.vlt", "b.vlt", "c.vlt", "d.vlt", "e.vlt"});
    ASSERT_EQ(children.size(), 5);
    children[1]->showMinimized();
    children[3]->showMaximized();
    Pump(0);
    ASSERT_TRUE(Execute(ID_WINDOW_TILE_HORZ));
    Pump(0);
    const QRect client = frame->GetMDIClient()->viewport()->rect();
    const QRect icon = children[1]->geometry();
    EXPECT_TRUE(children[1]->isMinimized());
    EXPECT_EQ(icon.bottom(), client.bottom());
    std::vector<QRect> tiled;
    for (int i : {0, 2, 3, 4}) {
        const QRect g = children[i]->geometry();
        EXPECT_FALSE(children[i]->isMinimized() || children[i]->isMaximized()) << i;
        EXPECT_TRUE(client.contains(g)) << i;
        EXPECT_FALSE(g.intersects(icon)) << "window " << i << " covers the minimised one";
        EXPECT_GT(g.height(), client.height() / 4) << i;
        for (const QRect& other : tiled)
            EXPECT_FALSE(g.intersects(other)) << i;
        tiled.push_back(g);
    }
}

TEST_F(AppFixture, ArrangeIconsLinesUpOnlyTheMinimisedWindows)
{
    Start();
    QList<CMDIChildWnd*> children = OpenDataWindows({"a.vlt", "b.vlt", "c.vlt", "d.vlt"});
    ASSERT_EQ(children.size(), 4);
    QMdiArea* area = frame->GetMDIClient();
    const QRect client = area->viewport()->rect();
    children[0]->setGeometry(40, 30, 300, 200);
    children[2]->setGeometry(120, 90, 260, 180);
    children[1]->showMinimized();
    children[3]->showMinimized();
    Pump(0);
    // The user has dragged the icons about, one into the middle.
    children[1]->move(200, 60);
    children[3]->move(10, 10);
    const QRect normal0 = children[0]->geometry();
    const QRect normal2 = children[2]->geometry();

    ASSERT_TRUE(Execute(ID_WINDOW_ARRANGE));
    Pump(0);
    EXPECT_EQ(children[0]->geometry(), normal0) << "a normal window was moved";
    EXPECT_EQ(children[2]->geometry(), normal2) << "a normal window was moved";
    EXPECT_FALSE(children[0]->isMinimized());
    EXPECT_FALSE(children[2]->isMinimized());
    const QRect icon1 = children[1]->geometry();
    const QRect icon3 = children[3]->geometry();
    EXPECT_TRUE(children[1]->isMinimized());
    EXPECT_TRUE(children[3]->isMinimized());
    EXPECT_EQ(icon1.bottom(), client.bottom());
    EXPECT_EQ(icon3.bottom(), client.bottom());
    EXPECT_EQ(icon1.left(), client.left()) << "opened first, placed first";
    EXPECT_EQ(icon3.left(), icon1.right() + 1);
}

TEST_F(AppFixture, AnUnsavedDocumentIsAskedAboutOnceWhenItsLastWindowCloses)
{
    // A modified document with three windows, a second one with one: closing
    // windows one by one asks only at the last of a document, and only about
    // that document; a Cancel keeps the window.
    Start();
    CDocument* a = app->OpenDocumentFile(WriteDataFile("a.vlt", 0x102).toStdString().c_str());
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(Execute(ID_WINDOW_NEW));
    ASSERT_TRUE(Execute(ID_WINDOW_NEW));
    CDocument* b = app->OpenDocumentFile(WriteDataFile("b.vlt", 0x102).toStdString().c_str());
    ASSERT_NE(b, nullptr);
    Pump(0);
    a->SetModifiedFlag(true);
    b->SetModifiedFlag(true);
    auto framesOf = [&](CDocument* d) { return CVeltrane::GetSpectrumTemplate()->GetFrames(d); };
    ASSERT_EQ(framesOf(a).size(), 3u);
    const std::string askA = FormatMessageId(AFX_IDP_ASK_TO_SAVE, {a->GetTitle()});

    sink.Clear();
    framesOf(a)[1]->close();
    Pump(0);
    framesOf(a)[0]->close();
    Pump(0);
    EXPECT_TRUE(sink.Texts().empty()) << "asked while other windows of the document stay";
    ASSERT_EQ(framesOf(a).size(), 1u);
    EXPECT_EQ(framesOf(a)[0]->windowTitle(), QStringLiteral("a.vlt"));

    sink.Answer(IDCANCEL);
    framesOf(a)[0]->close();
    Pump(0);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], askA);
    ASSERT_EQ(framesOf(a).size(), 1u) << "the window went despite Cancel";

    sink.Clear();
    sink.Answer(IDNO);
    framesOf(a)[0]->close();
    Pump(0);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], askA);
    EXPECT_EQ(app->GetOpenDocumentCount(), 1);

    // The program's close asks once about the other, then goes.
    ASSERT_TRUE(Execute(ID_WINDOW_NEW));
    sink.Clear();
    sink.Answer(IDNO);
    frame->close();
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], FormatMessageId(AFX_IDP_ASK_TO_SAVE, {b->GetTitle()}));
    EXPECT_TRUE(frame->IsDestroyed());
}

TEST(DocCommands, DataExtensionReplacesOnlyTheFileNamesExtension)
{
    struct
    {
        const char* in;
        const char* out;
    } const cases[] = {
        {"/d/spec.dat", "/d/spec.vlt"},       {"/d/spec", "/d/spec.vlt"},
        {"/d/spec.VLT", "/d/spec.VLT"},       {"/d/spec.vlt  ", "/d/spec.vlt"},
        {"/d/v1.2/spec", "/d/v1.2/spec.vlt"},
    };
    for (auto& c : cases)
        EXPECT_EQ(CVeltraneDocCommands::WithDataExtension(c.in), c.out) << c.in;
}

// A document whose header does not name this program came from an import, and
// saving it must not replace the file it was read from: an older Norvale file
// may carry more than "Norvale" in its ten-byte name field, and the import
// keeps the field as it stands.
TEST(DocCommands, EveryHeaderNotNamingThisProgramIsAnImportedFormat)
{
    struct
    {
        const char* name;
        bool foreign;
    } const cases[] = {
        {"Veltrane", false}, {"Veltrane1.2", false}, {"", true},           {"Norv", true},
        {"Norvale", true},   {"Norvale 2", true},    {"NorvaleXYZ", true}, {"VAMAS", true},
    };
    for (auto& c : cases) {
        std::vector<uint8_t> header(24, 0);
        std::memcpy(header.data(), c.name, std::strlen(c.name));
        CMemFile mem(header);
        CVeltraneDoc doc;
        doc.Initialize(CHeader(&mem));
        EXPECT_EQ(CVeltraneDocCommands::IsForeignFormat(doc), c.foreign) << c.name;
    }
}
namespace {

// Gives an open document the header that names the older program, as its
// import leaves it.
CVeltraneDoc* GiveOlderHeader(CDocument* doc)
{
    auto* vdoc = dynamic_cast<CVeltraneDoc*>(doc);
    std::vector<uint8_t> header(24, 0);
    std::memcpy(header.data(), "Norvale", 7);
    CMemFile mem(header);
    vdoc->Initialize(CHeader(&mem));
    return vdoc;
}

} // namespace

TEST_F(AppFixture, SavingAnOlderFormatDocumentConvertsItAfterTheQuestion)
{
    Start();
    Pump(700);
    // A document whose header names the older program, as its import leaves it.
    QString older = WriteDataFile("old.dat", 0x102, 2, "Norvale");
    QString own = WriteDataFile("own.vlt", 0x102);
    // Open through the own reader, then give it the older header.
    CDocument* doc = app->OpenDocumentFile(own.toStdString().c_str());
    ASSERT_NE(doc, nullptr);
    CVeltraneDoc* vdoc = GiveOlderHeader(doc);
    doc->SetPathName(older.toStdString());
    QByteArray olderBytes = [&] {
        QFile f(older);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    auto* cmds = dynamic_cast<CVeltraneDocCommands*>(CVeltrane::GetSpectrumTemplate()->GetCommands(doc));
    ASSERT_NE(cmds, nullptr);

    sink.Clear();
    sink.Answer(IDNO);
    EXPECT_FALSE(cmds->DoFileSave());
    EXPECT_FALSE(QFileInfo::exists(settings.Path("old.vlt"))) << "No saves nothing";

    sink.Answer(IDYES);
    EXPECT_TRUE(cmds->DoFileSave());
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_EQ(sink.Texts()[1].rfind("The document 'old.dat' was read from a file of an older format.", 0),
              0u);
    EXPECT_EQ(doc->GetPathName(), settings.Path("old.vlt").toStdString());
    QFile f(older);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), olderBytes) << "the older file is never overwritten";
    char name[13] = {};
    vdoc->GetHeader()->GetProgName(name);
    EXPECT_STREQ(name, "Veltrane") << "a fresh header";

    // Saving again writes the new file without asking.
    sink.Clear();
    EXPECT_TRUE(cmds->DoFileSave());
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_EQ(CVeltraneDoc::ClassifyFile(*std::make_unique<CFile>(doc->GetPathName(), CFile::modeRead)),
              CVeltraneDoc::DocTemplate::Spectrum);
}

TEST_F(AppFixture, AFailedConvertingSaveLeavesTheDocumentAsItWas)
{
    // The older file's folder went while the document was open: the
    // converted file cannot be written. The document keeps its name, its
    // older header (so the next save asks again) and its place in the
    // recent files goes to no file that is not there.
    Start();
    Pump(700);
    ASSERT_TRUE(QDir().mkpath(settings.Path("gone")));
    QString own = WriteDataFile("gone/own.vlt", 0x102);
    CDocument* doc = app->OpenDocumentFile(own.toStdString().c_str());
    ASSERT_NE(doc, nullptr);
    CVeltraneDoc* vdoc = GiveOlderHeader(doc);
    const std::string older = settings.Path("gone/old.dat").toStdString();
    doc->SetPathName(older);
    doc->SetModifiedFlag(true);
    ASSERT_TRUE(QDir(settings.Path("gone")).removeRecursively());
    auto* cmds = dynamic_cast<CVeltraneDocCommands*>(CVeltrane::GetSpectrumTemplate()->GetCommands(doc));
    ASSERT_NE(cmds, nullptr);

    sink.Clear();
    sink.Answer(IDYES);
    EXPECT_FALSE(cmds->DoFileSave());
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_NE(sink.Texts()[1].find("old.vlt"), std::string::npos) << sink.Texts()[1];
    EXPECT_EQ(doc->GetPathName(), older);
    EXPECT_TRUE(doc->IsModified());
    char name[13] = {};
    vdoc->GetHeader()->GetProgName(name);
    EXPECT_STREQ(name, "Norvale");
    for (const std::string& entry : app->GetRecentFileList()->Entries())
        EXPECT_EQ(entry.find("old.vlt"), std::string::npos) << entry;
    doc->SetModifiedFlag(false);
}

TEST_F(AppFixture, SaveAsOffersTheFiltersOfTheDocumentKind)
{
    Start();
    Pump(700);
    CDocument* doc = app->OpenDocumentFile(WriteDataFile("s.vlt", 0x102).toStdString().c_str());
    ASSERT_NE(doc, nullptr);
    sink.Clear();
    dialogs.Answer(settings.Path("s.npl"), 2);
    EXPECT_TRUE(Execute(ID_FILE_SAVE_AS));
    ASSERT_EQ(dialogs.m_requests.size(), 1u);
    EXPECT_EQ(dialogs.m_requests[0].filters, (QStringList{"Veltrane Data Files (*.vlt)", "Text files (*.txt)",
                                                          "VAMAS files (*.npl)", "All Files (*.*)"}));
    EXPECT_FALSE(dialogs.m_requests[0].bOpen);
    EXPECT_TRUE(dialogs.m_requests[0].bOverwritePrompt);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "Saving in VAMAS format is not currently available");
    EXPECT_FALSE(QFileInfo::exists(settings.Path("s.npl")));

    dialogs.Answer(settings.Path("copy.vlt"), 0);
    EXPECT_TRUE(Execute(ID_FILE_SAVE_AS));
    EXPECT_EQ(doc->GetPathName(), settings.Path("copy.vlt").toStdString());
    EXPECT_TRUE(QFileInfo::exists(settings.Path("copy.vlt")));
    EXPECT_TRUE(CRegistry::m_CVeltrane.IsDefaultExt("vlt"));

    CDocument* image = app->OpenDocumentFile(WriteDataFile("i.vlt", 0x201).toStdString().c_str());
    ASSERT_NE(image, nullptr);
    dialogs.m_requests.clear();
    Execute(ID_FILE_SAVE_AS); // cancelled
    ASSERT_EQ(dialogs.m_requests.size(), 1u);
    EXPECT_EQ(dialogs.m_requests[0].filters[1], "Bitmap Files (*.bmp)");
}

} // namespace

namespace {

TEST_F(AppFixture, SaveAsOfAnImageWithSeveralPanesNeverReplacesADataFileUnasked)
{
    Start();
    Pump(700);
    CDataFileBuilder b;
    b.Header().Experiment(0x201).Source().IonGun();
    size_t at = b.BeginPosn(CDataFileBuilder::SPosnHead(), 0);
    b.Count(2).ImageRgn(2, 2, 2, 1).ImageRgn(2, 2, 2, 1);
    b.EndPosn(at);
    b.End();
    QString path = WriteBytes("img.vlt", b.m_bytes);
    ASSERT_NE(app->OpenDocumentFile(path.toStdString().c_str()), nullptr);
    QString other = WriteBytes("other.vlt", {1, 2, 3});
    sink.Clear();
    dialogs.Answer(other, 0);
    sink.Answer(IDNO);
    EXPECT_TRUE(Execute(ID_FILE_SAVE_AS));
    ASSERT_EQ(dialogs.m_requests.size(), 1u);
    EXPECT_FALSE(dialogs.m_requests[0].bOverwritePrompt) << "each bitmap is checked by its writer";
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "other.vlt already exists.\nDo you want to replace it?");
    EXPECT_EQ(QFileInfo(other).size(), 3) << "No keeps the file";
    EXPECT_EQ(frame->windowTitle(), "Veltrane - img.vlt");
}

} // namespace

namespace {

class RecordingDialog : public QDialog
{
public:
    explicit RecordingDialog(std::vector<std::string>& log) : m_log(log) {}
    void reject() override
    {
        m_log.push_back("tool cancelled");
        QDialog::reject();
    }
    std::vector<std::string>& m_log;
};

TEST_F(AppFixture, ClosingTheProgramCancelsTheOpenToolBeforeAnySavePrompt)
{
    Start();
    Pump(700);
    CDocument* doc = app->OpenDocumentFile(WriteDataFile("m.vlt", 0x102).toStdString().c_str());
    ASSERT_NE(doc, nullptr);
    doc->SetModifiedFlag(true);
    std::vector<std::string> log;
    RecordingDialog tool(log);
    CVeltraneView::m_pProcDlg = &tool;
    sink.Clear();
    sink.Answer(IDCANCEL);
    frame->close();
    CVeltraneView::m_pProcDlg = nullptr;
    ASSERT_EQ(log.size(), 1u);
    ASSERT_EQ(sink.Texts().size(), 1u) << "then the save prompt";
    EXPECT_EQ(sink.Texts()[0], "Save changes to m.vlt?");
    EXPECT_FALSE(frame->IsDestroyed()) << "Cancel keeps the program running";
    EXPECT_EQ(app->GetOpenDocumentCount(), 1);
}

} // namespace

TEST_F(AppFixture, ThrowErrorShowsTheMessageOrTheTextAloneAndAbandons)
{
    sink.Clear();
    EXPECT_THROW(CVeltrane::ThrowError("No peaks in range"), CUserException);
    EXPECT_THROW(CVeltrane::ThrowError(2066, "x.vlt"), CUserException);
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_EQ(sink.Texts()[0], "No peaks in range");
    EXPECT_EQ(sink.Texts()[1], "The file 'x.vlt' contains data in an unsupported format.");
}

namespace {

// The main window's title names the active document as it is now called,
// with the document window maximised or not.
TEST_F(AppFixture, TheTitleFollowsSaveAs)
{
    Start();
    for (int maximized : {0, 1}) {
        SCOPED_TRACE(maximized);
        CRegistry::m_CChildFrame.m_bMaximized = maximized;
        const QString old = QStringLiteral("old%1.vlt").arg(maximized);
        const QString renamed = QStringLiteral("new%1.vlt").arg(maximized);
        ASSERT_NE(app->OpenDocumentFile(WriteDataFile(old, 0x102).toStdString().c_str()), nullptr);
        Pump(0);
        auto expected = [&](const QString& name) {
            return maximized ? QStringLiteral("Veltrane - [%1]").arg(name)
                             : QStringLiteral("Veltrane - %1").arg(name);
        };
        EXPECT_EQ(frame->windowTitle(), expected(old));
        dialogs.Answer(settings.Path(renamed), 0);
        EXPECT_TRUE(Execute(ID_FILE_SAVE_AS));
        Pump(0);
        EXPECT_EQ(frame->windowTitle(), expected(renamed));
        if (maximized) {
            frame->MDIGetActive()->showNormal();
            Pump(0);
            EXPECT_EQ(frame->windowTitle(), "Veltrane - " + renamed);
        }
        app->CloseAllDocuments(true);
        Pump(0);
    }
}

} // namespace
