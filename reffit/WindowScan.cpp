#include "reffit/WindowScan.h"

#include "reffit/LeastSquares.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pelomar {
namespace {

// Reduction of the sum of squares of u by the best non-negative multiple of
// y (and, with a constant, the best constant beside it), from the sums of
// u y, y y, u and y. The constant alone gains the same at every place, so
// only the share of y counts.
double Gain(double uy, double yy, double sumU, double sumY, int n, bool constant)
{
    if (constant) {
        uy -= sumU * sumY / n;
        yy -= sumY * sumY / n;
    }
    return uy > 0.0 && yy > 0.0 ? uy * uy / yy : 0.0;
}

} // namespace

Relocations BestRelocations(const ScanPoint& p, IScanPlacer& placer)
{
    Relocations found;
    Relocation* const best = found.best;
    const int c = p.constant ? 1 : 0;
    // A candidate is one placement and three sums over the points it takes;
    // an evaluation places every reference on every point and forms all
    // their products. So every M full candidates (M times the stride, when
    // a candidate takes every stride-th point) count as one evaluation,
    // each one tried as one.
    std::int64_t taken = 0; // points placed by the candidates so far
    const auto spent = [&](int placed, int tried) {
        const std::int64_t all = std::int64_t(p.refs) * p.n;
        return int((taken + placed + all - 1) / all) + found.evaluations + tried;
    };
    for (int k = 0; k < p.refs; ++k) {
        double sumY = 0.0, low = 0.0, high = 0.0, step = 0.0;
        int stride = 1;
        const double* y = placer.Placed(k, sumY);
        if (!y || !placer.Range(k, low, high, step, stride) || !(step > 0.0) || !(low <= high))
            continue;
        stride = std::clamp(stride, 1, std::max(1, p.n));
        const double a = p.coef[c + k], c0 = c ? p.coef[0] : 0.0;
        double sumU = 0.0;
        int points = 0;
        for (int i = 0; i < p.n; ++i)
            p.work[i] = p.r[i] + a * y[i] + c0;
        for (int i = 0; i < p.n; i += stride) {
            sumU += p.work[i];
            ++points;
        }
        // Places that are no candidates count as no gain at all, so that a
        // peak may also lie next to them.
        const double none = -HUGE_VAL;
        // Past the budget no candidate is placed: the count need not be larger.
        const int count =
            int(std::min(std::floor((high - low) / step), double(p.budget) * p.refs * p.n / points)) + 1;
        // The highest peaks of the gain, highest first (see ScanPoint::peaks).
        constexpr int kPeaks = ScanPoint::kMostPeaks;
        const int tried = std::clamp(p.peaks, 1, kPeaks);
        double peaks[kPeaks], peakShifts[kPeaks] = {};
        std::fill_n(peaks, kPeaks, none);
        double before = none, last = none, lastShift = 0.0;
        for (int j = 0; j <= count; ++j) {
            const double s = low + j * step;
            double g = none;
            if (j < count && !(std::fabs(s - p.shift[k]) < step) && spent(points, 1) <= p.budget) {
                double squares = 0.0, dot = 0.0;
                placer.Sums(k, s, p.work, stride, sumY, squares, dot);
                taken += points;
                g = Gain(dot, squares, sumU, sumY, points, p.constant);
            }
            if (last > none && last >= before && last >= g && last > peaks[kPeaks - 1]) {
                int at = kPeaks - 1;
                for (; at > 0 && last > peaks[at - 1]; --at) {
                    peaks[at] = peaks[at - 1];
                    peakShifts[at] = peakShifts[at - 1];
                }
                peaks[at] = last;
                peakShifts[at] = lastShift;
            }
            before = last;
            last = g;
            lastShift = s;
        }
        Relocation move;
        for (int m = 0; m < tried && peaks[m] > none && spent(0, 1) <= p.budget; ++m) {
            const double sse = placer.SumOfSquares(k, peakShifts[m]);
            ++found.evaluations;
            if (move.ref < 0 || sse < move.sse)
                move = {k, peakShifts[m], sse};
        }
        if (move.ref < 0)
            continue;
        if (best[0].ref < 0 || move.sse < best[0].sse) {
            best[1] = best[0];
            best[0] = move;
        } else if (best[1].ref < 0 || move.sse < best[1].sse) {
            best[1] = move;
        }
    }
    found.evaluations = spent(0, 0);
    return found;
}

} // namespace pelomar
