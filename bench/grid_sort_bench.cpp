// Sorting 64,000 rows of the grid's own cell store by one text column, against
// std::stable_sort of the same keys as plain strings ("ratio_to_stable_sort").

#include "UGrid/model/UGCtrlCore.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr long Rows = 64000;
constexpr int Cols = 4;

std::vector<std::string> Keys()
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> d(0, 999999);
    std::vector<std::string> keys(Rows);
    for (auto& k : keys)
        k = "S" + std::to_string(d(rng));
    return keys;
}

struct Grid : CUGCtrlCore
{
    Grid()
    {
        SetClientSize(800, 600);
        SetColCount(Cols);
        SetRowCount(Rows);
    }
};

void Fill(Grid& g, const std::vector<std::string>& keys)
{
    for (long r = 0; r < Rows; ++r)
        for (int c = 0; c < Cols; ++c)
            g.SetTextAt(c, r, c == 1 ? keys[size_t(r)].c_str() : "x");
}

double BaselineSeconds(const std::vector<std::string>& keys)
{
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        std::vector<std::string> v = keys;
        const auto t0 = std::chrono::steady_clock::now();
        std::stable_sort(v.begin(), v.end(), [](const std::string& a, const std::string& b) {
            return std::strcmp(a.c_str(), b.c_str()) < 0;
        });
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        benchmark::DoNotOptimize(v.data());
    }
    return best;
}

void BM_SortBy(benchmark::State& state)
{
    const std::vector<std::string> keys = Keys();
    const double baseline = BaselineSeconds(keys);
    double best = 1e9;
    for (auto _ : state) {
        state.PauseTiming();
        Grid g;
        Fill(g, keys);
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        g.SortBy(1);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    state.counters["ratio_to_stable_sort"] = best / baseline;
}
BENCHMARK(BM_SortBy)->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
