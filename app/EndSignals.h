#pragma once
// The signals that ask a program to end: SIGTERM (a logout or shutdown),
// SIGHUP (the terminal closed) and SIGINT (Ctrl+C). Left to their default
// they end the process at once, and a running acquisition loses everything
// since its last incremental save. Here each becomes a call on the thread
// that made this object, so the program can end through its event loop and
// its exit, where a running acquisition is aborted and makes its last save.
// One instance at a time; its destruction puts the previous handlers back.

#include <QObject>
#include <functional>

class QSocketNotifier;

class CEndSignals : public QObject
{
public:
    // handler gets the signal's number, on the thread that made this object.
    explicit CEndSignals(std::function<void(int)> handler);
    ~CEndSignals() override;
    CEndSignals(const CEndSignals&) = delete;
    CEndSignals& operator=(const CEndSignals&) = delete;

private:
    void OnReadable();

    std::function<void(int)> m_handler;
    QSocketNotifier* m_pNotifier = nullptr;
};
