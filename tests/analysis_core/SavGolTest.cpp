// The Savitzky-Golay file and filter: polynomials of the fitted degree pass
// through unchanged (edges included), derivatives of polynomials are exact,
// truncated or altered files are refused, widths without a matrix are refused.

#include "analysis/core/SavGol.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> FileBytes()
{
    std::ifstream in(VELTRANE_SAVGOL_DAT, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WriteTemp(const std::vector<uint8_t>& bytes)
{
    static int n = 0;
    const std::string path = testing::TempDir() + "savgol" + std::to_string(++n) + ".dat";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

double Poly(const std::vector<double>& c, double x)
{
    double v = 0;
    for (size_t j = c.size(); j-- > 0;)
        v = v * x + c[j];
    return v;
}

} // namespace

TEST(SavGol, FileHasTheFullLayout)
{
    EXPECT_EQ(FileBytes().size(), 5 * CSavGol::BlockBytes);
}

// Smoothing is cubic; the first and second derivatives are cubic fits, the
// third and fourth quintic: each is exact for its degree at every point.
TEST(SavGol, PolynomialsOfTheFittedDegreeAreExactAtEveryPoint)
{
    const CSavGol smooth(1, VELTRANE_SAVGOL_DAT);
    const CSavGol deriv(0, VELTRANE_SAVGOL_DAT);
    const std::vector<double> cubic = {3.0, -0.5, 0.02, -0.001};
    const std::vector<double> quintic = {1.0, 0.3, -0.2, 0.01, 0.002, -0.0001};
    auto derivative = [](std::vector<double> c, int d) {
        for (; d > 0; --d) {
            for (size_t j = 1; j < c.size(); ++j)
                c[j - 1] = c[j] * double(j);
            c.pop_back();
        }
        return c;
    };
    struct Case
    {
        const CSavGol* sg;
        int set;
        const std::vector<double>* poly;
        int minWidth;
    };
    for (const Case& c : {Case{&smooth, 1, &cubic, 5}, Case{&deriv, 1, &cubic, 5}, Case{&deriv, 2, &cubic, 5},
                          Case{&deriv, 3, &quintic, 7}, Case{&deriv, 4, &quintic, 7}}) {
        const int order = c.sg == &smooth ? 0 : c.set;
        const std::vector<double> want = derivative(*c.poly, order);
        for (int width = c.minWidth; width <= 35; width += 2)
            for (int n : {width, width + 1, 60}) {
                std::vector<double> in(static_cast<size_t>(n)), out(static_cast<size_t>(n));
                const double x0 = -double(n) / 3;
                for (int i = 0; i < n; ++i)
                    in[size_t(i)] = Poly(*c.poly, x0 + i);
                ASSERT_TRUE(c.sg->Apply(out.data(), in.data(), n, width, c.set));
                double scale = 0;
                for (double v : in)
                    scale = std::max(scale, std::fabs(v));
                for (int i = 0; i < n; ++i)
                    // The file holds float32, so the weights are good to about 1e-7 each.
                    ASSERT_NEAR(out[size_t(i)], Poly(want, x0 + i), 2e-6 * scale * width)
                        << "order " << order << " width " << width << " n " << n << " i " << i;
            }
    }
}

// A "nan" or "inf" is filtered as the line the plot bridges it with: on a
// straight line the smoothed curve and its first derivative come out exact. It
// used to make NaN of every point whose window held it.
TEST(SavGol, PointsThatAreNoNumberAreBridged)
{
    const CSavGol smooth(1, VELTRANE_SAVGOL_DAT);
    const CSavGol deriv(0, VELTRANE_SAVGOL_DAT);
    const int n = 40;
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL})
        for (int at : {3, 20, 21}) {
            std::vector<double> in(n), out(n);
            for (int i = 0; i < n; ++i)
                in[size_t(i)] = 100 + 2.5 * i;
            in[size_t(at)] = bad;
            in[size_t(at + 1)] = bad;
            ASSERT_TRUE(smooth.Apply(out.data(), in.data(), n, 9, 1));
            for (int i = 0; i < n; ++i)
                EXPECT_NEAR(out[size_t(i)], 100 + 2.5 * i, 1e-3) << bad << " at " << at << ", index " << i;
            ASSERT_TRUE(deriv.Apply(out.data(), in.data(), n, 9, 1));
            for (int i = 0; i < n; ++i)
                EXPECT_NEAR(out[size_t(i)], 2.5, 1e-4) << bad << " at " << at << ", index " << i;
        }
}

TEST(SavGol, WidthWithoutMatrixOrTooFewPointsIsRefused)
{
    const CSavGol smooth(1, VELTRANE_SAVGOL_DAT);
    std::vector<double> in(40, 1.0), out(40, -7.0);
    for (int width : {4, 6, 34, 3, 37, 0, -5})
        EXPECT_FALSE(smooth.Apply(out.data(), in.data(), 40, width, 1)) << width;
    EXPECT_FALSE(smooth.Apply(out.data(), in.data(), 40, 5, 2)); // smoothing has one set
    EXPECT_FALSE(smooth.Apply(out.data(), in.data(), 8, 9, 1));
    EXPECT_EQ(out, std::vector<double>(40, -7.0));
}

TEST(SavGol, TruncatedOrAlteredFilesAreRefused)
{
    const std::vector<uint8_t> full = FileBytes();
    ASSERT_EQ(full.size(), 5 * CSavGol::BlockBytes);
    // Block 0 alone serves smoothing but not the derivatives.
    const std::string block0 = WriteTemp({full.begin(), full.begin() + CSavGol::BlockBytes});
    EXPECT_NO_THROW(CSavGol(1, block0));
    EXPECT_THROW(CSavGol(0, block0), CFileException);
    const std::string shortDeriv = WriteTemp({full.begin(), full.end() - 1});
    EXPECT_NO_THROW(CSavGol(1, shortDeriv));
    EXPECT_THROW(CSavGol(0, shortDeriv), CFileException);
    EXPECT_THROW(CSavGol(1, WriteTemp({full.begin(), full.begin() + 100})), CFileException);
    EXPECT_THROW(CSavGol(1, testing::TempDir() + "no-such-savgol.dat"), CFileException);

    // A NaN, and a weight changed so its row no longer sums as a filter must.
    for (size_t at : {size_t(0), size_t(4 * 1000), CSavGol::BlockBytes + 4 * 77}) {
        std::vector<uint8_t> bad = full;
        const bool smoothBlock = at < CSavGol::BlockBytes;
        bad[at + 3] = 0x7F, bad[at + 2] = 0xC0; // NaN
        EXPECT_THROW(CSavGol(smoothBlock ? 1 : 0, WriteTemp(bad)), CFileException) << at;
        bad = full;
        bad[at + 3] ^= 0x01;
        EXPECT_THROW(CSavGol(smoothBlock ? 1 : 0, WriteTemp(bad)), CFileException) << at;
    }
}

// With as many points as the width, each output uses its own matrix row
// over the whole curve.
TEST(SavGol, CurveAsLongAsTheWidthUsesEveryRow)
{
    const CSavGol smooth(1, VELTRANE_SAVGOL_DAT);
    const int n = 9;
    std::vector<double> in(n), out(n);
    for (int i = 0; i < n; ++i)
        in[size_t(i)] = std::sin(i * 1.3) * 10;
    ASSERT_TRUE(smooth.Apply(out.data(), in.data(), n, n, 1));
    const double* M = smooth.GetMatrix(n, 1);
    for (int r = 0; r < n; ++r) {
        double want = 0;
        for (int k = 0; k < n; ++k)
            want += M[r * n + k] * in[size_t(k)];
        EXPECT_DOUBLE_EQ(out[size_t(r)], want) << r;
    }
}
