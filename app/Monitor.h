#pragma once
// The traffic monitor: a modeless window listing every command and reply
// exchanged with the two instrument units. The links append to a
// CTrafficMonitor list (from any thread); the window only reads that list on
// its own thread, so closing it while a worker logs is safe and logging
// never waits for the user interface.

#include "framework/ui/Dialog.h"

#include <atomic>

class QListWidget;
class CTrafficMonitor;

class CMonitor : public CDialog
{
    Q_OBJECT
public:
    // ownerSlot: cleared when the window has gone (the main frame's pointer).
    CMonitor(CMonitor** ownerSlot, CTrafficMonitor* traffic, QWidget* parent = nullptr);
    ~CMonitor() override;

    QListWidget* GetList() const { return m_pList; }
    // Reads new lines from the traffic list (on the user-interface thread).
    void Refresh();

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}

private:
    void Destroy();
    class CLineDelegate;
    CLineDelegate* m_pDelegate = nullptr;
    CMonitor** m_pOwnerSlot;
    CTrafficMonitor* m_pTraffic;
    QListWidget* m_pList;
    unsigned long long m_shownGeneration = 0;
    // Numbers (as the traffic list counts them) of the first line shown and of
    // the line after the last one shown.
    unsigned long long m_shownFirst = 0;
    unsigned long long m_shownEnd = 0;
    std::atomic<bool> m_bRefreshQueued{false};
    bool m_bDestroyed = false;
};
