#pragma once
// The DAU link's poll timer on the user-interface thread. The link may start
// or stop it from another thread (an acquisition stops the poll when it
// starts and restarts it when it ends): such calls are queued to the
// user-interface thread and return at once, so a worker never waits for a
// user interface that may itself be waiting for the worker to end.

#include "instrument/DAU.h"

#include <QObject>
#include <map>
#include <mutex>
#include <set>

class QTimer;

class CQtMonitorTimer : public IMonitorTimer
{
public:
    // Made on the user-interface thread, whose timers these are.
    CQtMonitorTimer();
    ~CQtMonitorTimer() override;

    unsigned StartTimer(unsigned periodMs, std::function<void()> fn) override;
    void StopTimer(unsigned id) override;
    // On the user-interface thread: whether the timer runs now.
    bool IsRunning(unsigned id) const;
    size_t RunningCount() const { return m_timers.size(); }

private:
    void Create(unsigned id, unsigned periodMs, std::function<void()> fn);
    void Stop(unsigned id);

    QObject m_context;                    // the timers' parent, on the user-interface thread
    std::map<unsigned, QTimer*> m_timers; // touched on the user-interface thread only
    std::mutex m_lock;                    // guards the three below
    unsigned m_nextId = 0;
    std::set<unsigned> m_pending;   // started from another thread, not made yet
    std::set<unsigned> m_cancelled; // stopped before they were made
};
