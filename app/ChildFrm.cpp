#include "app/ChildFrm.h"

#include "data/Registry.h"
#include "framework/ui/MDIFrameWnd.h"

#include <QIcon>
#include <QStyle>

CChildFrame::CChildFrame()
{
    setWindowIcon(style()->standardIcon(QStyle::SP_FileIcon));
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
    CRegistry::m_CChildFrame.m_bMaximized = isMaximized() ? 1 : 0;
}
