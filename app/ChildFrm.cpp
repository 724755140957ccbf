#include "app/ChildFrm.h"

#include "data/Registry.h"
#include "framework/ui/MDIFrameWnd.h"

#include <QIcon>
#include <QStyle>

namespace {

// Every document window shows the one icon. A subwindow keeps a hold on the
// icon it was given after it is gone, so an icon made for each window stayed
// in memory, one per document opened in the session. Made once, never freed:
// its pixmaps must not outlive the application object at exit.
const QIcon& DocumentIcon(const QStyle* style)
{
    static const QIcon* icon = new QIcon(style->standardIcon(QStyle::SP_FileIcon));
    return *icon;
}

} // namespace

CChildFrame::CChildFrame()
{
    setWindowIcon(DocumentIcon(style()));
}

bool CChildFrame::Create(CMDIFrameWnd* mainFrame, CView* view, IChildFrameOwner* owner)
{
    bool hadActive = mainFrame && mainFrame->MDIGetActive() != nullptr;
    if (!CMDIChildWnd::Create(mainFrame, view, owner))
        return false;
    m_bShowMaximized = !hadActive && CRegistry::m_CChildFrame.m_bMaximized != 0;
    return true;
}

void CChildFrame::ActivateFrame()
{
    if (m_bShowMaximized)
        showMaximized();
    CMDIChildWnd::ActivateFrame();
}

void CChildFrame::OnDestroy()
{
    // A window never shown (a data file opened only to read its set-up) says
    // nothing of how the user keeps the document windows.
    if (!isHidden())
        CRegistry::m_CChildFrame.m_bMaximized = isMaximized() ? 1 : 0;
}
