#include "analysis/core/Process.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

void Smooth(double* out, const double* in, int n, int /*method*/, int width)
{
    if (n <= 0)
        return;
    if (width <= 0) {
        std::copy(in, in + n, out);
        return;
    }
    const int h = width / 2;
    // Over the window's finite points: a "nan" or "inf" is passed over as the
    // window's end is, instead of spreading across width points.
    auto mean = [in](int a, int b, int i) {
        double s = 0;
        int used = 0;
        for (int k = a; k < b; ++k)
            if (std::isfinite(in[k])) {
                s += in[k];
                ++used;
            }
        return used ? s / used : in[i];
    };
    for (int i = 0; i < n; ++i) {
        const int a = std::max(0, i - h);
        const int b = std::min(n, i - h + width);
        out[i] = b > a ? mean(a, b, i) : in[i];
    }
}

bool BridgeNonFinite(const double* y, int n, std::vector<double>& bridged)
{
    if (std::all_of(y, y + n, [](double v) { return std::isfinite(v); }))
        return false;
    int prev = -1;
    bridged.assign(y, y + n);
    for (int i = 0; i <= n; ++i) {
        if (i < n && !std::isfinite(y[i]))
            continue;
        // Points prev + 1 .. i - 1 are the gap.
        for (int k = prev + 1; k < i; ++k) {
            if (prev < 0 && i == n)
                return false;
            if (prev < 0)
                bridged[k] = y[i];
            else if (i == n)
                bridged[k] = y[prev];
            else
                bridged[k] = y[prev] + (y[i] - y[prev]) * double(k - prev) / double(i - prev);
        }
        prev = i;
    }
    return true;
}

namespace {

// One difference pass of Differentiate.
void DiffPass(double* dst, const double* in, int n, int width)
{
    const int h = (width + 1) / 2;
    const int d = width - h;
    int i = 0;
    for (; i < h && i < n; ++i)
        dst[i] = i + d < n ? (in[i + d] - in[0]) / (i + d) : (in[n - 1] - in[0]) / std::max(1, n - 1);
    for (; i + d < n; ++i)
        dst[i] = (in[i + d] - in[i - h]) / width;
    for (; i < n; ++i)
        dst[i] = (in[n - 1] - in[i - h]) / (n - 1 - (i - h));
}

} // namespace

void Differentiate(double* y, double* buf, int n, int width, int order)
{
    // Too few points for the window, or a window that reaches nowhere: the
    // differences would divide by zero.
    if (n < 2 || width < 2 || n < width)
        return;
    // A missing point would make NaN of every difference whose window holds
    // it, a gap that grows with each order.
    std::vector<double> bridged;
    if (BridgeNonFinite(y, n, bridged))
        std::copy(bridged.begin(), bridged.end(), y);
    std::copy(y, y + n, buf);
    for (int r = order - 1; r >= 0; --r) {
        if (r % 2)
            DiffPass(buf, y, n, width);
        else
            DiffPass(y, buf, n, width);
    }
}


void Integrate(double* I, const double* y, int n)
{
    if (n <= 0)
        return;
    // One missing point would otherwise carry NaN into every later point of
    // the running integral, and the offset correction into all of them.
    std::vector<double> bridged;
    if (BridgeNonFinite(y, n, bridged))
        y = bridged.data();
    I[0] = 0;
    if (n <= 3) {
        for (int i = 1; i < n; ++i)
            I[i] = I[i - 1] + (y[i - 1] + y[i]) / 2;
        return;
    }
    double S = 0;
    I[1] = ((9 * y[0] + 19 * y[1] - 5 * y[2] + y[3]) / 8) / 3;
    int i = 2;
    for (; i <= n - 2; i += 2) {
        const double T = S + 1.125 * (y[i - 2] + 3 * y[i - 1] + 3 * y[i] + y[i + 1]);
        S += y[i - 2] + 4 * y[i - 1] + y[i];
        I[i] = S / 3;
        I[i + 1] = T / 3;
    }
    if (n % 2) {
        i = n - 1;
        S += y[i - 2] + 4 * y[i - 1] + y[i];
        I[i] = S / 3;
    }
}

void Offset(double* I, int n, int mode, int width)
{
    if (n < 2)
        return;
    double c;
    switch (mode) {
    case OffsetMean:
        c = I[n - 1] / (n - 1);
        break;
    case OffsetEnds:
        if (width < 1 || width >= n)
            return;
        c = (I[width] + I[n - 1] - I[n - 1 - width]) / (2.0 * width);
        break;
    default:
        return;
    }
    double ramp = 0;
    for (int k = 1; k < n; ++k) {
        ramp += c;
        I[k] -= ramp;
    }
}

namespace {

// The mean of 5 points around index i (all of them on a shorter curve); near
// either end the window moves inside the curve rather than shrink. Points
// that are no finite number (an imported "nan" or "inf") are left out; NaN
// when the window holds nothing else.
double EndLevel(const double* y, int i, int n)
{
    const int m = std::min(n, 5);
    const int a = std::clamp(i - m / 2, 0, n - m);
    const int b = a + m;
    double s = 0;
    int used = 0;
    for (int k = a; k < b; ++k)
        if (std::isfinite(y[k])) {
            s += y[k];
            ++used;
        }
    return used ? s / used : std::numeric_limits<double>::quiet_NaN();
}

// The Shirley integrand between points k and k + 1, 0 where either point is no
// finite number: one such point must not turn the whole background into NaN.
double ShirleyStep(const double* y, double bk, double bk1, int k)
{
    if (!std::isfinite(y[k]) || !std::isfinite(y[k + 1]))
        return 0.0;
    return ((y[k] - bk) + (y[k + 1] - bk1)) / 2;
}

} // namespace

int CalcBackground(double* pdBkg, const double* pdY, int i1, int i2, int n, int type)
{
    if (n <= 0 || type < BkgShirley || type > BkgMinimum)
        return 0;
    i1 = std::clamp(i1, 0, n - 1);
    i2 = std::clamp(i2, 0, n - 1);
    if (i1 > i2)
        std::swap(i1, i2);
    switch (type) {
    case BkgShirley: {
        const double L = EndLevel(pdY, i1, n);
        const double H = EndLevel(pdY, i2, n);
        double* B = pdBkg;
        for (int i = i1; i <= i2; ++i)
            B[i] = H;
        // The passes end once the background moves by less than one count, or by
        // less than a thousandth of the curve's span where that is smaller: curves
        // in small units (per second, normalised, processed) would otherwise stop
        // after the first pass, far from the background of the same curve in counts.
        // The span is taken only when a pass moved it by a count or less.
        double tolerance = -1;
        auto settled = [&](double change) {
            if (change > 1.0)
                return false;
            if (tolerance < 0) {
                double lo = std::numeric_limits<double>::infinity(), hi = -lo;
                for (int i = i1; i <= i2; ++i)
                    if (std::isfinite(pdY[i])) {
                        lo = std::min(lo, pdY[i]);
                        hi = std::max(hi, pdY[i]);
                    }
                tolerance = hi > lo ? std::min(1.0, 1e-3 * (hi - lo)) : 1.0;
            }
            return change <= tolerance;
        };
        // The plain sums when every point between the limits is a number:
        // the checks would double the time of the passes.
        auto run = [&]<bool Guarded>() {
            auto step = [pdY](double bk, double bk1, int k) {
                if constexpr (Guarded)
                    return ShirleyStep(pdY, bk, bk1, k);
                else
                    return ((pdY[k] - bk) + (pdY[k + 1] - bk1)) / 2;
            };
            int passes = 0;
            double change;
            do {
                double A = 0;
                for (int k = i2 - 1; k >= i1; --k)
                    A += step(B[k], B[k + 1], k);
                const double s = A != 0 ? (L - H) / A : 0;
                // B[k + 1] is already this pass's value when B[k] is due, so the
                // previous pass's value of k + 1 is carried along.
                double S = 0, prevOld = B[i2];
                change = 0;
                for (int k = i2 - 1; k >= i1; --k) {
                    const double old = B[k];
                    S += step(old, prevOld, k);
                    B[k] = H + s * S;
                    change = std::max(change, std::fabs(old - B[k]));
                    prevOld = old;
                }
                ++passes;
            } while (passes < 5 && !settled(change));
            return passes;
        };
        const bool finite = std::all_of(pdY + i1, pdY + i2 + 1, [](double v) { return std::isfinite(v); });
        const int passes = finite ? run.template operator()<false>() : run.template operator()<true>();
        for (int i = 0; i < i1; ++i)
            B[i] = L;
        for (int i = i2 + 1; i < n; ++i)
            B[i] = H;
        return passes;
    }
    case BkgLinear: {
        const double L = EndLevel(pdY, i1, n);
        const double H = EndLevel(pdY, i2, n);
        // Both limits on one point: no slope to take, so the level there.
        const double f = i2 > i1 ? (H - L) / (i2 - i1) : 0.0;
        pdBkg[0] = L - i1 * f;
        for (int j = 1; j < n; ++j)
            pdBkg[j] = pdBkg[j - 1] + f;
        return 1;
    }
    default: {
        // The lowest finite value; NaN when there is none.
        double v = std::numeric_limits<double>::quiet_NaN();
        for (int k = i1; k <= i2; ++k)
            if (std::isfinite(pdY[k]) && !(v <= pdY[k]))
                v = pdY[k];
        std::fill(pdBkg, pdBkg + n, v);
        return 1;
    }
    }
}

void Subtract(double* pdY, const double* pdBkg, int n)
{
    for (int i = 0; i < n; ++i)
        pdY[i] -= pdBkg[i];
}

void RemoveSpike(double* y, int n, int i, int w)
{
    if (n <= 0 || i < 0 || i >= n)
        return;
    const int a = std::max(0, i - w / 2);
    const int e = std::min(n - 1, a + w);
    if (e <= a || i < a || i > e)
        return;
    // The other points that are finite numbers: a "nan" or "inf" is what a
    // user most wants removed, and one beside the spike must not become its
    // replacement.
    double s = 0;
    int used = 0;
    for (int k = a; k <= e; ++k)
        if (k != i && std::isfinite(y[k])) {
            s += y[k];
            ++used;
        }
    if (used > 0)
        y[i] = s / used;
}

namespace {
constexpr SSatellites kMgKa = {5, {0.0853, 0.046, 0.0055, 0.005, 0.0045}, {8.4, 10.2, 17.5, 48.5, 20.0}};
constexpr SSatellites kAlKa = {5, {0.072, 0.036, 0.0055, 0.004, 0.003}, {9.8, 11.8, 69.7, 20.1, 23.4}};
} // namespace

const SSatellites* GetSatellites(int sourceType)
{
    switch (sourceType) {
    case 10:
        return &kMgKa;
    case 18:
        return &kAlKa;
    default:
        return nullptr;
    }
}

int SatelliteShift(double offset, double step)
{
    if (!(step > 0))
        return -1;
    // 10.2 / 0.1 is 101.99999999999999 in doubles; the tolerance keeps it 102.
    const double s = std::floor(offset / step + 1e-9);
    if (!(s >= 0) || s > double(std::numeric_limits<int>::max()))
        return -1;
    return int(s);
}

void RemoveSatellites(const SSatellites& sat, double step, double* y, const double* orig, int n)
{
    // A satellite lies above its line in kinetic energy: at higher indices on a
    // rising scale, at lower ones on a falling scale (a file on rising binding
    // energies), where the curve is treated as its mirror image.
    const bool falling = step < 0;
    for (int t = 0; t < sat.nCount && t < 5; ++t) {
        const int s = SatelliteShift(sat.offset[t], std::fabs(step));
        if (s < 0 || s >= n)
            continue;
        const double r = sat.ratio[t];
        // A line that is no finite number (an imported "nan" or "inf") has no
        // satellite to take away: it must not make NaN of the points it reaches.
        auto sub = [r](double& v, double line) {
            if (std::isfinite(line))
                v -= r * line;
        };
        if (!falling) {
            for (int j = 0; j < n - s; ++j)
                sub(y[s + j], orig[j]);
            for (int k = 0; k < s; ++k)
                sub(y[k], orig[s]);
        } else {
            for (int j = 0; j < n - s; ++j)
                sub(y[j], orig[j + s]);
            for (int k = n - s; k < n; ++k)
                sub(y[k], orig[n - 1 - s]);
        }
    }
}
