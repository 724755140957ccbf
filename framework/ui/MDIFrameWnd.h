#pragma once
// The main window of a multiple-document program: menus, toolbars, status
// bar and the MDI client that holds the document windows (CMDIChildWnd).
//
// Commands are offered in order to the active view, its document, the active
// child frame, the application and last the main frame itself.

#include "framework/ui/AppMessage.h"
#include "framework/ui/CmdTarget.h"

#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QStringList>

class QMdiArea;
class QMenu;
class CCommandBar;
class CMDIChildWnd;

class CMDIFrameWnd : public QMainWindow, public CCmdTarget, public IAppMessageHandler
{
    Q_OBJECT
public:
    CMDIFrameWnd();
    ~CMDIFrameWnd() override;

    // PreCreateWindow, then OnCreate; false when either refuses.
    bool LoadFrame();
    // Runs OnDestroy once and deletes the window later.
    void DestroyWindow();
    bool IsDestroyed() const { return m_bDestroyed; }

    QMdiArea* GetMDIClient() const { return m_pMDIClient; }
    CMDIChildWnd* MDIGetActive() const;
    QList<CMDIChildWnd*> GetChildFrames() const;
    CCommandBar* GetCommandBar() const { return m_pCommands; }

    bool RouteCommand(unsigned id, CCmdUI* pUI);

    // The menus shown while no document window is open and while one is.
    void SetMenus(const QList<QMenu*>& noDocument, const QList<QMenu*>& withDocuments);
    void UpdateMenuBar();

    void DragAcceptFiles(bool bAccept = true) { setAcceptDrops(bAccept); }

    // The frame's own title; the active document's title is added to it.
    void SetTitle(const QString& title);
    void OnUpdateFrameTitle();

    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // Window timers: an id of 0 means the timer could not be started.
    int SetTimer(int milliseconds);
    void KillTimer(int id);

protected:
    // geometry: the window's first place; leave it empty for the system's choice.
    virtual bool PreCreateWindow(QRect& geometry);
    // 0 on success, -1 makes LoadFrame fail.
    virtual int OnCreate();
    // Default: asks to save modified documents, closes them, destroys the frame.
    virtual void OnClose();
    // The window is still on screen here: read its placement.
    virtual void OnDestroy();
    virtual void OnTimer(int id);
    // Files dropped on the frame; default opens each through the application.
    virtual void OnDropFiles(const QStringList& paths);

    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    QMdiArea* m_pMDIClient;
    CCommandBar* m_pCommands;
    QString m_strTitle;
    QList<QMenu*> m_menusNoDoc;
    QList<QMenu*> m_menusDoc;
    bool m_bShowingDocMenus = false;
    bool m_bMenusSet = false;
    bool m_bDestroyed = false;
    bool m_bClosing = false;
};
