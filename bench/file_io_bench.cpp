// Reading and saving a 100 MB image document, each against a plain read or
// write of the same bytes in the same iteration. The counter "ratio" is
// document time over plain time (target: at most 2).
//
// Both sides of the save push the data to the disk (fsync), since a save that
// has not reached the disk is not the same work.

#include "data/VeltraneDoc.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "tests/data/doc_file_builder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// One image position: a 4096 x 2048 map with peak and both background planes.
const std::vector<uint8_t>& ImageDocument()
{
    static const std::vector<uint8_t> bytes = [] {
        CDataFileBuilder b;
        b.Header().Experiment(0x201, 1).Source(1, 0).IonGun();
        CDataFileBuilder::SPosnHead h;
        h.posnMode = 4;
        const size_t at = b.BeginPosn(h, 0);
        b.I32(1).ImageRgn(0, 4096, 2048, 3);
        b.EndPosn(at);
        b.End();
        return b.m_bytes;
    }();
    return bytes;
}

std::string Folder()
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "vltbench-XXXXXX").string();
        return std::string(mkdtemp(pattern.data()));
    }();
    return dir;
}

double Seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

void PlainWrite(const std::string& path, const std::vector<uint8_t>& bytes)
{
    CFile file(path, CFile::modeWrite | CFile::modeCreate);
    file.Write(bytes.data(), bytes.size());
    file.Flush();
    file.Close();
}

std::vector<uint8_t> PlainRead(const std::string& path)
{
    CFile file(path, CFile::modeRead);
    std::vector<uint8_t> bytes(file.GetLength());
    file.Read(bytes.data(), bytes.size());
    return bytes;
}

class CQuietSink : public IMessageSink
{
public:
    int ShowMessage(const std::string& text, unsigned) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        return IDOK;
    }
};

void BM_ReadImageDocument(benchmark::State& state)
{
    const std::string path = Folder() + "/read.vlt";
    PlainWrite(path, ImageDocument());
    double plain = 0, doc = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(PlainRead(path));
        const auto t1 = Clock::now();
        CVeltraneDoc document;
        if (!document.OnOpenDocument(path))
            state.SkipWithError("the document could not be read");
        const auto t2 = Clock::now();
        plain += Seconds(t0, t1);
        doc += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t1, t2));
    }
    state.counters["ratio"] = doc / plain;
    state.counters["MB"] = double(ImageDocument().size()) / 1e6;
    std::filesystem::remove(path);
}

void BM_SaveImageDocument(benchmark::State& state)
{
    const std::string path = Folder() + "/save.vlt";
    const std::string plainPath = Folder() + "/plain.vlt";
    PlainWrite(path, ImageDocument());
    CVeltraneDoc document;
    if (!document.OnOpenDocument(path))
        state.SkipWithError("the document could not be read");
    double plain = 0, doc = 0;
    bool plainFirst = true;
    for (auto _ : state) {
        // Alternate which goes first, so neither always meets the other's writeback.
        double p = 0, d = 0;
        for (int side = 0; side < 2; ++side) {
            const auto t0 = Clock::now();
            if ((side == 0) == plainFirst) {
                PlainWrite(plainPath, ImageDocument());
                p = Seconds(t0, Clock::now());
            } else {
                if (!document.OnSaveDocument(path))
                    state.SkipWithError("the document could not be saved");
                d = Seconds(t0, Clock::now());
            }
        }
        plainFirst = !plainFirst;
        plain += p;
        doc += d;
        state.SetIterationTime(d);
    }
    state.counters["ratio"] = doc / plain;
    state.counters["MB"] = double(ImageDocument().size()) / 1e6;
    std::filesystem::remove(path);
    std::filesystem::remove(plainPath);
}

BENCHMARK(BM_ReadImageDocument)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_SaveImageDocument)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace

int main(int argc, char** argv)
{
    CQuietSink sink;
    SetMessageSink(&sink);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
