#pragma once
// Where the instrument links log their traffic: the log file named in the
// configuration, and the list of the traffic monitor window.
//
// Both are shared by the DAU link and the stage-unit driver, and both are
// written from whichever thread talks to a unit. Each line is appended whole
// under a lock. The monitor list is a model that the window reads: a link never
// touches the window itself, so a window closed while a worker logs costs
// nothing, and the user-interface thread never waits on a worker.

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class CFile;

class CLogFile
{
public:
    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Creates the file anew (emptied when it exists); false when it cannot.
    bool Create(const std::string& path);
    void Close();
    bool IsOpen() const;
    // Appends text as one write; a failing disk loses the line, never the run.
    void Write(std::string_view text);

private:
    mutable std::mutex m_lock;
    std::unique_ptr<CFile> m_file;
};

// The lines of the traffic monitor. While no window is attached nothing is
// kept; a newly attached window starts empty.
class CTrafficMonitor
{
public:
    static constexpr size_t TrimAbove = 2048;
    static constexpr size_t TrimTo = 1024;

    // Called after lines were appended, on the logging thread, with the monitor's
    // lock not held: it must only schedule work for the window's own thread.
    using Notify = std::function<void()>;

    // Attaches a window (and empties the list); Detach() returns only when no
    // notification is running any more, so the window may go away after it.
    void Attach(Notify notify);
    void Detach();
    bool IsAttached() const;

    // Appends a line. After a command line the list is trimmed: above 2048
    // lines the oldest go until 1024 remain. Reply lines are not trimmed.
    void Append(std::string line, bool bCommand);

    // The lines now held, and a counter that grows with every change, so the
    // window can tell whether to refresh.
    std::vector<std::string> Lines() const;
    size_t LineCount() const;
    unsigned long long Generation() const;

    // Every line appended since the window was attached has a number, from 0.
    // What a window that already shows the lines up to (not including) number
    // `from` needs: the number of the oldest line still held (the ones before
    // it were trimmed away) and the held lines from max(from, that) on.
    struct SNewLines
    {
        unsigned long long first = 0; // number of the oldest line held
        unsigned long long start = 0; // number of lines[0]
        std::vector<std::string> lines;
    };
    SNewLines LinesFrom(unsigned long long from) const;

private:
    mutable std::mutex m_lock;
    std::mutex m_notifyLock; // held while a notification runs
    std::deque<std::string> m_lines;
    unsigned long long m_first = 0; // number of m_lines.front()
    Notify m_notify;
    bool m_bAttached = false;
    unsigned long long m_generation = 0;
};
