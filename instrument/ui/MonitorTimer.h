#pragma once
// The DAU link's monitor poll runs on a QTimer of the user-interface thread.
// An acquisition worker stops and restarts the poll from its own thread: its
// calls are queued to the user-interface thread and return at once, so a
// worker never waits for a user interface that may itself be waiting for the
// worker to end.

#include "instrument/DAU.h"

#include <QObject>
#include <map>
#include <mutex>
#include <set>

class QTimer;

class CMonitorTimer : public QObject, public IMonitorTimer
{
    Q_OBJECT
public:
    // Lives on the thread that creates it, which must run an event loop.
    explicit CMonitorTimer(QObject* parent = nullptr);
    ~CMonitorTimer() override;

    unsigned StartTimer(unsigned periodMs, std::function<void()> fn) override;
    void StopTimer(unsigned id) override;
    // Timers running now (on the timer's thread).
    size_t ActiveCount() const { return m_timers.size(); }

private:
    void Create(unsigned id, unsigned periodMs, std::function<void()> fn);
    void Stop(unsigned id);

    std::map<unsigned, QTimer*> m_timers; // children; touched on the timer's thread only
    std::mutex m_lock;                    // guards the three below
    unsigned m_next = 0;
    std::set<unsigned> m_pending;   // started from another thread, not created yet
    std::set<unsigned> m_cancelled; // stopped before they were created
};
