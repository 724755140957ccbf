#include "instrument/ui/AcqHost.h"

#include "data/VeltraneDoc.h"
#include "framework/ui/AppMessage.h"
#include "framework/ui/CrossThread.h"
#include "instrument/DAU.h"
#include "platform/MessageSink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

void CQtAcqHost::RunOnUiThread(const std::function<void()>& fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    // Through our own hand-over, which orders the worker after the call in a
    // way the thread sanitizer can see.
    RunOnThreadOf(app, fn);
}

void CQtAcqHost::AbortAndWait(CAcquire& acq)
{
    if (!acq.IsBusy())
        return;
    acq.StopAcquiring(true);
    acq.WaitForWorkers([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
}

void CQtAcqHost::PostAcqMessage(QObject* hNotifyWnd, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    PostAppMessage(hNotifyWnd, message, wParam, lParam);
}

void CQtAcqHost::SendAcqData(QObject* hNotifyWnd, unsigned message, SAcqUpdate* pUpdate)
{
    if (hNotifyWnd) {
        SendAppMessage(hNotifyWnd, message, 0, reinterpret_cast<intptr_t>(pUpdate));
        return;
    }
    // No window to tell: the document still keeps the data.
    RunOnUiThread(
        [pUpdate] { pUpdate->m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(pUpdate)); });
}

int CQtAcqHost::ShowMessage(const std::string& text, unsigned type)
{
    return AfxMessageBox(text, type);
}

void CQtAcqHost::ReportMessage(const std::string& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        AfxMessageBox(text, MB_OK | MB_ICONERROR);
        return;
    }
    PostToThreadOf(app, [text] { AfxMessageBox(text, MB_OK | MB_ICONERROR); });
}

int CQtAcqHost::StopMonitor()
{
    int r = 0;
    if (m_pDAU)
        RunOnUiThread([&] { r = m_pDAU->StopMonitor(); });
    return r;
}

int CQtAcqHost::StartMonitor()
{
    int r = 0;
    if (m_pDAU)
        RunOnUiThread([&] { r = m_pDAU->StartMonitor(); });
    return r;
}

void CQtAcqHost::RunEnded(CVeltraneDoc* pDoc)
{
    RunOnUiThread([pDoc] {
        SAcqEndUpdate end;
        pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&end));
    });
}

std::string CQtAcqHost::SaveDocument(CVeltraneDoc* pDoc, const std::string& path)
{
    std::string error;
    RunOnUiThread([&] { error = CAcquire::WriteDocument(*pDoc, path); });
    return error;
}
