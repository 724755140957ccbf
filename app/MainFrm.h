#pragma once
// The program's main window: menus, the main and the text toolbar, the
// status bar, the queue of errors shown a little after start-up, the traffic
// monitor, the energy unit, the display options and the remembered placement.

#include "framework/ui/MDIFrameWnd.h"

#include <deque>
#include <memory>

class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class CMonitor;
class CVeltraneView;
class CAcquireXPSSheet;
class CAcquireAESSheet;

enum : unsigned
{
    WMAPP_ERRMSG = 0x8052, // first parameter: the id of the message to show
};

class CMainFrame : public CMDIFrameWnd
{
    Q_OBJECT
public:
    static constexpr int ErrorTimerPeriod = 500; // ms

    CMainFrame();
    ~CMainFrame() override;

    // Queues a message id; the 500 ms timer shows the queue in order.
    void DelayedErrorReport(int id);
    const std::deque<int>& GetPendingErrors() const { return m_ilsErrors; }
    bool IsErrorTimerRunning() const { return m_nDelayTimer != 0; }

    // Opens (or shows) the traffic monitor.
    static void OpenMonitor(bool bShow);
    static CMonitor* m_pMonitor;

    bool CreateMaximized() const;
    // Takes the window's place and the document windows' maximised mode into
    // the settings records, as closing the window does; for an exit that
    // leaves the window standing (a logout or other end signal).
    void StoreWindowState();

    QToolBar* GetToolBar() const { return m_pToolBar; }
    QToolBar* GetDispBar() const { return m_pDispBar; }
    QToolButton* GetDispButton(unsigned id) const;
    QMenu* GetNoDocumentMenu(int i) const { return m_menu128.value(i); }
    const QList<QMenu*>& GetMenus128() const { return m_menu128; }
    const QList<QMenu*>& GetMenus129() const { return m_menu129; }

    intptr_t OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    void OnViewUnits(unsigned id);

    // Acquire > XPS...: the modeless XPS sheet, made on first use and only
    // hidden by its Close.
    CAcquireXPSSheet* ShowXPSSheet();
    CAcquireXPSSheet* GetXPSSheet() const { return m_pXPSSheet.get(); }
    // Acquire > AES...: the same for the AES sheet.
    CAcquireAESSheet* ShowAESSheet();
    CAcquireAESSheet* GetAESSheet() const { return m_pAESSheet.get(); }

protected:
    bool PreCreateWindow(QRect& geometry) override;
    int OnCreate() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnTimer(int id) override;

private:
    void StorePlacement();
    void BuildMenus();
    bool BuildToolBars();
    bool BuildStatusBar();
    void OnUpdateViewUnits(CCmdUI* pUI);
    bool AnyXPSDocument() const;
    CVeltraneView* ActiveVeltraneView() const;

    std::deque<int> m_ilsErrors;
    int m_nDelayTimer = 0;
    bool m_bShowingErrors = false;
    QToolBar* m_pToolBar = nullptr;
    QToolBar* m_pDispBar = nullptr;
    QList<QMenu*> m_menu128;
    QList<QMenu*> m_menu129;
    QLabel* m_pIndicators[3] = {};
    std::unique_ptr<CAcquireXPSSheet> m_pXPSSheet;
    std::unique_ptr<CAcquireAESSheet> m_pAESSheet;

    void ConnectAcquisitionHost();
};
