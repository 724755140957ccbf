#pragma once
// Drives the real application object on the offscreen platform, with its
// settings in a temporary folder, its message boxes recorded and its file
// dialogs answered by the test.

#include "TestSupport.h"

#include "../data/doc_file_builder.h"
#include "app/AppHooks.h"
#include "app/MainFrm.h"
#include "app/ShellOpen.h"
#include "app/Veltrane.h"
#include "data/Registry.h"
#include "framework/ui/CommandBar.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/MDIChildWnd.h"
#include "platform/Strings.h"

#include <QAction>
#include <QFile>
#include <gtest/gtest.h>

struct RegistryTestPeer
{
    static void Reset() { CRegistry::ResetDefaults(); }
};

class AppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        RegistryTestPeer::Reset();
        AppHooks() = SAppHooks();
        static int n = 0;
        CShellOpenServer::SetServerName(QStringLiteral("veltrane-test-%1-%2").arg(getpid()).arg(++n));
    }
    void TearDown() override { Stop(); }

    void Start()
    {
        app = std::make_unique<CVeltrane>();
        ASSERT_TRUE(app->InitInstance());
        frame = app->GetMainFrame();
        ASSERT_NE(frame, nullptr);
    }
    void Stop()
    {
        if (!app)
            return;
        if (frame && !frame->IsDestroyed()) {
            app->CloseAllDocuments(true);
            frame->DestroyWindow();
        }
        Pump(0);
        app->ExitInstance();
        app.reset();
        frame = nullptr;
        Pump(0);
        AppHooks() = SAppHooks();
    }

    bool Execute(unsigned id) { return frame->GetCommandBar()->Execute(id); }
    QAction* Action(unsigned id)
    {
        QAction* a = frame->GetCommandBar()->Action(id);
        frame->GetCommandBar()->UpdateAll();
        return a;
    }

    // One window each for data documents of the given names, in the order
    // opened; empty (with a test failure) when one does not open.
    QList<CMDIChildWnd*> OpenDataWindows(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            if (!app->OpenDocumentFile(WriteDataFile(name, 0x102).toStdString().c_str())) {
                ADD_FAILURE() << name << " did not open";
                return {};
            }
        Pump(0);
        return frame->GetChildFrames();
    }

    // A data file of the given experiment type with one position and one region.
    QString WriteDataFile(const QString& name, int32_t expType, int32_t technique = 2,
                          const char* progName = "Veltrane")
    {
        CDataFileBuilder b;
        b.Header(0, progName).Experiment(expType, technique).Source().IonGun();
        CDataFileBuilder::SPosnHead head;
        size_t at = b.BeginPosn(head, 1);
        b.SpecRgn(5, 1).Count(0);
        b.EndPosn(at);
        b.End();
        return WriteBytes(name, b.m_bytes);
    }
    QString WriteBytes(const QString& name, const std::vector<uint8_t>& bytes)
    {
        QString path = settings.Path(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path;
    }
    // Opens a data file made of bytes; its first view as V (null, with a
    // failure, when it is none), the view's frame resized to w x h.
    template <class V> V* OpenView(const QString& name, const std::vector<uint8_t>& bytes, int w, int h)
    {
        CDocument* doc = app->OpenDocumentFile(WriteBytes(name, bytes).toStdString().c_str());
        EXPECT_NE(doc, nullptr);
        V* view = doc && !doc->GetViews().empty() ? dynamic_cast<V*>(doc->GetViews().front()) : nullptr;
        EXPECT_NE(view, nullptr);
        if (view && view->GetParentFrame())
            view->GetParentFrame()->resize(w, h);
        Pump(20);
        return view;
    }
    int DocCount(CMultiDocTemplate* t) const { return int(t->GetDocuments().size()); }
    std::string Text(unsigned id) const { return LoadString(id); }

    CTempSettings settings;
    CRecordingSink sink;
    CScriptedFileDialog dialogs;
    std::unique_ptr<CVeltrane> app;
    CMainFrame* frame = nullptr;
};
