#include "app/Veltrane.h"

#include "app/AboutDlg.h"
#include "app/AppHooks.h"
#include "app/ChildFrm.h"
#include "app/DocCommands.h"
#include "app/EndSignals.h"
#include "app/ImageView.h"
#include "app/MainFrm.h"
#include "app/Options.h"
#include "app/ProfileView.h"
#include "app/ShellOpen.h"
#include "app/SpecView.h"
#include "data/Registry.h"
#include "data/Utility.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportReaders.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/FileDialog.h"
#include "framework/ui/Guard.h"
#include "framework/ui/Resources.h"
#include "instrument/ASCU.h"
#include "instrument/Acquire.h"
#include "instrument/DAU.h"
#include "instrument/ui/InstrumentStartup.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "res/resource.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

CMultiDocTemplate* CVeltrane::m_pSpecViewTemplate = nullptr;
CMultiDocTemplate* CVeltrane::m_pProfileViewTemplate = nullptr;
CMultiDocTemplate* CVeltrane::m_pImageViewTemplate = nullptr;
std::function<CView*()> CVeltrane::s_makeSpecView = [] { return new CSpecView; };
std::function<CView*()> CVeltrane::s_makeProfileView = [] { return new CProfileView; };
std::function<CView*()> CVeltrane::s_makeImageView = [] { return new CImageView; };

SAppHooks& AppHooks()
{
    static SAppHooks hooks;
    return hooks;
}

namespace {

enum : unsigned
{
    IDS_COMPANY = 1024,
    IDP_FILE_DIALOG_ERROR = 2064,
    IDP_UNEXPECTED_EOF = 2065,
    IDP_UNSUPPORTED_FORMAT = 2066,
    FilterDescriptionOffset = 16,
    OFN_OVERWRITEPROMPT = 0x2,
    OFN_HIDEREADONLY = 0x4,
    OFN_ALLOWMULTISELECT = 0x200,
    OFN_FILEMUSTEXIST = 0x1000,
    MultiSelectLimit = 16384,
};

std::string FileName(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Keeps the remembered maximised state of document windows aside while a
// document opens, and puts it back on every way out.
class CMaximizedGuard
{
public:
    explicit CMaximizedGuard(bool bMakeVisible) : m_saved(CRegistry::m_CChildFrame.m_bMaximized)
    {
        if (!bMakeVisible)
            CRegistry::m_CChildFrame.m_bMaximized = 0;
    }
    ~CMaximizedGuard() { CRegistry::m_CChildFrame.m_bMaximized = m_saved; }
    CMaximizedGuard(const CMaximizedGuard&) = delete;
    CMaximizedGuard& operator=(const CMaximizedGuard&) = delete;

private:
    int32_t m_saved;
};

std::unique_ptr<CMultiDocTemplate> MakeTemplate(std::function<CView*()>& makeView)
{
    auto t = std::make_unique<CMultiDocTemplate>(
        IDR_VELTRATYPE, [] { return std::make_unique<CVeltraneDoc>(); }, [] { return new CChildFrame; },
        [&makeView] { return makeView(); });
    t->SetCommandsFactory(
        [](CDocument* d, CMultiDocTemplate* tt) { return std::make_unique<CVeltraneDocCommands>(d, tt); });
    return t;
}

std::thread::id g_uiThread;

// Qt ends the process with exit() from inside the event loop when the
// connection to the display breaks (the X server went away), and nothing
// after the loop runs: a running acquisition would keep only what its last
// incremental save wrote. Its document is written out here as the save at
// its end would write it. Only the user-interface thread changes the
// document, and the exit runs on that thread, which is checked.
void SaveRunningAcquisitionAtExit()
{
    if (std::this_thread::get_id() != g_uiThread)
        return;
    CVeltrane* app = CVeltrane::GetApp();
    CAcquire* acq = app ? app->GetAcq() : nullptr;
    CVeltraneDoc* doc = acq ? acq->GetDocument() : nullptr;
    if (!doc || !acq->IsAcquiring(doc) || doc->GetPathName().empty())
        return;
    acq->StopAcquiring(true);
    const std::string error = CAcquire::WriteDocument(*doc, doc->GetPathName());
    if (!error.empty())
        std::fprintf(stderr, "%s\n", error.c_str());
}

} // namespace

CVeltrane::CVeltrane() : m_CurXPSUnits(CRegistry::m_CVeltrane.m_DefaultXPSUnits), m_buffer(BufferLen, 0)
{
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(ID_VIEW_CONFIG, [this] { OnViewConfig(); });
    OnUpdateCommand(ID_VIEW_CONFIG, [](CCmdUI* ui) { ui->Enable(bool(AppHooks().showConfiguration)); });
}

CVeltrane::~CVeltrane()
{
    m_pEndSignals.reset();
    // The records stop reading the instrument before the links go.
    m_pInstruments.reset();
    // The order of the design: serial unit, DAU link, acquisition engine, options.
    m_pASCU.reset();
    m_pDAU.reset();
    m_pAcq.reset();
    m_pAcqHost.reset();
    m_pOptions.reset();
    m_pSpecViewTemplate = m_pProfileViewTemplate = m_pImageViewTemplate = nullptr;
}

bool CVeltrane::IsAcquiring(const CDocument* pDoc)
{
    const CVeltrane* app = GetApp();
    const auto* doc = dynamic_cast<const CVeltraneDoc*>(pDoc);
    return app && doc && app->m_pAcq && app->m_pAcq->IsAcquiring(doc);
}

CVeltrane* CVeltrane::GetApp()
{
    return dynamic_cast<CVeltrane*>(AfxGetApp());
}

CMainFrame* CVeltrane::GetMainFrame() const
{
    return dynamic_cast<CMainFrame*>(m_pMainWnd);
}

bool CVeltrane::InitInstance()
{
    // 1. Controls need no set-up here.
    // 2. The company name keys the profile.
    std::string company;
    if (!TryLoadString(IDS_COMPANY, company) || company.empty())
        company = "Kestrin (UK) Ltd";
    QCoreApplication::setOrganizationName(ToQString(company));
    QCoreApplication::setApplicationName(ToQString(LoadString(AFX_IDS_APP_TITLE)));

    // 3. Four recent files.
    LoadStdProfileSettings(4);

    // 4. The user settings; an unreadable value ends the start (its message is shown).
    int settingsError = 0;
    try {
        CRegistry reg;
        settingsError = reg.Read();
    } catch (...) {
        return false;
    }

    // 5. The templates, in the order the new-document choice lists them.
    {
        auto spec = MakeTemplate(s_makeSpecView);
        m_pSpecViewTemplate = spec.get();
        AddDocTemplate(std::move(spec));
        auto profile = MakeTemplate(s_makeProfileView);
        m_pProfileViewTemplate = profile.get();
        AddDocTemplate(std::move(profile));
        auto image = MakeTemplate(s_makeImageView);
        m_pImageViewTemplate = image.get();
        AddDocTemplate(std::move(image));
    }

    // 6. Links, engine, options sheet (which fixes zero display words).
    m_pASCU = std::make_unique<CASCU>();
    m_pDAU = std::make_unique<CDAU>();
    m_pASCU->SetMonitorWnd(&m_TrafficMonitor);
    m_pDAU->SetMonitorWnd(&m_TrafficMonitor);
    m_pDAU->SetMonitorTimer(&m_MonitorTimer);
    if (AppHooks().createAcquisition)
        AppHooks().createAcquisition(*this);
    g_uiThread = std::this_thread::get_id();
    static const bool atExit = std::atexit(SaveRunningAcquisitionAtExit) == 0;
    (void)atExit;
    m_pOptions = std::make_unique<COptions>();

    // 7. The main frame.
    auto* frame = new CMainFrame;
    m_pMainWnd = frame;
    if (!frame->LoadFrame()) {
        m_pMainWnd = nullptr;
        delete frame;
        return false;
    }

    // 8. Dropped files, and the shell's open request from later starts.
    frame->DragAcceptFiles(true);
    m_pShellServer =
        std::make_unique<CShellOpenServer>([this](const QStringList& paths) { OpenShellRequest(paths); });
    m_pShellServer->Listen();
    // A logout or shutdown (SIGTERM), a closed terminal (SIGHUP) or Ctrl+C
    // ends the event loop, and the exit then aborts a running acquisition and
    // waits for its last save, which the default action of these signals
    // would have cut off. Nobody is there to answer: not quit(), which closes
    // the windows first, and closing asks about the run; and what the exit
    // has to say (how the run ended) goes to the error stream, not a box.
    m_pEndSignals = std::make_unique<CEndSignals>([](int) {
        SetMessageSink(nullptr);
        QCoreApplication::exit(0);
    });

    // 9. No document opens at start; a "--open" request opens its files once
    // the window is up, and a file that fails there does not end the start.
    if (!m_shellOpen.isEmpty()) {
        QStringList paths = m_shellOpen;
        m_shellOpen.clear();
        QTimer::singleShot(0, frame, [this, paths] { OpenShellRequest(paths); });
    }

    // 10. The window, maximised as it was left.
    if (frame->CreateMaximized())
        frame->showMaximized();
    else
        frame->show();

    // 11., 12. Errors of the settings and the peak library wait for the timer.
    if (settingsError)
        frame->DelayedErrorReport(settingsError);
    if (int id = m_PkLib.LoadLibraryA())
        frame->DelayedErrorReport(id);
    // The Norvale and VAMAS readers convert with the peak library.
    RegisterImportReaders(&m_PkLib);

    // 13. The instrument configuration opens the links and queues its errors.
    if (AppHooks().startConfiguration)
        AppHooks().startConfiguration(*this, *frame);

    // 14.
    frame->activateWindow();
    frame->setFocus();
    return true;
}

int CVeltrane::ExitInstance()
{
    // After an end signal the window still stands and has not stored its place.
    if (CMainFrame* f = GetMainFrame())
        f->StoreWindowState();
    if (AppHooks().destroyAcquisition)
        AppHooks().destroyAcquisition(*this);
    m_pShellServer.reset();
    {
        CRegistry reg;
        reg.Write();
    }
    return CWinApp::ExitInstance();
}

void CVeltrane::OpenShellRequest(const QStringList& paths)
{
    if (CMainFrame* f = GetMainFrame()) {
        f->raise();
        f->activateWindow();
    }
    for (const QString& p : paths)
        SafeInvoke([&] { OpenDocumentFile(p.toStdString().c_str()); });
}

bool CVeltrane::SaveAllModified()
{
    // Closing the document being acquired aborts its run, which cannot be
    // taken back: it is asked about once every other document has been, so
    // that a Cancel at any of their questions leaves the run going.
    CDocCommands* last = nullptr;
    for (const auto& t : GetDocTemplates())
        for (CDocument* d : t->GetDocuments()) {
            CDocCommands* commands = t->GetCommands(d);
            if (!commands)
                continue;
            if (IsAcquiring(d) && !last)
                last = commands;
            else if (!commands->SaveModified())
                return false;
        }
    return !last || last->SaveModified();
}

CDocument* CVeltrane::FindAcquiringDocument(const char* path) const
{
    CVeltraneDoc* doc = m_pAcq ? m_pAcq->GetDocument() : nullptr;
    if (!doc || !m_pAcq->IsAcquiring(doc) || doc->GetPathName().empty())
        return nullptr;
    const QString wanted = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
    const QString running = QFileInfo(QString::fromStdString(doc->GetPathName())).canonicalFilePath();
    return !wanted.isEmpty() && wanted == running ? doc : nullptr;
}

CDocument* CVeltrane::OpenDocumentFile(const char* path)
{
    if (!path)
        return nullptr;
    if (CDocument* running = FindAcquiringDocument(path)) {
        // A second document on this file would be a stale copy that could be
        // processed and saved over the file the run is still writing.
        auto* tmpl = dynamic_cast<CMultiDocTemplate*>(running->GetDocTemplate());
        if (tmpl && !tmpl->GetFrames(running).empty())
            tmpl->GetFrames(running).front()->ActivateFrame();
        return running;
    }
    // A folder opens for reading on this system, but is no document; nor is a
    // named pipe, whose opening waits for a writer that may never come, nor a
    // device, which can give bytes without end.
    const QFileInfo info(QString::fromStdString(path));
    if (info.exists() && !info.isFile())
        throw CFileException(CFileException::accessDenied, path);
    {
        CFile file(path, CFile::modeRead);
        if (file.GetLength() == 0) {
            AfxMessageBox(FormatMessageId(IDP_UNEXPECTED_EOF, {FileName(path)}), MB_OK | MB_ICONWARNING);
            return nullptr;
        }
    }
    return OpenDocument(path, true);
}

CDocument* CVeltrane::OpenDocument(const char* path, bool bMakeVisible)
{
    CVeltraneDoc::DocTemplate kind;
    bool ownFormat = false;
    std::string title;
    {
        CFile file(path, CFile::modeRead);
        title = file.GetFileTitle();
        kind = CVeltraneDoc::ClassifyFile(file, &ownFormat);
    }
    CMultiDocTemplate* tmpl = nullptr;
    switch (kind) {
    case CVeltraneDoc::DocTemplate::Spectrum:
        tmpl = m_pSpecViewTemplate;
        break;
    case CVeltraneDoc::DocTemplate::Profile:
        tmpl = m_pProfileViewTemplate;
        break;
    case CVeltraneDoc::DocTemplate::Image:
        tmpl = m_pImageViewTemplate;
        break;
    case CVeltraneDoc::DocTemplate::None:
        return nullptr;
    }
    if (!tmpl)
        return nullptr;
    CMaximizedGuard guard(bMakeVisible);
    CDocument* doc = tmpl->OpenDocumentFile(path, bMakeVisible);
    // An own file that the reader could not take ends, after the reader's
    // report, as any file this program cannot open.
    if (!doc && ownFormat)
        AfxMessageBox(FormatMessageId(IDP_UNSUPPORTED_FORMAT, {title}), MB_OK | MB_ICONERROR);
    return doc;
}

bool CVeltrane::OnFileName(std::string& path, bool bOpen, const unsigned* filterIds, int* pFilterIndex,
                           unsigned flags)
{
    static const unsigned defaults[] = {1041, 1042, 0};
    const unsigned* ids = filterIds ? filterIds : defaults;
    if (!ids[0])
        return false;

    SFileDialogRequest rq;
    rq.bOpen = bOpen;
    rq.defaultSuffix = ToQString(LoadString(ids[0]));
    std::vector<std::string> exts;
    int preselect = 0;
    for (const unsigned* p = ids; *p; ++p) {
        std::string ext = LoadString(*p);
        rq.filters << ToQString(LoadString(*p + FilterDescriptionOffset));
        exts.push_back(ext);
        // Compared over the stored field's 4 bytes; the last match wins.
        if (CRegistry::m_CVeltrane.IsDefaultExt(ext))
            preselect = int(exts.size()) - 1;
    }
    rq.iSelectedFilter = preselect;
    if (flags == 0)
        flags = OFN_HIDEREADONLY | (bOpen ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT);
    rq.bMultiSelect = (flags & OFN_ALLOWMULTISELECT) != 0;
    rq.bFileMustExist = (flags & OFN_FILEMUSTEXIST) != 0;
    rq.bOverwritePrompt = (flags & OFN_OVERWRITEPROMPT) != 0;
    rq.bHideReadOnly = (flags & OFN_HIDEREADONLY) != 0;

    SFileDialogResult res;
    int error = 0;
    if (!GetFileDialogProvider().Run(m_pMainWnd, rq, res, &error) || res.paths.isEmpty()) {
        if (error)
            AfxMessageBox(IDP_FILE_DIALOG_ERROR, MB_OK | MB_ICONERROR);
        return false;
    }
    if (rq.bMultiSelect) {
        // The list form of the result: the folder, then each file name, each
        // ended by a zero byte, then one more zero byte.
        std::string list = QFileInfo(res.paths.front()).absolutePath().toStdString();
        list.push_back('\0');
        for (const QString& p : res.paths) {
            list += QFileInfo(p).fileName().toStdString();
            list.push_back('\0');
        }
        list.push_back('\0');
        if (list.size() > std::min<size_t>(m_buffer.size(), MultiSelectLimit)) {
            AfxMessageBox(IDP_FILE_DIALOG_ERROR, MB_OK | MB_ICONERROR);
            return false;
        }
        std::memcpy(m_buffer.data(), list.data(), list.size());
        path.assign(list);
    } else {
        path = res.paths.front().toStdString();
    }
    int chosen =
        res.iSelectedFilter >= 0 && size_t(res.iSelectedFilter) < exts.size() ? res.iSelectedFilter : 0;
    if (pFilterIndex)
        *pFilterIndex = chosen;
    CRegistry::m_CVeltrane.SetDefaultExt(exts[size_t(chosen)]);
    return true;
}

void CVeltrane::OnFileOpen()
{
    OnFileOpen(nullptr);
}

bool CVeltrane::OnFileOpen(std::string* path)
{
    std::string chosen;
    if (!OnFileName(chosen, true))
        return false;
    if (path) {
        *path = chosen;
        return true;
    }
    return OpenDocumentFile(chosen.c_str()) != nullptr;
}

void CVeltrane::ThrowError(int id, const char* text)
{
    CUtility::ThrowError(id, text);
}

std::string CVeltrane::GetUserNameA() const
{
    return GetUserName();
}

void CVeltrane::OnViewConfig()
{
    if (AppHooks().showConfiguration)
        AppHooks().showConfiguration(m_pMainWnd);
}

void CVeltrane::OnAppAbout()
{
    CAboutDlg dlg(m_pMainWnd);
    dlg.DoModal();
}

CVeltrane::Unit CVeltrane::GetCurrentXPSUnit() const
{
    return m_CurXPSUnits == KE ? KE : BE;
}

CVeltrane::Unit CVeltrane::GetDefaultXPSUnit() const
{
    return static_cast<Unit>(m_CurXPSUnits);
}

void CVeltrane::SetXPSUnit(Unit unit)
{
    m_CurXPSUnits = unit;
}

CVeltrane::Unit CVeltrane::GetCurrentUnit(const CVeltraneDoc* doc) const
{
    switch (doc ? doc->GetTechnique() : 0) {
    case 1:
        return m_CurAESUnits;
    case 2:
        return GetDefaultXPSUnit();
    default:
        return None;
    }
}
