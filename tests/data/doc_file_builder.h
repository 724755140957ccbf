#pragma once
// Builds data files byte by byte from the file layout, independently of the
// records' own writers, so that tests compare the program against the format
// rather than against itself. Also used by the benchmark and the seed corpus.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class CDataFileBuilder
{
public:
    std::vector<uint8_t> m_bytes;
    // Offsets of the 32-bit fields a reader takes as a length or a count.
    std::vector<size_t> m_countFields;

    CDataFileBuilder& Count(int32_t v)
    {
        m_countFields.push_back(m_bytes.size());
        return I32(v);
    }

    // Primitive encodings: little-endian, no padding.
    CDataFileBuilder& U16(uint16_t v) { return Le(v, 2); }
    CDataFileBuilder& I32(int32_t v) { return Le(static_cast<uint32_t>(v), 4); }
    CDataFileBuilder& F64(double v)
    {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        return Le(u, 8);
    }
    CDataFileBuilder& Str(const std::string& s)
    {
        if (s.size() < 255) {
            Le(s.size(), 1);
        } else if (s.size() < 0xFFFE) {
            Le(0xFF, 1);
            Le(s.size(), 2);
        } else {
            Le(0xFF, 1);
            Le(0xFFFF, 2);
            Le(s.size(), 4);
        }
        return Raw(s.data(), s.size());
    }
    CDataFileBuilder& Raw(const void* p, size_t n)
    {
        auto b = static_cast<const uint8_t*>(p);
        m_bytes.insert(m_bytes.end(), b, b + n);
        return *this;
    }

    // Block head with a length patched by EndBlock.
    size_t BeginBlock(uint16_t id, uint16_t version)
    {
        U16(id).U16(version);
        const size_t at = m_bytes.size();
        Count(0);
        return at;
    }
    void EndBlock(size_t at)
    {
        const uint32_t length = static_cast<uint32_t>(m_bytes.size() - at - 4);
        for (int i = 0; i < 4; ++i)
            m_bytes[at + i] = static_cast<uint8_t>(length >> (8 * i));
    }

    CDataFileBuilder& Header(int32_t fileType = 0, const char* name = "Veltrane")
    {
        char prog[12] = {};
        std::memcpy(prog, name, std::min(std::strlen(name), sizeof prog));
        Raw(prog, sizeof prog);
        return I32(fileType).I32(1).I32(3);
    }

    CDataFileBuilder& Experiment(int32_t expType = 0x102, int32_t technique = 2, int32_t scanType = 1,
                                 int32_t positions = 1)
    {
        const size_t at = BeginBlock(1, 3);
        I32(expType).I32(technique).Str("operator").Str("a comment");
        I32(0).F64(45000.5);                           // time: status, OLE date
        I32(expType & 0x200 ? 0x200 : 0x100).I32(1);   // data type, movement
        I32(0).I32(scanType).F64(0.25).I32(positions); // profile, scan type, offset, positions
        I32(256).I32(1).F64(1.5).I32(1).I32(0).I32(0); // size, resolution, magnification, flags
        F64(1.0).I32(0);                               // step, detector
        EndBlock(at);
        return *this;
    }

    CDataFileBuilder& Source(int32_t type = 18, double energy = 1486.6)
    {
        U16(2).U16(1).Count(28);
        return F64(20.0).F64(energy).F64(15000.0).I32(type);
    }

    CDataFileBuilder& IonGun()
    {
        U16(3).U16(1).Count(8);
        return U16(3).U16(1).I32(3);
    }

    CDataFileBuilder& Opaque(uint16_t id, uint16_t version, const std::vector<uint8_t>& content)
    {
        U16(id).U16(version).Count(static_cast<int32_t>(content.size()));
        return Raw(content.data(), content.size());
    }

    // Block 169: per position, per spectrum region, a start and finish index.
    CDataFileBuilder& Background(const std::vector<std::vector<std::pair<int32_t, int32_t>>>& limits)
    {
        const size_t at = BeginBlock(169, 1);
        I32(static_cast<int32_t>(limits.size()));
        for (const auto& posn : limits) {
            I32(static_cast<int32_t>(posn.size()));
            for (const auto& l : posn)
                I32(l.first).I32(l.second);
        }
        EndBlock(at);
        return *this;
    }

    // Region parameters: names, eight doubles, retard ratio, six ints.
    // sizing: which point counts size the data that follow (bits 1 nx, 2 ny,
    // 4 nz); only image regions have such data.
    CDataFileBuilder& RegionParams(const std::string& name, int32_t nx, int32_t ny, int32_t nz, int sizing)
    {
        Str(name).Str("1s");
        F64(280.0).F64(290.0).F64(0.1).F64(285.0);
        F64(nz > 1 ? 279.0 : kInfinity).F64(nz > 2 ? 291.0 : kInfinity);
        F64(50.0).F64(20.0).Str("");
        I32(3).I32(1).I32(-1);
        (sizing & 1 ? Count(nx) : I32(nx));
        (sizing & 2 ? Count(ny) : I32(ny));
        return sizing & 4 ? Count(nz) : I32(nz);
    }

    struct SPosnHead
    {
        int32_t posnMode = 0;
        int32_t scanMode = 0x100;
        std::vector<double> x, y, levels = {0.0};
    };
    // Opens block 4 up to its spectrum-region count; close with EndPosn.
    size_t BeginPosn(const SPosnHead& h, int32_t nSpecRgns)
    {
        const size_t at = BeginBlock(4, 1);
        Str("position comment").Str("Default");
        I32('C' | 'A' << 8 | 'E' << 16).I32(h.scanMode).I32(h.posnMode).I32(0);
        I32(2).I32(2);
        for (double d : {1.0, 2.0, 3.0, 4.0, 0.5, 0.25})
            F64(d);
        for (const auto* list : {&h.x, &h.y, &h.levels}) {
            Count(static_cast<int32_t>(list->size()));
            for (double d : *list)
                F64(d);
        }
        Count(nSpecRgns);
        return at;
    }
    void EndPosn(size_t at) { EndBlock(at); }

    // A spectrum region with curves of nx values (value i of curve c: c * 1000 + i).
    CDataFileBuilder& SpecRgn(int32_t nx, int32_t nCurves)
    {
        const size_t at = BeginBlock(5, 1);
        RegionParams("C", nx, 1, 1, 0).F64(0.5).Count(nCurves);
        for (int c = 0; c < nCurves; ++c) {
            F64(c * 1000.0 + nx - 1).F64(c * 1000.0).Count(nx);
            for (int i = 0; i < nx; ++i)
                F64(c * 1000.0 + i);
        }
        EndBlock(at);
        return *this;
    }

    // An image region of the given data kind (0 raw planes, 1 line scan,
    // 2 corrected image, 3 secondary electrons); a line scan's values are
    // 0, 0.5, 1, ... plus lineOffset.
    CDataFileBuilder& ImageRgn(int32_t kind, int32_t nx, int32_t ny, int32_t nz, double lineOffset = 0.0)
    {
        const size_t at = BeginBlock(6, 1);
        RegionParams("O", nx, ny, nz, kind == 1 ? 1 : kind == 0 ? 7 : 3).I32(kind);
        const int64_t pixels = int64_t(nx) * ny;
        if (kind == 1) {
            for (int i = 0; i < nx; ++i)
                F64(i * 0.5 + lineOffset);
        } else if (kind == 2) {
            for (int64_t i = 0; i < pixels; ++i)
                I32(static_cast<int32_t>(i));
        } else if (kind == 3) {
            for (int64_t i = 0; i < pixels; ++i)
                Le(static_cast<uint8_t>(i), 1);
        } else {
            const size_t first = m_bytes.size();
            m_bytes.resize(first + static_cast<size_t>(pixels * nz * 4));
            for (int64_t i = 0; i < pixels * nz; ++i) {
                const uint32_t v = static_cast<uint32_t>(i % 100000);
                std::memcpy(&m_bytes[first + static_cast<size_t>(i) * 4], &v, 4);
            }
        }
        EndBlock(at);
        return *this;
    }

    CDataFileBuilder& End() { return I32(0xFFFF); }

    // One quantification record as block 196 holds it; its results count is
    // the level count of its region, which the block does not store.
    CDataFileBuilder& QuantRec(const std::string& element, const std::string& transition, int32_t region,
                               const std::vector<double>& results, double rsf = 1.0, int32_t lower = 0,
                               int32_t upper = 0)
    {
        Str(element + " " + transition).Str(element).Str(transition);
        I32(1).I32(0).I32(region).I32(lower).I32(upper).F64(rsf);
        for (double v : results)
            F64(v);
        return *this;
    }

    // Header, blocks 1 to 3, 169, a spectrum position, an image position with
    // every image data kind, 196 and the end marker: every block kind there is.
    static std::vector<uint8_t> EveryBlockKind(std::vector<size_t>* countFields = nullptr)
    {
        CDataFileBuilder b;
        b.Header().Experiment().Source().IonGun();
        b.Background({{{1, 9}, {3, 0}}, {}});
        SPosnHead spec;
        spec.levels = {0.0, 30.0, 60.0};
        size_t at = b.BeginPosn(spec, 2);
        b.SpecRgn(11, 3).SpecRgn(4, 3).Count(0);
        b.EndPosn(at);
        SPosnHead image;
        image.posnMode = 5;
        image.x = {-10.0, 20.0};
        image.y = {5.0, -5.0};
        at = b.BeginPosn(image, 0);
        b.Count(6);
        b.ImageRgn(0, 3, 2, 1).ImageRgn(0, 3, 2, 3).ImageRgn(0, 4, 1, 2);
        b.ImageRgn(1, 5, 1, 1).ImageRgn(2, 2, 2, 1).ImageRgn(3, 4, 3, 1);
        b.EndPosn(at);
        at = b.BeginBlock(196, 1);
        b.I32(2).I32(2);
        b.QuantRec("C", "1s", 0, {1.0, 2.0, 3.0}, 0.25, 1, 9)
            .QuantRec("O", "1s", 1, {4.0, 5.0, 6.0}, 0.66, 0, 3);
        b.I32(0).I32(0);               // no second list's records; not AES
        b.I32(1).I32(2).I32(1).I32(1); // display: version, area, normalised, quantify
        b.EndBlock(at);
        b.End();
        if (countFields)
            *countFields = b.m_countFields;
        return b.m_bytes;
    }

    static constexpr double kInfinity = __builtin_inf();

private:
    CDataFileBuilder& Le(uint64_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
};
