#include "framework/ui/MDIChildWnd.h"

#include "framework/ui/Guard.h"
#include "framework/ui/MDIFrameWnd.h"
#include "framework/ui/View.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <algorithm>

CMDIChildWnd::CMDIChildWnd()
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

CMDIChildWnd::~CMDIChildWnd() = default;

bool CMDIChildWnd::Create(CMDIFrameWnd* mainFrame, CView* view, IChildFrameOwner* owner)
{
    m_pMainFrame = mainFrame;
    m_pOwner = owner;
    if (!PreCreateWindow())
        return false;
    m_pView = view;
    setWidget(view);
    view->m_pFrame = this;
    QMdiArea* area = mainFrame->GetMDIClient();
    area->addSubWindow(this);
    // A new document window takes two thirds of the client, cascaded from
    // the last one, rather than the tiny default size.
    QSize client = area->viewport()->size();
    if (client.width() > 200 && client.height() > 150) {
        QSize size(client.width() * 2 / 3, client.height() * 2 / 3);
        resize(size);
        int step = std::max(fontMetrics().height() + 8, 20);
        int room =
            std::max(1, std::min(client.width() - size.width(), client.height() - size.height()) / step + 1);
        int k = int(area->subWindowList().size() - 1) % room;
        move(k * step, k * step);
    }
    mainFrame->UpdateMenuBar();
    return true;
}

void CMDIChildWnd::DestroyWindow()
{
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    setProperty("veltraneClosing", true);
    SafeInvoke([&] { OnDestroy(); });
    if (m_pView)
        SafeInvoke([&] { m_pView->OnDestroy(); });
    if (m_pOwner)
        SafeInvoke([&] { m_pOwner->OnFrameDestroyed(this); });
    hide();
    if (m_pMainFrame && m_pMainFrame->GetMDIClient())
        m_pMainFrame->GetMDIClient()->removeSubWindow(this);
    if (m_pMainFrame) {
        m_pMainFrame->UpdateMenuBar();
        m_pMainFrame->OnUpdateFrameTitle();
    }
    deleteLater();
}

void CMDIChildWnd::ActivateFrame()
{
    show();
    if (m_pMainFrame) {
        m_pMainFrame->GetMDIClient()->setActiveSubWindow(this);
        m_pMainFrame->UpdateMenuBar();
    }
    if (m_pView)
        m_pView->setFocus();
}

bool CMDIChildWnd::RouteCommand(unsigned id, CCmdUI* pUI)
{
    if (m_pView && m_pView->OnCmdMsg(id, pUI))
        return true;
    if (m_pOwner)
        if (CCmdTarget* doc = m_pOwner->GetDocCmdTarget(this); doc && doc->OnCmdMsg(id, pUI))
            return true;
    return OnCmdMsg(id, pUI);
}

void CMDIChildWnd::changeEvent(QEvent* e)
{
    QMdiSubWindow::changeEvent(e);
    const bool titleOrState =
        e->type() == QEvent::WindowTitleChange || e->type() == QEvent::WindowStateChange;
    if (titleOrState && m_pMainFrame && !m_bDestroyed && m_pMainFrame->MDIGetActive() == this)
        m_pMainFrame->OnUpdateFrameTitle();
}

void CMDIChildWnd::closeEvent(QCloseEvent* e)
{
    e->ignore();
    if (m_bDestroyed)
        return;
    bool ok = !m_pOwner;
    if (m_pOwner)
        SafeInvoke([&] { ok = m_pOwner->CanCloseFrame(this); });
    if (ok)
        DestroyWindow();
}
