// Archive throughput against plain file I/O on the same 64 MB of curve data,
// each measured in this run; the ratios are printed at the end (target: the
// bulk paths at most 1.2, the value-by-value paths at most 3).
#include "platform/Archive.h"
#include "platform/File.h"
#include "platform/System.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace {

constexpr size_t kDoubles = 8u << 20; // 64 MB

const std::vector<double>& Data()
{
    static const std::vector<double> data = [] {
        std::vector<double> d(kDoubles);
        for (size_t k = 0; k < d.size(); ++k)
            d[k] = std::sin(double(k));
        return d;
    }();
    return data;
}

const std::string& Path()
{
    static const std::string path = CreateUniqueTempFile(GetTempDirectory(), "bench-archive-");
    return path;
}

void PlainWrite(benchmark::State& state)
{
    for (auto _ : state) {
        const int fd = ::open(Path().c_str(), O_WRONLY | O_TRUNC);
        const char* p = reinterpret_cast<const char*>(Data().data());
        size_t left = kDoubles * sizeof(double);
        while (left) {
            const ssize_t n = ::write(fd, p, std::min<size_t>(left, 1 << 20));
            if (n <= 0)
                break;
            p += n;
            left -= size_t(n);
        }
        ::close(fd);
    }
}

void PlainRead(benchmark::State& state)
{
    std::vector<double> back(kDoubles);
    for (auto _ : state) {
        const int fd = ::open(Path().c_str(), O_RDONLY);
        char* p = reinterpret_cast<char*>(back.data());
        size_t left = kDoubles * sizeof(double);
        while (left) {
            const ssize_t n = ::read(fd, p, std::min<size_t>(left, 1 << 20));
            if (n <= 0)
                break;
            p += n;
            left -= size_t(n);
        }
        ::close(fd);
        benchmark::DoNotOptimize(back.data());
    }
}

void ArchiveWriteBulk(benchmark::State& state)
{
    for (auto _ : state) {
        CFile file(Path(), CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store);
        for (size_t at = 0; at < kDoubles; at += 4096) // one curve of 4096 points at a time
            ar.WriteDoubles(Data().data() + at, 4096);
        ar.Close();
    }
}

void ArchiveReadBulk(benchmark::State& state)
{
    std::vector<double> back(kDoubles);
    for (auto _ : state) {
        CFile file(Path(), CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        for (size_t at = 0; at < kDoubles; at += 4096)
            ar.ReadDoubles(back.data() + at, 4096);
        benchmark::DoNotOptimize(back.data());
    }
}

void ArchiveWriteEach(benchmark::State& state)
{
    for (auto _ : state) {
        CFile file(Path(), CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store);
        for (double v : Data())
            ar << v;
        ar.Close();
    }
}

void ArchiveReadEach(benchmark::State& state)
{
    std::vector<double> back(kDoubles);
    for (auto _ : state) {
        CFile file(Path(), CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        for (double& v : back)
            ar >> v;
        benchmark::DoNotOptimize(back.data());
    }
}

class CRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            m_times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatios()
    {
        const std::pair<const char*, const char*> pairs[] = {
            {"ArchiveWriteBulk", "PlainWrite"},
            {"ArchiveReadBulk", "PlainRead"},
            {"ArchiveWriteEach", "PlainWrite"},
            {"ArchiveReadEach", "PlainRead"},
        };
        for (const auto& [measured, baseline] : pairs) {
            const double m = Find(measured), b = Find(baseline);
            if (m > 0 && b > 0)
                std::printf("ratio %-18s / %-10s = %.2f\n", measured, baseline, m / b);
        }
    }

private:
    double Find(const std::string& prefix) const
    {
        for (const auto& [name, t] : m_times)
            if (name.rfind(prefix, 0) == 0)
                return t;
        return 0;
    }
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    Data();
    benchmark::RegisterBenchmark("PlainWrite", PlainWrite)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ArchiveWriteBulk", ArchiveWriteBulk)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ArchiveWriteEach", ArchiveWriteEach)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PlainRead", PlainRead)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ArchiveReadBulk", ArchiveReadBulk)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ArchiveReadEach", ArchiveReadEach)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    ::unlink(Path().c_str());
    benchmark::Shutdown();
    return 0;
}
