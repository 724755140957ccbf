#pragma once
// Fixture writers: Norvale files from their byte layout, VAMAS files as text.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fixtures {

class Bytes
{
public:
    std::vector<uint8_t> data;
    void I16(int v) { Put(static_cast<uint32_t>(v), 2); }
    void I32(int64_t v) { Put(static_cast<uint32_t>(v), 4); }
    void F32(float f)
    {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        Put(u, 4);
    }
    void Text(const std::string& s, size_t field)
    {
        for (size_t i = 0; i < field; ++i)
            data.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void Zeros(size_t n) { data.insert(data.end(), n, 0); }

private:
    void Put(uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            data.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
};

struct NorvaleRegion
{
    int pass = 50, startRV = 1000000, stepRV = 100, nPts = 10, dwell = 100, offset = 0, scans = 1;
    std::string region = "1s", element = "C";
};

struct NorvaleSpectrum
{
    int volts = 10000, current = 20000000, source = 1253600, type = 1;
    std::string op = "Operator", mode = "CAE", comment = "Comment";
    int iSpec = 0 /* 0: its place */, nSpec = 1, dataType = 1, posn = 1, posMode = 0, scanMode = 0, nPos = 1;
    int offset = 0, time = 86400;
    int8_t etch[4] = {0, 0, 1, 0};
    int autoOff = 1;
    std::vector<float> levels = {0.0f};
    std::vector<NorvaleRegion> regions = {NorvaleRegion{}};
    int nRgnsOverride = -1000, nLevelsOverride = -1000; // -1000: the lists' sizes
    int64_t nPtsOverride = -1;
};

struct NorvaleFile
{
    int version = 0x1000;
    std::vector<NorvaleSpectrum> spectra = {NorvaleSpectrum{}};
    int nSpecOverride = -1;
    // Per spectrum: header's nSpec (default: the number of spectra).
    std::vector<int> headerNSpec;

    std::vector<uint8_t> Build() const
    {
        Bytes b;
        const int n = nSpecOverride >= 0 ? nSpecOverride : static_cast<int>(spectra.size());
        for (size_t k = 0; k < spectra.size(); ++k) {
            const NorvaleSpectrum& s = spectra[k];
            b.Text("Norvale", 10);
            b.I16(version);
            b.I16(k < headerNSpec.size() ? headerNSpec[k] : n);
            b.I16(static_cast<int>(k) + 1);
            const size_t start = b.data.size();
            b.I32(s.volts);
            b.I32(s.current);
            b.I32(s.source);
            b.I16(s.type);
            b.I16(0);
            b.Text(s.op, 24);
            b.Text(s.mode, 4);
            b.Text(s.comment, 128);
            b.I16(s.iSpec == 0 ? static_cast<int>(k) + 1 : s.iSpec);
            b.I16(s.nSpec);
            b.I16(s.nRgnsOverride != -1000 ? s.nRgnsOverride : static_cast<int>(s.regions.size()));
            b.I16(s.nLevelsOverride != -1000 ? s.nLevelsOverride : static_cast<int>(s.levels.size()));
            b.I16(s.dataType);
            b.I16(s.posn);
            b.I16(s.posMode);
            b.I16(s.scanMode);
            b.I16(s.nPos);
            b.I32(s.offset);
            int64_t pts = 0;
            for (const auto& r : s.regions)
                pts += static_cast<int64_t>(r.nPts) * static_cast<int64_t>(s.levels.size());
            b.I32(s.nPtsOverride >= 0 ? s.nPtsOverride : pts);
            b.I32(s.time);
            for (int8_t e : s.etch)
                b.data.push_back(static_cast<uint8_t>(e));
            b.I32(s.autoOff);
            b.Zeros(496 - (b.data.size() - start));
            for (float l : s.levels) {
                b.F32(l);
                b.Zeros(12);
            }
            for (const auto& r : s.regions) {
                b.I32(r.pass);
                b.I32(r.startRV);
                b.I32(r.stepRV);
                b.I16(r.nPts);
                b.I16(r.dwell);
                b.I32(r.offset);
                b.I16(r.scans);
                b.Text(r.region, 10);
                b.Text(r.element, 28);
                b.Zeros(4 + 12 + 20);
            }
            if (s.dataType & 0x0E)
                b.Zeros(4 * s.regions.size());
            for (size_t r = 0; r < s.regions.size(); ++r)
                for (size_t l = 0; l < s.levels.size(); ++l)
                    for (int i = 0; i < s.regions[r].nPts; ++i)
                        b.F32(static_cast<float>(1000 * r + 100 * l + i));
        }
        return b.data;
    }
};

// A VAMAS file in the layout its reader accepts; every field can be changed.
struct VamasBlockSpec
{
    std::string species = "C", transition = "1s", abscissaLabel = "Kinetic Energy";
    double start = 1000.0, step = 0.5;
    std::vector<double> values = {1, 2, 3, 4};
    double expVar = 0.0;
    std::vector<double> expVarValues; // one per variable; empty: expVar for each
    std::string collection = "0.1";
    std::string scans = "3";
};

struct VamasSpec
{
    std::string expMode = "NORM", scanMode = "REGULAR", technique = "XPS";
    int nRgns = 1;
    int nBlocksOverride = -1;
    std::vector<std::string> comment = {"one"};
    std::vector<std::pair<std::string, std::string>> expVars;
    std::vector<int> include; // inclusion list entries
    int includeCount = -1000; // -1000: the list's size
    int manualItems = 0;
    std::string sourceEnergy = "1486.6", strength = "200", workFunction = "4.5", passEnergy = "20";
    std::string analyserMode = "FAT";
    std::string ionZ = "18", corrVars = "1", timeCorrection = "0";
    std::string signalUnit = "d"; // of the first corresponding variable
    std::string date[7] = {"2024", "3", "5", "12", "30", "15", "0"};
    std::vector<VamasBlockSpec> blocks = {VamasBlockSpec{}};
    std::string end = "end of experiment";
    bool fullLaterBlocks = true; // later blocks carry what the inclusion list says
    std::string prefix;          // bytes before the format identifier
};

inline std::string BuildVamas(const VamasSpec& v)
{
    std::string t = v.prefix;
    auto L = [&t](const std::string& s) { t += s + "\r\n"; };
    // More corresponding variables than one follow the signal point by point;
    // the extra ones here are 1000 above it.
    const int corrVars = std::max(1, std::atoi(v.corrVars.c_str()));
    auto N = [&L](double d) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.10g", d);
        L(buf);
    };
    L("VAMAS Surface Chemical Analysis Standard Data Transfer Format 1988 May 4");
    L("Institute");
    L("Instrument");
    L("Operator");
    L("Experiment");
    L(std::to_string(v.comment.size()));
    for (const auto& c : v.comment)
        L(c);
    L(v.expMode);
    L(v.scanMode);
    L(std::to_string(v.nRgns));
    L(std::to_string(v.expVars.size()));
    for (const auto& [label, unit] : v.expVars) {
        L(label);
        L(unit);
    }
    L(std::to_string(v.includeCount != -1000 ? v.includeCount : static_cast<int>(v.include.size())));
    for (int p : v.include)
        L(std::to_string(p));
    L(std::to_string(v.manualItems));
    L("0");
    L("0");
    L(std::to_string(v.nBlocksOverride >= 0 ? v.nBlocksOverride : static_cast<int>(v.blocks.size())));
    const bool sdp = v.expMode == "SDP" || v.expMode == "sdp";
    for (size_t k = 0; k < v.blocks.size(); ++k) {
        const VamasBlockSpec& b = v.blocks[k];
        const bool full = k == 0 || v.include.empty();
        auto has = [&](int p) {
            return full || std::find(v.include.begin(), v.include.end(), p) != v.include.end();
        };
        L("block " + std::to_string(k + 1));
        L("sample");
        if (full) {
            for (const auto& d : v.date)
                L(d);
            L("1");
            L("block comment");
            L(v.technique);
        }
        if (has(11))
            for (size_t i = 0; i < v.expVars.size(); ++i)
                N(i < b.expVarValues.size() ? b.expVarValues[i] : b.expVar);
        if (full) {
            L("Al");
            if (sdp) {
                L(v.ionZ);
                L("1");
                L("1");
            }
            L(v.sourceEnergy);
            L(v.strength);
            L("1e37");
            L("1e37");
            L("56");
            L("90");
            L(v.analyserMode);
        }
        if (has(22))
            L(v.passEnergy);
        if (full) {
            if (v.technique == "AES diff")
                L("1");
            L("1");
            L(v.workFunction);
            L("0");
            L("1");
            L("1");
            L("0");
            L("0");
        }
        if (has(29))
            L(b.species);
        if (has(30)) {
            L(b.transition);
            L("-1");
        }
        if (has(31)) {
            L(b.abscissaLabel);
            L("eV");
            N(b.start);
            N(b.step);
        }
        if (full) {
            L(v.corrVars);
            for (int c = 0; c < corrVars; ++c) {
                L(c == 0 ? "counts" : "Transmission");
                L(c == 0 ? v.signalUnit : "d");
            }
            L("pulse counting");
        }
        if (has(34))
            L(b.collection);
        if (has(35))
            L(b.scans);
        if (full) {
            L(v.timeCorrection);
            if (sdp)
                for (int i = 0; i < 7; ++i)
                    L(i == 6 ? "Cyclic" : "1");
            L("0");
            L("0");
            L("0");
            L("0");
        }
        L(std::to_string(b.values.size() * static_cast<size_t>(corrVars)));
        for (int c = 0; c < corrVars; ++c) {
            N(0);
            N(0);
        }
        for (double y : b.values)
            for (int c = 0; c < corrVars; ++c)
                N(c == 0 ? y : 1000 + y);
    }
    t += v.end;
    return t;
}

} // namespace fixtures
