#pragma once
// A simulated stage and sample control unit on a pseudo-terminal, for tests
// and development. The driver opens the slave side as its serial port; the
// simulator answers on the master side: identification with a configurable
// status word, the stored map area, moves and etches that take time, and
// faults on request ("ER n" replies, silence, arbitrary lines). It also checks
// that commands arrive at least the configured gap apart.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct SAscuSimConfig
{
    uint16_t m_wStatus = 0xFDA8;        // the identification's status word (stage type, guns, motors)
    double m_dArea[4] = {22, 7, 36, 9}; // the stored map area x1, y1, x2, y2
    unsigned m_iMoveMs = 100;           // how long a move or etch takes
    unsigned m_iMinGapMs = 50;          // commands closer than this are counted
    bool m_bRealTime = true;            // moves wait their time
};

class CAscuSimulator
{
public:
    explicit CAscuSimulator(SAscuSimConfig config = {});
    ~CAscuSimulator();
    CAscuSimulator(const CAscuSimulator&) = delete;
    CAscuSimulator& operator=(const CAscuSimulator&) = delete;

    // Opens the pseudo-terminal and starts answering; false when it cannot.
    bool Start();
    void Stop();
    // The device the driver opens.
    const std::string& SlavePath() const { return m_slavePath; }

    // The reply to one command line (without its line end), and the time it
    // takes; no value when the unit stays silent.
    std::optional<std::string> HandleLine(const std::string& line, unsigned& delayMs);

    void InjectError(int number, int second = -1); // the next command gets "ER n[,m]"
    void InjectSilence(int commands);              // the next commands get no reply
    void InjectReply(std::string line);            // the next command gets this line (add the line end)
    void SetStatus(uint16_t status);

    std::vector<std::string> Commands() const;
    int GapViolations() const { return m_nGapViolations; }

private:
    void Run();

    SAscuSimConfig m_config;
    mutable std::mutex m_lock;
    std::vector<std::string> m_commands;
    std::deque<std::string> m_injected;
    int m_iSilence = 0;
    std::string m_pending; // the set-up command waiting for "EX 1"
    std::atomic<int> m_nGapViolations{0};
    std::chrono::steady_clock::time_point m_lastArrival{};
    bool m_bAny = false;

    int m_master = -1;
    int m_slave = -1; // kept open so the master never sees a hang-up between users
    int m_wake[2] = {-1, -1};
    std::string m_slavePath;
    std::thread m_thread;
};
