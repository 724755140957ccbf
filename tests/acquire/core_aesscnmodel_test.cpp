// The AES scan-control model: what each experiment type uses, the list
// editing the table relies on, the checks at Start, the settings section and
// the load from a stored document.

#include "acquire/core/AcqError.h"
#include "acquire/core/AesSetup.h"
#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "tests/data/doc_file_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

using AesScan::kMissing;
using Pt = CAcquireAES_Scn::CScanPoint;
using Ar = CAcquireAES_Scn::CScanArea;
enum
{
    None = CAcquireAES_Scn::None,
    Point = CAcquireAES_Scn::Point,
    Area = CAcquireAES_Scn::AreaScan,
    Full = CAcquireAES_Scn::FullScan
};

unsigned ErrorOf(const CAesScnModel& m)
{
    try {
        m.ErrorCheck();
    } catch (const CAcqException& e) {
        return e.Error().id;
    }
    return 0;
}

std::vector<uint8_t> Stored(const CAesScnModel& m)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    m.Store(ar);
    ar.Close();
    return file.Data();
}

void LoadBytes(CAesScnModel& m, const std::vector<uint8_t>& bytes)
{
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    m.Load(ar);
}

TEST(AesScnModel, ModeAndEndPositionFollowTheExperimentType)
{
    CAesSetup s;
    CAesScnModel& m = s.m_Scn;
    m.m_Points = {{1, 2}, {3, 4}, {5, 6}};
    m.m_Areas = {{0, 10, 10, 0}, {1, 11, 11, 1}};
    struct Case
    {
        int exp, control, linescan;
        bool pts, areas, line;
        int move, end;
    };
    const Case cases[] = {
        {CAcquireAES::Widescan, Point, 0, true, false, false, Point, 0},
        {CAcquireAES::Narrowscan, Area, 1, false, true, false, Area, 0},
        {CAcquireAES::Profile, Point, 0, true, false, false, Point, 2},
        {CAcquireAES::Profile, Area, 0, false, true, false, Area, 1},
        {CAcquireAES::FastProfile, Full, 0, false, false, false, Full, 0},
        {CAcquireAES::FastProfile, None, 0, false, false, false, None, 0},
        {CAcquireAES::AugerImage, Point, 0, false, true, false, None, 1},
        {CAcquireAES::AugerImage, None, 1, false, true, true, None, 1},
        {CAcquireAES::SEImage, Area, 1, false, false, false, None, 0},
    };
    for (const Case& c : cases) {
        s.m_Exp.m_iExperiment = c.exp;
        m.m_iControl = c.control;
        m.m_bLinescan = c.linescan;
        EXPECT_EQ(m.UsePts(), c.pts) << c.exp << " " << c.control;
        EXPECT_EQ(m.UseAreas(), c.areas) << c.exp << " " << c.control;
        EXPECT_EQ(m.UseLinescan(), c.line) << c.exp << " " << c.control;
        EXPECT_EQ(m.GetMoveType(), c.move) << c.exp << " " << c.control;
        EXPECT_EQ(m.GetEndPosn(), c.end) << c.exp << " " << c.control;
    }
    // What the stage-position builder reads is what the page holds.
    const CAcquireAES& base = s;
    EXPECT_EQ(&base.GetScnPage()->GetPointList(), &m.m_Points);
}

TEST(AesScnModel, EditingKeepsRowsAndSelectionInStep)
{
    CAesSetup s;
    CAesScnModel& m = s.m_Scn;
    m.m_iControl = Area;
    m.AddEntry();
    EXPECT_EQ(m.m_Areas, std::vector<Ar>{AesScan::kEmptyArea});
    m.SetItem(2, 0, 40);
    m.SetItem(4, 0, 99); // no such column
    m.SetItem(0, 1, 99); // no such row
    EXPECT_EQ(m.GetItem(2, 0), 40);
    EXPECT_EQ(m.GetItem(0, 0), kMissing);
    EXPECT_EQ(m.GetItem(0, 5), kMissing);
    EXPECT_FALSE(m.InsertEntry(2));
    EXPECT_FALSE(m.InsertEntry(-1));
    ASSERT_TRUE(m.InsertEntry(0)); // empty, before the area
    ASSERT_TRUE(m.InsertEntry(2)); // empty, appended
    m.AddEntry();
    m.SetItem(1, 3, -8);
    m.m_iSelArea = 3;
    int row = 2;
    m.Compact(row); // rows 0 and 2 were empty; 2 is kept
    EXPECT_EQ(row, 1);
    ASSERT_EQ(m.EntryCount(), 3);
    EXPECT_EQ(m.GetItem(2, 0), 40);
    EXPECT_TRUE(m.IsEmptyEntry(1));
    EXPECT_EQ(m.GetItem(1, 2), -8);
    EXPECT_EQ(m.m_iSelArea, 2);
    EXPECT_FALSE(m.DeleteEntry(3));
    EXPECT_TRUE(m.DeleteEntry(2));
    EXPECT_EQ(m.m_iSelArea, -1);
    // Points are a separate list with two columns.
    m.m_iControl = Point;
    EXPECT_EQ(m.EntryCount(), 0);
    EXPECT_EQ(m.EntryColumns(), 2);
    m.AddEntry();
    m.SetItem(1, 0, 7);
    EXPECT_EQ(m.m_Points, (std::vector<Pt>{{kMissing, 7}}));
}

TEST(AesScnModel, ChecksAtStart)
{
    CAesSetup s;
    CAesScnModel& m = s.m_Scn;
    auto& exp = s.m_Exp.m_iExperiment;
    struct Case
    {
        const char* what;
        int exp, control, linescan, mag, resol;
        std::vector<Pt> pts;
        std::vector<Ar> areas;
        unsigned id;
    };
    const Ar good{-10, 10, 10, -10}, reversed{10, -10, -10, 10};
    const Case cases[] = {
        {"nothing to check", CAcquireAES::Widescan, None, 0, 0, 0, {}, {}, 0},
        {"no point", CAcquireAES::Widescan, Point, 0, 1, 1, {}, {good}, 2099},
        {"incomplete point", CAcquireAES::Profile, Point, 0, 1, 1, {{1, kMissing}}, {}, 2098},
        {"point off the field", CAcquireAES::Profile, Point, 0, 1, 1, {{512, 0}}, {}, 2098},
        {"edge points", CAcquireAES::Profile, Point, 0, 1, 1, {{-512, 511}}, {}, 0},
        {"no area", CAcquireAES::Narrowscan, Area, 0, 1, 1, {{0, 0}}, {}, 2096},
        {"reversed area", CAcquireAES::Narrowscan, Area, 0, 1, 1, {}, {reversed}, 2097},
        {"reversed line", CAcquireAES::AugerImage, None, 1, 1, 0, {}, {reversed}, 0},
        {"line scan off a spectrum", CAcquireAES::Narrowscan, Area, 1, 1, 1, {}, {reversed}, 2097},
        {"image without area", CAcquireAES::AugerImage, Point, 0, 1, 1, {{0, 0}}, {}, 2096},
        {"magnification 0", CAcquireAES::AugerImage, None, 0, 0, 1, {}, {good}, 2100},
        {"magnification at most", CAcquireAES::AugerImage, None, 0, 200000, 1, {}, {good}, 0},
        {"magnification above", CAcquireAES::SEImage, None, 0, 200001, 1, {}, {}, 2100},
        {"resolution 0", CAcquireAES::AugerImage, None, 0, 5, 0, {}, {good}, 2101},
        // At size 256 the area is 5 pixels a side: one point per 10 pixels rounds to one, per 11 to none.
        {"area half the resolution", CAcquireAES::AugerImage, None, 0, 5, 10, {}, {good}, 0},
        {"area under half the resolution", CAcquireAES::AugerImage, None, 0, 5, 11, {}, {good}, 2102},
        {"line scan: no resolution", CAcquireAES::AugerImage, None, 1, 5, 11, {}, {good}, 0},
        {"SE image, nothing else", CAcquireAES::SEImage, Point, 0, 5, 0, {}, {}, 0},
    };
    for (const Case& c : cases) {
        exp = c.exp;
        m.m_iControl = c.control;
        m.m_bLinescan = c.linescan;
        m.m_iMag = c.mag;
        m.m_iResol = c.resol;
        m.m_Points = c.pts;
        m.m_Areas = c.areas;
        EXPECT_EQ(ErrorOf(m), c.id) << c.what;
    }
}

TEST(AesScnModel, SettingsSectionRoundTripAndTruncation)
{
    CAesScnModel m;
    m.m_iControl = Area;
    m.m_iImageSize = 512;
    m.m_iMag = 2500;
    m.m_iResol = 3;
    m.m_bLinescan = 1;
    m.m_Points = {{1, -2}, {kMissing, 4}};
    m.m_Areas = {{-5, 6, 7, -8}};
    const auto bytes = Stored(m);
    const std::vector<int32_t> layout = {2, 512, 2500, 3, 1, 2, 1, -2, kMissing, 4, 1, -5, 6, 7, -8};
    ASSERT_EQ(bytes.size(), layout.size() * 4);
    for (size_t i = 0; i < layout.size(); ++i) {
        int32_t v;
        std::memcpy(&v, bytes.data() + 4 * i, 4);
        EXPECT_EQ(v, layout[i]) << i;
    }

    CAesScnModel back;
    back.m_iSelPt = 0;
    back.m_Areas = {{9, 9, 9, 9}, {8, 8, 8, 8}};
    LoadBytes(back, bytes);
    EXPECT_EQ(back.m_Points, m.m_Points);
    EXPECT_EQ(back.m_Areas, m.m_Areas);
    EXPECT_EQ(back.m_iSelPt, -1);
    EXPECT_EQ(Stored(back), bytes);

    // A short section is refused and leaves the model as it was.
    for (size_t n = 0; n < bytes.size(); n += 3) {
        CAesScnModel cut;
        cut.m_Points = {{3, 3}};
        EXPECT_THROW(LoadBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(n))),
                     CArchiveException)
            << n;
        EXPECT_EQ(cut.m_Points, (std::vector<Pt>{{3, 3}})) << n;
        EXPECT_EQ(cut.m_iControl, None) << n;
    }
    // A hostile count neither allocates nor wraps.
    auto hostile = bytes;
    for (int i = 0; i < 4; ++i)
        hostile[20 + size_t(i)] = i == 3 ? 0x7f : 0xff;
    CAesScnModel big;
    EXPECT_THROW(LoadBytes(big, hostile), CArchiveException);
    hostile[23] = 0xff; // negative
    EXPECT_THROW(LoadBytes(big, hostile), CArchiveException);
    EXPECT_TRUE(big.m_Points.empty());

    // An image size the page does not offer would be the image an acquisition
    // allocates (an SE image of 100000 pixels a side is 10 GB): refused.
    for (int32_t size : {0, 100, 100000, -256}) {
        auto odd = bytes;
        std::memcpy(odd.data() + 4, &size, 4);
        CAesScnModel kept;
        EXPECT_THROW(LoadBytes(kept, odd), CArchiveException) << size;
        EXPECT_EQ(kept.m_iImageSize, 256) << size;
        EXPECT_TRUE(kept.m_Areas.empty()) << size;
    }
}

TEST(AesScnModel, LoadFromDocumentTakesEachPositionsOwnPoints)
{
    // A profile with the point control: two positions of 2 and 3 points.
    CDataFileBuilder b;
    b.Header().Experiment(0x104, 1).Source(1, 3000.0).IonGun();
    const std::vector<std::pair<std::vector<double>, std::vector<double>>> posns = {
        {{-100, 200}, {50, -60}}, {{1, 2, 3}, {-1, -2, -3}}};
    for (const auto& [x, y] : posns) {
        CDataFileBuilder::SPosnHead h;
        h.posnMode = 5;
        h.x = x;
        h.y = y;
        const size_t at = b.BeginPosn(h, 0);
        b.Count(0);
        b.EndPosn(at);
    }
    b.End();
    CVeltraneDoc doc;
    CMemFile file(b.m_bytes, "t.vlt");
    ASSERT_TRUE(doc.ReadFrom(file));
    ASSERT_EQ(doc.GetNumStagePosns(), 2);

    CAesSetup s;
    s.m_Exp.m_iExperiment = CAcquireAES::Profile;
    s.m_Scn.m_Points = {{9, 9}};
    s.m_Scn.m_iSelPt = 0;
    s.m_Scn.m_Areas = {{1, 2, 3, 4}};
    s.m_Scn.LoadFromDocument(doc);
    EXPECT_EQ(s.m_Scn.m_iControl, Point);
    EXPECT_EQ(s.m_Scn.m_iImageSize, 256);
    EXPECT_EQ(s.m_Scn.m_Points, (std::vector<Pt>{{-100, 50}, {200, -60}, {1, -1}, {2, -2}, {3, -3}}));
    EXPECT_EQ(s.m_Scn.m_iSelPt, -1);
    EXPECT_EQ(s.m_Scn.m_Areas, (std::vector<Ar>{{1, 2, 3, 4}})); // the other list stays
}

// A stored document's image size is taken only when the page offers it.
TEST(AesScnModel, LoadFromDocumentKeepsThePagesSizeForAnOddOne)
{
    for (int32_t size : {1024, 100000, 0}) {
        CDataFileBuilder b;
        b.Header().Experiment(0x104, 1).Source(1, 3000.0).IonGun().End();
        // The experiment's size, followed by its resolution 1 and magnification 1.5.
        const uint8_t pattern[] = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f};
        const auto at =
            std::search(b.m_bytes.begin(), b.m_bytes.end(), std::begin(pattern), std::end(pattern));
        ASSERT_NE(at, b.m_bytes.end());
        std::memcpy(&*at, &size, 4);
        CVeltraneDoc doc;
        CMemFile file(b.m_bytes, "t.vlt");
        ASSERT_TRUE(doc.ReadFrom(file));
        ASSERT_EQ(doc.GetExperiment()->GetSize(), size);

        CAesScnModel m;
        m.m_iImageSize = 512;
        m.LoadFromDocument(doc);
        EXPECT_EQ(m.m_iImageSize, size == 1024 ? 1024 : 512) << size;
    }
}

TEST(AesScnModel, LoadFromAnAugerImageTakesOneAreaPerRaster)
{
    // Two raster positions of 2 x 2 points, the first with a one-line image.
    CDataFileBuilder b;
    b.Header().Experiment(0x201, 1).Source(1, 3000.0).IonGun();
    for (int ny : {1, 3}) {
        CDataFileBuilder::SPosnHead h;
        h.posnMode = 4;
        const size_t at = b.BeginPosn(h, 0);
        b.Count(1);
        b.ImageRgn(0, 4, ny, 1);
        b.EndPosn(at);
    }
    b.End();
    CVeltraneDoc doc;
    CMemFile file(b.m_bytes, "t.vlt");
    ASSERT_TRUE(doc.ReadFrom(file));

    CAesSetup s;
    s.m_Exp.m_iExperiment = CAcquireAES::AugerImage;
    s.m_Scn.LoadFromDocument(doc);
    // The corners the builder writes for every position.
    EXPECT_EQ(s.m_Scn.m_Areas, (std::vector<Ar>{{1, 2, 3, 4}, {1, 2, 3, 4}}));
    EXPECT_EQ(s.m_Scn.m_bLinescan, 1);
    EXPECT_EQ(s.m_Scn.m_iMag, 1); // 1.5 as a whole number
    EXPECT_EQ(s.m_Scn.GetEndPosn(), 1);
}

} // namespace
