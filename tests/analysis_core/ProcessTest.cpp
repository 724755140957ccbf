// The processing kernels against worked values, exact cases and real data.

#include "analysis/core/Process.h"
#include "analysis/core/SavGol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

using Vec = std::vector<double>;

namespace {

void ExpectNear(const Vec& got, const Vec& want, double tol = 1e-12)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], tol) << "index " << i;
}

Vec Counts(const char* file)
{
    std::ifstream in(std::string(VELTRANE_ANALYSIS_FIXTURES) + "/" + file);
    Vec y;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            y.push_back(std::stod(line));
    return y;
}

double Trapezoid(const Vec& y, const Vec& b, int i1, int i2)
{
    double a = 0;
    for (int k = i1; k < i2; ++k)
        a += ((y[size_t(k)] - b[size_t(k)]) + (y[size_t(k + 1)] - b[size_t(k + 1)])) / 2;
    return a;
}

} // namespace

TEST(Smooth, MovingAverageWindowsShrinkAtTheEnds)
{
    const Vec in = {1, 2, 4, 8, 16, 32};
    Vec out(6);
    Smooth(out.data(), in.data(), 6, 0, 2); // h = 1: i-1 and i, point 0 alone
    ExpectNear(out, {1, 1.5, 3, 6, 12, 24});
    Smooth(out.data(), in.data(), 6, 0, 3);
    ExpectNear(out, {1.5, 7.0 / 3, 14.0 / 3, 28.0 / 3, 56.0 / 3, 24});
    Smooth(out.data(), in.data(), 6, 0, 4); // h = 2: two before, one after
    ExpectNear(out, {1.5, 7.0 / 3, 15.0 / 4, 30.0 / 4, 60.0 / 4, 56.0 / 3});
    Smooth(out.data(), in.data(), 6, 0, 0);
    ExpectNear(out, in);
    Smooth(out.data(), in.data(), 6, 0, 6); // as wide as the curve
    ExpectNear(out, {7.0 / 3, 15.0 / 4, 31.0 / 5, 63.0 / 6, 62.0 / 5, 15});
}

// A "nan" or "inf" is passed over as a window's end is: it used to make NaN or
// infinity of every point whose window held it.
TEST(Smooth, PointsThatAreNoNumberArePassedOver)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    for (double bad : {nan, inf, -inf}) {
        SCOPED_TRACE(bad);
        const Vec in = {1, 2, bad, 8, 16, 32};
        Vec out(6);
        Smooth(out.data(), in.data(), 6, 0, 3); // h = 1: i-1, i and i+1
        ExpectNear(out, {1.5, 1.5, 5, 12, 56.0 / 3, 24});
        // A window of nothing else keeps the point.
        const Vec none = {bad, bad, bad};
        Vec o3(3);
        Smooth(o3.data(), none.data(), 3, 0, 3);
        for (double v : o3)
            EXPECT_FALSE(std::isfinite(v));
    }
}

// A synthetic Gaussian-Lorentzian product peak (the NPL test-set shape, 0.1 eV
// steps) keeps its position within a tenth of a step under every smoothing.
TEST(Smooth, PeakPositionStaysWithinATenthOfAStep)
{
    const CSavGol sg(1, VELTRANE_SAVGOL_DAT);
    const double A = 9.4163e4, B = 0.5, L = 0.5, step = 0.1, E0 = 1386.6;
    const int n = 2001;
    Vec y(n), out(n);
    for (int i = 0; i < n; ++i) {
        const double d = 1286.63 + i * step - E0; // the peak falls between points
        y[size_t(i)] =
            1e4 + A / (1 + L * d * d / (B * B)) * std::exp(-(1 - L) * std::log(2.0) * d * d / (B * B));
    }
    auto peak = [&](const Vec& v) {
        const size_t m = size_t(std::max_element(v.begin(), v.end()) - v.begin());
        const double a = v[m - 1], b = v[m], c = v[m + 1];
        return double(m) + 0.5 * (a - c) / (a - 2 * b + c);
    };
    const double at = peak(y);
    for (int width : {5, 11, 21, 35}) {
        ASSERT_TRUE(sg.Apply(out.data(), y.data(), n, width, 1));
        EXPECT_NEAR(peak(out), at, 0.1) << "Savitzky-Golay " << width;
        Smooth(out.data(), y.data(), n, 0, width);
        EXPECT_NEAR(peak(out), at, 0.1) << "simple " << width;
    }
}

TEST(Differentiate, SimpleDifferencesAndTheirRepeats)
{
    const Vec in = {0, 1, 4, 9, 16, 25};
    Vec y = in, buf(6);
    Differentiate(y.data(), buf.data(), 6, 2, 1);
    ExpectNear(y, {1, 4.0 / 2, 8.0 / 2, 12.0 / 2, 16.0 / 2, 9});
    // Order 2 is order 1 applied twice, for odd and even widths.
    for (int width : {2, 3, 4}) {
        Vec once = in, twice = in;
        Differentiate(once.data(), buf.data(), 6, width, 1);
        Differentiate(once.data(), buf.data(), 6, width, 1);
        Differentiate(twice.data(), buf.data(), 6, width, 2);
        ExpectNear(twice, once);
    }
    // Odd width 3: h = 2 back, d = 1 ahead.
    y = in;
    Differentiate(y.data(), buf.data(), 6, 3, 1);
    ExpectNear(y, {1, 4.0 / 2, 9.0 / 3, 15.0 / 3, 21.0 / 3, 16.0 / 2});
    // A width that reaches nowhere changes nothing rather than dividing by zero.
    y = in;
    Differentiate(y.data(), buf.data(), 6, 1, 1);
    ExpectNear(y, in);
}

// A point that is no number is differentiated as the line the plot bridges
// it with: on a straight line every difference is its slope. It used to make
// NaN of every difference whose window held it, more with each order.
TEST(Differentiate, PointsThatAreNoNumberAreBridged)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    for (double bad : {nan, inf, -inf})
        for (int at : {2, 5, 6})
            for (int order : {1, 2}) {
                Vec y(12), buf(12);
                for (int i = 0; i < 12; ++i)
                    y[size_t(i)] = 7 + 3 * i;
                y[size_t(at)] = bad;
                y[size_t(at + 1)] = bad;
                Differentiate(y.data(), buf.data(), 12, 3, order);
                SCOPED_TRACE(testing::Message() << bad << " at " << at << ", order " << order);
                ExpectNear(y, Vec(12, order == 1 ? 3.0 : 0.0));
            }
}

TEST(Integrate, ExactOnCubicsAtEveryIndex)
{
    // I[k] = integral from 0 to k of the cubic, for every length from 4 on.
    auto f = [](double x) { return 2 - 0.5 * x + 0.25 * x * x - 0.01 * x * x * x; };
    auto F = [](double x) { return 2 * x - 0.25 * x * x + x * x * x / 12 - 0.0025 * x * x * x * x; };
    for (int n = 4; n <= 13; ++n) {
        Vec y(static_cast<size_t>(n)), I(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            y[size_t(i)] = f(i);
        Integrate(I.data(), y.data(), n);
        for (int k = 0; k < n; ++k)
            EXPECT_NEAR(I[size_t(k)], F(k), 1e-12 * (1 + std::fabs(F(k)))) << "n " << n << " k " << k;
    }
    // Below four points, trapezoids.
    Vec I(3);
    const Vec y3 = {1, 3, 2};
    Integrate(I.data(), y3.data(), 3);
    ExpectNear(I, {0, 2, 4.5});
}

// A point that is no number (an imported "nan" or "inf") is integrated as the
// straight line the plot bridges it with, at either end as the nearest
// point's level. It used to carry NaN into every later point.
TEST(Integrate, PointsThatAreNoNumberAreBridged)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    Vec line(9), flat(9, 4.0);
    for (int i = 0; i < 9; ++i)
        line[size_t(i)] = 2 + 3 * i;
    struct Case
    {
        const Vec& clean;
        std::vector<int> at;
        int n;
    } cases[] = {
        {line, {4}, 9}, {line, {3, 4}, 9}, {line, {7}, 9}, {line, {1}, 3},
        {flat, {0}, 9}, {flat, {0, 1}, 9}, {flat, {8}, 9}, {flat, {0, 8}, 9}, {flat, {2}, 3},
    };
    for (const Case& c : cases)
        for (double bad : {nan, inf, -inf}) {
            Vec y(c.clean.begin(), c.clean.begin() + c.n), want(size_t(c.n)), got(size_t(c.n));
            Integrate(want.data(), y.data(), c.n);
            for (int i : c.at)
                y[size_t(i)] = bad;
            Integrate(got.data(), y.data(), c.n);
            SCOPED_TRACE(testing::Message() << bad << " at " << c.at[0] << ", " << c.n << " points");
            ExpectNear(got, want);
        }
    // Nothing to bridge from: no crash, and no number made up.
    Vec none(5, nan), I(5);
    Integrate(I.data(), none.data(), 5);
    EXPECT_TRUE(std::isnan(I[4]));
}

TEST(Integrate, OffsetsMeanAndEnds)
{
    const int n = 12;
    Vec y(n, 1.0), I(n);
    Integrate(I.data(), y.data(), n);
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(I[size_t(k)], k, 1e-12);
    for (int mode : {OffsetMean, OffsetEnds}) {
        Vec J = I;
        Offset(J.data(), n, mode, 3);
        ExpectNear(J, Vec(n, 0.0));
    }
    // A step: Mean ends at 0; Ends takes the slope of the first and last three intervals.
    Vec step(n);
    for (int k = 0; k < n; ++k)
        step[size_t(k)] = k < 6 ? 1.0 : 3.0;
    Integrate(I.data(), step.data(), n);
    Vec J = I;
    Offset(J.data(), n, OffsetMean, 3);
    EXPECT_NEAR(J[n - 1], 0, 1e-12);
    J = I;
    const double c = (I[3] + I[n - 1] - I[n - 1 - 3]) / 6;
    Offset(J.data(), n, OffsetEnds, 3);
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(J[size_t(k)], I[size_t(k)] - k * c, 1e-12);
    J = I;
    Offset(J.data(), n, OffsetNone, 3);
    ExpectNear(J, I);
}

TEST(Background, ShirleyOnHandComputedCases)
{
    // Constant between the limits: area 0, scale 0; H inside, L before.
    Vec y = {10, 10, 10, 10, 10, 5, 5, 5, 5, 5, 5, 5}, b(12);
    EXPECT_EQ(CalcBackground(b.data(), y.data(), 7, 10, 12, BkgShirley), 1);
    ExpectNear(b, Vec(12, 5.0));

    // A step from 3 to 1, limits 2 and 8 on the flat parts (L = 3, H = 1).
    // Pass 1: A = 7, s = 2/7: B[2..8] = 3, 1+10/7, 1+6/7, 1+2/7, 1, 1, 1 (change 2).
    // Pass 2: A = 24/7, s = 7/12: B[3..5] = 17/6, 7/3, 3/2 (change 10/21).
    // Passes 3 to 5 move it by 5/21, 11/91, 19/273, each more than the
    // thousandth of the span (0.002) that a curve so small is held to:
    // B[3..5] = 125/42, 58/21, 25/14. The same step in thousands of counts is
    // held to one count and takes the same five passes to the same shape.
    const Vec step = {3, 3, 3, 3, 3, 3, 1, 1, 1, 1, 1};
    const Vec want = {3, 3, 3, 125.0 / 42, 58.0 / 21, 25.0 / 14, 1, 1, 1, 1, 1};
    for (double scale : {1.0, 1000.0}) {
        Vec ys(step), bs(11);
        for (double& v : ys)
            v *= scale;
        EXPECT_EQ(CalcBackground(bs.data(), ys.data(), 2, 8, 11, BkgShirley), 5) << scale;
        for (size_t k = 0; k < bs.size(); ++k)
            EXPECT_NEAR(bs[k] / scale, want[k], 1e-12) << scale << " " << k;
    }
}

// A peak in counts per second or normalised to 1 gets the background that the
// same peak gets in counts: the passes stopped at a change below one count,
// so a curve spanning about one unit had a single pass, 0.2 of its height off.
TEST(Background, ShirleyShapeDoesNotDependOnTheCurvesUnits)
{
    const int n = 201;
    Vec y(n);
    for (int i = 0; i < n; ++i)
        y[size_t(i)] = std::exp(-std::pow((i - 100) / 10.0, 2)) + 0.2 + 0.4 / (1 + std::exp((i - 100) / 8.0));
    Vec counts(y), ref(n);
    for (double& v : counts)
        v *= 1e6;
    CalcBackground(ref.data(), counts.data(), 20, 180, n, BkgShirley);
    for (double scale : {1e-3, 1.0, 100.0}) {
        Vec ys(y), b(n);
        for (double& v : ys)
            v *= scale;
        CalcBackground(b.data(), ys.data(), 20, 180, n, BkgShirley);
        for (int k = 0; k < n; ++k)
            ASSERT_NEAR(b[size_t(k)] / scale, ref[size_t(k)] / 1e6, 1e-3) << scale << " " << k;
    }
    // The measured Pt 4f peak in thousands of counts: its area above the
    // background came out 9 % too large.
    const Vec pt = Counts("pt4f_counts.txt");
    ASSERT_EQ(pt.size(), 281u);
    Vec kilo(pt), bc(pt.size()), bk(pt.size());
    for (double& v : kilo)
        v /= 1000;
    CalcBackground(bc.data(), pt.data(), 20, 260, 281, BkgShirley);
    CalcBackground(bk.data(), kilo.data(), 20, 260, 281, BkgShirley);
    const double area = Trapezoid(pt, bc, 20, 260);
    EXPECT_NEAR(Trapezoid(kilo, bk, 20, 260) * 1000, area, 1e-3 * area);
}

TEST(Background, ShirleyStopsAfterFivePassesOrBelowOneCount)
{
    // A large peak keeps changing the background by more than 1.0 for long.
    const int n = 201;
    Vec y(n), b(n);
    for (int i = 0; i < n; ++i)
        y[size_t(i)] = 1e6 * std::exp(-std::pow((i - 100) / 10.0, 2)) + (i < 100 ? 5e5 : 0);
    EXPECT_EQ(CalcBackground(b.data(), y.data(), 10, 190, n, BkgShirley), 5);
    // A small one settles within a few passes, the last change within a thousandth of its span.
    for (int i = 0; i < n; ++i)
        y[size_t(i)] = 100 * std::exp(-std::pow((i - 100) / 10.0, 2)) + (i < 100 ? 20 : 10);
    const int passes = CalcBackground(b.data(), y.data(), 10, 190, n, BkgShirley);
    EXPECT_GE(passes, 2);
    EXPECT_LT(passes, 5);
    // The start limit on point 0: the low level is the mean of points 0 to 4.
    CalcBackground(b.data(), y.data(), 0, 190, n, BkgShirley);
    EXPECT_NEAR(b[0], (y[0] + y[1] + y[2] + y[3] + y[4]) / 5, 1e-12);
}

// A limit near either end of the curve takes its level from the five points
// nearest it, as one in the middle does from the five around it. At the last
// two points the window was cut instead of moved inside, and the level came
// from three or four points only.
TEST(Background, EndLevelsAtTheLastPointsTakeFivePoints)
{
    const Vec y = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 30, 50};
    const int n = int(y.size());
    Vec b(y.size());
    // By hand: the last five points 8, 9, 10, 30, 50 have the mean 21.4 (the
    // window around n - 3 is those five too); the first five, 1 to 5, have 3.
    for (int last : {n - 1, n - 2, n - 3}) {
        SCOPED_TRACE(last);
        for (int type : {BkgLinear, BkgShirley}) {
            CalcBackground(b.data(), y.data(), 1, last, n, type);
            EXPECT_NEAR(b[size_t(last)], 21.4, 1e-12) << type;
            EXPECT_NEAR(b[1], 3.0, 1e-12) << type;
        }
    }
}

TEST(Background, LinearMinimumOrderAndDegenerateLimits)
{
    const Vec y = {0, 0, 0, 0, 0, 9, 10, 10, 10, 10, 10};
    Vec b(11), r(11);
    CalcBackground(b.data(), y.data(), 2, 8, 11, BkgLinear);
    // L = mean(y[0..4]) = 0, H = mean(y[6..10]) = 10: the line through (2,0) and (8,10).
    for (int j = 0; j < 11; ++j)
        EXPECT_NEAR(b[size_t(j)], (j - 2) * 10.0 / 6, 1e-12);
    // The limits in either order give the same background.
    CalcBackground(r.data(), y.data(), 8, 2, 11, BkgLinear);
    ExpectNear(r, b);
    // Both limits on one point: flat at that level, never NaN.
    CalcBackground(b.data(), y.data(), 5, 5, 11, BkgLinear);
    ExpectNear(b, Vec(11, (0 + 0 + 9 + 10 + 10) / 5.0));
    CalcBackground(b.data(), y.data(), 5, 5, 11, BkgShirley);
    for (double v : b)
        EXPECT_TRUE(std::isfinite(v));
    // Minimum: the smallest value between the limits, everywhere.
    CalcBackground(b.data(), y.data(), 5, 9, 11, BkgMinimum);
    ExpectNear(b, Vec(11, 9.0));
    // Limits beyond the curve are clamped, an unknown type does nothing.
    EXPECT_EQ(CalcBackground(b.data(), y.data(), -40, 400, 11, BkgMinimum), 1);
    ExpectNear(b, Vec(11, 0.0));
    EXPECT_EQ(CalcBackground(b.data(), y.data(), 0, 10, 11, 3), 0);
    Vec d = y;
    Subtract(d.data(), b.data(), 11);
    ExpectNear(d, y);
}

// An imported "nan" or "inf" where the curve is flat at an end level, inside
// that level's window or between the limits, leaves every type of background as it
// is without that point. It used to turn the whole background, and with it the
// whole subtracted curve, into NaN.
TEST(Background, PointsThatAreNoNumberAreLeftOut)
{
    const Vec step = {3, 3, 3, 3, 3, 3, 1, 1, 1, 1, 1};
    const double nan = std::nan(""), inf = HUGE_VAL;
    for (int type : {BkgShirley, BkgLinear, BkgMinimum}) {
        Vec want(11);
        CalcBackground(want.data(), step.data(), 2, 8, 11, type);
        for (int at : {0, 1, 7, 8, 10}) {
            for (double bad : {nan, inf, -inf}) {
                Vec y = step, b(11);
                y[size_t(at)] = bad;
                CalcBackground(b.data(), y.data(), 2, 8, 11, type);
                SCOPED_TRACE(testing::Message() << "type " << type << ", " << bad << " at " << at);
                ExpectNear(b, want);
            }
        }
    }
}

// Real spectra (Pt 4f, and Mn 2p of MnO, 0.1 eV steps): the backgrounds reach
// the end levels, the Shirley background (and the linear one on Pt 4f, whose
// ends are flat) stays below the data within the counting noise, and the
// peak areas match values worked out independently (numpy) from the same
// counts and limits.
TEST(Background, RealSpectra)
{
    struct Case
    {
        const char* file;
        size_t n;
        int i1, i2, peak;
        double linearArea, shirleyArea;
        bool linearBelow;
    };
    const Case cases[] = {
        {"pt4f_counts.txt", 281, 20, 260, 189, 124680.1745, 113499.86433603254, true},
        {"mn2p_mno_counts.txt", 400, 10, 389, 285, 313353.5998, 269364.24943180406, false},
    };
    for (const Case& c : cases) {
        const Vec y = Counts(c.file);
        ASSERT_EQ(y.size(), c.n) << c.file;
        const int n = int(c.n);
        auto level = [&](int i) {
            return (y[size_t(i - 2)] + y[size_t(i - 1)] + y[size_t(i)] + y[size_t(i + 1)] +
                    y[size_t(i + 2)]) /
                   5;
        };
        for (int type : {BkgLinear, BkgShirley}) {
            Vec b(c.n);
            EXPECT_EQ(CalcBackground(b.data(), y.data(), c.i1, c.i2, n, type), type == BkgShirley ? 5 : 1);
            EXPECT_NEAR(b[size_t(c.i1)], level(c.i1), 1e-9) << c.file;
            EXPECT_NEAR(b[size_t(c.i2)], level(c.i2), 1e-9) << c.file;
            if (type == BkgShirley || c.linearBelow) {
                for (int k = c.i1; k <= c.i2; ++k) // 4 sigma of counting noise
                    ASSERT_GE(y[size_t(k)] - b[size_t(k)], -4 * std::sqrt(b[size_t(k)]))
                        << c.file << " " << k;
            }
            EXPECT_GT(y[size_t(c.peak)] - b[size_t(c.peak)], 0.5 * y[size_t(c.peak)]) << c.file;
            const double area = type == BkgShirley ? c.shirleyArea : c.linearArea;
            EXPECT_NEAR(Trapezoid(y, b, c.i1, c.i2), area, 1e-8 * area) << c.file << " " << type;
            Vec d = y;
            Subtract(d.data(), b.data(), n);
            EXPECT_NEAR(Trapezoid(d, Vec(c.n, 0.0), c.i1, c.i2), area, 1e-8 * area) << c.file;
        }
    }
}

TEST(Spike, WindowsAtBothEndsAndEmptyWindows)
{
    const Vec y = {1, 2, 100, 4, 8, 16};
    struct Case
    {
        int i, w;
        double want;
    };
    for (const Case& c : {Case{2, 2, (2 + 4) / 2.0}, Case{0, 2, (2 + 100) / 2.0}, Case{5, 4, (4 + 8) / 2.0},
                          Case{5, 1, 16}, Case{3, 0, 4}, Case{0, 1, 2}}) {
        Vec v = y;
        RemoveSpike(v.data(), 6, c.i, c.w);
        EXPECT_DOUBLE_EQ(v[size_t(c.i)], c.want) << c.i << " " << c.w;
        for (int k = 0; k < 6; ++k)
            if (k != c.i) {
                EXPECT_EQ(v[size_t(k)], y[size_t(k)]);
            }
    }
}

// A "nan" or "inf" is replaced like any spike, and one beside a spike is left
// out of its replacement; both used to give NaN or infinity again.
TEST(Spike, PointsThatAreNoNumber)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    struct Case
    {
        Vec y;
        int i, w;
        double want;
    } cases[] = {
        {{1, 2, nan, 4, 8}, 2, 2, 3},     {{1, 2, inf, 4, 8}, 2, 2, 3},   {{1, nan, 100, 4, 8}, 2, 2, 4},
        {{1, 2, 100, -inf, 8}, 2, 2, 2},  {{nan, 2, 100, 4, 8}, 0, 2, 51}, {{1, nan, 100, nan, 8}, 2, 2, nan},
    };
    for (const Case& c : cases) {
        Vec v = c.y;
        RemoveSpike(v.data(), int(v.size()), c.i, c.w);
        if (std::isnan(c.want)) // nothing to take the place from: unchanged
            EXPECT_EQ(v[size_t(c.i)], c.y[size_t(c.i)]);
        else
            EXPECT_DOUBLE_EQ(v[size_t(c.i)], c.want) << c.i;
    }
}

TEST(Satellite, ShiftsOfTheMgExampleAndTheTenthStep)
{
    const SSatellites* mg = GetSatellites(10);
    ASSERT_NE(mg, nullptr);
    const int want[5] = {16, 20, 35, 97, 40};
    for (int t = 0; t < 5; ++t)
        EXPECT_EQ(SatelliteShift(mg->offset[t], 0.5), want[t]);
    // 10.2 / 0.1 is just below 102 in doubles.
    EXPECT_EQ(SatelliteShift(10.2, 0.1), 102);
    EXPECT_EQ(SatelliteShift(8.4, 0.1), 84);
    EXPECT_EQ(SatelliteShift(8.4, 0.0), -1);
    EXPECT_EQ(SatelliteShift(8.4, -0.5), -1);
    EXPECT_EQ(SatelliteShift(8.4, std::nan("")), -1);
    EXPECT_EQ(SatelliteShift(8.4, 1e-300), -1);
    EXPECT_EQ(GetSatellites(0), nullptr);
    ASSERT_NE(GetSatellites(18), nullptr);
}

TEST(Satellite, RemovalFromTheOpeningCurve)
{
    // One satellite of ratio 0.5 at 2 points: y[j+2] -= 0.5 orig[j]; the first
    // two points lose 0.5 orig[2].
    const SSatellites one = {1, {0.5}, {1.0}};
    const Vec orig = {2, 4, 6, 8, 10};
    Vec y = orig;
    RemoveSatellites(one, 0.5, y.data(), orig.data(), 5);
    ExpectNear(y, {2 - 3, 4 - 3, 6 - 1, 8 - 2, 10 - 3});
    // A second removal subtracts again from the opening curve.
    RemoveSatellites(one, 0.5, y.data(), orig.data(), 5);
    ExpectNear(y, {2 - 6, 4 - 6, 6 - 2, 8 - 4, 10 - 6});
    // A shift as long as the curve, or a step of 0, changes nothing.
    y = orig;
    RemoveSatellites(one, 0.2, y.data(), orig.data(), 5);
    RemoveSatellites(one, 0.0, y.data(), orig.data(), 5);
    ExpectNear(y, orig);
}

// A "nan" or "inf" point of the opening curve takes no satellite away: it
// made NaN of the point its satellite falls on and, as the level carried to
// the first points, of every point before the shift. It stays as it is.
TEST(Satellite, PointsThatAreNoNumberTakeNoSatelliteAway)
{
    // One satellite of ratio 0.5 at 2 points, as above.
    const SSatellites one = {1, {0.5}, {1.0}};
    const double nan = std::nan(""), inf = HUGE_VAL;
    for (double bad : {nan, inf}) {
        struct Case
        {
            double step;
            Vec orig, want;
        } cases[] = {
            {0.5, {bad, 4, bad, 8, 10}, {bad, 4, bad, 8 - 2, 10}},
            {-0.5, {10, 8, bad, 4, bad}, {10, 8 - 2, bad, 4, bad}},
        };
        for (const Case& c : cases) {
            Vec y = c.orig;
            RemoveSatellites(one, c.step, y.data(), c.orig.data(), 5);
            for (size_t i = 0; i < 5; ++i)
                if (std::isnan(c.want[i]))
                    EXPECT_TRUE(std::isnan(y[i])) << "step " << c.step << ", index " << i;
                else
                    EXPECT_EQ(y[i], c.want[i]) << bad << ", step " << c.step << ", index " << i;
        }
    }
}

// A satellite stands 8.4 eV (and so on) above its line in kinetic energy. On a
// region whose energies fall point by point (a VAMAS file on rising binding
// energies) that is toward the lower indices; the removal did nothing there.
TEST(Satellite, FallingScaleTakesTheSatellitesBelowTheLine)
{
    // A line of 1000 at index 250 of 301, Mg K-alpha, 0.1 eV steps: by hand from
    // the table, -85.3 at 84 points, -46 at 102, -5.5 at 175, -4.5 at 200 points
    // above it in kinetic energy; 48.5 eV (485 points) is off the curve.
    const SSatellites* mg = GetSatellites(10);
    ASSERT_NE(mg, nullptr);
    const int n = 301, line = 250;
    Vec orig(n, 0.0);
    orig[line] = 1000;
    Vec y = orig;
    RemoveSatellites(*mg, -0.1, y.data(), orig.data(), n);
    Vec want(n, 0.0);
    want[line] = 1000;
    want[line - 84] = -85.3;
    want[line - 102] = -46.0;
    want[line - 175] = -5.5;
    want[line - 200] = -4.5;
    ExpectNear(y, want, 1e-9);

    // Any curve: the falling removal is the rising one on the mirrored curve.
    const SSatellites one = {1, {0.5}, {1.0}};
    const Vec o = {2, 4, 6, 8, 10};
    Vec down = o;
    RemoveSatellites(one, -0.5, down.data(), o.data(), 5);
    const Vec ro(o.rbegin(), o.rend());
    Vec up = ro;
    RemoveSatellites(one, 0.5, up.data(), ro.data(), 5);
    ExpectNear(down, Vec(up.rbegin(), up.rend()));
}
