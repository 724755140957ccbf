#pragma once
// Fixtures of the acquisition-engine tests: documents built from stand-in
// acquisition sheets through the same builders the real sheets use, a host
// that stores the data blocks into the document on the worker's thread and
// records everything else, and a rig of both simulators on a manual clock.

#include "TestSupport.h"

#include "data/AcquireSheet.h"
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

struct SFakeInstrument : IInstrumentInfo
{
    SFakeInstrument() { m_previous = SetInstrumentInfo(this); }
    ~SFakeInstrument() override { SetInstrumentInfo(m_previous); }
    double GetOffset() const override { return m_dOffset; }
    int GetAESMode() const override { return 0; }
    bool IsCMA() const override { return false; }
    bool HasMIED() const override { return m_bMIED; }
    double m_dOffset = 2.5;
    bool m_bMIED = true;
    IInstrumentInfo* m_previous = nullptr;
};

// --- stand-in sheets ----------------------------------------------------------

struct SFakeProfile : CAcquireProfile
{
    const std::vector<CLevelInfo>* GetLevelList(int method) const override { return &m_rows[method]; }
    std::vector<CLevelInfo> m_rows[nMethods];
};

struct SFakeGroup : CAcquireGroup
{
    const CAcquireProfile* GetProfile() const override { return &m_profile; }
    const std::vector<CRegion*>* GetRegions() const override { return &m_regions; }
    SFakeProfile m_profile;
    std::vector<CRegion*> m_regions;
};

struct SFakeXPS : CAcquireXPS
{
    struct Exp : CAcquireXPS_Exp
    {
        int GetNumPosns() const override { return m_n; }
        int m_n = 1;
    };
    struct Stg : CAcquireXPS_Stg
    {
        const CAcquireGroup* GetGroup(const std::string&) const override { return &m_group; }
        SFakeGroup m_group;
    };
    struct Img : CAcquireXPS_Img
    {
        double GetStep() const override { return 1.0; }
        double GetXStep() const override { return 1.0; }
        double GetYStep() const override { return 1.0; }
        int GetXSize() const override { return m_nx; }
        int GetYSize() const override { return m_ny; }
        int m_nx = 4, m_ny = 3;
    };
    const CAcquireXPS_Exp* GetExpPage() const override { return &m_exp; }
    const CAcquireXPS_Src* GetSrcPage() const override { return &m_src; }
    const CAcquireXPS_Stg* GetStgPage() const override { return &m_stg; }
    const CAcquireXPS_Prf* GetPrfPage() const override { return &m_prf; }
    const CAcquireXPS_Rgn* GetRgnPage() const override { return &m_rgn; }
    const CAcquireXPS_Img* GetImgPage() const override { return &m_img; }
    int GetExpType() const override { return m_iExpType; }
    int GetMoveType() const override { return m_iMoveType; }
    int FastScanMode() const override { return m_bFast; }

    Exp m_exp;
    CAcquireXPS_Src m_src;
    Stg m_stg;
    CAcquireXPS_Prf m_prf;
    CAcquireXPS_Rgn m_rgn;
    Img m_img;
    int m_iExpType = Narrowscan;
    int m_iMoveType = None;
    int m_bFast = 0;
};

struct SFakeAES : CAcquireAES
{
    struct Scn : CAcquireAES_Scn
    {
        int GetMoveType() const override { return m_iMove; }
        int GetSize() const override { return m_iSize; }
        int GetResol() const override { return 2; }
        int GetMag() const override { return 1000; }
        bool UseAreas() const override { return m_iMove == AreaScan; }
        bool UsePts() const override { return m_iMove == Point; }
        const std::vector<CScanPoint>& GetPointList() const override { return m_points; }
        const std::vector<CScanArea>& GetAreaList() const override { return m_areas; }
        int m_iMove = None;
        int m_iSize = 256;
        std::vector<CScanPoint> m_points;
        std::vector<CScanArea> m_areas;
    };
    const CAcquireAES_Exp* GetExpPage() const override { return &m_exp; }
    const CAcquireAES_Scn* GetScnPage() const override { return &m_scn; }
    const CAcquireAES_Prf* GetPrfPage() const override { return &m_prf; }
    const CAcquireAES_Rgn* GetRgnPage() const override { return &m_rgn; }
    int GetExpType() const override { return m_iExpType; }
    bool FastScanMode() const override { return m_iExpType == FastProfile; }

    CAcquireAES_Exp m_exp;
    Scn m_scn;
    CAcquireAES_Prf m_prf;
    CAcquireAES_Rgn m_rgn;
    int m_iExpType = Widescan;
    std::vector<CAcquireProfile::CLevelInfo> m_levels;
};

// A region as a page holds it (0 = no background).
inline std::unique_ptr<CRegion> MakeRegion(double start, int points, double step, int scans, int repeat = 1,
                                           double dwell = 10)
{
    auto r = std::make_unique<CRegion>();
    r->m_csName = "C";
    r->m_csRegion = "1s";
    r->m_dStart = start;
    r->m_dStep = step;
    r->m_dFinish = start + step * (points - 1);
    r->m_dPeak = start + 1;
    r->m_dDwell = dwell;
    r->m_dAnalyserEnergy = 20;
    r->m_csRetardRatio = "r4";
    r->m_nScans = scans;
    r->m_iRepeat = repeat;
    return r;
}

// Builds and saves the document of a sheet; positions numbered from first.
template <class Sheet>
void BuildDocument(CVeltraneDoc& doc, const Sheet& sheet, int nPosns, int first, const std::string& path)
{
    doc.Initialize(CExperiment(&sheet));
    doc.Initialize(CSource(&sheet));
    doc.Initialize(CIonGun(&sheet));
    for (int i = 0; i < nPosns; ++i) {
        auto* posn = new CStagePosn(first + i);
        CRecordBuilder::Build(*posn, sheet);
        doc.SetStagePosn(i, posn);
    }
    doc.SetPathName(path);
    ASSERT_EQ(CAcquire::WriteDocument(doc, path), "");
}

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
