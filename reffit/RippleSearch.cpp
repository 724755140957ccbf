#include "reffit/RippleSearch.h"

#include "reffit/RefFitModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pelomar {
namespace {

// The order of the kinks by distance, to 1/65535 of the reach (kinks closer
// than that count as one), as indices in the low halves of the first
// kinks.size() keys: two passes of a radix sort, as a comparison sort would
// cost more than the sweep.
void SortByDistance(const std::vector<RippleKink>& kinks, double reach, std::vector<std::uint64_t>& keys)
{
    const std::size_t count = kinks.size();
    if (keys.size() < 2 * count)
        keys.resize(2 * count);
    std::uint64_t* key = keys.data();
    std::uint64_t* other = key + count;
    const double scale = 65535.0 / reach;
    for (std::size_t i = 0; i < count; ++i)
        key[i] = std::uint64_t(std::min(kinks[i].t * scale, 65535.0)) << 32 | i;
    for (const int shift : {32, 40}) {
        std::size_t start[257] = {};
        for (std::size_t i = 0; i < count; ++i)
            ++start[((key[i] >> shift) & 255) + 1];
        for (int d = 0; d < 256; ++d)
            start[d + 1] += start[d];
        for (std::size_t i = 0; i < count; ++i)
            other[start[(key[i] >> shift) & 255]++] = key[i];
        std::swap(key, other);
    }
}

} // namespace

double LowestAlongShift(const CRefFitModel& fit, int moved, std::span<const double> amp, double s,
                        std::span<const double> r, double reach, RippleWork& work, double& sse)
{
    const int n = fit.Points();
    sse = 0.0;
    for (const double v : r)
        sse += v * v;
    const double a0 = sse;
    double best = 0.0;
    // How far every moved point stays inside its window and the array, up
    // and down (less than a channel, so each point meets at most one kink
    // either way).
    double up = std::min(reach, 0.999), down = up;
    for (int k = 0; k < fit.RefCount(); ++k) {
        if ((moved >= 0 && k != moved) || !(amp[std::size_t(k)] > 0.0))
            continue;
        const CRefFitModel::Reference& e = fit.Ref(k);
        const double u0 = e.b + s, u1 = e.a * (n - 1) + e.b + s;
        const double top = std::min(e.high, double(e.nRef - 1)), bottom = std::max(e.low, 0.0);
        up = std::min(up, top - std::max(u0, u1));
        down = std::min(down, std::min(u0, u1) - bottom);
    }
    // A point beyond its window (penalised) ends the search.
    if (!(up >= 0.0 && down >= 0.0) || (up == 0.0 && down == 0.0))
        return 0.0;
    // Each point's residual slope going up (going down the same, negated,
    // but for a point on a channel), and the kinks within reach either way.
    std::vector<double>&start = work.start, &slope = work.slope, &alpha = work.alpha,
    &onChannel = work.onChannel;
    start.assign(std::size_t(n), 0.0);
    slope.resize(std::size_t(n));
    onChannel.assign(std::size_t(n), 0.0);
    alpha.resize(std::size_t(n));
    std::vector<RippleKink>&above = work.kinks, &below = work.below;
    above.clear();
    below.clear();
    for (int k = 0; k < fit.RefCount(); ++k) {
        if ((moved >= 0 && k != moved) || !(amp[std::size_t(k)] > 0.0))
            continue;
        const CRefFitModel::Reference& e = fit.Ref(k);
        const double* y = e.ref;
        const int last = e.nRef - 1;
        const double w = amp[std::size_t(k)];
        for (int i = 0; i < n; ++i) {
            const double u = e.a * i + e.b + s;
            const int j = int(u); // 0 <= u <= last
            const double f = u - double(j);
            const double rise = j < last ? y[j + 1] - y[j] : 0.0;
            start[std::size_t(i)] -= w * rise;
            if (f == 0.0) {
                // Going down it enters [j - 1, j] at once.
                onChannel[std::size_t(i)] += w * (rise - (j > 0 ? y[j] - y[j - 1] : 0.0));
                continue;
            }
            // The slope changes at a crossed channel by the second
            // difference there, in either direction.
            if (1.0 - f < up)
                above.push_back({1.0 - f, i, k, j + 1});
            if (f < down)
                below.push_back({f, i, k, j});
        }
    }
    for (const double dir : {1.0, -1.0}) {
        const double far = dir > 0.0 ? up : down;
        if (!(far > 0.0))
            continue;
        std::vector<RippleKink>& kinks = dir > 0.0 ? above : below;
        SortByDistance(kinks, far, work.keys);
        // Each point's residual is alpha + slope t on the current piece, the
        // sum of squares A + 2 B t + C t^2.
        std::copy(r.begin(), r.end(), alpha.begin());
        if (dir > 0.0)
            std::copy(start.begin(), start.end(), slope.begin());
        else
            for (int i = 0; i < n; ++i)
                slope[std::size_t(i)] = -start[std::size_t(i)] - onChannel[std::size_t(i)];
        double a = a0, b = 0.0, c = 0.0;
        for (int i = 0; i < n; ++i) {
            b += alpha[std::size_t(i)] * slope[std::size_t(i)];
            c += slope[std::size_t(i)] * slope[std::size_t(i)];
        }
        // The lowest point of the piece that ends at t: its end, or inside
        // it where the quadratic turns.
        double from = 0.0;
        const auto piece = [&](double t) {
            if (!(t > from))
                return;
            double v = a + t * (2.0 * b + c * t);
            double at = t;
            if (b + c * t > 0.0 && b + c * from < 0.0) {
                at = -b / c;
                v = a + at * (2.0 * b + c * at);
            }
            if (v < sse) {
                sse = v;
                best = dir * at;
            }
            from = t;
        };
        for (std::size_t o = 0; o < kinks.size(); ++o) {
            const RippleKink& q = kinks[work.keys[o] & 0xffffffffu];
            piece(q.t);
            const double* y = fit.Ref(q.ref).ref;
            const int x = q.channel;
            const double change = -amp[std::size_t(q.ref)] * ((y[x + 1] - y[x]) - (y[x] - y[x - 1]));
            const std::size_t i = std::size_t(q.point);
            const double al = alpha[i], sl = slope[i];
            const double al2 = al - change * q.t, sl2 = sl + change;
            a += al2 * al2 - al * al;
            b += al2 * sl2 - al * sl;
            c += sl2 * sl2 - sl * sl;
            alpha[i] = al2;
            slope[i] = sl2;
        }
        piece(far);
    }
    return best;
}

void StrongestKinks(const CRefFitModel& fit, int moved, std::span<const double> amp, double s,
                    std::span<const double> r, double reach, double& up, double& down)
{
    constexpr int kBins = 32;
    double weight[2][kBins] = {}, at[2][kBins] = {}, bend[2][kBins] = {};
    reach = std::min(reach, 0.999);
    up = down = 0.0;
    if (!(reach > 0.0))
        return;
    const double scale = double(kBins) / reach;
    for (int k = 0; k < fit.RefCount(); ++k) {
        if ((moved >= 0 && k != moved) || !(amp[std::size_t(k)] > 0.0))
            continue;
        const CRefFitModel::Reference& e = fit.Ref(k);
        const double* y = e.ref;
        const int last = e.nRef - 1;
        const double w = amp[std::size_t(k)];
        for (int i = 0; i < fit.Points(); ++i) {
            const double u = e.a * i + e.b + s;
            if (!(u >= 1.0 && u < double(last - 1)))
                continue; // penalised, or no second difference on one side
            const int j = int(u);
            const double f = u - double(j);
            // The channel below (at f) and the one above (at 1 - f).
            const double lower = (y[j + 1] - y[j]) - (y[j] - y[j - 1]);
            const double upper = (y[j + 2] - y[j + 1]) - (y[j + 1] - y[j]);
            if (f > 0.0 && f < reach) {
                const int b = std::min(int(f * scale), kBins - 1);
                weight[1][b] += w * std::fabs(lower);
                at[1][b] += w * std::fabs(lower) * f;
                bend[1][b] += w * lower * r[std::size_t(i)];
            }
            if (1.0 - f < reach) {
                const int b = std::min(int((1.0 - f) * scale), kBins - 1);
                weight[0][b] += w * std::fabs(upper);
                at[0][b] += w * std::fabs(upper) * (1.0 - f);
                bend[0][b] += w * upper * r[std::size_t(i)];
            }
        }
    }
    // Only a kink where the sum of squares' slope falls (the residuals'
    // slopes change by minus the second differences) parts two minima: of
    // the strongest kink each way, the stronger such one.
    double strongest = 0.0;
    for (int side = 0; side < 2; ++side) {
        int top = -1;
        for (int b = 0; b < kBins; ++b)
            if (weight[side][b] > 0.0 && (top < 0 || weight[side][b] > weight[side][top]))
                top = b;
        if (top < 0 || !(bend[side][top] > 0.0) || !(weight[side][top] > strongest))
            continue;
        strongest = weight[side][top];
        up = down = 0.0;
        (side == 0 ? up : down) = at[side][top] / weight[side][top]; // their weighted mean
    }
}

} // namespace pelomar
