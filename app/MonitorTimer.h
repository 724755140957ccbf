#pragma once
// The DAU link's poll timer on the user-interface thread. The link may start
// or stop it from another thread (an acquisition stops the poll when it
// starts and restarts it when it ends): such calls wait until the
// user-interface thread has carried them out.

#include "instrument/DAU.h"

#include <QObject>
#include <map>
#include <memory>

class QTimer;

class CQtMonitorTimer : public IMonitorTimer
{
public:
    // Made on the user-interface thread, whose timers these are.
    CQtMonitorTimer();
    ~CQtMonitorTimer() override;

    unsigned StartTimer(unsigned periodMs, std::function<void()> fn) override;
    void StopTimer(unsigned id) override;
    bool IsRunning(unsigned id) const;

private:
    template <class F> void OnUiThread(F&& f);
    QObject m_context;
    std::map<unsigned, std::unique_ptr<QTimer>> m_timers;
    unsigned m_nextId = 1;
};
