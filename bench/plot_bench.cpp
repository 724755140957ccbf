// The plot area's repaint of 20 curves against the plain way of drawing them:
// every point converted and drawn as one polyline per curve. Both draw into
// the same image with the same transforms; the ratios are printed at the end
// (target: at least 10 times as fast; repaint time following the width, not
// the point count, both at an unchanged zoom and after every zoom step). The
// first repaint after a change of the data, which rebuilds the cached block
// extremes from every point, is measured too. Printing is measured as a PDF
// at printer resolution against every point drawn as one polyline per curve
// into the same kind of PDF (target: at most 2, since the white fill under
// each curve should cost about what its outline does). Run with
// QT_QPA_PLATFORM=offscreen.

#include "RatioReporter.h"
#include "app/plot/SpecDraw.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kCurves = 20;
constexpr int kHeight = 600;

// Noisy spectra with peaks, one per curve.
const std::vector<std::vector<double>>& Data(int nPts)
{
    static std::map<int, std::vector<std::vector<double>>> cache;
    auto& d = cache[nPts];
    if (d.empty()) {
        unsigned seed = 12345;
        for (int c = 0; c < kCurves; ++c) {
            std::vector<double> y(static_cast<size_t>(nPts));
            for (int i = 0; i < nPts; ++i) {
                seed = seed * 1664525u + 1013904223u;
                const double x = double(i) / nPts;
                y[size_t(i)] =
                    1000 + 4000 * std::exp(-std::pow((x - 0.3 - 0.01 * c) / 0.01, 2)) + double(seed >> 24);
            }
            d.push_back(std::move(y));
        }
    }
    return d;
}

std::unique_ptr<CSpecDraw> MakeArea(int width, int nPts)
{
    auto area = std::make_unique<CSpecDraw>();
    area->SetNumTraces(kCurves);
    auto& d = Data(nPts);
    for (int c = 0; c < kCurves; ++c)
        area->SetYData(const_cast<double*>(d[size_t(c)].data()), 0, 5300, nPts, c);
    area->SetDispMode(CSpecDraw::Stack);
    const CRect r(0, 0, width, kHeight);
    area->SetRect(&r, TRUE, TRUE);
    area->SetDispLimits(0, 1, TRUE);
    const double lim[2] = {0, 5300};
    area->SetDispLimits(CSpecTrace::Y_SET, lim, TRUE);
    return area;
}

void PlotRepaint(benchmark::State& state)
{
    const int width = int(state.range(0)), nPts = int(state.range(1));
    auto area = MakeArea(width, nPts);
    QImage img(width, kHeight, QImage::Format_RGB32);
    {
        // The first drawing after a change of the data builds the block extremes.
        QPainter p(&img);
        area->Draw(&p, nullptr, FALSE);
    }
    for (auto _ : state) {
        img.fill(Qt::lightGray);
        QPainter p(&img);
        area->Draw(&p, nullptr, FALSE);
    }
}

// A repaint after every zoom step: the column extremes kept from the
// previous drawing never fit, so they come from the block pyramid.
void PlotRepaintNewZoom(benchmark::State& state)
{
    const int width = int(state.range(0)), nPts = int(state.range(1));
    auto area = MakeArea(width, nPts);
    QImage img(width, kHeight, QImage::Format_RGB32);
    {
        QPainter p(&img);
        area->Draw(&p, nullptr, FALSE);
    }
    int step = 0;
    for (auto _ : state) {
        const double lim[2] = {double(step % 7), double(nPts - 1 - step % 5)};
        ++step;
        area->SetDispLimits(CSpecTrace::X_SET, lim, TRUE);
        img.fill(Qt::lightGray);
        QPainter p(&img);
        area->Draw(&p, nullptr, FALSE);
    }
}

// The first repaint after every curve's values changed in place: the block
// pyramid is rebuilt from all points.
void PlotRepaintAfterDataChange(benchmark::State& state)
{
    const int width = int(state.range(0)), nPts = int(state.range(1));
    auto area = MakeArea(width, nPts);
    QImage img(width, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        area->DataChanged();
        img.fill(Qt::lightGray);
        QPainter p(&img);
        area->Draw(&p, nullptr, FALSE);
    }
}

void PolylineEveryPoint(benchmark::State& state)
{
    const int width = int(state.range(0)), nPts = int(state.range(1));
    auto area = MakeArea(width, nPts);
    QImage img(width, kHeight, QImage::Format_RGB32);
    std::vector<QPointF> pts(static_cast<size_t>(nPts));
    for (auto _ : state) {
        img.fill(Qt::lightGray);
        QPainter p(&img);
        for (int c = area->GetNumDispTraces() - 1; c >= 0; --c) {
            const CSpecTrace* t = area->GetSpecTrace(c);
            const CRect& r = *t->GetRect();
            p.setClipRect(QRect(r.left, r.top, r.Width(), r.Height()));
            p.setPen(*t->GetPen());
            const double* y = t->GetYData();
            for (int i = 0; i < nPts; ++i)
                pts[size_t(i)] = QPointF(t->XTox(i), t->YToy(y[i]));
            p.drawPolyline(pts.data(), nPts);
        }
    }
}

// A PDF page at printer resolution, written to memory and finished, so that
// its compression is counted.
template <class F> void ToPdf(F draw)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&out);
    pdf.setResolution(1200);
    QPainter p(&pdf);
    draw(p);
    p.end();
    benchmark::DoNotOptimize(out.data().size());
}

// The curves as printed: white fills under each, outlines, the floor.
void PlotPrint(benchmark::State& state)
{
    const int width = int(state.range(0)), nPts = int(state.range(1));
    auto area = MakeArea(width, nPts);
    for (auto _ : state)
        ToPdf([&](QPainter& p) { area->Draw(&p, nullptr, TRUE); });
}

void PolylineEveryPointPdf(benchmark::State& state)
{
    const int width = int(state.range(0)), nPts = int(state.range(1));
    auto area = MakeArea(width, nPts);
    std::vector<QPoint> pts(static_cast<size_t>(nPts));
    for (auto _ : state)
        ToPdf([&](QPainter& p) {
            for (int c = area->GetNumDispTraces() - 1; c >= 0; --c) {
                const CSpecTrace* t = area->GetSpecTrace(c);
                p.setPen(*t->GetPen());
                const double* y = t->GetYData();
                for (int i = 0; i < nPts; ++i)
                    pts[size_t(i)] = QPoint(int(std::lround(t->XTox(i))), int(std::lround(t->YToy(y[i]))));
                p.drawPolyline(pts.data(), nPts);
            }
        });
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    benchmark::RegisterBenchmark("PlotRepaint", PlotRepaint)
        ->Args({400, 100000})
        ->Args({800, 100000})
        ->Args({1600, 100000})
        ->Args({800, 1000000})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PlotRepaintNewZoom", PlotRepaintNewZoom)
        ->Args({400, 100000})
        ->Args({800, 100000})
        ->Args({1600, 100000})
        ->Args({800, 1000000})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PlotRepaintAfterDataChange", PlotRepaintAfterDataChange)
        ->Args({800, 100000})
        ->Args({800, 1000000})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PolylineEveryPoint", PolylineEveryPoint)
        ->Args({800, 100000})
        ->Unit(benchmark::kMillisecond);
    // A printed cell about 8 cm wide at 1200 dpi, spectra of 2,000 points.
    benchmark::RegisterBenchmark("PlotPrint", PlotPrint)->Args({4000, 2000})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PolylineEveryPointPdf", PolylineEveryPointPdf)
        ->Args({4000, 2000})
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter({
        {"speed-up over every point (800 px, 100k)", "PolylineEveryPoint/800/100000",
         "PlotRepaint/800/100000"},
        {"repaint 1600 px / 400 px (100k)", "PlotRepaint/1600/100000", "PlotRepaint/400/100000"},
        {"repaint 1M points / 100k (800 px)", "PlotRepaint/800/1000000", "PlotRepaint/800/100000"},
        {"new-zoom speed-up over every point (800, 100k)", "PolylineEveryPoint/800/100000",
         "PlotRepaintNewZoom/800/100000"},
        {"new-zoom repaint 1600 px / 400 px (100k)", "PlotRepaintNewZoom/1600/100000",
         "PlotRepaintNewZoom/400/100000"},
        {"new-zoom repaint 1M points / 100k (800 px)", "PlotRepaintNewZoom/800/1000000",
         "PlotRepaintNewZoom/800/100000"},
        {"speed-up over every point, data changed (800, 100k)", "PolylineEveryPoint/800/100000",
         "PlotRepaintAfterDataChange/800/100000"},
        {"print to PDF / every point as a polyline (4000 px, 2k)", "PlotPrint/4000/2000",
         "PolylineEveryPointPdf/4000/2000"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
