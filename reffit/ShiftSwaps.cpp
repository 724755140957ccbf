#include "reffit/ShiftSwaps.h"

#include "reffit/LeastSquares.h"

#include <algorithm>

namespace pelomar {

void ApplySwap(std::span<double> x, std::span<const double> unit, const ShiftSwap& swap)
{
    const std::size_t a = std::size_t(swap.a), b = std::size_t(swap.b);
    const double xa = x[a], xb = x[b];
    x[a] = xb / unit[b] * unit[a];
    x[b] = xa / unit[a] * unit[b];
}

int LowestSwaps(IResiduals& fit, std::span<double> x, std::span<const double> unit, std::span<double> r,
                int budget, std::span<ShiftSwap> best)
{
    std::fill(best.begin(), best.end(), ShiftSwap{});
    const int shifts = int(x.size());
    int spent = 0;
    for (int a = 0; a < shifts; ++a) {
        for (int b = a + 1; b < shifts && spent < budget; ++b) {
            const ShiftSwap trial{a, b, 0.0};
            const double xa = x[std::size_t(a)], xb = x[std::size_t(b)];
            ApplySwap(x, unit, trial);
            const bool ok = fit.Residuals(x, r);
            x[std::size_t(a)] = xa;
            x[std::size_t(b)] = xb;
            if (!ok)
                return -1;
            ++spent;
            const double sse = LsqDot(r.data(), r.data(), int(r.size()));
            // Insertion into the short list, lowest first; a NaN never enters.
            std::size_t at = 0;
            while (at < best.size() && best[at].a >= 0 && !(sse < best[at].sse))
                ++at;
            if (at == best.size())
                continue;
            std::move_backward(best.begin() + std::ptrdiff_t(at), best.end() - 1, best.end());
            best[at] = {a, b, sse};
        }
    }
    return spent;
}

} // namespace pelomar
