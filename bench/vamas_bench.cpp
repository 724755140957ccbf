// Reading a large multi-block VAMAS file: vamas_read (our reader) against
// xyconv (Debian libxy-bin) converting the same file, each as a whole process.
// The "ratio" counter of BM_Xyconv is xyconv's time over ours (aim: >= 3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const std::string& LargeFile()
{
    static const std::string path = [] {
        const auto p = std::filesystem::temp_directory_path() / "bench_vamas_large.vms";
        std::ofstream out(p, std::ios::binary);
        const int regions = 10, levels = 40, points = 2000;
        auto L = [&out](const std::string& s) { out << s << "\r\n"; };
        for (const char* s : {"VAMAS Surface Chemical Analysis Standard Data Transfer Format 1988 May 4",
                              "Institute", "Instrument", "Operator", "Experiment", "0", "NORM", "REGULAR"})
            L(s);
        L(std::to_string(regions));
        for (const char* s : {"1", "Position", "", "0", "0", "0", "0"})
            L(s);
        L(std::to_string(regions * levels));
        for (int b = 0; b < regions * levels; ++b) {
            L("block " + std::to_string(b + 1));
            L("sample");
            for (const char* s : {"2024", "3", "5", "12", "30", "15", "0", "0", "XPS"})
                L(s);
            L(std::to_string(b / regions));
            for (const char* s : {"Al",
                                  "1486.6",
                                  "200",
                                  "1e37",
                                  "1e37",
                                  "56",
                                  "90",
                                  "FAT",
                                  "20",
                                  "1",
                                  "4.5",
                                  "0",
                                  "1",
                                  "1",
                                  "0",
                                  "0",
                                  "C",
                                  "1s",
                                  "-1",
                                  "kinetic energy",
                                  "eV",
                                  "1000",
                                  "0.05",
                                  "1",
                                  "counts",
                                  "d",
                                  "pulse counting",
                                  "0.1",
                                  "3",
                                  "0",
                                  "0",
                                  "0",
                                  "0",
                                  "0"})
                L(s);
            L(std::to_string(points));
            L("0");
            L("100000");
            for (int i = 0; i < points; ++i)
                L(std::to_string(1000.0 + (i * 37 + b * 11) % 5000 + 0.25));
        }
        out << "end of experiment";
        return p.string();
    }();
    return path;
}

double RunSeconds(const std::string& command)
{
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        return -1.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double g_ours = 0.0;

void BM_VamasRead(benchmark::State& state)
{
    const std::string cmd = std::string(VAMAS_READ) + " '" + LargeFile() + "' > /dev/null";
    double total = 0.0;
    for (auto _ : state) {
        const double s = RunSeconds(cmd);
        if (s < 0) {
            state.SkipWithError("vamas_read failed");
            return;
        }
        total += s;
    }
    g_ours = total / static_cast<double>(state.iterations());
}

void BM_Xyconv(benchmark::State& state)
{
    if (std::system("command -v xyconv > /dev/null 2>&1") != 0) {
        state.SkipWithError("xyconv (Debian libxy-bin) is not installed");
        return;
    }
    const std::string cmd = "xyconv -t vamas '" + LargeFile() + "' /dev/null > /dev/null 2>&1";
    double total = 0.0;
    for (auto _ : state) {
        const double s = RunSeconds(cmd);
        if (s < 0) {
            state.SkipWithError("xyconv failed");
            return;
        }
        total += s;
    }
    const double theirs = total / static_cast<double>(state.iterations());
    if (g_ours > 0.0)
        state.counters["ratio"] = theirs / g_ours;
}

} // namespace

BENCHMARK(BM_VamasRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Xyconv)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
