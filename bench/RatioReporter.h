#pragma once
// The console reporter of the benchmarks that also keeps every run's time, so
// that the ratios against a baseline of the same run are printed at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

struct SRatio
{
    const char* label;
    const char* a; // measured
    const char* b; // baseline
};

class CRatioReporter : public benchmark::ConsoleReporter
{
public:
    explicit CRatioReporter(std::vector<SRatio> ratios) : m_ratios(std::move(ratios)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            m_times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    // "ratio LABEL = a / b" for every pair whose runs both ran.
    void PrintRatios() const
    {
        for (const SRatio& p : m_ratios) {
            const auto a = m_times.find(p.a), b = m_times.find(p.b);
            if (a != m_times.end() && b != m_times.end() && b->second > 0)
                std::printf("ratio %-52s = %.2f\n", p.label, a->second / b->second);
        }
    }

private:
    std::vector<SRatio> m_ratios;
    std::map<std::string, double> m_times;
};
