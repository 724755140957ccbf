// The byte layout of the header and the record blocks, reading of other block
// versions, and byte-identical rewriting of every record kind.

#include "records_fixture.h"

#include "data/SpecRgn.h"

#include "data/Experiment.h"
#include "data/Header.h"
#include "data/IonGun.h"
#include "data/Source.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/Utility.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rectest;

namespace {

std::vector<uint8_t> Hex(std::initializer_list<int> bytes)
{
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace

TEST(RecordsFormat, HeaderThenExperimentHead)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        CHeader() >> ar;
        CExperiment() >> ar;
        ar.Close();
    }
    const auto& d = file.Data();
    ASSERT_GE(d.size(), 28u);
    EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + 28),
              Hex({0x56, 0x65, 0x6C, 0x74, 0x72, 0x61, 0x6E, 0x65, 0, 0, 0,    0,    0,    0,
                   0,    0,    1,    0,    0,    0,    3,    0,    0, 0, 0x01, 0x00, 0x03, 0x00}));
    // The patched length covers the rest of the file exactly.
    const uint32_t length = d[28] | d[29] << 8 | d[30] << 16 | uint32_t(d[31]) << 24;
    EXPECT_EQ(length, d.size() - 32);
}

TEST(RecordsFormat, HeaderFromFileAndAssignment)
{
    Bytes b;
    b.raw(Hex({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'})).i32(2).i32(7).i32(9);
    CMemFile file(b.vec());
    CHeader header(&file);
    char name[13];
    header.GetProgName(name);
    EXPECT_STREQ(name, "ABCDEFGHIJKL");
    EXPECT_EQ(header.GetFileType(), CHeader::XPSSetupFile);

    CHeader copy;
    copy = header;
    EXPECT_EQ(copy.GetFileType(), CHeader::DataFile);
    EXPECT_EQ(copy.GetProgVersion(), 7);
    EXPECT_EQ(copy.GetFileVersion(), 9);

    CMemFile shortFile(std::vector<uint8_t>(23, 0));
    EXPECT_THROW(CHeader{&shortFile}, CArchiveException);
}

TEST(RecordsFormat, SourceAndIonGunBlocks)
{
    Bytes gunBlock;
    gunBlock.u16(3).u16(1).i32(8).i16(3).i16(1).i32(CIonGun::MIED_DAU);
    EXPECT_EQ(gunBlock.vec(), Hex({3, 0, 1, 0, 8, 0, 0, 0, 3, 0, 1, 0, 3, 0, 0, 0}));
    CIonGun gun;
    Load(gun, gunBlock);
    EXPECT_EQ(gun.GetType(), CIonGun::MIED_DAU);
    EXPECT_EQ(gun.GetPreset(), 1);
    EXPECT_EQ(gun.GetDutyCycle(), 3);
    EXPECT_EQ(Store(gun), gunBlock.vec());

    Bytes srcBlock;
    srcBlock.u16(2).u16(1).i32(28).f64(0.02).f64(1486.6).f64(15000.0).i32(CSource::AlKa);
    CSource src;
    Load(src, srcBlock);
    EXPECT_EQ(src.GetSourceType(), CSource::AlKa);
    EXPECT_DOUBLE_EQ(src.GetPower(), 300.0);
    EXPECT_EQ(Store(src), srcBlock.vec());
    EXPECT_NEAR(src.ConvertEnergy(1000.0, CSource::KE, CSource::BE), 486.6, 1e-9);
    EXPECT_DOUBLE_EQ(src.ConvertEnergy(1000.0, CSource::KE, CSource::KE), 1000.0);
}

TEST(RecordsFormat, StringPrefixesAt254And255)
{
    for (size_t n : {254u, 255u}) {
        SCOPED_TRACE(n);
        Bytes b;
        // Replace the comment by one of n characters.
        Bytes c;
        c.i32(0x101).i32(2).str("op").str(std::string(n, 'x')).i32(0).f64(1.0);
        c.i32(0x100).i32(0).i32(0).i32(1).f64(0).i32(0).i32(0).i32(1).f64(1).i32(0).i32(0).i32(0).f64(1).i32(
            0);
        b.block(1, 3, c);
        CExperiment exp;
        Load(exp, b);
        EXPECT_EQ(exp.GetComment().size(), n);
        const auto stored = Store(exp);
        EXPECT_EQ(stored, b.vec());
        // Prefix right after the operator string "op" (8 head + 8 + 3).
        EXPECT_EQ(stored[19], n < 255 ? n : 0xFF);
    }
}

TEST(RecordsFormat, ExperimentVersions)
{
    // Version 1 lacks step and detector: they keep what the record held.
    CExperiment exp;
    const Bytes v1 = Bytes().block(1, 1, ExperimentContent(1));
    EXPECT_EQ(Load(exp, v1), v1.size());
    EXPECT_EQ(exp.GetExpType(), 0x104);
    EXPECT_EQ(exp.GetOperator(), "operator");
    EXPECT_DOUBLE_EQ(exp.GetStep(), 1.0);
    EXPECT_EQ(exp.GetDetector(), 0);
    EXPECT_EQ(exp.GetSize(), 0);

    // Version 4 with four extra bytes reads as version 3 and skips them.
    Bytes v4content = ExperimentContent(3);
    v4content.i32(0x5A5A5A5A);
    const Bytes v4 = Bytes().block(1, 4, v4content).u16(0xFFFF);
    EXPECT_EQ(Load(exp, v4), v4.size() - 2);
    EXPECT_DOUBLE_EQ(exp.GetStep(), 0.25);
    EXPECT_EQ(exp.GetDetector(), 5);

    // Written back as this program's version.
    EXPECT_EQ(Store(exp), Bytes().block(1, 3, ExperimentContent(3)).vec());
}

TEST(RecordsFormat, LongerFixedBlocksMoveToTheirEnd)
{
    Bytes src;
    src.u16(2).u16(2).i32(36).f64(1).f64(2).f64(3).i32(10).f64(99.0).u16(0xFFFF);
    CSource s;
    EXPECT_EQ(Load(s, src), src.size() - 2);
    EXPECT_DOUBLE_EQ(s.GetEnergy(), 2.0);

    PosnSpec p;
    p.levels = {0.0};
    Bytes content = PosnContent(p);
    content.f64(123.0).i32(7);
    const Bytes posn = Bytes().block(4, 2, content).u16(0xFFFF);
    CStagePosn pos;
    EXPECT_EQ(Load(pos, posn), posn.size() - 2);
    EXPECT_EQ(pos.GetNumLevels(), 1);
}

TEST(RecordsFormat, NewerRegionBlockSkippedByLength)
{
    Bytes inner = SpecRgnBlock({{1, 2}}, 2);
    Bytes content;
    content.raw(std::vector<uint8_t>(inner.vec().begin() + 8, inner.vec().end()));
    content.f64(42.0);
    PosnSpec p;
    p.levels = {0};
    p.specRgns = {Bytes().block(5, 2, content), SpecRgnBlock({{3}}, 1)};
    const Bytes bytes = PosnBlock(p);
    CStagePosn pos;
    EXPECT_EQ(Load(pos, bytes), bytes.size());
    ASSERT_EQ(pos.GetNumRgns(), 2);
    EXPECT_EQ(pos.GetSpecRgn(0)->GetTrace(0)->GetData()[1], 2.0);
    EXPECT_EQ(pos.GetSpecRgn(1)->GetTrace(0)->GetData()[0], 3.0);
}

// New records carry defined values into the file, never leftover memory.
TEST(RecordsFormat, NewRecordsWriteDefinedBytes)
{
    Bytes region;
    region.str("").str("");
    for (int i = 0; i < 8; ++i)
        region.f64(0.0);
    region.str("").i32(0).i32(0).i32(-1).i32(0).i32(0).i32(0).f64(0.0).i32(0);
    EXPECT_EQ(Store(CSpecRgn()), Bytes().block(5, 1, region).vec());
    EXPECT_EQ(CSpecRgn().GetMaxValue(), 0.0);

    Bytes exp;
    exp.i32(0).i32(0).str("").str("").i32(0).f64(0.0).i32(0).i32(0).i32(0).i32(0).f64(0.0).i32(0).i32(0).i32(
        1);
    exp.f64(1.0).i32(0).i32(0).i32(0).f64(1.0).i32(0);
    EXPECT_EQ(Store(CExperiment()), Bytes().block(1, 3, exp).vec());
}

TEST(RecordsFormat, ShorterFixedBlockMovesBack)
{
    // A length shorter than the fields: the reader goes back to the stored end.
    Bytes gun;
    gun.u16(3).u16(1).i32(4).i16(2).i16(1).i32(1).u16(0xFFFF);
    CIonGun g;
    EXPECT_EQ(Load(g, gun), 8u + 4u);
}

// Every position mode, and every data kind of the image regions, is rewritten
// byte for byte.
TEST(RecordsFormat, PositionsRoundTripByteIdentical)
{
    struct Case
    {
        const char* name;
        PosnSpec spec;
    };
    std::vector<Case> cases;
    auto spec = [](int mode) {
        PosnSpec p;
        p.mode = mode;
        p.levels = {10.0, 20.0};
        p.specRgns = {SpecRgnBlock({{1, 2, 3}, {4, 5, 6}}, 3), SpecRgnBlock({{}, {7}}, 1)};
        return p;
    };
    cases.push_back({"None", spec(CStagePosn::None)});
    cases.push_back({"Point", spec(CStagePosn::Point)});
    PosnSpec lin1 = spec(CStagePosn::Linear1D);
    lin1.x0 = 1, lin1.x1 = 3, lin1.dX = 0.5;
    cases.push_back({"Linear1D", lin1});
    PosnSpec lin2 = spec(CStagePosn::Linear2D);
    lin2.nX = 4, lin2.x0 = -5, lin2.y0 = 2, lin2.dX = 1, lin2.dY = 0.5;
    cases.push_back({"Linear2D", lin2});
    PosnSpec image;
    image.mode = CStagePosn::Image;
    image.nX = 3, image.nY = 2;
    image.levels = {0.0};
    image.imageRgns = {ImageRgnBlock(0, 3, 2, 1), ImageRgnBlock(0, 3, 2, 2), ImageRgnBlock(0, 3, 2, 3),
                       ImageRgnBlock(1, 5, 1, 1), ImageRgnBlock(2, 3, 2, 1), ImageRgnBlock(3, 4, 4, 1)};
    cases.push_back({"Image", image});
    PosnSpec pts = spec(CStagePosn::PointList);
    pts.x = {1, 2, 3}, pts.y = {4, 5, 6};
    cases.push_back({"PointList", pts});
    PosnSpec areas = spec(CStagePosn::AreaList);
    areas.x = {-512, 511, 0, 10}, areas.y = {511, -512, 0, 10};
    cases.push_back({"AreaList", areas});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = PosnBlock(c.spec);
        CStagePosn pos;
        EXPECT_EQ(Load(pos, bytes), bytes.size());
        EXPECT_EQ(Store(pos), bytes.vec());
        EXPECT_EQ(pos.GetNumRgns(), int(c.spec.specRgns.size() + c.spec.imageRgns.size()));
    }
}

TEST(RecordsFormat, RegionsBuiltInMemoryRoundTrip)
{
    // Regions made by Create (as for an acquisition) survive a store and load.
    CRegion params;
    params.m_csName = "O";
    params.m_dStart = 520, params.m_dFinish = 540, params.m_dStep = 0.5;
    params.m_dBk1 = CUtility::Infinity;
    params.m_dBk2 = 515.0;
    CSpecRgn spec;
    spec.Create(&params, 0.25, 2, 0);
    spec.GetTrace(1)->GetData()[40] = 17.0;
    CImageRgn image;
    image.Create(&params, 4, 3);
    CImageRgn se;
    se.CreateSE(2, 2);

    const auto specBytes = Store(spec);
    CSpecRgn spec2;
    Load(spec2, specBytes);
    EXPECT_EQ(spec2.GetNumTraces(), 2);
    EXPECT_EQ(spec2.GetNumPoints_x(), 41);
    EXPECT_DOUBLE_EQ(spec2.GetTrace(1)->GetData()[40], 17.0);
    EXPECT_DOUBLE_EQ(spec2.GetStart(), 520.25);
    EXPECT_EQ(spec2.GetBk1(), CUtility::Infinity);
    EXPECT_EQ(Store(spec2), specBytes);

    // Made with the second background alone, which is the second plane.
    ASSERT_EQ(image.GetBk1Data(), nullptr);
    ASSERT_EQ(image.GetBk2Data(), image.GetPkData() + 12);
    const_cast<int*>(image.GetPkData())[5] = 10;
    const_cast<int*>(image.GetBk2Data())[5] = 4;
    const auto imageBytes = Store(image);
    CImageRgn image2;
    Load(image2, imageBytes);
    EXPECT_EQ(image2.GetNumPoints_z(), 2);
    // Read back, the second plane is the first-background plane, whichever
    // background it was measured at; the corrected values are the same.
    EXPECT_EQ(image2.GetBk1Data(), image2.GetPkData() + 12);
    EXPECT_EQ(image2.GetBk2Data(), nullptr);
    EXPECT_EQ(image2.GetBk1Data()[5], 4);
    EXPECT_EQ(image2.GetData(5), 6.0);
    EXPECT_EQ(image.GetData(5), 6.0);
    EXPECT_EQ(Store(image2), imageBytes);

    const auto seBytes = Store(se);
    CImageRgn se2;
    Load(se2, seBytes);
    EXPECT_TRUE(se2.IsSEImage());
    EXPECT_EQ(se2.GetName(), "Secondary Electron");
    EXPECT_EQ(Store(se2), seBytes);
}

// A curve's stored extremes are kept as the file gives them, unless they are
// no finite number (a curve with an imported "nan" saved by an earlier build):
// then they are those of its finite values, or the plot would have no scale.
TEST(RecordsFormat, CurveExtremesThatAreNoNumberAreTakenFromTheValues)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    struct Case
    {
        double storedMax, storedMin, max, min;
    } cases[] = {
        {100, -100, 100, -100}, {nan, nan, 30, 10}, {inf, 10, 30, 10}, {30, -inf, 30, 10}, {nan, 5, 30, 10},
    };
    for (const Case& c : cases) {
        CMemFile file;
        {
            CArchive ar(&file, CArchive::store);
            const double values[] = {nan, 10, 30, inf};
            ar << c.storedMax << c.storedMin << int32_t(4);
            ar.WriteDoubles(values, 4);
            ar.Close();
        }
        CMemFile in(file.Data(), "t.vlt");
        CArchive ar(&in, CArchive::load);
        CTrace t;
        EXPECT_EQ(t.Read(ar), 20 + 8 * 4);
        EXPECT_EQ(t.GetMaxValue(), c.max) << c.storedMax << " " << c.storedMin;
        EXPECT_EQ(t.GetMinValue(), c.min) << c.storedMax << " " << c.storedMin;
    }
}
