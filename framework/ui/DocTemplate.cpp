#include "framework/ui/DocTemplate.h"

#include "framework/ui/FileDialog.h"
#include "framework/ui/Guard.h"
#include "framework/ui/MDIFrameWnd.h"
#include "framework/ui/Resources.h"
#include "framework/ui/View.h"
#include "framework/ui/WinApp.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <filesystem>

CDocCommands::CDocCommands(CDocument* doc, CMultiDocTemplate* tmpl) : m_pDoc(doc), m_pTemplate(tmpl)
{
    OnCommand(ID_FILE_SAVE, [this] { DoFileSave(); });
    OnCommand(ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    OnCommand(ID_FILE_CLOSE, [this] { OnFileClose(); });
}

bool CDocCommands::DoSave(const std::string& path, bool bReplace)
{
    std::string newName = path;
    if (newName.empty()) {
        SFileDialogRequest rq;
        rq.bOpen = false;
        std::string ext = m_pTemplate->GetDocString(CMultiDocTemplate::filterExt);
        rq.filters << ToQString(m_pTemplate->GetDocString(CMultiDocTemplate::filterName))
                   << QStringLiteral("All Files (*.*)");
        rq.defaultSuffix = ToQString(ext.empty() || ext[0] != '.' ? ext : ext.substr(1));
        SFileDialogResult res;
        if (!GetFileDialogProvider().Run(AfxGetMainWnd(), rq, res, nullptr))
            return false;
        newName = res.paths.front().toStdString();
    }
    bool ok = false;
    SafeInvoke([&] { ok = m_pDoc->OnSaveDocument(newName); });
    if (!ok)
        return false;
    if (bReplace) {
        m_pDoc->SetPathName(newName);
        if (CWinApp* app = AfxGetApp())
            app->AddToRecentFileList(newName);
        m_pTemplate->UpdateFrameTitles(m_pDoc);
    }
    return true;
}

bool CDocCommands::DoFileSave()
{
    const std::string& path = m_pDoc->GetPathName();
    QFileInfo info(QString::fromStdString(path));
    // A new document, or a file we may not write, goes through Save As.
    if (path.empty() || (info.exists() && !info.isWritable()))
        return DoSave(std::string());
    return DoSave(path);
}

bool CDocCommands::SaveModified()
{
    if (!m_pDoc->IsModified())
        return true;
    std::string name = m_pDoc->GetTitle();
    switch (AfxMessageBox(FormatMessageId(AFX_IDP_ASK_TO_SAVE, {name}), MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDCANCEL:
        return false;
    case IDYES:
        return DoFileSave();
    default:
        return true;
    }
}

void CDocCommands::OnFileSaveAs()
{
    DoSave(std::string());
}

void CDocCommands::OnFileClose()
{
    if (!SaveModified())
        return;
    m_pTemplate->CloseDocument(m_pDoc);
}

namespace {

std::vector<std::string> SplitDocString(const std::string& s)
{
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == '\n')
            out.emplace_back();
        else
            out.back().push_back(c);
    }
    return out;
}

} // namespace

CMultiDocTemplate::CMultiDocTemplate(unsigned nIDResource, DocFactory doc, FrameFactory frame,
                                     ViewFactory view)
    : m_nIDResource(nIDResource), m_docStrings(SplitDocString(LoadString(nIDResource))),
      m_docFactory(std::move(doc)), m_frameFactory(std::move(frame)), m_viewFactory(std::move(view)),
      m_commandsFactory(
          [](CDocument* d, CMultiDocTemplate* t) { return std::make_unique<CDocCommands>(d, t); })
{
}

CMultiDocTemplate::~CMultiDocTemplate()
{
    // Frames belong to Qt; documents go with the template.
    for (auto& e : m_entries)
        for (CMDIChildWnd* f : e->frames)
            for (CView* v : f->GetViews())
                v->m_pDocument = nullptr;
}

std::string CMultiDocTemplate::GetDocString(DocStringIndex index) const
{
    size_t i = size_t(index);
    return i < m_docStrings.size() ? m_docStrings[i] : std::string();
}

CMultiDocTemplate::SEntry* CMultiDocTemplate::Find(const CDocument* doc) const
{
    for (auto& e : m_entries)
        if (e->doc.get() == doc)
            return e.get();
    return nullptr;
}

CMultiDocTemplate::SEntry* CMultiDocTemplate::FindFrame(const CMDIChildWnd* frame) const
{
    for (auto& e : m_entries)
        if (std::find(e->frames.begin(), e->frames.end(), frame) != e->frames.end())
            return e.get();
    return nullptr;
}

void CMultiDocTemplate::RemoveEntry(const CDocument* doc)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](auto& e) { return e->doc.get() == doc; });
    if (it == m_entries.end())
        return;
    // The entry may be running the command that closes it (File Close): it
    // is destroyed once the event loop is back.
    std::shared_ptr<SEntry> gone(std::move(*it));
    m_entries.erase(it);
    if (gone->doc && !gone->doc->m_bAutoDelete)
        (void)gone->doc.release(); // the caller that cleared the flag owns it
    QTimer::singleShot(0, [gone] {});
}

namespace {

// A document keeps its full path: a name relative to the folder the program
// was started in would name another file, or none, in the recent-file list of
// the next run.
std::string FullPath(const char* path)
{
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ec ? std::string(path) : full.lexically_normal().string();
}

} // namespace

CDocument* CMultiDocTemplate::OpenDocumentFile(const char* pathArg, bool bMakeVisible)
{
    const std::string fullPath = pathArg ? FullPath(pathArg) : std::string();
    const char* path = pathArg ? fullPath.c_str() : nullptr;
    auto entry = std::make_unique<SEntry>();
    entry->doc = m_docFactory();
    if (!entry->doc) {
        AfxMessageBox(AFX_IDP_FAILED_TO_OPEN_DOC, MB_OK | MB_ICONERROR);
        return nullptr;
    }
    CDocument* doc = entry->doc.get();
    doc->SetDocTemplate(this);
    entry->commands = m_commandsFactory(doc, this);
    m_entries.push_back(std::move(entry));

    CMDIChildWnd* frame = CreateNewFrame(doc);
    if (!frame) {
        AfxMessageBox(AFX_IDP_FAILED_TO_OPEN_DOC, MB_OK | MB_ICONERROR);
        RemoveEntry(doc);
        return nullptr;
    }
    bool ok = false;
    if (!path) {
        doc->SetTitle(GetDocString(docName) + std::to_string(++m_nUntitledCount));
        SafeInvoke([&] { ok = doc->OnNewDocument(); });
    } else {
        SafeInvoke([&] { ok = doc->OnOpenDocument(path); });
    }
    if (!ok) {
        // The document reported its failure; nothing of it stays.
        CloseDocument(doc);
        return nullptr;
    }
    if (path) {
        doc->SetPathName(path);
        doc->SetModifiedFlag(false);
        if (CWinApp* app = AfxGetApp())
            app->AddToRecentFileList(path);
    }
    InitialUpdateFrame(frame, doc, bMakeVisible);
    return doc;
}

CMDIChildWnd* CMultiDocTemplate::CreateNewFrame(CDocument* doc)
{
    SEntry* e = Find(doc);
    CMDIFrameWnd* main = AfxGetMainWnd();
    if (!e || !main)
        return nullptr;
    CMDIChildWnd* frame = m_frameFactory();
    CView* view = m_viewFactory();
    if (!frame || !view) {
        delete frame;
        delete view;
        return nullptr;
    }
    view->m_pDocument = doc;
    doc->AddView(view);
    if (!frame->Create(main, view, this)) {
        doc->RemoveView(view);
        view->m_pDocument = nullptr;
        delete frame; // owns the view
        return nullptr;
    }
    e->frames.push_back(frame);
    return frame;
}

void CMultiDocTemplate::InitialUpdateFrame(CMDIChildWnd* frame, CDocument* doc, bool bMakeVisible)
{
    UpdateFrameTitles(doc);
    if (CView* v = frame->GetActiveView())
        SafeInvoke([&] { v->OnInitialUpdate(); });
    if (bMakeVisible)
        frame->ActivateFrame();
}

std::vector<CDocument*> CMultiDocTemplate::GetDocuments() const
{
    std::vector<CDocument*> out;
    for (auto& e : m_entries)
        out.push_back(e->doc.get());
    return out;
}

std::vector<CMDIChildWnd*> CMultiDocTemplate::GetFrames(const CDocument* doc) const
{
    SEntry* e = Find(doc);
    return e ? e->frames : std::vector<CMDIChildWnd*>();
}

CDocCommands* CMultiDocTemplate::GetCommands(const CDocument* doc) const
{
    SEntry* e = Find(doc);
    return e ? e->commands.get() : nullptr;
}

bool CMultiDocTemplate::OwnsDocument(const CDocument* doc) const
{
    return Find(doc) != nullptr;
}

bool CMultiDocTemplate::SaveAllModified()
{
    for (CDocument* d : GetDocuments())
        if (SEntry* e = Find(d); e && !e->commands->SaveModified())
            return false;
    return true;
}

void CMultiDocTemplate::CloseAllDocuments(bool)
{
    for (CDocument* d : GetDocuments())
        CloseDocument(d);
}

void CMultiDocTemplate::CloseDocument(CDocument* doc)
{
    SEntry* e = Find(doc);
    if (!e)
        return;
    e->closing = true;
    std::vector<CMDIChildWnd*> frames = e->frames;
    for (CMDIChildWnd* f : frames)
        f->DestroyWindow();
    RemoveEntry(doc);
}

void CMultiDocTemplate::UpdateFrameTitles(CDocument* doc)
{
    SEntry* e = Find(doc);
    if (!e)
        return;
    QString title = ToQString(doc->GetTitle());
    for (size_t i = 0; i < e->frames.size(); ++i)
        e->frames[i]->setWindowTitle(e->frames.size() > 1 ? QStringLiteral("%1:%2").arg(title).arg(i + 1)
                                                          : title);
}

CCmdTarget* CMultiDocTemplate::GetDocCmdTarget(CMDIChildWnd* frame)
{
    SEntry* e = FindFrame(frame);
    return e ? e->commands.get() : nullptr;
}

bool CMultiDocTemplate::CanCloseFrame(CMDIChildWnd* frame)
{
    SEntry* e = FindFrame(frame);
    if (!e || e->closing || e->frames.size() > 1)
        return true;
    return e->commands->SaveModified();
}

void CMultiDocTemplate::OnFrameDestroyed(CMDIChildWnd* frame)
{
    SEntry* e = FindFrame(frame);
    if (!e)
        return;
    for (CView* v : frame->GetViews())
        if (v->m_pDocument == e->doc.get()) {
            e->doc->RemoveView(v);
            v->m_pDocument = nullptr;
        }
    std::erase(e->frames, frame);
    if (e->frames.empty() && !e->closing)
        RemoveEntry(e->doc.get());
    else
        UpdateFrameTitles(e->doc.get());
}
