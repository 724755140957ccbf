// Peak synthesis: the click estimate, the line shapes, the envelope, and the
// shapes against the published synthetic test spectra.

#include "analysis/core/PeakSynth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {
std::vector<CPelomar_Component*> Raw(std::vector<std::unique_ptr<CPelomar_Component>>& owned)
{
    std::vector<CPelomar_Component*> raw;
    for (auto& c : owned)
        raw.push_back(c.get());
    return raw;
}
} // namespace

TEST(PeakSynth, EstimateFromAClick)
{
    // A peak of 1000 over a background of 100 at point 10, below 500 above the
    // background three points to the left and four to the right; step 0.1.
    std::vector<double> bkg(21, 100.0), y(21, 150.0);
    const double above[] = {600, 800, 1000, 800, 700, 600};
    for (int k = 0; k < 6; ++k)
        y[size_t(8 + k)] = 100 + above[k];
    y[10] = 1100;
    const SPeakEstimate e = EstimatePeak(y.data(), bkg.data(), 21, 10, 400.0, 402.0, 21);
    EXPECT_DOUBLE_EQ(e.height, 1000);
    EXPECT_NEAR(e.energy, 401.0, 1e-12);
    EXPECT_NEAR(e.halfWidth, 0.4, 1e-12); // l = 7, k = 15
    // The same curve on energies that fall: the same width, and a peak of
    // that width, not a single point.
    const SPeakEstimate down = EstimatePeak(y.data(), bkg.data(), 21, 10, 402.0, 400.0, 21);
    EXPECT_NEAR(down.energy, 401.0, 1e-12);
    EXPECT_NEAR(down.halfWidth, 0.4, 1e-12);
    const CPelomar_Component c(down.energy, 10, down.height, down.value, down.halfWidth, 21);
    EXPECT_NEAR(PeakShape(14, c, -0.1, 0, false), 0.5, 2e-5); // the width factor is 1 within 3e-5

    // A broad hump: the half width stops at 2.0.
    std::vector<double> broad(200, 50.0), flat(200, 0.0);
    EXPECT_DOUBLE_EQ(EstimatePeak(broad.data(), flat.data(), 200, 100, 0, 19.9, 200).halfWidth, 2.0);
    // Below the background: a negative height, still a peak.
    EXPECT_LT(EstimatePeak(flat.data(), broad.data(), 200, 3, 0, 19.9, 200).height, 0);
    // One point, or a region of one point: no step, no NaN.
    const SPeakEstimate one = EstimatePeak(y.data(), bkg.data(), 1, 0, 400, 400, 1);
    EXPECT_EQ(one.halfWidth, 0);
    EXPECT_TRUE(std::isfinite(one.energy));
}

TEST(PeakSynth, ShapesAtTheirWorkedPoints)
{
    CPelomar_Component c(0, 50, 1, 1, 0.5, 101);
    const double P0 = PeakWidthFactor(0), P1 = PeakWidthFactor(1);
    EXPECT_NEAR(P0, 1, 3e-5);
    EXPECT_NEAR(P1, 1, 3e-5);
    // Gauss (r = 0): 1 at the position, 1/2 one half width (5 points) away.
    EXPECT_DOUBLE_EQ(PeakShape(50, c, 0.1, 0, false), 1.0);
    EXPECT_NEAR(PeakShape(55, c, 0.1, 0, false), 0.5, 2e-5);
    EXPECT_NEAR(PeakShape(45, c, 0.1, 1, false), 0.5, 2e-5);
    // The product keeps its half width at any ratio.
    for (double r : {0.25, 0.5, 0.75})
        EXPECT_NEAR(PeakShape(55, c, 0.1, r, false), 0.5, 2e-3) << r;
    // Sherwood tail one point below the position, default tail constants.
    const double g = PeakShape(49, c, 0.1, 0, false);
    const double t = 0.4 * 0.5 + 0.5 * std::exp(-0.2);
    EXPECT_NEAR(PeakShape(49, c, 0.1, 0, true), g + (1 - g) * t, 1e-15);
    EXPECT_DOUBLE_EQ(PeakShape(51, c, 0.1, 0, true), PeakShape(51, c, 0.1, 0, false));
    EXPECT_NEAR(PeakShape(0, c, 0.1, 0, true), 0.2, 1e-3); // far below: CTR x TMR

    // No width, or no step: a single point, never NaN.
    CPelomar_Component thin(0, 3, 1, 1, 0.0, 7);
    for (double step : {0.1, 0.0})
        for (int p = 0; p < 7; ++p) {
            const double v = PeakShape(p, thin, step, 0.5, true);
            EXPECT_TRUE(std::isfinite(v));
            if (p == 3) {
                EXPECT_EQ(v, 1.0);
            }
        }
}

// The tail stands on the inelastic side, toward lower kinetic energy. On a
// region whose energies fall point by point (a file on rising binding
// energies) that is toward the higher indices: the peak there is the mirror
// image of the same peak on a rising scale. The tail stayed below the index.
TEST(PeakSynth, TailFollowsTheEnergyScale)
{
    const CPelomar_Component c(0, 50, 1, 1, 0.5, 101);
    for (int k = -20; k <= 20; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(PeakShape(50 + k, c, -0.1, 0.3, true), PeakShape(50 - k, c, 0.1, 0.3, true));
    }
    // Far from the line only the tail is left (CTR x TMR = 0.2), on its side.
    EXPECT_NEAR(PeakShape(100, c, -0.1, 0.3, true), 0.2, 1e-3);
    EXPECT_LT(PeakShape(0, c, -0.1, 0.3, true), 1e-3);
}

TEST(PeakSynth, EnvelopeSumsPeaksOverTheBackground)
{
    const int n = 40;
    std::vector<double> y(n), bkg(n, 10.0), sum(n), res(n);
    for (int p = 0; p < n; ++p)
        y[size_t(p)] = 10 + p;
    std::vector<std::unique_ptr<CPelomar_Component>> owned;
    auto comps = Raw(owned);
    CalcEnvelope(comps, 0, y.data(), bkg.data(), n, 0.1, 0.3, true, sum.data(), res.data());
    for (int p = 0; p < n; ++p)
        EXPECT_DOUBLE_EQ(res[size_t(p)], y[size_t(p)] - bkg[size_t(p)]);

    owned.push_back(std::make_unique<CPelomar_Component>(0, 10, 100, 110, 0.3, n));
    owned.push_back(std::make_unique<CPelomar_Component>(0, 25, 50, 60, 0.2, n));
    comps = Raw(owned);
    CalcEnvelope(comps, 0, y.data(), bkg.data(), n, 0.1, 0.3, true, sum.data(), res.data());
    EXPECT_NEAR(sum[10], 10 + 100 + 50 * PeakShape(10, *owned[1], 0.1, 0.3, false), 1e-9);
    EXPECT_NEAR(owned[0]->m_pdCurve[10], 110, 1e-12);
    // Recalculating one peak with another ratio leaves the other's stored curve.
    const double before = owned[0]->m_pdCurve[12];
    CalcEnvelope(comps, 1, y.data(), bkg.data(), n, 0.1, 0.9, true, sum.data(), res.data());
    EXPECT_EQ(owned[0]->m_pdCurve[12], before);
    for (int p = 0; p < n; ++p)
        EXPECT_NEAR(sum[size_t(p)] + res[size_t(p)], y[size_t(p)], 1e-12);
}

namespace {
// The ordinates of a one-block test spectrum: the lines before "end of experiment".
std::vector<double> Ordinates(const std::string& path, size_t count)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    std::vector<double> v;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].rfind("end of experiment", 0) == 0 && i >= count) {
            for (size_t k = i - count; k < i; ++k)
                v.push_back(std::stod(lines[k]));
            break;
        }
    return v;
}
} // namespace

// The synthetic spectra of the VAMAS test set (binding energy 200 down to 0 in
// steps of 0.1, a background of 2e4, peak at 100 eV binding, B = 0.5, L = 0.5).
TEST(PeakSynth, MatchesThePublishedSyntheticSpectra)
{
    const std::string dir = VELTRANE_SHARED_VAMAS;
    const std::vector<double> product = Ordinates(dir + "/nplsynth__gpbn.vms", 2001);
    const std::vector<double> sumForm = Ordinates(dir + "/nplsynth__gsbn.vms", 2001);
    if (product.size() != 2001 || sumForm.size() != 2001)
        GTEST_SKIP() << "synthetic spectra not found beside the project";
    const int n = 2001;
    std::vector<double> bkg(n, 2e4), sum(n), res(n);

    // Product form: one peak of ratio L whose half width makes f the file's (E - Eo) / B.
    std::vector<std::unique_ptr<CPelomar_Component>> owned;
    owned.push_back(
        std::make_unique<CPelomar_Component>(1386.6, 1000, 9.4163e4, 0, 0.5 / PeakWidthFactor(0.5), n));
    auto comps = Raw(owned);
    CalcEnvelope(comps, 0, product.data(), bkg.data(), n, -0.1, 0.5, true, sum.data(), res.data());
    for (int p = 0; p < n; ++p)
        ASSERT_NEAR(sum[size_t(p)], product[size_t(p)], 1e-6 * product[size_t(p)]) << p;

    // Sum form: a Lorentzian of weight L plus a Gaussian of weight 1 - L, each
    // of half width B; the width factor's own accuracy (3e-5) sets the tolerance.
    owned.clear();
    owned.push_back(std::make_unique<CPelomar_Component>(1386.6, 1000, 0.5 * 7.6042e4, 0, 0.5, n));
    comps = Raw(owned);
    CalcEnvelope(comps, 0, sumForm.data(), bkg.data(), n, 0.1, 1.0, true, sum.data(), res.data());
    std::vector<double> lorentz(sum);
    owned[0]->m_dHeight = 0.5 * 7.6042e4;
    CalcEnvelope(comps, 0, sumForm.data(), bkg.data(), n, 0.1, 0.0, true, sum.data(), res.data());
    for (int p = 0; p < n; ++p) {
        const double model = lorentz[size_t(p)] + sum[size_t(p)] - 2e4;
        ASSERT_NEAR(model, sumForm[size_t(p)], 5e-5 * sumForm[size_t(p)]) << p;
    }
}
