// Damaged blocks: every bad length, count or size is refused before anything
// is allocated, and nothing crashes.

#include "records_fixture.h"

#include "data/Experiment.h"
#include "data/StagePosn.h"
#include "data/Utility.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <functional>

using namespace rectest;

namespace {

constexpr int32_t kHuge = 0x7FFFFFFF;

// A position block whose counts may lie about what follows.
struct PosnFields
{
    int32_t mode = CStagePosn::PointList;
    std::vector<double> xs{1, 2}, ys{3, 4};
    int32_t nXs = 2, nYs = 2, nLevels = 1, nSpec = 1, nImage = 0;
    Bytes spec = SpecRgnBlock({{1, 2}}, 2);
    Bytes image;
};

Bytes Posn(const PosnFields& f, int32_t lengthDelta = 0)
{
    Bytes c;
    c.str("c").str("Default").i32(4538691).i32(0).i32(f.mode).i32(0).i32(0).i32(0);
    for (int i = 0; i < 6; ++i)
        c.f64(0.0);
    c.i32(f.nXs);
    for (double v : f.xs)
        c.f64(v);
    c.i32(f.nYs);
    for (double v : f.ys)
        c.f64(v);
    c.i32(f.nLevels).f64(0.0);
    c.i32(f.nSpec).raw(f.spec).i32(f.nImage).raw(f.image);
    Bytes b;
    b.u16(4).u16(1).i32(int32_t(c.size()) + lengthDelta).raw(c);
    return b;
}

// Block 5 with one curve whose counts are given.
Bytes Spec(int32_t nCurves, int32_t nPts, Bytes params = RegionParams(2, 1, 1))
{
    Bytes c = params;
    c.f64(0.0).i32(nCurves).f64(2).f64(1).i32(nPts).f64(1).f64(2);
    return Bytes().block(5, 1, c);
}

Bytes Image(int32_t kind, int32_t nx, int32_t ny, int32_t nz, size_t dataBytes)
{
    Bytes c = RegionParams(nx, ny, nz);
    c.i32(kind).raw(std::vector<uint8_t>(dataBytes, 1));
    return Bytes().block(6, 1, c);
}

// A position that holds one image region and no spectra.
PosnFields ImageOnly(Bytes image)
{
    PosnFields f;
    f.nSpec = 0, f.spec = Bytes(), f.nImage = 1;
    f.image = std::move(image);
    return f;
}

void ExpectRefused(const std::vector<uint8_t>& bytes)
{
    CStagePosn pos;
    EXPECT_THROW(Load(pos, bytes), CArchiveException);
}

} // namespace

TEST(RecordsCorrupt, CountsAndLengthsAreChecked)
{
    struct Row
    {
        const char* name;
        std::function<Bytes()> make;
    };
    const std::vector<Row> rows = {
        {"block length negative", [] { return Posn({}, -1000); }},
        {"block length past the file", [] { return Posn({}, 1); }},
        {"X count -1",
         [] {
             PosnFields f;
             f.nXs = -1;
             return Posn(f);
         }},
        {"X count huge",
         [] {
             PosnFields f;
             f.nXs = kHuge;
             return Posn(f);
         }},
        {"Y count huge",
         [] {
             PosnFields f;
             f.nYs = kHuge;
             return Posn(f);
         }},
        {"level count -1",
         [] {
             PosnFields f;
             f.nLevels = -1;
             return Posn(f);
         }},
        {"level count huge",
         [] {
             PosnFields f;
             f.nLevels = 0x10000000;
             return Posn(f);
         }},
        {"spectrum region count huge",
         [] {
             PosnFields f;
             f.nSpec = kHuge;
             return Posn(f);
         }},
        {"image region count -1",
         [] {
             PosnFields f;
             f.nImage = -1;
             return Posn(f);
         }},
        {"point list X and Y differ",
         [] {
             PosnFields f;
             f.ys = {3};
             f.nYs = 1;
             return Posn(f);
         }},
        {"area list of one corner",
         [] {
             PosnFields f;
             f.mode = CStagePosn::AreaList;
             f.xs = f.ys = {1};
             f.nXs = f.nYs = 1;
             return Posn(f);
         }},
        {"curve count -1",
         [] {
             PosnFields f;
             f.spec = Spec(-1, 2);
             return Posn(f);
         }},
        {"curve count huge",
         [] {
             PosnFields f;
             f.spec = Spec(kHuge, 2);
             return Posn(f);
         }},
        {"point count -1",
         [] {
             PosnFields f;
             f.spec = Spec(1, -1);
             return Posn(f);
         }},
        {"point count one too many",
         [] {
             PosnFields f;
             f.spec = Spec(1, 3);
             return Posn(f);
         }},
        {"point count past its block, file longer",
         [] {
             PosnFields f;
             f.spec = Spec(1, 3);
             return Posn(f).raw(std::vector<uint8_t>(64, 0));
         }},
        {"point count huge",
         [] {
             PosnFields f;
             f.spec = Spec(1, kHuge);
             return Posn(f);
         }},
        {"region string length huge",
         [] {
             Bytes params;
             params.u8(0xFF).u16(0xFFFF).i32(kHuge);
             PosnFields f;
             f.spec = Bytes().block(5, 1, params);
             return Posn(f);
         }},
        {"nested block past its position",
         [] {
             PosnFields f;
             Bytes inner = Spec(1, 2);
             Bytes longer;
             longer.u16(5)
                 .u16(1)
                 .i32(int32_t(inner.size()) - 8 + 40)
                 .raw(std::vector<uint8_t>(inner.vec().begin() + 8, inner.vec().end()));
             f.spec = longer;
             return Posn(f).raw(std::vector<uint8_t>(64, 0));
         }},
        {"image nx -1", [] { return Posn(ImageOnly(Image(0, -1, 1, 1, 0))); }},
        {"image nx*ny*nz overflows", [] { return Posn(ImageOnly(Image(0, 65536, 65536, 65536, 16))); }},
        {"image planes one byte short", [] { return Posn(ImageOnly(Image(0, 3, 2, 2, 47))); }},
        {"raw image without planes", [] { return Posn(ImageOnly(Image(0, 3, 2, 0, 0))); }},
        {"line scan one value short", [] { return Posn(ImageOnly(Image(1, 4, 1, 1, 31))); }},
        {"secondary-electron image huge", [] { return Posn(ImageOnly(Image(3, 40000, 40000, 1, 8))); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectRefused(row.make());
    }
    // The fixture itself is sound, so each row fails for its own reason.
    CStagePosn pos;
    EXPECT_NO_THROW(Load(pos, Posn({})));
    EXPECT_NO_THROW(Load(pos, Posn(ImageOnly(Image(0, 3, 2, 2, 48)))));
}

TEST(RecordsCorrupt, TruncatedAnywhere)
{
    PosnSpec p;
    p.mode = CStagePosn::Image;
    p.nX = 2, p.nY = 2;
    p.levels = {0.0};
    p.imageRgns = {ImageRgnBlock(0, 2, 2, 3), ImageRgnBlock(3, 2, 2, 1)};
    const Bytes whole = PosnBlock(p);
    for (size_t cut = 2; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> bytes(whole.vec().begin(), whole.vec().begin() + cut);
        ExpectRefused(bytes);
        // The same cut with the position's length telling the truth about it
        // and an end marker behind: nested lengths and counts still refuse it
        // or it loads what is there; it never crashes.
        if (cut > 8) {
            Bytes patched;
            patched.u16(4)
                .u16(1)
                .i32(int32_t(cut - 8))
                .raw(std::vector<uint8_t>(whole.vec().begin() + 8, whole.vec().begin() + cut));
            patched.u16(0xFFFF).u16(0);
            CRecordingSink log;
            CStagePosn pos;
            try {
                Load(pos, patched);
            } catch (const CArchiveException&) {
            } catch (const CUserException&) {
                EXPECT_EQ(log.m_messages.size(), 1u);
            }
        }
    }
}

TEST(RecordsCorrupt, WrongNestedIdentifierNamesTheFile)
{
    PosnFields f;
    f.spec = Bytes().block(7, 1, Bytes());
    CRecordingSink log;
    CStagePosn pos;
    EXPECT_THROW(Load(pos, Posn(f), "broken.vlt"), CUserException);
    ASSERT_EQ(log.m_messages.size(), 1u);
    EXPECT_EQ(log.m_messages[0],
              "The file 'broken.vlt' contains corrupt or unrecognized data - an erroneous data "
              "block identifier was found.");

    // An image block where the counts announce spectrum regions.
    PosnFields g;
    g.spec = Image(3, 1, 1, 1, 1);
    EXPECT_THROW(Load(pos, Posn(g)), CUserException);
}

TEST(RecordsCorrupt, ExperimentTypeOfAFile)
{
    CRecordingSink log;
    Bytes file;
    file.raw(std::vector<uint8_t>(24, 0)).u16(1).u16(3).i32(100).i32(0x0001);
    CMemFile unknown(file.vec(), "odd.vlt");
    unknown.Seek(24, CFile::begin);
    EXPECT_THROW(CExperiment::GetExpType(&unknown), CUserException);
    ASSERT_EQ(log.m_messages.size(), 1u);
    EXPECT_EQ(log.m_messages[0], "The file 'odd.vlt' contains data of an unknown type");

    Bytes good;
    good.raw(std::vector<uint8_t>(24, 0)).u16(1).u16(3).i32(100).i32(0x0101);
    CMemFile known(good.vec());
    known.Seek(24, CFile::begin);
    EXPECT_EQ(CExperiment::GetExpType(&known), 0x101);

    CMemFile tooShort(std::vector<uint8_t>(30, 0));
    tooShort.Seek(24, CFile::begin);
    EXPECT_THROW(CExperiment::GetExpType(&tooShort), CArchiveException);
}
