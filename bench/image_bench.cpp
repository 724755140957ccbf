// The image pane's repaint of a map: a 1024 x 1024 map against a 256 x 256
// map, both fitted into the same 400 x 400 pane and drawn into a window-sized
// image. The cost is to follow the pane's pixels, not the image's (target:
// ratio at most 1.5). A repaint while zoomed in, and the conversion of one
// acquired line of a 1024-point-wide map, are measured too. Run with
// QT_QPA_PLATFORM=offscreen.

#include "RatioReporter.h"
#include "app/image/ImageDisp.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kPane = 400;

// Grains and noise: a map with structure at every scale.
const std::vector<int>& Map(int n)
{
    static std::map<int, std::vector<int>> cache;
    auto& d = cache[n];
    if (d.empty()) {
        d.resize(size_t(n) * size_t(n));
        unsigned seed = 777;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const double u = double(x) / n, v = double(y) / n;
                d[size_t(y) * size_t(n) + size_t(x)] =
                    int(1000 + 800 * std::sin(u * 37) * std::cos(v * 23) + double(seed >> 25));
            }
    }
    return d;
}

struct SPane
{
    explicit SPane(int n) : data(Map(n)), target(kPane, kPane + 40, QImage::Format_RGB32)
    {
        disp.SetImage(data.data(), n, n, 0, 0);
        disp.SetCaption("Cu LMM");
        disp.Show(true, CRect(0, 0, kPane, kPane + 40), &target, 0, 2000);
    }
    std::vector<int> data;
    QImage target;
    CImageDisp disp;
};

void Repaint(CImageDisp& disp, QImage& target)
{
    const CRect all(0, 0, target.width(), target.height());
    target.fill(Qt::lightGray);
    QPainter p(&target);
    disp.Draw(&p, &all, false);
}

void ImageRepaint(benchmark::State& state)
{
    SPane pane(int(state.range(0)));
    Repaint(pane.disp, pane.target);
    for (auto _ : state)
        Repaint(pane.disp, pane.target);
}

void ImageRepaintZoomed(benchmark::State& state)
{
    SPane pane(int(state.range(0)));
    pane.disp.SetZoom(1, false);
    pane.disp.SetZoom(1, false);
    for (auto _ : state)
        Repaint(pane.disp, pane.target);
}

// One acquired line converted (no window: the repaint request is not timed).
void ImageLineUpdate(benchmark::State& state)
{
    const int n = int(state.range(0));
    SPane pane(n);
    int line = 0;
    for (auto _ : state) {
        pane.disp.OnUpdate(nullptr, line * n, line * n + n - 1, 1);
        line = (line + 1) % n;
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("ImageRepaint", ImageRepaint)
        ->Arg(256)
        ->Arg(1024)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ImageRepaintZoomed", ImageRepaintZoomed)
        ->Arg(256)
        ->Arg(1024)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ImageLineUpdate", ImageLineUpdate)
        ->Arg(1024)
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter({
        {"repaint 1024x1024 map / 256x256 map (400 px pane)", "ImageRepaint/1024", "ImageRepaint/256"},
        {"zoomed x4 repaint 1024 / 256 (400 px pane)", "ImageRepaintZoomed/1024", "ImageRepaintZoomed/256"},
        {"one line of 1024 / whole 1024x1024 repaint", "ImageLineUpdate/1024", "ImageRepaint/1024"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
