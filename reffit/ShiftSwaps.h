#pragma once
// References of similar shape that overlap may each settle where another one
// fits best: no local step exchanges them, and a solve started from the
// exchanged places often ends in a lower basin. Which pair to exchange shows
// in the sum of squares right at the exchanged places (with the constant and
// all intensities solved for anew), one evaluation per pair.

#include <span>

namespace pelomar {

class IResiduals;

// Shifts a and b exchanged, and the sum of squares there.
struct ShiftSwap
{
    int a = -1; // none
    int b = -1;
    double sse = 0.0;
};

// Shifts a and b of x exchanged in energy: each takes the other's
// displacement, converted by unit (channels per energy unit, per shift).
void ApplySwap(std::span<double> x, std::span<const double> unit, const ShiftSwap& swap);

// Every pair of shifts of x (one per reference) exchanged and evaluated, at
// most budget pairs; the lowest into best, lowest first (a = -1 where there
// are fewer pairs). x is left as it was; r is room for the residuals.
// Returns the evaluations spent, or -1 when an evaluation asked to stop.
int LowestSwaps(IResiduals& fit, std::span<double> x, std::span<const double> unit, std::span<double> r,
                int budget, std::span<ShiftSwap> best);

} // namespace pelomar
