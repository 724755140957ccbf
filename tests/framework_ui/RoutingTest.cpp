// Command routing through view, document, child frame, application and main
// frame; greying of unhandled commands; exceptions stopped at the handler.

#include "TestSupport.h"

#include "framework/ui/CommandBar.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/MDIChildWnd.h"
#include "framework/ui/MDIFrameWnd.h"
#include "framework/ui/View.h"
#include "framework/ui/WinApp.h"
#include "platform/Exceptions.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

std::vector<std::string> g_calls;

class TestDoc : public CDocument
{
public:
    bool OnNewDocument() override { return true; }
};

class TestDocCommands : public CDocCommands
{
public:
    TestDocCommands(CDocument* d, CMultiDocTemplate* t) : CDocCommands(d, t)
    {
        OnCommand(100, [] { g_calls.push_back("doc"); });
        OnCommand(101, [] { g_calls.push_back("doc"); });
    }
};

class TestView : public CView
{
public:
    TestView()
    {
        OnCommand(100, [] { g_calls.push_back("view"); });
        OnUpdateCommand(102, [](CCmdUI* ui) { ui->Enable(false); });
        OnCommand(102, [] { g_calls.push_back("view102"); });
        OnCommand(110, [] { throw CUserException(); });
        OnCommand(111, [] { throw std::runtime_error("disk on fire"); });
        OnCommand(112, [] { throw CFileException(CFileException::fileNotFound, "/tmp/x/gone.vlt"); });
    }
};

class TestChild : public CMDIChildWnd
{
public:
    TestChild()
    {
        OnCommand(101, [] { g_calls.push_back("child"); });
        OnCommand(103, [] { g_calls.push_back("child"); });
    }
};

class TestFrame : public CMDIFrameWnd
{
public:
    TestFrame()
    {
        OnCommand(104, [] { g_calls.push_back("frame"); });
        OnCommand(105, [] { g_calls.push_back("frame"); });
        OnCheck(106);
    }
    void OnCheck(unsigned id)
    {
        OnCommand(id, [] {});
        OnUpdateCommand(id, [](CCmdUI* ui) { ui->SetCheck(1); });
    }
};

class TestApp_ : public CWinApp
{
public:
    TestApp_()
    {
        OnCommand(104, [] { g_calls.push_back("app"); });
        OnCommand(103, [] { g_calls.push_back("app"); });
        // The first registration for an id wins.
        OnCommand(104, [] { g_calls.push_back("app-second"); });
    }
};

struct RoutingFixture : ::testing::Test
{
    void SetUp() override
    {
        TestApp();
        g_calls.clear();
        app = std::make_unique<TestApp_>();
        frame = new TestFrame;
        app->m_pMainWnd = frame;
        ASSERT_TRUE(frame->LoadFrame());
        auto t = std::make_unique<CMultiDocTemplate>(
            0, [] { return std::make_unique<TestDoc>(); }, [] { return new TestChild; },
            [] { return new TestView; });
        t->SetCommandsFactory(
            [](CDocument* d, CMultiDocTemplate* tt) { return std::make_unique<TestDocCommands>(d, tt); });
        tmpl = t.get();
        app->AddDocTemplate(std::move(t));
        frame->show();
    }
    void TearDown() override
    {
        app->CloseAllDocuments(true);
        delete frame;
        app.reset();
        Pump(0);
    }
    bool Enabled(unsigned id)
    {
        QAction* a = frame->GetCommandBar()->Action(id);
        frame->GetCommandBar()->UpdateAll();
        return a->isEnabled();
    }

    std::unique_ptr<TestApp_> app;
    TestFrame* frame = nullptr;
    CMultiDocTemplate* tmpl = nullptr;
};

TEST_F(RoutingFixture, CommandGoesToTheFirstTargetOnTheRoute)
{
    ASSERT_NE(tmpl->OpenDocumentFile(nullptr, true), nullptr);
    struct
    {
        unsigned id;
        const char* handler;
    } const cases[] = {
        {100, "view"},  // view before document
        {101, "doc"},   // document before child frame
        {103, "child"}, // child frame before application
        {104, "app"},   // application before main frame, first registration wins
        {105, "frame"}, // main frame last
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.id);
        g_calls.clear();
        EXPECT_TRUE(frame->GetCommandBar()->Execute(c.id));
        ASSERT_EQ(g_calls.size(), 1u);
        EXPECT_EQ(g_calls[0], c.handler);
    }
}

TEST_F(RoutingFixture, UnhandledAndDisabledCommandsAreGreyedAndNotRun)
{
    ASSERT_NE(tmpl->OpenDocumentFile(nullptr, true), nullptr);
    EXPECT_FALSE(Enabled(999));
    EXPECT_FALSE(frame->GetCommandBar()->Execute(999));
    EXPECT_FALSE(Enabled(102));
    EXPECT_FALSE(frame->GetCommandBar()->Execute(102));
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(Enabled(100));
    QAction* check = frame->GetCommandBar()->Action(106);
    frame->GetCommandBar()->UpdateAll();
    EXPECT_TRUE(check->isChecked());
}

TEST_F(RoutingFixture, WithoutDocumentTheViewCommandsAreGreyed)
{
    EXPECT_FALSE(Enabled(100));
    EXPECT_FALSE(Enabled(101));
    EXPECT_TRUE(Enabled(104));
}

TEST_F(RoutingFixture, ExceptionsEndAtTheCommand)
{
    ASSERT_NE(tmpl->OpenDocumentFile(nullptr, true), nullptr);
    CRecordingSink sink;
    for (unsigned id : {110u, 111u, 112u})
        frame->GetCommandBar()->Action(id);
    frame->GetCommandBar()->UpdateAll();
    // The user exception's message was shown before: nothing more.
    frame->GetCommandBar()->Action(110)->trigger();
    EXPECT_TRUE(sink.Texts().empty());
    frame->GetCommandBar()->Action(111)->trigger();
    frame->GetCommandBar()->Action(112)->trigger();
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_EQ(sink.Texts()[0], "disk on fire");
    EXPECT_EQ(sink.Texts()[1], "gone.vlt was not found.");
}

TEST_F(RoutingFixture, MenusFollowWhetherDocumentsAreOpen)
{
    auto* m1 = new QMenu("NoDoc", frame);
    auto* m2 = new QMenu("Doc", frame);
    frame->SetMenus({m1}, {m2});
    EXPECT_EQ(frame->menuBar()->actions().value(0), m1->menuAction());
    CDocument* doc = tmpl->OpenDocumentFile(nullptr, true);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(frame->menuBar()->actions().value(0), m2->menuAction());
    tmpl->CloseDocument(doc);
    EXPECT_EQ(frame->menuBar()->actions().value(0), m1->menuAction());
    EXPECT_EQ(app->GetOpenDocumentCount(), 0);
}

TEST_F(RoutingFixture, ADocumentWithoutAutoDeleteOutlivesItsClose)
{
    static int destroyed;
    destroyed = 0;
    struct Watched : TestDoc
    {
        ~Watched() override { ++destroyed; }
    };
    CMultiDocTemplate watched(
        0, [] { return std::make_unique<Watched>(); }, [] { return new TestChild; },
        [] { return new TestView; });
    watched.SetCommandsFactory(
        [](CDocument* d, CMultiDocTemplate* t) { return std::make_unique<CDocCommands>(d, t); });

    // A hidden document kept by its opener: closing leaves it to the opener.
    CDocument* kept = watched.OpenDocumentFile(nullptr, false);
    ASSERT_NE(kept, nullptr);
    kept->m_bAutoDelete = false;
    watched.CloseDocument(kept);
    Pump(0);
    EXPECT_EQ(destroyed, 0);
    EXPECT_FALSE(watched.OwnsDocument(kept));
    EXPECT_TRUE(kept->GetViews().empty());
    delete kept;
    EXPECT_EQ(destroyed, 1);

    CDocument* owned = watched.OpenDocumentFile(nullptr, false);
    ASSERT_NE(owned, nullptr);
    watched.CloseDocument(owned);
    Pump(0);
    EXPECT_EQ(destroyed, 2);
}

TEST_F(RoutingFixture, ClosingTheLastFrameOfAModifiedDocumentAsksFirst)
{
    CDocument* doc = tmpl->OpenDocumentFile(nullptr, true);
    ASSERT_NE(doc, nullptr);
    doc->SetModifiedFlag(true);
    CRecordingSink sink;
    sink.Answer(IDCANCEL);
    CMDIChildWnd* child = tmpl->GetFrames(doc).front();
    child->close();
    EXPECT_EQ(app->GetOpenDocumentCount(), 1) << "Cancel keeps the document";
    sink.Answer(IDNO);
    child->close();
    EXPECT_EQ(app->GetOpenDocumentCount(), 0);
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_EQ(sink.Texts()[0].rfind("Save changes to ", 0), 0u);
}

// A view that stands in for the frame's view: it takes the route and the
// document's list while shown; the frame's closing reaches both views.
class StandInView : public CView
{
public:
    StandInView()
    {
        OnCommand(100, [] { g_calls.push_back("stand-in"); });
    }
    void OnDestroy() override { g_calls.push_back("stand-in gone"); }
};

TEST_F(RoutingFixture, AStandInViewTakesTheFramesPlaceUntilRestored)
{
    CDocument* doc = tmpl->OpenDocumentFile(nullptr, true);
    ASSERT_NE(doc, nullptr);
    CMDIChildWnd* child = tmpl->GetFrames(doc).front();
    CView* view = child->GetActiveView();
    const QString title = child->windowTitle();
    for (bool restore : {true, false}) {
        SCOPED_TRACE(restore);
        auto* in = new StandInView;
        EXPECT_EQ(child->ShowViewInstead(in, CView::FirstPaneID + 1), view);
        EXPECT_EQ(child->GetActiveView(), in);
        EXPECT_EQ(in->GetDocument(), doc);
        EXPECT_EQ(in->GetParentFrame(), child);
        EXPECT_EQ(doc->GetViews(), (std::vector<IDocView*>{view, in}));
        EXPECT_EQ(view->GetDlgCtrlID(), CView::FirstPaneID + 1);
        EXPECT_EQ(in->GetDlgCtrlID(), CView::FirstPaneID);
        EXPECT_TRUE(view->isHidden());
        EXPECT_EQ(view->parentWidget(), child);
        EXPECT_EQ(child->windowTitle(), title);
        g_calls.clear();
        EXPECT_TRUE(frame->GetCommandBar()->Execute(100));
        EXPECT_EQ(g_calls, std::vector<std::string>{"stand-in"});
        if (restore) {
            QPointer<StandInView> gone(in);
            child->RestoreView(view, in);
            EXPECT_TRUE(gone.isNull());
            EXPECT_EQ(child->GetActiveView(), view);
            EXPECT_EQ(view->GetDlgCtrlID(), CView::FirstPaneID);
            EXPECT_EQ(doc->GetViews(), std::vector<IDocView*>{view});
            EXPECT_EQ(child->GetViews(), std::vector<CView*>{view});
            continue;
        }
        // Closed while the stand-in is shown: both views leave the document.
        g_calls.clear();
        child->close();
        EXPECT_EQ(g_calls, std::vector<std::string>{"stand-in gone"});
        EXPECT_EQ(app->GetOpenDocumentCount(), 0);
    }
}

} // namespace
