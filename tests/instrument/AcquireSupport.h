#pragma once
// Fixtures of the acquisition-engine tests: documents built from stand-in
// acquisition sheets through the same builders the real sheets use, a host
// that stores the data blocks into the document on the worker's thread and
// records everything else, and a rig of both simulators on a manual clock.

#include "TestSupport.h"

#include "AcquireSheets.h"
#include "data/Experiment.h"
#include "data/InstrumentInfo.h"
#include "data/IonGun.h"
#include "data/Region.h"
#include "data/Source.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "data/formats/RecordBuilder.h"
#include "instrument/Acquire.h"
#include "platform/Clock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// --- the host -------------------------------------------------------------------

class CFakeHost : public IAcqHost
{
public:
    void PostAcqMessage(QObject*, unsigned message, uintptr_t wParam, intptr_t lParam) override
    {
        std::lock_guard lock(m_lock);
        m_posted.push_back({message, wParam, lParam});
        m_cond.notify_all();
    }
    void SendAcqData(QObject*, unsigned message, SAcqUpdate* pUpdate) override
    {
        EXPECT_EQ(static_cast<unsigned>(pUpdate->m_iType), message);
        pUpdate->m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(pUpdate));
        {
            std::lock_guard lock(m_lock);
            ++m_nBlocks;
        }
        if (m_onData)
            m_onData(*pUpdate);
    }
    int ShowMessage(const std::string& text, unsigned) override
    {
        std::lock_guard lock(m_lock);
        m_shown.push_back(text);
        return IDOK;
    }
    void ReportMessage(const std::string& text) override
    {
        std::lock_guard lock(m_lock);
        m_reported.push_back(text);
    }
    int StopMonitor() override
    {
        if (m_onStopMonitor)
            m_onStopMonitor();
        return 0;
    }
    int StartMonitor() override { return m_iStartMonitor; }
    std::string SaveDocument(CVeltraneDoc* pDoc, const std::string& path) override
    {
        {
            std::lock_guard lock(m_lock);
            ++m_nSaves;
        }
        if (m_bFailSaves)
            return "The file could not be saved.";
        return CAcquire::WriteDocument(*pDoc, path);
    }

    void RunEnded(CVeltraneDoc*) override
    {
        std::lock_guard lock(m_lock);
        m_runEnds.push_back(m_posted.size());
    }
    // The views were brought up to date once, just before the end was posted.
    bool ViewsEndedBeforeEnd()
    {
        std::lock_guard lock(m_lock);
        return m_runEnds.size() == 1 && m_runEnds[0] + 1 == m_posted.size() &&
               m_posted.back().message == WMAPP_ACQ_END;
    }

    struct SPosted
    {
        unsigned message;
        uintptr_t w;
        intptr_t l;
    };
    // Waits for the engine's workers to end (10 s at most); false on time-out.
    bool WaitEnd(CAcquire& acq, int seconds = 10)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (acq.IsBusy()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        acq.WaitForWorkers({});
        return true;
    }
    std::vector<unsigned> Messages()
    {
        std::lock_guard lock(m_lock);
        std::vector<unsigned> v;
        for (const auto& p : m_posted)
            v.push_back(p.message);
        return v;
    }
    // The END message's result, or -1 when none was posted.
    long long Result()
    {
        std::lock_guard lock(m_lock);
        for (const auto& p : m_posted)
            if (p.message == WMAPP_ACQ_END)
                return static_cast<long long>(p.w);
        return -1;
    }

    std::mutex m_lock;
    std::condition_variable m_cond;
    std::vector<SPosted> m_posted;
    std::vector<std::string> m_shown;
    std::vector<std::string> m_reported;
    std::vector<size_t> m_runEnds; // messages posted when each run ended
    int m_nBlocks = 0;
    int m_nSaves = 0;
    bool m_bFailSaves = false;
    int m_iStartMonitor = 0;
    std::function<void(const SAcqUpdate&)> m_onData;
    std::function<void()> m_onStopMonitor;
};

// Both simulators, the links on them, the engine, on a manual clock: the
// engine's waits cost no real time, and the simulated unit measures on the
// same clock.
struct SAcqRig
{
    explicit SAcqRig(SAscuSimConfig ascuConfig = Quick(), SDauSimConfig dauConfig = {})
        : m_clockGuard(&m_clock), m_dau(WithClock(dauConfig)), m_ascu(ascuConfig)
    {
        m_acq.Attach(&m_host, &m_dau.m_dau, &m_ascu.m_ascu);
    }
    ~SAcqRig() { m_host.WaitEnd(m_acq, 30); }
    static SAscuSimConfig Quick()
    {
        SAscuSimConfig c;
        c.m_bRealTime = false;
        c.m_iMoveMs = 0;
        return c;
    }
    static SDauSimConfig WithClock(SDauSimConfig c)
    {
        c.m_clock = [] { return GetClock()->TickCount(); };
        return c;
    }
    std::vector<std::string> DauCommands(bool bWithoutSetup = true)
    {
        auto all = m_dau.m_sim->Commands();
        // The rig's own first exchange is not the engine's.
        if (bWithoutSetup && !all.empty())
            all.erase(all.begin());
        return all;
    }
    // Lines the stage unit received after its identification.
    // The stage unit's last command once it is expected there: after an abort
    // the end moves do not wait for their replies, so the simulator may log
    // the last one a moment after the run has ended.
    std::string LastAscuCommand(const std::string& expected)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::vector<std::string> all = AscuCommands();
        while ((all.empty() || all.back() != expected) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            all = AscuCommands();
        }
        return all.empty() ? std::string() : all.back();
    }
    std::vector<std::string> AscuCommands()
    {
        auto all = m_ascu.m_sim.Commands();
        std::vector<std::string> out;
        for (auto& c : all)
            if (c.rfind("ID", 0) != 0)
                out.push_back(c);
        return out;
    }

    struct SClockGuard
    {
        explicit SClockGuard(IClock* c) { m_previous = SetClock(c); }
        ~SClockGuard() { SetClock(m_previous); }
        IClock* m_previous;
    };
    CManualClock m_clock;
    SClockGuard m_clockGuard;
    SFakeInstrument m_instrument;
    CRecordingSink m_sink;
    SDauRig m_dau;
    SAscuRig m_ascu;
    CFakeHost m_host;
    CAcquire m_acq;
};
