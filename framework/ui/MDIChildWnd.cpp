#include "framework/ui/MDIChildWnd.h"

#include "framework/ui/Guard.h"
#include "framework/ui/MDIFrameWnd.h"
#include "framework/ui/View.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QPointer>
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
    // Every view of the frame, also one another view stands in for; one
    // view's OnDestroy may take a stand-in away.
    std::vector<QPointer<CView>> views;
    for (CView* v : GetViews())
        views.emplace_back(v);
    for (const QPointer<CView>& v : views)
        if (v)
            SafeInvoke([&] { v->OnDestroy(); });
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

std::vector<CView*> CMDIChildWnd::GetViews() const
{
    std::vector<CView*> views;
    if (m_pView)
        views.push_back(m_pView);
    for (CView* v : findChildren<CView*>(Qt::FindDirectChildrenOnly))
        if (v != m_pView)
            views.push_back(v);
    return views;
}

void CMDIChildWnd::LayOutView(CView* pView)
{
    // The frame shows one view; the one it shows no more stays its hidden
    // child (setWidget would orphan it) and keeps the frame's title and size.
    const QString title = windowTitle();
    const QSize size = this->size();
    CView* old = m_pView;
    pView->SetDlgCtrlID(CView::FirstPaneID);
    pView->m_pFrame = this;
    setWidget(pView);
    if (old && old != pView) {
        old->setParent(this);
        old->hide();
    }
    pView->show();
    m_pView = pView;
    setWindowTitle(title);
    if (!isMaximized() && !isMinimized())
        resize(size);
    if (m_pMainFrame && m_pMainFrame->MDIGetActive() == this)
        pView->setFocus();
}

CView* CMDIChildWnd::ShowViewInstead(CView* pView, unsigned idOld)
{
    CView* old = m_pView;
    if (!pView || pView == old)
        return nullptr;
    if (old)
        old->SetDlgCtrlID(idOld);
    if (CDocument* doc = old ? old->m_pDocument : nullptr; doc && pView->m_pDocument != doc) {
        pView->m_pDocument = doc;
        doc->AddView(pView);
    }
    LayOutView(pView);
    return old;
}

void CMDIChildWnd::RestoreView(CView* pBack, CView* pStandIn)
{
    if (pBack && pBack != m_pView && pBack->parentWidget() == this)
        LayOutView(pBack);
    if (!pStandIn || pStandIn == m_pView)
        return;
    if (pStandIn->m_pDocument) {
        pStandIn->m_pDocument->RemoveView(pStandIn);
        pStandIn->m_pDocument = nullptr;
    }
    pStandIn->m_pFrame = nullptr;
    delete pStandIn;
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
