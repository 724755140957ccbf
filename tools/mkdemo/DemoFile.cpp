#include "tools/mkdemo/DemoFile.h"

#include <algorithm>
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

// One curve: its largest and smallest value, its count, then its values.
void WriteCurve(CWriter& w, const std::vector<double>& y)
{
    double lo = y[0], hi = y[0];
    for (double v : y) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    w.F64(hi).F64(lo).I32(static_cast<int>(y.size()));
    for (double v : y)
        w.F64(v);
}

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
            WriteCurve(w, y);
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
            WriteCurve(w, y);
        }
        w.End(rat);
    }
    w.I32(0); // no image regions
    w.End(at);
    w.I32(0xFFFF);
    return w.b;
}

namespace {
// Header, experiment, source and ion gun of a demonstration file.
void WriteHead(CWriter& w, int expType, int technique, const char* comment, int sourceType, double energy)
{
    char prog[12] = {};
    std::memcpy(prog, "Veltrane", 8);
    w.b.insert(w.b.end(), prog, prog + 12);
    w.I32(0).I32(1).I32(3);
    const size_t at = w.Begin(1, 3);
    w.I32(expType).I32(technique).Str("demo").Str(comment);
    w.I32(0).F64(46000.5);
    w.I32(expType & 0x200 ? 0x200 : 0x100).I32(0);
    w.I32(expType == 0x404 ? 1 : 0).I32(1).F64(0.0).I32(1);
    w.I32(256).I32(1).F64(1.0).I32(0).I32(0).I32(0);
    w.F64(1.0).I32(0);
    w.End(at);
    w.U16(2).U16(1).I32(28).F64(20.0).F64(energy).F64(15000.0).I32(sourceType);
    w.U16(3).U16(1).I32(8).U16(3).U16(1).I32(3);
}

// Opens a position block up to its spectrum-region count.
size_t BeginPosn(CWriter& w, const std::vector<double>& levels)
{
    const size_t at = w.Begin(4, 1);
    w.Str("centre of sample").Str("Default");
    w.I32('C' | 'A' << 8 | 'E' << 16).I32(0x100).I32(0).I32(0);
    w.I32(2).I32(2);
    for (double d : {0.0, 0.0, 0.0, 0.0, 0.0, 0.0})
        w.F64(d);
    w.I32(0).I32(0);
    w.I32(static_cast<int32_t>(levels.size()));
    for (double l : levels)
        w.F64(l);
    return at;
}

// Region parameters: names, energies, backgrounds (infinity: none), counts.
void RegionHead(CWriter& w, const char* name, const char* label, double peak, double bk1, double bk2, int nx,
                int ny, int nz, int id)
{
    w.Str(name).Str(label);
    w.F64(peak).F64(peak).F64(0.0).F64(peak);
    w.F64(bk1).F64(bk2).F64(100.0).F64(20.0).Str("");
    w.I32(1).I32(1).I32(id).I32(nx).I32(ny).I32(nz);
}

// Copper grid bars on silicon, 0 (silicon) to 1 (copper), with soft edges
// and a round particle: the picture of every image demonstration.
double Copper(double x, double y)
{
    auto bar = [](double t) {
        const double f = t * 6.0 - std::floor(t * 6.0); // six bars across
        return 1.0 / (1.0 + std::exp((std::fabs(f - 0.5) - 0.18) * 60.0));
    };
    const double grid = std::max(bar(x), bar(y));
    const double dx = x - 0.62, dy = y - 0.37;
    const double particle = 1.0 / (1.0 + std::exp((std::sqrt(dx * dx + dy * dy) - 0.09) * 400.0));
    return std::max(grid, particle);
}

size_t ImagePosn(CWriter& w, int nImages)
{
    const size_t at = BeginPosn(w, {0.0});
    w.I32(0);       // no spectrum regions
    w.I32(nImages); // image regions follow
    return at;
}
} // namespace

std::vector<uint8_t> MakeFastProfileFile(int nLevels)
{
    CWriter w;
    WriteHead(w, 0x404, 2, "SiO2 on Si, fast profile", 18, kPhoton);
    std::vector<double> levels;
    for (int l = 0; l < nLevels; ++l)
        levels.push_back(15.0 * l);
    const size_t at = BeginPosn(w, levels);
    w.I32(3);
    const SRegionDef regions[] = {
        {"C", "1s", 284.8, 0, 1800.0}, {"O", "1s", 532.9, 0, 6500.0}, {"Si", "2p", 99.4, 0, 1200.0}};
    CNoise noise;
    for (int r = 0; r < 3; ++r) {
        const SRegionDef& d = regions[r];
        const double peakKE = kPhoton - d.beLow;
        const size_t rat = w.Begin(5, 1);
        RegionHead(w, d.name, d.label, peakKE, peakKE - 8.0, peakKE + 8.0, 1, 1, 3, r);
        w.F64(0.0);
        w.I32(nLevels);
        for (int l = 0; l < nLevels; ++l) {
            double height = 0.0;
            for (const SPeak& p : Peaks(r, 15.0 * l))
                height += p.height * Line(d.beLow, p.centre, p.fwhm);
            const double bk1 = d.background * 1.05, bk2 = d.background * 0.95;
            double v[3] = {d.background + height, bk1, bk2};
            for (double& x : v)
                x = std::round(std::max(x + noise.Gauss() * std::sqrt(x), 0.0));
            w.F64(std::max({v[0], v[1], v[2]})).F64(std::min({v[0], v[1], v[2]})).I32(3);
            for (double x : v)
                w.F64(x);
        }
        w.End(rat);
    }
    w.I32(0);
    w.End(at);
    w.I32(0xFFFF);
    return w.b;
}

namespace {
// An AES image document of one image region: data kind, then pixels() writes
// the region's values.
struct SImageRegion
{
    const char* name;
    const char* label;
    double peak, bk1, bk2;
    int nx, ny, nz, kind;
};
template <typename F>
std::vector<uint8_t> ImageDoc(int expType, const char* comment, const SImageRegion& r, F pixels)
{
    CWriter w;
    WriteHead(w, expType, 1, comment, 1, 10000.0);
    const size_t at = ImagePosn(w, 1);
    const size_t rat = w.Begin(6, 1);
    RegionHead(w, r.name, r.label, r.peak, r.bk1, r.bk2, r.nx, r.ny, r.nz, 0);
    w.I32(r.kind);
    CNoise noise;
    pixels(w, noise);
    w.End(rat);
    w.End(at);
    w.I32(0xFFFF);
    return w.b;
}
} // namespace

std::vector<uint8_t> MakeMapFile(int n)
{
    // A corrected image.
    return ImageDoc(
        0x201, "Cu grid on Si, Cu LMM map", {"Cu", "LMM", 918.0, 900.0, 940.0, n, n, 3, 2},
        [n](CWriter& w, CNoise& noise) {
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const double v = 120.0 + 2400.0 * Copper((x + 0.5) / n, (y + 0.5) / n);
                    w.I32(int32_t(std::lround(std::max(v + noise.Gauss() * std::sqrt(v) * 2.0, 0.0))));
                }
        });
}

std::vector<uint8_t> MakeSEImageFile(int n)
{
    // Secondary-electron bytes: edges of the bars light up; the copper is a
    // little brighter than silicon.
    return ImageDoc(0x202, "Cu grid on Si, secondary electrons",
                    {"SE", "image", 0.0, kNone, kNone, n, n, 1, 3}, [n](CWriter& w, CNoise& noise) {
                        for (int y = 0; y < n; ++y)
                            for (int x = 0; x < n; ++x) {
                                const double c = Copper((x + 0.5) / n, (y + 0.5) / n);
                                const double v =
                                    70.0 + 40.0 * c + 480.0 * c * (1.0 - c) + noise.Gauss() * 8.0;
                                w.Le(uint8_t(std::clamp(v, 0.0, 255.0)), 1);
                            }
                    });
}

std::vector<uint8_t> MakeLineScanFile(int n)
{
    // A line scan across the particle.
    return ImageDoc(0x201, "Cu grid on Si, Cu LMM line scan", {"Cu", "LMM", 918.0, 900.0, 940.0, n, 1, 3, 1},
                    [n](CWriter& w, CNoise& noise) {
                        for (int x = 0; x < n; ++x) {
                            const double v = 120.0 + 2400.0 * Copper((x + 0.5) / n, 0.37);
                            w.F64(std::max(v + noise.Gauss() * std::sqrt(v), 0.0));
                        }
                    });
}
