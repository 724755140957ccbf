#pragma once
// Byte writers for data-file blocks, and helpers that load a record from bytes
// and store it back, for the record tests.

#include "platform/Archive.h"
#include "platform/File.h"
#include "tests/common/RecordingSink.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace rectest {

inline constexpr double kInf = std::numeric_limits<double>::infinity();

// Little-endian bytes in the file's encodings.
class Bytes
{
public:
    Bytes& u8(uint8_t v) { return m_b.push_back(v), *this; }
    Bytes& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    Bytes& i16(int16_t v) { return u16(uint16_t(v)); }
    Bytes& i32(int32_t v)
    {
        const uint32_t u = uint32_t(v);
        return u8(uint8_t(u)).u8(uint8_t(u >> 8)).u8(uint8_t(u >> 16)).u8(uint8_t(u >> 24));
    }
    Bytes& f64(double v)
    {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i)
            u8(uint8_t(u >> (8 * i)));
        return *this;
    }
    Bytes& str(const std::string& s)
    {
        if (s.size() < 255)
            u8(uint8_t(s.size()));
        else if (s.size() < 0xFFFE)
            u8(0xFF).u16(uint16_t(s.size()));
        else
            u8(0xFF).u16(0xFFFF).i32(int32_t(s.size()));
        m_b.insert(m_b.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& raw(const std::vector<uint8_t>& v)
    {
        m_b.insert(m_b.end(), v.begin(), v.end());
        return *this;
    }
    Bytes& raw(const Bytes& v) { return raw(v.m_b); }
    // A complete block: identifier, version, the content's length, the content.
    Bytes& block(uint16_t id, uint16_t version, const Bytes& content)
    {
        return u16(id).u16(version).i32(int32_t(content.size())).raw(content);
    }
    size_t size() const { return m_b.size(); }
    const std::vector<uint8_t>& vec() const { return m_b; }
    operator const std::vector<uint8_t>&() const { return m_b; }

private:
    std::vector<uint8_t> m_b;
};

inline Bytes ExperimentContent(int version, int32_t expType = 0x104)
{
    Bytes b;
    b.i32(expType).i32(2).str("operator").str("a comment").i32(0).f64(45000.25);
    b.i32(0x100).i32(2).i32(1).i32(0).f64(0.5).i32(3).i32(0).i32(1).f64(1.0).i32(1).i32(0).i32(1);
    if (version > 1)
        b.f64(0.25);
    if (version > 2)
        b.i32(5);
    return b;
}

// The region parameter layout.
inline Bytes RegionParams(int32_t nx, int32_t ny, int32_t nz, double bk1 = kInf, double bk2 = kInf)
{
    Bytes b;
    b.str("Cu").str("2p3/2").f64(930.0).f64(940.0).f64(0.1).f64(932.7).f64(bk1).f64(bk2).f64(50.0).f64(20.0);
    b.str("").i32(2).i32(1).i32(7).i32(nx).i32(ny).i32(nz);
    return b;
}

// Block 5 with curves of the given values.
inline Bytes SpecRgnBlock(const std::vector<std::vector<double>>& curves, int32_t nx)
{
    Bytes c = RegionParams(nx, 1, 1);
    c.f64(0.75).i32(int32_t(curves.size()));
    for (const auto& v : curves) {
        double lo = v.empty() ? 0.0 : v[0], hi = lo;
        for (double x : v)
            lo = x < lo ? x : lo, hi = x > hi ? x : hi;
        c.f64(hi).f64(lo).i32(int32_t(v.size()));
        for (double x : v)
            c.f64(x);
    }
    return Bytes().block(5, 1, c);
}

// Block 6 holding data of the kind (0 raw planes, 1 line scan, 2 corrected
// image, 3 secondary-electron bytes).
inline Bytes ImageRgnBlock(int32_t kind, int32_t nx, int32_t ny, int32_t nz)
{
    Bytes c = RegionParams(nx, ny, nz, nz > 1 ? 925.0 : kInf, nz > 2 ? 945.0 : kInf);
    c.i32(kind);
    const int32_t n = kind == 1 ? nx : kind == 0 ? nx * ny * nz : nx * ny;
    for (int32_t i = 0; i < n; ++i) {
        if (kind == 1)
            c.f64(i * 1.5);
        else if (kind == 3)
            c.u8(uint8_t(i * 7));
        else
            c.i32(i * 3 - 4);
    }
    return Bytes().block(6, 1, c);
}

struct PosnSpec
{
    int32_t mode = 0;
    std::vector<double> x, y, levels;
    std::vector<Bytes> specRgns, imageRgns;
    int32_t nX = 0, nY = 0;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0, dX = 0, dY = 0;
};

inline Bytes PosnContent(const PosnSpec& p)
{
    Bytes c;
    c.str("position comment").str("Default").i32(4538691).i32(0x100).i32(p.mode).i32(3).i32(p.nX).i32(p.nY);
    c.f64(p.x0).f64(p.y0).f64(p.x1).f64(p.y1).f64(p.dX).f64(p.dY);
    for (const auto* list : {&p.x, &p.y, &p.levels}) {
        c.i32(int32_t(list->size()));
        for (double v : *list)
            c.f64(v);
    }
    c.i32(int32_t(p.specRgns.size()));
    for (const auto& r : p.specRgns)
        c.raw(r);
    c.i32(int32_t(p.imageRgns.size()));
    for (const auto& r : p.imageRgns)
        c.raw(r);
    return c;
}

inline Bytes PosnBlock(const PosnSpec& p, uint16_t version = 1)
{
    return Bytes().block(4, version, PosnContent(p));
}

// Loads rec from bytes that start with its block identifier, as the document's
// reader hands it over; returns the file position after the load.
template <typename Rec>
uint64_t Load(Rec& rec, const std::vector<uint8_t>& bytes, std::string name = "test.vlt")
{
    CMemFile file(bytes, name);
    CArchive ar(&file, CArchive::load);
    uint16_t id = 0;
    ar >> id;
    rec << ar;
    return ar.GetPosition();
}

template <typename Rec> std::vector<uint8_t> Store(const Rec& rec)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        rec >> ar;
        ar.Close();
    }
    return file.Data();
}

} // namespace rectest
