#include "app/MonitorTimer.h"

#include "framework/ui/Guard.h"

#include <QThread>
#include <QTimer>

CQtMonitorTimer::CQtMonitorTimer() = default;

CQtMonitorTimer::~CQtMonitorTimer() = default;

template <class F> void CQtMonitorTimer::OnUiThread(F&& f)
{
    if (QThread::currentThread() == m_context.thread())
        f();
    else
        QMetaObject::invokeMethod(&m_context, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

unsigned CQtMonitorTimer::StartTimer(unsigned periodMs, std::function<void()> fn)
{
    unsigned id = 0;
    OnUiThread([&] {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(int(periodMs));
        QObject::connect(timer.get(), &QTimer::timeout, &m_context, [fn] { SafeInvoke(fn); });
        timer->start();
        id = m_nextId++;
        m_timers.emplace(id, std::move(timer));
    });
    return id;
}

void CQtMonitorTimer::StopTimer(unsigned id)
{
    OnUiThread([&] { m_timers.erase(id); });
}

bool CQtMonitorTimer::IsRunning(unsigned id) const
{
    return m_timers.count(id) != 0;
}
