#pragma once
// Fixtures shared by the instrument tests: a recording message sink, a timer
// the test fires by hand, a temporary folder, and a DAU link on the stand-in
// driver with the DAU simulator behind it.

#include "instrument/ASCU.h"
#include "instrument/DAU.h"
#include "instrument/TrafficLog.h"
#include "platform/MessageSink.h"
#include "tools/ascusim/AscuSimulator.h"
#include "tools/dausim/DauSimulator.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

class CRecordingSink : public IMessageSink
{
public:
    CRecordingSink() { m_previous = SetMessageSink(this); }
    ~CRecordingSink() override { SetMessageSink(m_previous); }
    int ShowMessage(const std::string& text, unsigned type) override
    {
        m_texts.push_back(text);
        m_types.push_back(type);
        return IDOK;
    }
    std::vector<std::string> m_texts;
    std::vector<unsigned> m_types;

private:
    IMessageSink* m_previous;
};

class CFakeTimer : public IMonitorTimer
{
public:
    unsigned StartTimer(unsigned periodMs, std::function<void()> fn) override
    {
        if (m_bFail)
            return 0;
        m_period = periodMs;
        m_timers[++m_next] = std::move(fn);
        return m_next;
    }
    void StopTimer(unsigned id) override { m_timers.erase(id); }
    void FireAll()
    {
        auto copy = m_timers;
        for (auto& [id, fn] : copy)
            fn();
    }
    std::map<unsigned, std::function<void()>> m_timers;
    unsigned m_next = 0;
    unsigned m_period = 0;
    bool m_bFail = false;
};

inline std::filesystem::path MakeTempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "vinstr-XXXXXX").string();
    char* dir = mkdtemp(tmpl.data());
    return dir ? std::filesystem::path(dir) : std::filesystem::path();
}

// A simulator on a socket, the stand-in driver pointed at it, and a link
// that has opened the adapter as a real DAU with node id 1.
struct SDauRig
{
    // The simulator measures on the rig's own clock unless it is given one.
    explicit SDauRig(SDauSimConfig config = {})
    {
        if (!config.m_clock)
            config.m_clock = [this] { return m_now.load(); };
        m_sim = std::make_unique<CDauSimulator>(config);
        m_dir = MakeTempDir();
        m_server = std::make_unique<CDauSimServer>(*m_sim, (m_dir / "dau.sock").string());
        m_bStarted = m_server->Start();
        setenv("VELTRANE_ARCNET_SOCKET", m_server->Path().c_str(), 1);
        m_dau.SetLibraryName(VELTRANE_ARCNET_LIBRARY);
        m_dau.SetSourceID(1);
        m_iOpen = m_dau.Open();
        // One exchange, so the simulator has taken the connection before a test begins.
        m_dau.Transact("BEAM MD=SPOT,X0=0,Y0=0,X1=0,Y1=0,BR=256", 1000);
    }
    ~SDauRig()
    {
        m_dau.Close();
        m_server->Stop();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::atomic<uint64_t> m_now{1000};
    std::unique_ptr<CDauSimulator> m_sim;
    std::filesystem::path m_dir;
    std::unique_ptr<CDauSimServer> m_server;
    bool m_bStarted = false;
    int m_iOpen = -1;
    CDAU m_dau;
};

// A driver connected to a simulator on a pseudo-terminal, identified.
struct SAscuRig
{
    explicit SAscuRig(SAscuSimConfig config = {}, bool open = true) : m_sim(config)
    {
        m_bStarted = m_sim.Start();
        m_ascu.MapPort("COM2", m_sim.SlavePath());
        m_monitor.Attach(nullptr);
        m_ascu.SetMonitorWnd(&m_monitor);
        if (open)
            m_iOpen = m_ascu.Open("COM2", "baud=9600 parity=N data=8 stop=1");
    }
    CAscuSimulator m_sim;
    CTrafficMonitor m_monitor;
    CASCU m_ascu;
    bool m_bStarted = false;
    int m_iOpen = -1;
};
