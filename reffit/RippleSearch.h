#pragma once
// The interpolated references make the residual piecewise linear in each
// shift, so along one shift, with the constant and the intensities held, the
// sum of squares is a piecewise quadratic whose pieces end where a point
// crosses a reference channel. Its lowest point over a stretch follows
// exactly from one sweep across those kinks, however many shallow minima
// lie in between.

#include <cstdint>
#include <span>
#include <vector>

namespace pelomar {

class CRefFitModel;

// A kink: its distance, the point whose slope changes there, the point's
// reference and the channel it crosses.
struct RippleKink
{
    double t;
    int point;
    int ref;
    int channel;
};

// Work space of the sweeps, kept across solves so that they allocate nothing
// once it has grown.
struct RippleWork
{
    std::vector<RippleKink> kinks, below;
    std::vector<std::uint64_t> keys;
    std::vector<double> start, slope, alpha, onChannel, amp;
};

// The lowest sum of squares of r minus amp_k (y_k(u + t) - y_k(u)) over the
// moved references k (only 'moved', or all when it is negative; amp_k >= 0)
// and t in [-reach, reach], reach below one channel, with the references at
// shift s and r the residuals there. t stays where every point of a moved
// reference remains inside its window; none moves when one lies outside.
// Returns t (0 when nothing lies lower) and puts that sum into sse (kinks
// closer than 1/65535 of the reach count as one).
double LowestAlongShift(const CRefFitModel& fit, int moved, std::span<const double> amp, double s,
                        std::span<const double> r, double reach, RippleWork& work, double& sse);

} // namespace pelomar

namespace pelomar {

// Along one shift, the distance (channels, at most reach, below one channel)
// to the strongest kink up or down: where the slopes of the moved
// references' points (as for LowestAlongShift) change by the most in all,
// kinks within 1/32 of the reach counting as one (at their weighted mean
// distance), and where the slope of the sum of squares of r (the residuals
// at shift s) falls. Of the strongest kink each way, the stronger such one
// is given, in up or in down; the other is 0, as are both when none is.
void StrongestKinks(const CRefFitModel& fit, int moved, std::span<const double> amp, double s,
                    std::span<const double> r, double reach, double& up, double& down);

} // namespace pelomar
