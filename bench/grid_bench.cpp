// Repaint cost of one screen of the grid, 64,000 rows against 100 rows, with
// 50 columns: painting, paging and wheel scrolling must not depend on the
// number of rows. Each case reports its time relative to the 100-row case
// measured in the same run ("ratio_to_100_rows").

#include "UGrid/UGCtrl.h"
#include "UGrid/UGGrid.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

namespace {

// Cells computed on demand, as a table over a large data set would supply them.
class ComputedSource : public CUGDataSource
{
public:
    int GetCell(int col, long row, CUGCell* cell) override
    {
        // The same texts whatever the row count, so that only the count differs.
        const std::string text = std::to_string(row % 100) + ":" + std::to_string(col);
        cell->SetText(text.c_str());
        if (col % 7 == 3)
            cell->SetAlignment(UG_ALIGNRIGHT);
        return 0;
    }
};

struct Grid
{
    explicit Grid(long rows)
    {
        ctrl.resize(1000, 700);
        ctrl.show();
        ctrl.SetColCount(50);
        ctrl.SetRowCount(rows);
        const int index = ctrl.AddDataSource(&source);
        ctrl.SetDefDataSource(index);
        ctrl.GotoCell(0, rows / 2);
        image = QImage(ctrl.GetGridWnd()->size(), QImage::Format_RGB32);
    }
    void Paint()
    {
        QPainter p(&image);
        CDC dc(&p);
        ctrl.GetGridWnd()->DrawCells(&dc, QRect(QPoint(0, 0), image.size()));
    }

    ComputedSource source;
    CUGCtrl ctrl;
    QImage image;
};

enum Kind
{
    Repaint,
    PageDownRepaint,
    ScrollRepaint
};

double Step(Grid& g, Kind kind)
{
    const auto t0 = std::chrono::steady_clock::now();
    switch (kind) {
    case Repaint:
        break;
    case PageDownRepaint:
        if (g.ctrl.MoveCurrentRow(3) != 0)
            g.ctrl.MoveCurrentRow(4);
        break;
    case ScrollRepaint:
        if (g.ctrl.MoveTopRow(1) != 0 || g.ctrl.GetTopRow() >= g.ctrl.GI()->m_maxTopRow)
            g.ctrl.SetTopRow(0);
        break;
    }
    g.Paint();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Seconds per step of the 100-row baseline, measured once per kind.
double Baseline(Kind kind)
{
    static std::map<Kind, double> cache;
    auto it = cache.find(kind);
    if (it != cache.end())
        return it->second;
    Grid g(100);
    for (int i = 0; i < 20; ++i)
        Step(g, kind);
    double total = 0;
    const int n = 200;
    for (int i = 0; i < n; ++i)
        total += Step(g, kind);
    return cache[kind] = total / n;
}

void Run(benchmark::State& state, Kind kind)
{
    const long rows = state.range(0);
    const double baseline = Baseline(kind);
    Grid g(rows);
    double total = 0;
    long n = 0;
    for (auto _ : state) {
        total += Step(g, kind);
        ++n;
    }
    state.counters["ratio_to_100_rows"] = n > 0 ? (total / double(n)) / baseline : 0.0;
}

void BM_Repaint(benchmark::State& state)
{
    Run(state, Repaint);
}
void BM_PageDownRepaint(benchmark::State& state)
{
    Run(state, PageDownRepaint);
}
void BM_ScrollRepaint(benchmark::State& state)
{
    Run(state, ScrollRepaint);
}

BENCHMARK(BM_Repaint)->Arg(100)->Arg(64000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageDownRepaint)->Arg(100)->Arg(64000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollRepaint)->Arg(100)->Arg(64000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
