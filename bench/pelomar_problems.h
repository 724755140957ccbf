#pragma once
// Synthetic chemical-state profiles for the reference-fit benchmark: M
// reference spectra (pseudo-Voigt peaks with a satellite on a sloping
// background, normalised to 0..1 like the caller's copies) and one data
// stretch per profile level, mixed from the references with intensities that
// change over depth, shifted by a fraction of an eV, with noise from a fixed
// seed.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace pelomar_bench {

struct Reference
{
    std::vector<double> y;
    double a = 1.0;    // reference channels per data channel
    double b = 0.0;    // reference channel of data point 0
    double step = 0.1; // energy step of the reference, eV
};

struct ProblemSet
{
    std::string name;
    int mode = 0;
    int n = 0;
    std::vector<Reference> refs;
    std::vector<std::vector<double>> levels; // normalised data, one per level
};

// Small portable generator, so the problems are the same with every library.
class Rng
{
public:
    explicit Rng(std::uint64_t seed) : m_s(seed) {}
    double Uniform()
    {
        m_s = m_s * 6364136223846793005ULL + 1442695040888963407ULL;
        return double((m_s >> 11) + 1) * (1.0 / 9007199254740993.0);
    }
    double Normal()
    {
        const double u1 = Uniform(), u2 = Uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    std::uint64_t m_s;
};

inline double PseudoVoigt(double e, double centre, double fwhm, double eta)
{
    const double x = (e - centre) / fwhm;
    const double g = std::exp(-4.0 * std::log(2.0) * x * x);
    const double l = 1.0 / (1.0 + 4.0 * x * x);
    return eta * l + (1.0 - eta) * g;
}

// Spectrum of chemical state k at energy e (eV, relative to the stretch start).
inline double StateSpectrum(int k, double e, double width)
{
    const double centre = 0.45 * width + 1.3 * (k - 1.5);
    const double fwhm = 1.2 + 0.15 * k;
    const double eta = 0.2 + 0.1 * (k % 3);
    return PseudoVoigt(e, centre, fwhm, eta) + 0.12 * PseudoVoigt(e, centre + 3.5 + 0.3 * k, 2.0, 0.5) +
           0.02 * (1.0 + 0.01 * e);
}

inline void Normalise(std::vector<double>& y)
{
    double lo = y[0], hi = y[0];
    for (double v : y) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    const double range = hi > lo ? hi - lo : 1.0;
    for (double& v : y)
        v = (v - lo) / range;
}

// One profile: nRefs references, n data points, 'levels' levels; a is the
// ratio of the data step to the reference step.
inline ProblemSet MakeProblemSet(int mode, int nRefs, int n, double a, int levels, std::uint64_t seed)
{
    ProblemSet set;
    set.mode = mode;
    set.n = n;
    set.name = "mode" + std::to_string(mode) + "/M" + std::to_string(nRefs) + "/N" + std::to_string(n);
    Rng rng(seed);
    const double dataStep = 0.05; // eV
    const double width = (n - 1) * dataStep;
    const double refStep = dataStep / a;
    const double refStart = -6.0; // the references reach 6 eV beyond both ends
    const int nRef = int((width + 12.0) / refStep) + 1;
    for (int k = 0; k < nRefs; ++k) {
        Reference r;
        r.step = refStep;
        r.a = a;
        r.b = (0.0 - refStart) / refStep;
        r.y.resize(std::size_t(nRef));
        for (int j = 0; j < nRef; ++j)
            r.y[std::size_t(j)] = StateSpectrum(k, refStart + j * refStep, width);
        Normalise(r.y);
        set.refs.push_back(std::move(r));
    }
    const bool constant = mode & 1, multiShift = mode & 2;
    for (int lv = 0; lv < levels; ++lv) {
        const double depth = double(lv) / (levels - 1);
        std::vector<double> y(std::size_t(n), 0.0);
        for (int k = 0; k < nRefs; ++k) {
            // Each state peaks at its own depth, as in an oxide-on-metal profile.
            const double centre = double(k) / std::max(1, nRefs - 1);
            const double amp = 0.1 + std::exp(-12.0 * (depth - centre) * (depth - centre));
            const double shift = multiShift ? 0.25 * std::sin(3.0 * depth + k) : 0.3 * std::sin(4.0 * depth);
            for (int i = 0; i < n; ++i)
                y[std::size_t(i)] += amp * StateSpectrum(k, i * dataStep - shift, width);
        }
        const double c = constant ? 0.2 + 0.3 * depth : 0.0;
        double peak = 0.0;
        for (double v : y)
            peak = std::max(peak, v);
        for (double& v : y)
            v += c * peak + 0.01 * peak * rng.Normal();
        Normalise(y);
        set.levels.push_back(std::move(y));
    }
    return set;
}

// Starting values as the caller writes them for a level not yet fitted:
// intensities 1, shifts and constant 0.
inline std::vector<double> StartValues(int mode, int nRefs)
{
    std::vector<double> t;
    if (mode & 1)
        t.push_back(0.0);
    if (mode & 2) {
        for (int k = 0; k < nRefs; ++k) {
            t.push_back(1.0);
            t.push_back(0.0);
        }
    } else {
        t.push_back(0.0);
        for (int k = 0; k < nRefs; ++k)
            t.push_back(1.0);
    }
    return t;
}

inline std::vector<ProblemSet> AllProblemSets(int levels = 50)
{
    std::vector<ProblemSet> sets;
    const struct
    {
        int m, n;
        double a;
    } sizes[] = {{3, 200, 1.0}, {4, 500, 0.8}, {6, 1000, 1.25}};
    std::uint64_t seed = 20260101;
    for (const auto& s : sizes)
        for (int mode = 0; mode < 4; ++mode)
            sets.push_back(MakeProblemSet(mode, s.m, s.n, s.a, levels, seed++));
    return sets;
}

} // namespace pelomar_bench
