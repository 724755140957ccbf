#pragma once
// The frame of every document window. It remembers across runs whether
// document windows were maximised: the last one destroyed decides, and the
// first window opened while no other is active follows it.

#include "framework/ui/MDIChildWnd.h"

class CChildFrame : public CMDIChildWnd
{
    Q_OBJECT
public:
    CChildFrame();

    bool Create(CMDIFrameWnd* mainFrame, CView* view, IChildFrameOwner* owner) override;
    void ActivateFrame() override;

protected:
    void OnDestroy() override;

private:
    bool m_bShowMaximized = false;
};
