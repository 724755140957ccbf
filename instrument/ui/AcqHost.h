#pragma once
// The user-interface side of the acquisition engine: posts and sends its
// messages to the notify window, shows its message boxes, and runs what must
// happen on the user-interface thread there (the monitor poll, the saves),
// waiting for it. The document is written on the user-interface thread, so
// nothing there changes it while it is stored.

#include "instrument/Acquire.h"

#include <functional>

class CDAU;

class CQtAcqHost : public IAcqHost
{
public:
    explicit CQtAcqHost(CDAU* pDAU) : m_pDAU(pDAU) {}

    void PostAcqMessage(QObject* hNotifyWnd, unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void SendAcqData(QObject* hNotifyWnd, unsigned message, SAcqUpdate* pUpdate) override;
    int ShowMessage(const std::string& text, unsigned type) override;
    void ReportMessage(const std::string& text) override;
    int StopMonitor() override;
    int StartMonitor() override;
    std::string SaveDocument(CVeltraneDoc* pDoc, const std::string& path) override;
    void RunEnded(CVeltraneDoc* pDoc) override;

    // Runs fn on the user-interface thread and waits for it (directly when
    // called there).
    static void RunOnUiThread(const std::function<void()>& fn);
    // Ends the runs (asking nothing) and waits for their workers while the
    // user interface goes on handling their requests.
    static void AbortAndWait(CAcquire& acq);

private:
    CDAU* m_pDAU;
};
