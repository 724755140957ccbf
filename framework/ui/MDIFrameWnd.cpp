#include "framework/ui/MDIFrameWnd.h"

#include "framework/ui/CommandBar.h"
#include "framework/ui/Guard.h"
#include "framework/ui/MDIChildWnd.h"
#include "framework/ui/ScreenFit.h"
#include "framework/ui/WinApp.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSysInfo>
#include <QTimerEvent>
#include <QUrl>

CMDIFrameWnd::CMDIFrameWnd()
    : m_pMDIClient(new QMdiArea(this)),
      m_pCommands(new CCommandBar(this, [this](unsigned id, CCmdUI* ui) { return RouteCommand(id, ui); }))
{
    m_pMDIClient->setObjectName(QStringLiteral("MDIClient"));
    m_pMDIClient->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMDIClient->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_pMDIClient);
    connect(m_pMDIClient, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) {
        SafeInvoke([&] {
            UpdateMenuBar();
            OnUpdateFrameTitle();
            m_pCommands->UpdateAll();
        });
    });
}

CMDIFrameWnd::~CMDIFrameWnd() = default;

void CMDIFrameWnd::SetTitle(const QString& title)
{
    m_strTitle = title;
    OnUpdateFrameTitle();
}

void CMDIFrameWnd::OnUpdateFrameTitle()
{
    CMDIChildWnd* child = MDIGetActive();
    // A maximised document window shows as " - [name]"; the toolkit adds that
    // to the title it saw last unless the title has it already, so the title
    // is always set whole here.
    if (child && child->isVisible() && !child->windowTitle().isEmpty())
        setWindowTitle(QString::fromLatin1(child->isMaximized() ? "%1 - [%2]" : "%1 - %2")
                           .arg(m_strTitle, child->windowTitle()));
    else
        setWindowTitle(m_strTitle);
}

bool CMDIFrameWnd::LoadFrame()
{
    QRect geometry;
    bool ok = false;
    SafeInvoke([&] { ok = PreCreateWindow(geometry); });
    if (!ok)
        return false;
    if (!geometry.isEmpty())
        setGeometry(FitOnAttachedScreens(geometry));
    int created = -1;
    SafeInvoke([&] { created = OnCreate(); });
    return created == 0;
}

bool CMDIFrameWnd::PreCreateWindow(QRect&)
{
    return true;
}

int CMDIFrameWnd::OnCreate()
{
    return 0;
}

void CMDIFrameWnd::DestroyWindow()
{
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    SafeInvoke([&] { OnDestroy(); });
    for (CMDIChildWnd* child : GetChildFrames())
        child->DestroyWindow();
    hide();
    // The main window gone ends the program's event loop.
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        QCoreApplication::quit();
    }
    deleteLater();
}

void CMDIFrameWnd::OnDestroy() {}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive() const
{
    QMdiSubWindow* sub = m_pMDIClient->activeSubWindow();
    if (!sub) {
        // With the frame inactive, Qt reports no active window; the last one stays current.
        sub = m_pMDIClient->currentSubWindow();
    }
    return qobject_cast<CMDIChildWnd*>(sub);
}

QList<CMDIChildWnd*> CMDIFrameWnd::GetChildFrames() const
{
    QList<CMDIChildWnd*> out;
    for (QMdiSubWindow* sub : m_pMDIClient->subWindowList(QMdiArea::CreationOrder))
        if (auto* c = qobject_cast<CMDIChildWnd*>(sub))
            out.append(c);
    return out;
}

bool CMDIFrameWnd::RouteCommand(unsigned id, CCmdUI* pUI)
{
    if (CMDIChildWnd* child = MDIGetActive(); child && child->RouteCommand(id, pUI))
        return true;
    if (CWinApp* app = AfxGetApp(); app && app->OnCmdMsg(id, pUI))
        return true;
    return OnCmdMsg(id, pUI);
}

void CMDIFrameWnd::SetMenus(const QList<QMenu*>& noDocument, const QList<QMenu*>& withDocuments)
{
    m_menusNoDoc = noDocument;
    m_menusDoc = withDocuments;
    m_bMenusSet = false;
    for (QMenu* m : noDocument + withDocuments) {
        if (m->property("veltraneRouted").toBool())
            continue;
        m->setProperty("veltraneRouted", true);
        connect(m, &QMenu::aboutToShow, this, [this, m] { SafeInvoke([&] { m_pCommands->UpdateMenu(m); }); });
    }
    UpdateMenuBar();
}

void CMDIFrameWnd::UpdateMenuBar()
{
    bool docs = false;
    // Documents opened without a window (hidden frames) do not count.
    for (CMDIChildWnd* c : GetChildFrames())
        if (!c->property("veltraneClosing").toBool() && !c->isHidden())
            docs = true;
    if (m_bMenusSet && docs == m_bShowingDocMenus)
        return;
    m_bMenusSet = true;
    m_bShowingDocMenus = docs;
    QMenuBar* bar = menuBar();
    bar->clear();
    for (QMenu* m : docs ? m_menusDoc : m_menusNoDoc)
        bar->addMenu(m);
}

intptr_t CMDIFrameWnd::OnAppMessage(unsigned, uintptr_t, intptr_t)
{
    return 0;
}

int CMDIFrameWnd::SetTimer(int milliseconds)
{
    return startTimer(milliseconds);
}

void CMDIFrameWnd::KillTimer(int id)
{
    if (id)
        killTimer(id);
}

void CMDIFrameWnd::OnTimer(int) {}

void CMDIFrameWnd::timerEvent(QTimerEvent* e)
{
    SafeInvoke([&] { OnTimer(e->timerId()); });
}

void CMDIFrameWnd::OnClose()
{
    CWinApp* app = AfxGetApp();
    if (app && !app->SaveAllModified())
        return;
    if (app)
        app->CloseAllDocuments(false);
    DestroyWindow();
}

void CMDIFrameWnd::closeEvent(QCloseEvent* e)
{
    // The frame goes through DestroyWindow, never through Qt's own close.
    e->ignore();
    if (m_bDestroyed || m_bClosing)
        return;
    m_bClosing = true;
    SafeInvoke([&] { OnClose(); });
    m_bClosing = false;
}

void CMDIFrameWnd::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void CMDIFrameWnd::dropEvent(QDropEvent* e)
{
    QStringList paths;
    for (QUrl url : e->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        // Some sources name this machine in the address (file://localhost/...,
        // file://<host name>/...): the file is still the local one, not a
        // network share.
        const QString host = url.host();
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
            host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0)
            url.setHost(QString());
        paths.append(url.toLocalFile());
    }
    if (paths.isEmpty())
        return;
    e->acceptProposedAction();
    activateWindow();
    SafeInvoke([&] { OnDropFiles(paths); });
}

void CMDIFrameWnd::OnDropFiles(const QStringList& paths)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    // Each file on its own: one that fails does not stop the others.
    for (const QString& p : paths)
        SafeInvoke([&] { app->OpenDocumentFile(p.toStdString().c_str()); });
}
