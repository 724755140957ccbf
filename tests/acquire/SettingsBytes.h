#pragma once
// Settings files written byte by byte from their documented layout, so the
// reader and writer are checked against the layout and not against each other.

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

class CBytes
{
public:
    CBytes& i32(int32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b.push_back(uint8_t(uint32_t(v) >> (8 * i)));
        return *this;
    }
    CBytes& f64(double v)
    {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i)
            b.push_back(uint8_t(u >> (8 * i)));
        return *this;
    }
    CBytes& str(const std::string& s) // lengths below 255: one byte
    {
        b.push_back(uint8_t(s.size()));
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    CBytes& raw(const std::string& s)
    {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    CBytes& region(const std::string& name, const std::string& peak, double start, double finish, double step,
                   double peakE, double bk1, double bk2, double dwell, double pass, int scans, int repeat,
                   int index)
    {
        str(name).str(peak).f64(start).f64(finish).f64(step).f64(peakE).f64(bk1).f64(bk2).f64(dwell).f64(
            pass);
        return str("High").i32(scans).i32(repeat).i32(index).i32(0).i32(0).i32(0);
    }
    CBytes& header(int type)
    {
        raw(std::string("Veltrane\0\0\0\0", 12));
        return i32(type).i32(1).i32(3);
    }
    std::vector<uint8_t> b;
};

constexpr double Inf = std::numeric_limits<double>::infinity();

// An XPS settings file: narrow scan with Normal movement, two groups (the
// second holding the shared wide-scan region), an Al Ka source and a line scan.
inline std::vector<uint8_t> GoldenXps()
{
    CBytes f;
    f.header(2);
    // Experiment
    f.i32(1).str("run7.vlt").str("note").i32(2);
    f.i32(6).i32(1).i32(1).i32(12).i32(1).i32(1).i32(1);
    f.i32(6).i32(0).i32(0).i32(2).i32(2).i32(2).i32(1);
    // Source
    f.i32(0).i32(1).f64(12.5).f64(1486.6).f64(20.0);
    // Stage
    const std::string e(1, char(255));
    f.str("Default\nSteel\n").i32(6);
    f.i32(0);
    f.i32(1).f64(Inf).f64(Inf).str(e).str(e);
    f.i32(3).f64(1).f64(4).str("Default").str("a").f64(5).f64(12).str("Steel").str("b");
    f.f64(Inf).f64(Inf).str("Default").str("");
    for (int m = 0; m < 3; ++m)
        f.i32(2).f64(1).f64(1).str("Default").str("").f64(Inf).f64(Inf).str(e).str(e);
    f.i32(2);
    f.str("Default");
    f.i32(2).f64(1).f64(10).f64(2).f64(Inf).f64(Inf).f64(Inf);
    for (int m = 0; m < 3; ++m)
        f.i32(1).f64(Inf).f64(Inf).f64(Inf);
    f.i32(1).region("C", "1s", 1190.6, 1210.6, 0.1, 1200.6, 1210.6, 1190.6, 100, 10, 1, 1, 0);
    f.str("Steel");
    for (int m = 0; m < 4; ++m)
        f.i32(1).f64(Inf).f64(Inf).f64(Inf);
    f.i32(2).region("Fe", "2p3/2", 770.9, 790.9, 0.1, 780.9, 790.9, 770.9, 50, 20, 2, 1, 1);
    f.region("Wide", "", 0, 1100, 1, 550, 0, 1100, 100, 50, 1, 1, -1);
    // Profiling: fast, manual, duty, gun, preset
    f.i32(0).i32(1).i32(3).i32(1).i32(5);
    // Regions: analyser, narrow, wide modes; no image region; the wide-scan region
    f.i32(1).i32(1).i32(0).i32(0).i32(1);
    f.region("Wide", "", 0, 1100, 1, 550, 0, 1100, 100, 50, 1, 1, -1);
    // Imaging: line scan, step, size index, step
    f.i32(1).i32(1).i32(4).f64(0.5);
    return f.b;
}
