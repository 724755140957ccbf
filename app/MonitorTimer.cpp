#include "app/MonitorTimer.h"

#include "framework/ui/CrossThread.h"
#include "framework/ui/Guard.h"

#include <QThread>
#include <QTimer>

CQtMonitorTimer::CQtMonitorTimer() = default;

CQtMonitorTimer::~CQtMonitorTimer() = default;

unsigned CQtMonitorTimer::StartTimer(unsigned periodMs, std::function<void()> fn)
{
    if (!fn)
        return 0;
    const bool onUiThread = QThread::currentThread() == m_context.thread();
    unsigned id;
    {
        std::lock_guard lock(m_lock);
        // Ids are never reused, so a late stop cannot end a newer poll.
        if (++m_nextId == 0)
            ++m_nextId;
        id = m_nextId;
        if (!onUiThread)
            m_pending.insert(id);
    }
    if (onUiThread)
        Create(id, periodMs, std::move(fn));
    else
        PostToThreadOf(&m_context, [this, id, periodMs, fn = std::move(fn)]() mutable {
            Create(id, periodMs, std::move(fn));
        });
    return id;
}

void CQtMonitorTimer::StopTimer(unsigned id)
{
    if (QThread::currentThread() == m_context.thread())
        Stop(id);
    else
        PostToThreadOf(&m_context, [this, id] { Stop(id); });
}

bool CQtMonitorTimer::IsRunning(unsigned id) const
{
    return m_timers.count(id) != 0;
}

void CQtMonitorTimer::Create(unsigned id, unsigned periodMs, std::function<void()> fn)
{
    {
        std::lock_guard lock(m_lock);
        m_pending.erase(id);
        if (m_cancelled.erase(id))
            return;
    }
    auto* timer = new QTimer(&m_context);
    timer->setInterval(static_cast<int>(periodMs));
    QObject::connect(timer, &QTimer::timeout, &m_context, [fn = std::move(fn)] { SafeInvoke(fn); });
    m_timers[id] = timer;
    timer->start();
}

void CQtMonitorTimer::Stop(unsigned id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        std::lock_guard lock(m_lock);
        if (m_pending.count(id))
            m_cancelled.insert(id);
        return;
    }
    it->second->stop();
    // The poll stops itself from its own timeout when the link fails: the
    // timer may be mid-signal, so it goes once control is back in the loop.
    it->second->deleteLater();
    m_timers.erase(it);
}
