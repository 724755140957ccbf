// The acquisition engine's own cost. An XPS depth profile of 100 levels, 10
// regions of 1,000 points, runs against the emulated DAU on a manual clock:
// the engine's waits (first waits, polls, etches) advance the clock, so the
// emulated wall time is that clock's advance plus the real time spent. The
// same run with the saves and the data hand-off stubbed is the baseline; the
// difference is the engine's own work.
//
// Counters: "own_work_pct" = (full - stubbed) real time over the emulated wall
// time of the full run, in per cent (target: at most 2); "wall_s" the
// emulated wall time; "first_save_ms", "last_save_ms" what the incremental
// saves cost at the start and at the end of the run (the document grows).

#include "AcquireSheets.h"

#include "instrument/DAU.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class CBenchHost : public IAcqHost
{
public:
    explicit CBenchHost(bool bStub) : m_bStub(bStub) {}
    void PostAcqMessage(QObject*, unsigned message, uintptr_t wParam, intptr_t) override
    {
        if (message == WMAPP_ACQ_END)
            m_result = static_cast<long>(wParam);
    }
    void SendAcqData(QObject*, unsigned, SAcqUpdate* pUpdate) override
    {
        if (!m_bStub)
            pUpdate->m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(pUpdate));
    }
    int ShowMessage(const std::string& text, unsigned) override
    {
        m_message = text;
        return IDOK;
    }
    void ReportMessage(const std::string& text) override { m_message = text; }
    int StopMonitor() override { return 0; }
    int StartMonitor() override { return 0; }
    std::string SaveDocument(CVeltraneDoc* pDoc, const std::string& path) override
    {
        if (m_bStub)
            return {};
        const auto t0 = Clock::now();
        std::string r = CAcquire::WriteDocument(*pDoc, path);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (m_firstSaveMs < 0)
            m_firstSaveMs = ms;
        m_lastSaveMs = ms;
        return r;
    }
    bool m_bStub;
    long m_result = -1;
    std::string m_message;
    double m_firstSaveMs = -1, m_lastSaveMs = 0;
};

struct SFakeInfo : IInstrumentInfo
{
    double GetOffset() const override { return 0; }
    int GetAESMode() const override { return 0; }
    bool IsCMA() const override { return false; }
    bool HasMIED() const override { return true; }
};

struct SRunResult
{
    double realS = 0;
    double wallS = 0;
    double firstSaveMs = 0, lastSaveMs = 0;
    bool ok = false;
};

SRunResult RunProfile(bool bStub, const std::filesystem::path& dir)
{
    SFakeInfo info;
    IInstrumentInfo* prevInfo = SetInstrumentInfo(&info);
    CManualClock clock;
    IClock* prevClock = SetClock(&clock);

    SFakeXPS sheet;
    sheet.type = CAcquireXPS::DepthProfile;
    sheet.stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 100, 30}, {}};
    std::vector<std::unique_ptr<CRegion>> regions;
    for (int i = 0; i < 10; ++i) {
        regions.push_back(MakeRegion(100 + 200 * i, 1000, 0.1, 1, 1, 20));
        sheet.stg.m_group.m_regions.push_back(regions.back().get());
    }
    CVeltraneDoc doc;
    SRunResult out;
    if (BuildDocument(doc, sheet, 1, 1, (dir / (bStub ? "stub.vlt" : "full.vlt")).string()).empty()) {
        CDAU dau;
        dau.SetSourceID(0x201); // the emulated unit
        dau.Open();
        CBenchHost host(bStub);
        CAcquire acq;
        acq.Attach(&host, &dau, nullptr);
        const uint64_t tick0 = clock.TickCount();
        const auto t0 = Clock::now();
        acq.StartAcquiring(&doc, nullptr);
        acq.WaitForWorkers([] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
        out.realS = std::chrono::duration<double>(Clock::now() - t0).count();
        out.wallS = double(clock.TickCount() - tick0) / 1000.0 + out.realS;
        out.firstSaveMs = host.m_firstSaveMs;
        out.lastSaveMs = host.m_lastSaveMs;
        out.ok = host.m_result == 0;
        if (!out.ok)
            std::fprintf(stderr, "run ended with %ld %s\n", host.m_result, host.m_message.c_str());
    }
    SetClock(prevClock);
    SetInstrumentInfo(prevInfo);
    return out;
}

void BM_DepthProfileOwnWork(benchmark::State& state)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "vbench-XXXXXX").string();
    const std::filesystem::path dir = mkdtemp(tmpl.data());
    SRunResult full, stub;
    for (auto _ : state) {
        stub = RunProfile(true, dir);
        full = RunProfile(false, dir);
        if (!full.ok || !stub.ok)
            state.SkipWithError("the run failed");
    }
    state.counters["own_work_pct"] = 100.0 * (full.realS - stub.realS) / full.wallS;
    state.counters["wall_s"] = full.wallS;
    state.counters["real_full_s"] = full.realS;
    state.counters["real_stub_s"] = stub.realS;
    state.counters["first_save_ms"] = full.firstSaveMs;
    state.counters["last_save_ms"] = full.lastSaveMs;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_DepthProfileOwnWork)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
