#pragma once
// A document window inside the main frame's MDI client. It holds one view.
// Its owner (the document template) decides whether it may close (saving
// the document first) and is told when it has gone.

#include "framework/ui/CmdTarget.h"

#include <QMdiSubWindow>
#include <vector>

class CView;
class CMDIChildWnd;
class CMDIFrameWnd;

class IChildFrameOwner
{
public:
    virtual ~IChildFrameOwner() = default;
    // The command target of the frame's document (may be null).
    virtual CCmdTarget* GetDocCmdTarget(CMDIChildWnd* frame) = 0;
    // Asked before the frame closes; false keeps it open.
    virtual bool CanCloseFrame(CMDIChildWnd* frame) = 0;
    // The frame is being destroyed.
    virtual void OnFrameDestroyed(CMDIChildWnd* frame) = 0;
};

class CMDIChildWnd : public QMdiSubWindow, public CCmdTarget
{
    Q_OBJECT
public:
    CMDIChildWnd();
    ~CMDIChildWnd() override;

    // Adds the frame to the main frame's MDI client with the view inside.
    virtual bool Create(CMDIFrameWnd* mainFrame, CView* view, IChildFrameOwner* owner);
    // Runs OnDestroy once, tells the owner and deletes the window later.
    void DestroyWindow();

    CView* GetActiveView() const { return m_pView; }
    // The active view first, then any it stands in for.
    std::vector<CView*> GetViews() const;

    // pView takes the active view's place in the frame: it gets the first
    // pane's id, joins the frame's document and becomes the active view. The
    // view it replaces gets idOld and stays, hidden, in the frame and the
    // document. Returns that view.
    CView* ShowViewInstead(CView* pView, unsigned idOld);
    // The reverse: pBack (a view of this frame) is laid out and active again;
    // pStandIn leaves the document and is deleted.
    void RestoreView(CView* pBack, CView* pStandIn);
    CMDIFrameWnd* GetMDIFrame() const { return m_pMainFrame; }
    IChildFrameOwner* GetOwner() const { return m_pOwner; }

    bool RouteCommand(unsigned id, CCmdUI* pUI);
    // Shows the frame and makes it the active document window.
    virtual void ActivateFrame();

protected:
    virtual bool PreCreateWindow() { return true; }
    // Still on screen here: read the window state.
    virtual void OnDestroy() {}
    void closeEvent(QCloseEvent* e) override;
    // A new document name or window state reaches the main window's title at once.
    void changeEvent(QEvent* e) override;

private:
    void LayOutView(CView* pView);
    CView* m_pView = nullptr;
    CMDIFrameWnd* m_pMainFrame = nullptr;
    IChildFrameOwner* m_pOwner = nullptr;
    bool m_bDestroyed = false;
};
