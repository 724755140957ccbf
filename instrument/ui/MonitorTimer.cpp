#include "instrument/ui/MonitorTimer.h"

#include "framework/ui/Guard.h"

#include <QThread>
#include <QTimer>

CMonitorTimer::CMonitorTimer(QObject* parent) : QObject(parent) {}

CMonitorTimer::~CMonitorTimer() = default;

unsigned CMonitorTimer::StartTimer(unsigned periodMs, std::function<void()> fn)
{
    if (!fn)
        return 0;
    unsigned id;
    {
        std::lock_guard lock(m_lock);
        // Ids are never reused, so a late stop cannot end a newer poll.
        if (++m_next == 0)
            ++m_next;
        id = m_next;
        if (QThread::currentThread() != thread())
            m_pending.insert(id);
    }
    if (QThread::currentThread() == thread())
        Create(id, periodMs, std::move(fn));
    else
        QMetaObject::invokeMethod(
            this, [this, id, periodMs, fn = std::move(fn)]() mutable { Create(id, periodMs, std::move(fn)); },
            Qt::QueuedConnection);
    return id;
}

void CMonitorTimer::StopTimer(unsigned id)
{
    if (QThread::currentThread() == thread())
        Stop(id);
    else
        QMetaObject::invokeMethod(
            this, [this, id] { Stop(id); }, Qt::QueuedConnection);
}

void CMonitorTimer::Create(unsigned id, unsigned periodMs, std::function<void()> fn)
{
    {
        std::lock_guard lock(m_lock);
        m_pending.erase(id);
        if (m_cancelled.erase(id))
            return;
    }
    auto* timer = new QTimer(this);
    timer->setInterval(static_cast<int>(periodMs));
    connect(timer, &QTimer::timeout, this, [fn = std::move(fn)] { SafeInvoke(fn); });
    m_timers[id] = timer;
    timer->start();
}

void CMonitorTimer::Stop(unsigned id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        std::lock_guard lock(m_lock);
        if (m_pending.count(id))
            m_cancelled.insert(id);
        return;
    }
    it->second->stop();
    // A timeout being handled right now finishes with its timer alive.
    it->second->deleteLater();
    m_timers.erase(it);
}
