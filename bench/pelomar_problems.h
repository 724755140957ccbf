#pragma once
// Synthetic chemical-state profiles for the reference-fit benchmark: M
// reference spectra (pseudo-Voigt peaks with a satellite on a sloping
// background, normalised to 0..1 like the caller's copies) and one data
// stretch per profile level, mixed from the references with intensities that
// change over depth, shifted by a fraction of an eV, with noise from a fixed
// seed.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <fstream>
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

// A parameter row in the layout of a mode: constant c, intensities a_k and
// shifts s_k (the common shift is s_0).
inline std::vector<double> LayoutRow(int mode, double c, const std::vector<double>& a,
                                     const std::vector<double>& s)
{
    std::vector<double> t;
    if (mode & 1)
        t.push_back(c);
    if (mode & 2) {
        for (std::size_t k = 0; k < a.size(); ++k) {
            t.push_back(a[k]);
            t.push_back(s[k]);
        }
    } else {
        t.push_back(s.empty() ? 0.0 : s[0]);
        t.insert(t.end(), a.begin(), a.end());
    }
    return t;
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

// Hard problems as users meet them: 4 to 6 chemical states whose main peaks all
// lie within the middle third of a 17 to 100 eV window, each with satellites
// and a sloping background of its own, measured on 179 to 687 points with
// noise of 1 % of the peak, true shifts up to +-0.6 eV, a constant offset in
// the constant modes, and start values as the caller writes them for a level
// not yet fitted (alternately the ordinary and the zero-initial-value rows).
struct HardProblem
{
    int mode = 0;
    int n = 0;
    bool zeroStart = false;
    std::vector<Reference> refs;
    std::vector<double> data;  // normalised to 0..1
    std::vector<double> start; // the caller's start row
    std::vector<double> truth; // the generating parameters in the mode's layout
};

// The state spectrum of one reference: a pseudo-Voigt main peak, satellites
// and a background that slopes and steps up under the peak.
struct HardState
{
    double centre, fwhm, eta;
    int satellites;
    double satOffset[3], satHeight[3], satFwhm[3];
    double bg0, bgSlope, bgStep;

    double At(double e, double width) const
    {
        double y = PseudoVoigt(e, centre, fwhm, eta);
        for (int s = 0; s < satellites; ++s)
            y += satHeight[s] * PseudoVoigt(e, centre + satOffset[s], satFwhm[s], 0.5);
        y += bg0 + bgSlope * e / width + bgStep / (1.0 + std::exp(-(e - centre) / fwhm));
        return y;
    }
};

// Problem number 'index' of the generator seeded with 'seed'; the mode cycles
// with the index so that every four consecutive problems cover all modes.
inline HardProblem MakeHardProblem(std::uint64_t seed, int index)
{
    HardProblem p;
    Rng rng(seed * 0x9E3779B97F4A7C15ULL + std::uint64_t(index) * 0xD1B54A32D192ED03ULL + 1);
    for (int warm = 0; warm < 4; ++warm)
        rng.Uniform();
    const auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * rng.Uniform(); };
    p.mode = index % 4;
    p.zeroStart = (index / 4) % 2 == 1;
    const int nRefs = 4 + int(rng.Uniform() * 3.0);
    const double width = uniform(17.0, 100.0);
    p.n = 179 + int(rng.Uniform() * 509.0);
    const double dataStep = width / (p.n - 1);
    const bool constant = p.mode & 1, multiShift = p.mode & 2;

    std::vector<HardState> states(static_cast<std::size_t>(nRefs));
    for (HardState& st : states) {
        st.centre = uniform(width / 3.0, 2.0 * width / 3.0);
        st.fwhm = uniform(0.8, 3.5);
        st.eta = uniform(0.1, 0.7);
        st.satellites = 1 + int(rng.Uniform() * 3.0);
        for (int s = 0; s < 3; ++s) {
            st.satOffset[s] = (rng.Uniform() < 0.8 ? 1.0 : -1.0) * uniform(1.5, 10.0);
            st.satHeight[s] = uniform(0.05, 0.4);
            st.satFwhm[s] = uniform(1.5, 4.0);
        }
        st.bg0 = uniform(0.0, 0.1);
        st.bgSlope = uniform(-0.1, 0.15);
        st.bgStep = uniform(0.0, 0.15);
    }

    // References 5 to 10 eV beyond both ends of the data. In every other set
    // they were measured on the data's own grid (every data point on a
    // channel at zero shift: the kinks of all points coincide); otherwise
    // each on a grid of its own, a step of 0.6 to 1.6 data steps (one step
    // for all when they share one shift, which is in channels).
    const bool sameGrid = (index / 8) % 2 == 1;
    const double commonA = uniform(0.6, 1.6);
    for (int k = 0; k < nRefs; ++k) {
        Reference r;
        r.a = sameGrid ? 1.0 : multiShift ? uniform(0.6, 1.6) : commonA;
        r.step = dataStep / r.a;
        double before = uniform(5.0, 10.0);
        const double after = uniform(5.0, 10.0);
        if (sameGrid)
            before = std::round(before / r.step) * r.step;
        const int nRef = int((width + before + after) / r.step) + 1;
        const double refStart = -before;
        r.b = -refStart / r.step;
        r.y.resize(std::size_t(nRef));
        for (int j = 0; j < nRef; ++j)
            r.y[std::size_t(j)] = states[std::size_t(k)].At(refStart + j * r.step, width);
        p.refs.push_back(std::move(r));
    }
    // Normalisation as the caller does it, remembered so that the generating
    // parameters can be expressed on the normalised scales.
    std::vector<double> refLo(static_cast<std::size_t>(nRefs)), refRange(static_cast<std::size_t>(nRefs));
    for (int k = 0; k < nRefs; ++k) {
        const auto& y = p.refs[std::size_t(k)].y;
        const auto [lo, hi] = std::minmax_element(y.begin(), y.end());
        refLo[std::size_t(k)] = *lo;
        refRange[std::size_t(k)] = *hi - *lo;
        Normalise(p.refs[std::size_t(k)].y);
    }

    std::vector<double> amp(static_cast<std::size_t>(nRefs)), shift(static_cast<std::size_t>(nRefs));
    const double common = uniform(-0.6, 0.6);
    for (int k = 0; k < nRefs; ++k) {
        amp[std::size_t(k)] = std::exp(uniform(std::log(0.05), 0.0));
        shift[std::size_t(k)] = multiShift ? uniform(-0.6, 0.6) : common;
    }
    p.data.assign(std::size_t(p.n), 0.0);
    for (int i = 0; i < p.n; ++i)
        for (int k = 0; k < nRefs; ++k)
            p.data[std::size_t(i)] +=
                amp[std::size_t(k)] * states[std::size_t(k)].At(i * dataStep - shift[std::size_t(k)], width);
    const double peak = *std::max_element(p.data.begin(), p.data.end());
    const double offset = constant ? uniform(0.0, 0.5) * peak : 0.0;
    for (double& v : p.data)
        v += offset + 0.01 * peak * rng.Normal();
    const auto [lo, hi] = std::minmax_element(p.data.begin(), p.data.end());
    const double dataLo = *lo, dataRange = *hi - *lo;
    Normalise(p.data);

    // Generating parameters: shifts in reference channels (a peak moved up in
    // energy is read from a lower channel), intensities and constant on the
    // normalised scales.
    double c = offset;
    std::vector<double> a(static_cast<std::size_t>(nRefs)), s(static_cast<std::size_t>(nRefs));
    for (int k = 0; k < nRefs; ++k) {
        const std::size_t kk = std::size_t(k);
        a[kk] = amp[kk] * refRange[kk] / dataRange;
        s[kk] = -shift[kk] / p.refs[kk].step;
        c += amp[kk] * refLo[kk];
    }
    c = (c - dataLo) / dataRange;
    p.truth = LayoutRow(p.mode, c, a, s);

    double mean = 0.0;
    for (double v : p.data)
        mean += v;
    mean /= p.n;
    const double a0 = p.zeroStart ? (p.mode == 3 ? 0.0 : 1.0e-8) : 1.0;
    p.start =
        LayoutRow(p.mode, p.zeroStart && constant ? mean : 0.0, std::vector<double>(std::size_t(nRefs), a0),
                  std::vector<double>(std::size_t(nRefs), 0.0));
    return p;
}

// One curve of a VAMAS text file: abscissa start and step, and the values of
// its first corresponding variable.
struct VamasCurve
{
    double start = 0.0, step = 0.0;
    std::vector<double> y;
};

// Reads the regular-abscissa blocks of a VAMAS text file as the measured Mn
// spectra and references store them: every block's signal-mode line is
// preceded by abscissa start, step and the corresponding variables, and
// followed by six numbers, the additional parameters and the ordinates.
// Returns no curves when the file is missing or does not read that way.
inline std::vector<VamasCurve> ReadVamasCurves(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    std::vector<VamasCurve> curves;
    for (std::size_t i = 7; i < lines.size(); ++i) {
        if (lines[i] != "pulse counting")
            continue;
        try {
            VamasCurve c;
            c.start = std::stod(lines[i - 7]);
            c.step = std::stod(lines[i - 6]);
            const int nCorr = std::stoi(lines[i - 5]);
            std::size_t j = i + 7;
            const int nAdd = std::stoi(lines.at(j));
            j += 1 + 3 * std::size_t(nAdd);
            const int count = std::stoi(lines.at(j));
            j += 1 + 2 * std::size_t(nCorr);
            if (nCorr < 1 || count < nCorr || j + std::size_t(count) > lines.size())
                return {};
            for (int v = 0; v < count; v += nCorr)
                c.y.push_back(std::stod(lines[j + std::size_t(v)]));
            curves.push_back(std::move(c));
        } catch (const std::exception&) {
            return {};
        }
    }
    return curves;
}

// Measured Mn 2p spectra fitted by the Mn oxide references, as the caller
// sets them up: the references and the data stretch normalised to 0..1, each
// reference mapped onto the stretch. Stretches: eight parts of the overlap of
// data and references (from 0, 20 or 40 % to 60, 80 or 100 % of it, at least
// 40 % long), as a user's cursors cut it; each reference alone and all three;
// every mode, ordinary and zero-initial start rows.
inline std::vector<HardProblem> MakeMeasuredProblems(const std::string& refFile, const std::string& dataFile)
{
    const std::vector<VamasCurve> refs = ReadVamasCurves(refFile), spectra = ReadVamasCurves(dataFile);
    std::vector<HardProblem> problems;
    if (refs.empty() || spectra.empty())
        return problems;
    std::vector<std::vector<double>> normRefs;
    double refLo = -1e300, refHi = 1e300;
    for (const VamasCurve& r : refs) {
        normRefs.push_back(r.y);
        Normalise(normRefs.back());
        refLo = std::max(refLo, r.start);
        refHi = std::min(refHi, r.start + (double(r.y.size()) - 1) * r.step);
    }
    for (const VamasCurve& sp : spectra) {
        const int first = std::max(0, int(std::ceil((refLo - sp.start) / sp.step - 1e-9)));
        const int last = std::min(int(sp.y.size()) - 1, int(std::floor((refHi - sp.start) / sp.step + 1e-9)));
        const int len = last - first + 1;
        if (len < 50)
            continue;
        std::vector<std::array<int, 2>> stretches;
        for (const int from : {0, 2, 4})
            for (const int to : {6, 8, 10})
                if (to - from >= 4)
                    stretches.push_back({first + len * from / 10, len * (to - from) / 10});
        std::vector<std::vector<std::size_t>> subsets;
        for (std::size_t k = 0; k < refs.size(); ++k)
            subsets.push_back({k});
        if (refs.size() > 1) {
            subsets.emplace_back();
            for (std::size_t k = 0; k < refs.size(); ++k)
                subsets.back().push_back(k);
        }
        for (const auto& st : stretches) {
            for (const auto& subset : subsets) {
                for (int mode = 0; mode < 4; ++mode) {
                    for (const bool zero : {false, true}) {
                        HardProblem p;
                        p.mode = mode;
                        p.zeroStart = zero;
                        p.n = st[1];
                        p.data.assign(sp.y.begin() + st[0], sp.y.begin() + st[0] + st[1]);
                        Normalise(p.data);
                        const double ts = sp.start + st[0] * sp.step;
                        for (const std::size_t k : subset) {
                            Reference r;
                            r.y = normRefs[k];
                            r.step = refs[k].step;
                            r.a = sp.step / refs[k].step;
                            r.b = (ts - refs[k].start) / refs[k].step;
                            p.refs.push_back(std::move(r));
                        }
                        double mean = 0.0;
                        for (double v : p.data)
                            mean += v;
                        mean /= p.n;
                        const std::size_t m = subset.size();
                        const double a0 = zero ? (mode == 3 ? 0.0 : 1.0e-8) : 1.0;
                        p.start = LayoutRow(mode, zero && (mode & 1) ? mean : 0.0, std::vector<double>(m, a0),
                                            std::vector<double>(m, 0.0));
                        problems.push_back(std::move(p));
                    }
                }
            }
        }
    }
    return problems;
}

} // namespace pelomar_bench
