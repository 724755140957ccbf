#include "tools/mkdemo/DemoFile.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {
class CWriter
{
public:
    std::vector<uint8_t> b;

    CWriter& Le(uint64_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    CWriter& U16(uint16_t v) { return Le(v, 2); }
    CWriter& I32(int32_t v) { return Le(static_cast<uint32_t>(v), 4); }
    CWriter& F64(double v)
    {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        return Le(u, 8);
    }
    CWriter& Str(const std::string& s)
    {
        Le(s.size(), 1); // all texts here are short
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    size_t Begin(uint16_t id, uint16_t version)
    {
        U16(id).U16(version);
        const size_t at = b.size();
        I32(0);
        return at;
    }
    void End(size_t at)
    {
        const uint32_t length = static_cast<uint32_t>(b.size() - at - 4);
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(length >> (8 * i));
    }
};

constexpr double kPhoton = 1486.6; // Al K-alpha
constexpr double kNone = std::numeric_limits<double>::infinity();

// A pseudo-Voigt line: 70 % Gaussian, 30 % Lorentzian, of full width fwhm.
double Line(double be, double centre, double fwhm)
{
    const double x = (be - centre) / (fwhm / 2.0);
    return 0.7 * std::exp(-std::log(2.0) * x * x) + 0.3 / (1.0 + x * x);
}

struct SPeak
{
    double centre, fwhm, height;
};

struct SRegionDef
{
    const char* name;
    const char* label;
    double beLow, beHigh; // binding energy range
    double background;    // counts on the low binding-energy side
};

// Small deterministic generator for counting noise.
struct CNoise
{
    uint64_t s = 0x9E3779B97F4A7C15ull;
    double Gauss()
    {
        auto u = [this] {
            s ^= s << 13;
            s ^= s >> 7;
            s ^= s << 17;
            return (static_cast<double>(s >> 11) + 0.5) / 9007199254740992.0;
        };
        return std::sqrt(-2.0 * std::log(u())) * std::cos(6.283185307179586 * u());
    }
};

// The peaks of one region after an etch of t seconds: the carbon goes first,
// the oxide thins and the silicon beneath grows.
std::vector<SPeak> Peaks(int region, double t)
{
    const double carbon = std::exp(-t / 25.0);
    const double oxide = std::exp(-t / 110.0);
    switch (region) {
    case 0:
        return {{284.8, 1.3, 9000.0 * carbon}, {286.4, 1.4, 2200.0 * carbon}, {288.9, 1.5, 900.0 * carbon}};
    case 1:
        return {{532.9, 1.6, 26000.0 * (0.35 + 0.65 * oxide)}, {531.4, 1.7, 3500.0 * carbon}};
    default:
        return {{103.4, 1.7, 7000.0 * oxide},
                {99.4, 0.9, 9000.0 * (1.0 - oxide) + 600.0},
                {100.0, 0.9, 4500.0 * (1.0 - oxide) + 300.0}};
    }
}
} // namespace

namespace {

// Peak height of the Auger region after an etch of t seconds.
double AugerHeight(int region, double t)
{
    const double carbon = std::exp(-t / 25.0);
    const double oxide = std::exp(-t / 110.0);
    switch (region) {
    case 0:
        return 3000.0 * carbon;
    case 1:
        return 9000.0 * (0.05 + 0.95 * oxide);
    default:
        return 400.0 + 2600.0 * (1.0 - oxide);
    }
}

} // namespace

std::vector<uint8_t> MakeAesDemoFile(int nLevels)
{
    struct SAugerDef
    {
        const char* name;
        const char* label;
        double centre, fwhm; // kinetic energy, eV
        double background;
    };
    const SAugerDef regions[] = {{"C", "KLL", 272.0, 8.0, 2500.0},
                                 {"O", "KLL", 510.0, 8.0, 2000.0},
                                 {"Si", "KLL", 1616.0, 10.0, 800.0}};
    const double step = 0.5;
    CWriter w;
    char prog[12] = {};
    std::memcpy(prog, "Veltrane", 8);
    w.b.insert(w.b.end(), prog, prog + 12);
    w.I32(0).I32(1).I32(3);

    size_t at = w.Begin(1, 3);
    w.I32(0x104).I32(1).Str("demo").Str("SiO2 on Si, Ar+ Auger depth profile");
    w.I32(0).F64(46000.5);
    w.I32(0x100).I32(0);
    w.I32(1).I32(1).F64(0.0).I32(1);
    w.I32(256).I32(1).F64(1.0).I32(0).I32(0).I32(0);
    w.F64(1.0).I32(4); // step, detector: hemispherical analyser, direct mode
    w.End(at);
    w.U16(2).U16(1).I32(28).F64(20.0).F64(kPhoton).F64(15000.0).I32(18);
    w.U16(3).U16(1).I32(8).U16(3).U16(1).I32(3);

    at = w.Begin(4, 1);
    w.Str("centre of sample").Str("Default");
    w.I32('C' | 'A' << 8 | 'E' << 16).I32(0x100).I32(0).I32(0);
    w.I32(2).I32(2);
    for (double d : {0.0, 0.0, 0.0, 0.0, 0.0, 0.0})
        w.F64(d);
    w.I32(0).I32(0);
    w.I32(nLevels);
    for (int l = 0; l < nLevels; ++l)
        w.F64(30.0 * l);
    w.I32(3);
    CNoise noise;
    for (int r = 0; r < 3; ++r) {
        const SAugerDef& d = regions[r];
        const double start = d.centre - 30.0;
        const int n = static_cast<int>(std::lround(60.0 / step)) + 1;
        const size_t rat = w.Begin(5, 1);
        w.Str(d.name).Str(d.label);
        w.F64(start).F64(start + (n - 1) * step).F64(step).F64(d.centre);
        w.F64(kNone).F64(kNone).F64(50.0).F64(0.0).Str("4");
        w.I32(3).I32(1).I32(r).I32(n).I32(1).I32(1);
        w.F64(0.0);
        w.I32(nLevels);
        for (int l = 0; l < nLevels; ++l) {
            const double height = AugerHeight(r, 30.0 * l);
            std::vector<double> y(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) {
                const double ke = start + i * step;
                double v = d.background * (1.0 - 0.002 * (ke - start)) + height * Line(ke, d.centre, d.fwhm);
                v += noise.Gauss() * std::sqrt(v);
                y[static_cast<size_t>(i)] = std::round(std::max(v, 0.0));
            }
            double lo = y[0], hi = y[0];
            for (double v : y) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            w.F64(hi).F64(lo).I32(n);
            for (double v : y)
                w.F64(v);
        }
        w.End(rat);
    }
    w.I32(0);
    w.End(at);
    w.I32(0xFFFF);
    return w.b;
}

std::vector<uint8_t> MakeDemoFile(int nLevels)
{
    const SRegionDef regions[] = {{"C", "1s", 278.0, 294.0, 1800.0},
                                  {"O", "1s", 524.0, 540.0, 6500.0},
                                  {"Si", "2p", 94.0, 110.0, 1200.0}};
    const double step = 0.1;
    CWriter w;
    char prog[12] = {};
    std::memcpy(prog, "Veltrane", 8);
    w.b.insert(w.b.end(), prog, prog + 12);
    w.I32(0).I32(1).I32(3);

    size_t at = w.Begin(1, 3);
    w.I32(0x104).I32(2).Str("demo").Str("SiO2 on Si, Ar+ depth profile");
    w.I32(0).F64(46000.5);                           // time
    w.I32(0x100).I32(0);                             // data type, movement
    w.I32(1).I32(1).F64(0.0).I32(1);                 // depth profile, full scans, offset, positions
    w.I32(256).I32(1).F64(1.0).I32(0).I32(0).I32(0); // size, resolution, magnification, flags
    w.F64(1.0).I32(0);                               // step, detector
    w.End(at);
    w.U16(2).U16(1).I32(28).F64(20.0).F64(kPhoton).F64(15000.0).I32(18); // Al K-alpha
    w.U16(3).U16(1).I32(8).U16(3).U16(1).I32(3);

    at = w.Begin(4, 1);
    w.Str("centre of sample").Str("Default");
    w.I32('C' | 'A' << 8 | 'E' << 16).I32(0x100).I32(0).I32(0);
    w.I32(2).I32(2);
    for (double d : {0.0, 0.0, 0.0, 0.0, 0.0, 0.0})
        w.F64(d);
    w.I32(0).I32(0); // no x, no y points
    w.I32(nLevels);
    for (int l = 0; l < nLevels; ++l)
        w.F64(30.0 * l);
    w.I32(3);
    CNoise noise;
    for (int r = 0; r < 3; ++r) {
        const SRegionDef& d = regions[r];
        const int n = static_cast<int>(std::lround((d.beHigh - d.beLow) / step)) + 1;
        const double keStart = kPhoton - d.beHigh;
        const double keFinish = keStart + (n - 1) * step;
        const size_t rat = w.Begin(5, 1);
        w.Str(d.name).Str(d.label);
        w.F64(keStart).F64(keFinish).F64(step).F64(kPhoton - (d.beLow + d.beHigh) / 2);
        w.F64(kNone).F64(kNone).F64(100.0).F64(20.0).Str("");
        w.I32(5).I32(1).I32(r).I32(n).I32(1).I32(1);
        w.F64(0.0); // offset
        w.I32(nLevels);
        for (int l = 0; l < nLevels; ++l) {
            const std::vector<SPeak> peaks = Peaks(r, 30.0 * l);
            std::vector<double> y(static_cast<size_t>(n));
            // Inelastic background: a Shirley-like step up on the high binding-energy side.
            for (int i = 0; i < n; ++i) {
                const double be = d.beHigh - i * step;
                double v = d.background * (1.0 + 0.004 * (be - d.beLow));
                for (const SPeak& p : peaks) {
                    v += p.height * Line(be, p.centre, p.fwhm);
                    v += 0.08 * p.height * (0.5 + std::atan((be - p.centre) / p.fwhm) / 3.141592653589793);
                }
                v += noise.Gauss() * std::sqrt(v);
                y[static_cast<size_t>(i)] = std::round(std::max(v, 0.0));
            }
            double lo = y[0], hi = y[0];
            for (double v : y) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            w.F64(hi).F64(lo).I32(n);
            for (double v : y)
                w.F64(v);
        }
        w.End(rat);
    }
    w.I32(0); // no image regions
    w.End(at);
    w.I32(0xFFFF);
    return w.b;
}
