// Opening the XPS sheet and showing every page, on a full settings file (20
// groups, 100 stage positions, 50 regions in the group shown) against the
// same on a settings file of a new sheet. Reports the full case's time
// relative to the empty one ("ratio_to_empty") and its own time in seconds,
// which should stay under a tenth of a second.

#include "acquire/ui/AcquireXPS.h"
#include "data/Region.h"

#include <QApplication>
#include <QTabWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {
std::string FilePath(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

void WriteFiles()
{
    CXpsSetup empty;
    XpsSettingsFile::Write(empty, FilePath("xps-bench-empty.saq"));
    CXpsSetup full;
    full.m_Exp.m_iExperiment = CAcquireXPS::DepthProfile;
    full.m_Exp.m_iMovement = CAcquireXPS::Memory;
    full.m_Exp.m_nPosns[CAcquireXPS::Memory] = 20; // the configured most; the rows name 100
    for (int g = 1; g < 20; ++g)
        full.m_Stg.AddGroup("Group " + std::to_string(g));
    auto& rows = full.m_Stg.m_GridData[CAcquireXPS::Memory];
    rows.clear();
    for (int p = 1; p <= 100; ++p)
        rows.push_back({double(p), double(p), full.m_Stg.GetGroups()[size_t(p % 20)]->GetName(), "position"});
    rows.push_back({CLevelInfo::NotValid, CLevelInfo::NotValid, EmptyText, EmptyText});
    for (auto& g : full.m_Stg.GetGroups()) {
        *g->GetProfile()->GetLevelList(0) = {CLevelInfo(1, 10, 5), CLevelInfo(11, 30, 10), CLevelInfo()};
        const int n = g == full.m_Stg.GetGroups().front() ? 50 : 3;
        for (int r = 0; r < n; ++r) {
            auto* region = new CRegion;
            region->m_csName = "Fe";
            region->m_csRegion = "2p";
            region->m_dStart = 500 + r;
            region->m_dFinish = 520 + r;
            region->m_dStep = 0.1;
            region->m_dDwell = 100;
            region->m_nScans = 1;
            region->m_iRepeat = 1;
            g->m_Regions.push_back(region);
        }
    }
    XpsSettingsFile::Write(full, FilePath("xps-bench-full.saq"));
}

double OpenOnce(const std::string& path)
{
    const auto t0 = std::chrono::steady_clock::now();
    {
        CAcquireXPSSheet sheet;
        sheet.Create(nullptr);
        sheet.OpenFile(path);
        auto* tabs = sheet.findChild<QTabWidget*>();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QApplication::processEvents();
        }
        sheet.grab();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double s_empty = 0;

void BM_OpenEmpty(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state)
        total += OpenOnce(FilePath("xps-bench-empty.saq"));
    s_empty = total / double(state.iterations());
}

void BM_OpenFull(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state)
        total += OpenOnce(FilePath("xps-bench-full.saq"));
    const double full = total / double(state.iterations());
    state.counters["seconds"] = full;
    if (s_empty > 0)
        state.counters["ratio_to_empty"] = full / s_empty;
}

BENCHMARK(BM_OpenEmpty)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_OpenFull)->Unit(benchmark::kMillisecond)->Iterations(10);
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    WriteFiles();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
