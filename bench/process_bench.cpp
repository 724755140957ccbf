// The processing kernels against plain baselines measured in the same run.
// "ratio" of BM_SavGolSmooth and BM_SavGolDerivative: their time over one
// plain 35-tap convolution (aim <= 2). "ratio" of BM_Shirley: its time over
// one plain pass of the same iteration (aim < 5, the pass limit).

#include "analysis/core/Process.h"
#include "analysis/core/SavGol.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kPts = 100000;
constexpr int kWidth = 35;
double g_convolution = 0;
double g_pass = 0;

std::vector<double> Curve(int n)
{
    std::vector<double> y(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        y[size_t(i)] = 1000 + 800 * std::exp(-std::pow((i - n / 2) / (n / 50.0), 2)) + 30 * std::sin(i * 0.7);
    return y;
}

// One pass of a 35-tap filter written plainly: every output point a dot
// product of the window with the weights, the ends left as they are.
void BM_PlainConvolution(benchmark::State& state)
{
    const std::vector<double> in = Curve(kPts);
    std::vector<double> out(in.size()), w(kWidth, 1.0 / kWidth);
    for (auto _ : state) {
        for (int i = kWidth / 2; i < kPts - kWidth / 2; ++i) {
            double s = 0;
            for (int k = 0; k < kWidth; ++k)
                s += w[size_t(k)] * in[size_t(i - kWidth / 2 + k)];
            out[size_t(i)] = s;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void SavGol(benchmark::State& state, int bSmooth, int nSet)
{
    const CSavGol sg(bSmooth, VELTRANE_SAVGOL_DAT);
    const std::vector<double> in = Curve(kPts);
    std::vector<double> out(in.size());
    for (auto _ : state) {
        sg.Apply(out.data(), in.data(), kPts, kWidth, nSet);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void BM_SavGolSmooth(benchmark::State& state)
{
    SavGol(state, 1, 1);
}

void BM_SavGolDerivative(benchmark::State& state)
{
    SavGol(state, 0, 1);
}

constexpr int kShirleyPts = 10000;

// A strong peak keeps the background moving by more than a count for all
// five passes: the worst case.
std::vector<double> StrongCurve(int n)
{
    std::vector<double> y = Curve(n);
    for (double& v : y)
        v *= 1000;
    return y;
}

// One pass of the Shirley iteration written plainly: the area under the
// curve above the background, then the walk down that sets the background.
void BM_ShirleyOnePass(benchmark::State& state)
{
    const std::vector<double> y = StrongCurve(kShirleyPts);
    std::vector<double> b(y.size(), y.back());
    const int i1 = 100, i2 = kShirleyPts - 100;
    for (auto _ : state) {
        double A = 0;
        for (int k = i2 - 1; k >= i1; --k)
            A += ((y[size_t(k)] - b[size_t(k)]) + (y[size_t(k + 1)] - b[size_t(k + 1)])) / 2;
        const double s = (y.front() - y.back()) / A;
        double S = 0, prev = b[size_t(i2)], change = 0;
        for (int k = i2 - 1; k >= i1; --k) {
            const double old = b[size_t(k)];
            S += ((y[size_t(k)] - old) + (y[size_t(k + 1)] - prev)) / 2;
            b[size_t(k)] = y.back() + s * S;
            change = std::max(change, std::fabs(old - b[size_t(k)]));
            prev = old;
        }
        benchmark::DoNotOptimize(change);
        std::fill(b.begin(), b.end(), y.back());
    }
}

void BM_Shirley(benchmark::State& state)
{
    const std::vector<double> y = StrongCurve(kShirleyPts);
    std::vector<double> b(y.size());
    int passes = 0;
    for (auto _ : state) {
        passes = CalcBackground(b.data(), y.data(), 100, kShirleyPts - 100, kShirleyPts, BkgShirley);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.counters["passes"] = passes;
}

} // namespace

// Each ratio needs its baseline's time from the same run: the baselines run
// first, and a reporter hands their times to the measured benchmarks.
class CRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> out = runs;
        for (Run& r : out) {
            const double t = r.GetAdjustedRealTime();
            const std::string name = r.benchmark_name();
            if (name.rfind("BM_PlainConvolution", 0) == 0)
                g_convolution = t;
            else if (name.rfind("BM_ShirleyOnePass", 0) == 0)
                g_pass = t;
            else if (name.rfind("BM_SavGol", 0) == 0 && g_convolution > 0)
                r.counters["ratio"] = t / g_convolution;
            else if (name.rfind("BM_Shirley", 0) == 0 && g_pass > 0)
                r.counters["ratio"] = t / g_pass;
        }
        ConsoleReporter::ReportRuns(out);
    }
};

BENCHMARK(BM_PlainConvolution)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SavGolSmooth)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SavGolDerivative)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShirleyOnePass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Shirley)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
