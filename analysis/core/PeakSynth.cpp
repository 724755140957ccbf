#include "analysis/core/PeakSynth.h"

#include <algorithm>
#include <cmath>

CPelomar_Component::CPelomar_Component(double dEnergy, double dPosn, double dHeight, double dValue,
                                       double dHalfWidth, int nPts)
    : m_dHeight(dHeight), m_dValue(dValue), m_dPosn(dPosn), m_dEnergy(dEnergy), m_dHalfWidth(dHalfWidth),
      m_pdCurve(size_t(std::max(nPts, 0)), 0.0), m_nPts(std::max(nPts, 0))
{
}

double PeakWidthFactor(double r)
{
    static constexpr double c[7] = {0.999976, 0.221962, -0.383242, 0.415914, -0.46772, 0.305276, -0.092191};
    double p = 0, rj = 1;
    for (double cj : c) {
        p += cj * rj;
        rj *= r;
    }
    return p;
}

double PeakShape(double p, const CPelomar_Component& c, double step, double r, bool sherwood)
{
    const double widthPts = step != 0 ? c.m_dHalfWidth / std::abs(step) : 0.0;
    double g;
    if (!(widthPts > 0) || !std::isfinite(widthPts)) {
        // No width (or no step to measure it in): the peak is its own point.
        g = std::abs(p - c.m_dPosn) < 0.5 ? 1.0 : 0.0;
    } else {
        const double f = ((p - c.m_dPosn) / PeakWidthFactor(r)) / widthPts;
        g = std::exp(-(1 - r) * 0.6931471805599 * f * f) / (1 + r * f * f);
    }
    // The tail runs toward lower kinetic energy (the inelastic side): below the
    // position on a rising scale, above it on a falling one.
    const double behind = step < 0 ? p - c.m_dPosn : c.m_dPosn - p;
    if (sherwood && behind > 0) {
        const double T = std::exp(-c.m_dETR * behind);
        const double t = c.m_dCTR * c.m_dTMR + (1 - c.m_dTMR) * T;
        g += (1 - g) * t;
    }
    return g;
}

SPeakEstimate EstimatePeak(const double* y, const double* bkg, int n, int i, double start, double finish,
                           int count)
{
    SPeakEstimate e{};
    if (n <= 0)
        return e;
    i = std::clamp(i, 0, n - 1);
    const double step = count > 1 ? (finish - start) / (count - 1) : 0.0;
    e.index = i;
    e.energy = i * step + start;
    e.height = y[i] - bkg[i];
    e.value = y[i];
    const double half = e.height / 2;
    int l = i;
    while (l > 0 && y[l] - bkg[l] >= half)
        --l;
    int k = i;
    while (k < n) {
        const double v = y[k] - bkg[k];
        ++k;
        if (v < half)
            break;
    }
    if (k >= n)
        k = n - 1;
    // A width, whichever way the energies run.
    e.halfWidth = std::min((k - l) * std::abs(step) / 2, 2.0);
    return e;
}

void CalcEnvelope(std::vector<CPelomar_Component*>& components, int k, const double* y, const double* bkg,
                  int n, double step, double r, bool gaussLorentz, double* sum, double* residue)
{
    std::copy(bkg, bkg + n, sum);
    for (size_t j = 0; j < components.size(); ++j) {
        CPelomar_Component& c = *components[j];
        const int m = std::min(n, c.m_nPts);
        if (k != 0 && int(j) != k) {
            for (int p = 0; p < m; ++p)
                sum[p] += c.m_pdCurve[size_t(p)] - bkg[p];
            continue;
        }
        for (int p = 0; p < m; ++p) {
            const double v = PeakShape(p, c, step, r, !gaussLorentz) * c.m_dHeight;
            sum[p] += v;
            c.m_pdCurve[size_t(p)] = v + bkg[p];
        }
    }
    for (int p = 0; p < n; ++p)
        residue[p] = y[p] - sum[p];
}
