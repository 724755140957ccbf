#include "data/AcquireSheet.h"
#include "data/ImageRgn.h"
#include "data/Region.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Utility.h"
#include "data/formats/RecordBuilder.h"
#include "tests/common/SheetDoubles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

using Row = CAcquireProfile::CLevelInfo;

struct Profile : CAcquireProfile
{
    std::vector<Row> lists[nMethods];
    const std::vector<Row>* GetLevelList(int method) const override { return &lists[method]; }
};

struct Group : CAcquireGroup
{
    Profile profile;
    std::vector<CRegion*> regions;
    const CAcquireProfile* GetProfile() const override { return &profile; }
    const std::vector<CRegion*>* GetRegions() const override { return &regions; }
};

struct Exp : CAcquireXPS_Exp
{
    int GetNumPosns() const override { return 1; }
};
struct Stg : CAcquireXPS_Stg
{
    std::map<std::string, Group> groups;
    const CAcquireGroup* GetGroup(const std::string& name) const override
    {
        auto it = groups.find(name);
        return it == groups.end() ? nullptr : &it->second;
    }
};
struct Img : CAcquireXPS_Img
{
    double GetStep() const override { return 1.0; }
    double GetXStep() const override { return 0.5; }
    double GetYStep() const override { return 0.25; }
    int GetXSize() const override { return 4; }
    int GetYSize() const override { return 3; }
};

struct XpsSheet : CXpsSheetDouble<Exp, Stg, Img>
{
    XpsSheet() { type = Narrowscan; }
};

CRegion MakeRegion(const char* name)
{
    CRegion r;
    r.m_csName = name;
    r.m_dStart = 280;
    r.m_dFinish = 290;
    r.m_dStep = 1;
    r.m_nScans = 1;
    r.m_iRepeat = 1;
    return r; // backgrounds 0: none, as the pages mark it
}

std::vector<double> Levels(const CStagePosn& p)
{
    std::vector<double> v;
    for (int i = 0; i < p.GetNumLevels(); ++i)
        v.push_back(p.GetLevel(i)->GetValue());
    return v;
}

} // namespace

TEST(StagePosnBuilder, XpsLevelsStopAtTheirCount)
{
    CRegion c1s = MakeRegion("C");
    XpsSheet sheet;
    sheet.stg.m_GridData[CAcquireXPS::Rotary] = {{1, 5, "G", "note"}};
    sheet.stg.m_GridData[CAcquireXPS::Normal] = {{1, 5, "G", "note"}};
    Group& g = sheet.stg.groups["G"];
    g.regions = {&c1s};
    g.profile.lists[CAcquireProfile::Rotary] = {{0, 0.7, 0.1}, {}};
    g.profile.lists[CAcquireProfile::DepthProfile] = {{1, 3, 10}, {4, 5, 30}, {}};

    sheet.type = CAcquireXPS::Widescan;
    sheet.move = CAcquireXPS::Rotary;
    sheet.rgn.m_WidescanRegions = {&c1s};
    CStagePosn rotary(2);
    CRecordBuilder::Build(rotary, sheet);
    // (0.7 - 0) / 0.1 is a hair under 7 in binary: still eight angles, the last 0.7.
    ASSERT_EQ(rotary.GetNumLevels(), 8);
    EXPECT_NEAR(rotary.GetLevel(6)->GetValue(), 0.6, 1e-12);
    EXPECT_EQ(rotary.GetLevel(7)->GetValue(), 0.7);
    EXPECT_EQ(rotary.GetSpecRgn(0)->GetNumTraces(), 8);
    EXPECT_EQ(*rotary.GetComment(), "note");
    // (0, 2, 0.1): 21 curves, and as many angles, the last 2.
    g.profile.lists[CAcquireProfile::Rotary] = {{0, 2, 0.1}, {}};
    CStagePosn turn(2);
    CRecordBuilder::Build(turn, sheet);
    ASSERT_EQ(turn.GetNumLevels(), 21);
    EXPECT_EQ(turn.GetSpecRgn(0)->GetNumTraces(), 21);
    EXPECT_EQ(turn.GetLevel(20)->GetValue(), 2.0);
    // The finest turn Start accepts: every angle of it, up to 360.
    g.profile.lists[CAcquireProfile::Rotary] = {{0, 360, 0.01}, {}};
    CStagePosn full(2);
    CRecordBuilder::Build(full, sheet);
    ASSERT_EQ(full.GetNumLevels(), 36001);
    EXPECT_EQ(full.GetLevel(36000)->GetValue(), 360.0);

    sheet.type = CAcquireXPS::DepthProfile;
    sheet.move = CAcquireXPS::Normal;
    CStagePosn depth(2);
    CRecordBuilder::Build(depth, sheet);
    EXPECT_EQ(Levels(depth), (std::vector<double>{10, 20, 30, 60, 90}));
    ASSERT_EQ(depth.GetNumSpecRgns(), 1);
    EXPECT_EQ(depth.GetSpecRgn(0)->GetNumTraces(), 5);
    // "No background" on the pages becomes the document's +infinity.
    EXPECT_EQ(depth.GetSpecRgn(0)->GetBk1(), CUtility::Infinity);
    EXPECT_EQ(depth.GetSpecRgn(0)->GetBk2(), CUtility::Infinity);
}

TEST(StagePosnBuilder, ProfilesHaveOneLevelPerCurve)
{
    // The count comes from the rows' numbers, so the file's level and curve
    // counts always agree; a level that no row names adds no etch time.
    struct
    {
        int type;
        int method;
        std::vector<Row> rows;
        std::vector<double> levels;
    } cases[] = {
        {CAcquireXPS::DepthProfile, CAcquireProfile::DepthProfile, {{3, 5, 10}, {}}, {0, 0, 10, 20, 30}},
        {CAcquireXPS::DepthProfile,
         CAcquireProfile::DepthProfile,
         {{1, 3, 10}, {4, 5, 30}, {}},
         {10, 20, 30, 60, 90}},
        {CAcquireXPS::DepthProfile,
         CAcquireProfile::DepthProfile,
         {{1, 2, 3}, {5, 10, 30}, {}},
         {3, 6, 6, 6, 36, 66, 96, 126, 156, 186}},
        {CAcquireXPS::AngleResolved, CAcquireProfile::AngleResolved, {{10, 30, 10}, {}}, {10, 20, 30}},
        {CAcquireXPS::TotalReflection, CAcquireProfile::TotalReflection, {{1.1, 4.1, 1}, {}}, {1.1, 2.1, 3.1, 4.1}},
        {CAcquireXPS::DepthProfile, CAcquireProfile::DepthProfile, {{0, 0, 10}, {}}, {10}},
    };
    CRegion c1s = MakeRegion("C");
    for (const auto& c : cases) {
        XpsSheet sheet;
        sheet.type = c.type;
        sheet.move = CAcquireXPS::Normal;
        sheet.stg.m_GridData[CAcquireXPS::Normal] = {{1, 5, "G", ""}};
        Group& g = sheet.stg.groups["G"];
        g.regions = {&c1s};
        g.profile.lists[c.method] = c.rows;
        CStagePosn p(1);
        CRecordBuilder::Build(p, sheet);
        EXPECT_EQ(Levels(p), c.levels);
        EXPECT_EQ(p.GetSpecRgn(0)->GetNumTraces(), p.GetNumLevels());
    }

    // Total reflection (0, 1.5, 0.1): sixteen curves at sixteen angles up to
    // 1.5, though 0.1 added fifteen times passes 1.5.
    XpsSheet sheet;
    sheet.type = CAcquireXPS::TotalReflection;
    sheet.move = CAcquireXPS::Normal;
    sheet.stg.m_GridData[CAcquireXPS::Normal] = {{1, 5, "G", ""}};
    Group& g = sheet.stg.groups["G"];
    g.regions = {&c1s};
    g.profile.lists[CAcquireProfile::TotalReflection] = {{0, 1.5, 0.1}, {}};
    CStagePosn tr(1);
    CRecordBuilder::Build(tr, sheet);
    ASSERT_EQ(tr.GetNumLevels(), 16);
    EXPECT_EQ(tr.GetSpecRgn(0)->GetNumTraces(), 16);
    EXPECT_NEAR(tr.GetLevel(14)->GetValue(), 1.4, 1e-12);
    EXPECT_EQ(tr.GetLevel(15)->GetValue(), 1.5);
}

TEST(StagePosnBuilder, XpsNarrowScanFallsBackToTheDefaultGroup)
{
    CRegion o1s = MakeRegion("O");
    XpsSheet sheet;
    sheet.stg.groups["Default"].regions = {&o1s};
    CStagePosn p(9);
    CRecordBuilder::Build(p, sheet);
    EXPECT_EQ(*p.GetGroupName(), "Default");
    ASSERT_EQ(p.GetNumSpecRgns(), 1);
    EXPECT_EQ(p.GetSpecRgn(0)->GetName(), "O");
    EXPECT_EQ(Levels(p), (std::vector<double>{0}));
}

TEST(StagePosnBuilder, XpsPlanarScanHasOnePointPerRow)
{
    CRegion c1s = MakeRegion("C");
    XpsSheet sheet;
    sheet.type = CAcquireXPS::Widescan;
    sheet.move = CAcquireXPS::Planar;
    // The table's list ends with the empty row the user types a new point into.
    sheet.stg.m_GridData[CAcquireXPS::Planar] = {
        {1, 2, "Default", ""}, {3, 4, "Default", ""}, {5, 6, "Default", ""}, {}};
    sheet.rgn.m_WidescanRegions = {&c1s};
    CStagePosn p(1);
    CRecordBuilder::Build(p, sheet);
    EXPECT_EQ(p.GetPosnMode(), CStagePosn::PointList);
    EXPECT_EQ(p.GetNumPoints(-1), 3);
    EXPECT_EQ(p.GetCoord(1, 2), 6.0);
    EXPECT_EQ(p.GetSpecRgn(0)->GetNumTraces(), 3);
}

TEST(StagePosnBuilder, XpsPlanarAndLinearNarrowScansMeasureTheGroupTheirRowsName)
{
    // The one position of a planar or linear run is number 0: whether 0 lies
    // between a row's two numbers says nothing about the group.
    CRegion cu = MakeRegion("Cu"), o1s = MakeRegion("O");
    const std::string emptied(1, char(255));
    const struct
    {
        const char* name;
        int move;
        std::vector<CAcquireXPS_Stg::CGridRow> rows;
        const char* group;
        const char* comment;
        int points;
    } cases[] = {
        {"points away from the origin", CAcquireXPS::Planar,
         {{25, 8, "Cu", "wafer"}, {30, 8.5, "Cu", "wafer"}, {}}, "Cu", "wafer", 2},
        {"a point on a 0 coordinate", CAcquireXPS::Planar, {{0, 8, "Cu", "edge"}, {}}, "Cu", "edge", 1},
        {"an emptied planar group cell", CAcquireXPS::Planar, {{25, 8, emptied, ""}, {}}, "Default", "", 1},
        {"a line from point 3 to 9", CAcquireXPS::Linear, {{3, 9, "Cu", "line"}, {}}, "Cu", "line", 7},
        {"a second line row is not run", CAcquireXPS::Linear,
         {{2, 4, "Cu", "first"}, {5, 6, "Default", "second"}, {}}, "Cu", "first", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        XpsSheet sheet;
        sheet.move = c.move;
        sheet.stg.groups["Default"].regions = {&o1s};
        sheet.stg.groups["Cu"].regions = {&cu};
        sheet.stg.m_GridData[c.move] = c.rows;
        CStagePosn p(0);
        CRecordBuilder::Build(p, sheet);
        EXPECT_EQ(*p.GetGroupName(), c.group);
        EXPECT_EQ(*p.GetComment(), c.comment);
        ASSERT_EQ(p.GetNumSpecRgns(), 1);
        EXPECT_EQ(p.GetSpecRgn(0)->GetName(), std::string(c.group) == "Cu" ? "Cu" : "O");
        EXPECT_EQ(p.GetNumPoints(-1), c.points);
    }
}

// A row whose group cell the user emptied is measured with the Default
// group, its regions and its levels, whatever the experiment.
TEST(StagePosnBuilder, XpsAnEmptiedGroupCellMeasuresTheDefaultGroup)
{
    using P = CAcquireProfile;
    CRegion o1s = MakeRegion("O");
    const struct
    {
        int type, move, method;
        std::vector<Row> levels;
        std::vector<double> values;
    } cases[] = {
        {CAcquireXPS::Narrowscan, CAcquireXPS::Normal, -1, {}, {0}},
        {CAcquireXPS::DepthProfile, CAcquireXPS::Normal, P::DepthProfile, {{1, 2, 10}, {}}, {10, 20}},
        {CAcquireXPS::AngleResolved, CAcquireXPS::Memory, P::AngleResolved, {{0, 20, 10}, {}}, {0, 10, 20}},
        {CAcquireXPS::TotalReflection, CAcquireXPS::Normal, P::TotalReflection, {{1, 2, 1}, {}}, {1, 2}},
        {CAcquireXPS::Narrowscan, CAcquireXPS::Rotary, P::Rotary, {{0, 90, 45}, {}}, {0, 45, 90}},
        {CAcquireXPS::Widescan, CAcquireXPS::Rotary, P::Rotary, {{0, 90, 90}, {}}, {0, 90}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type * 10 + c.move);
        XpsSheet sheet;
        sheet.type = c.type;
        sheet.move = c.move;
        Group& def = sheet.stg.groups["Default"];
        def.regions = {&o1s};
        if (c.method >= 0)
            def.profile.lists[c.method] = c.levels;
        sheet.rgn.m_WidescanRegions = {&o1s};
        sheet.stg.m_GridData[c.move] = {{1, 1, std::string(1, char(255)), ""}, {}};
        CStagePosn p(1);
        CRecordBuilder::Build(p, sheet);
        EXPECT_EQ(*p.GetGroupName(), "Default");
        ASSERT_EQ(p.GetNumSpecRgns(), 1);
        EXPECT_EQ(p.GetSpecRgn(0)->GetName(), "O");
        EXPECT_EQ(Levels(p), c.values);
    }
}

namespace {

struct AesScn : CAcquireAES_Scn
{
    int control = None, size = 256, resol = 2;
    std::vector<CScanPoint> points;
    std::vector<CScanArea> areas;
    int GetMoveType() const override { return control; }
    int GetSize() const override { return size; }
    int GetResol() const override { return resol; }
    int GetMag() const override { return 1000; }
    bool UseAreas() const override { return true; }
    bool UsePts() const override { return false; }
    const std::vector<CScanPoint>& GetPointList() const override { return points; }
    const std::vector<CScanArea>& GetAreaList() const override { return areas; }
};

struct AesSheet : CAesSheetDouble<AesScn>
{
    AesSheet() { type = AugerImage; }
};

} // namespace

TEST(StagePosnBuilder, AesImagesTakeTheirSizeFromTheScanPage)
{
    CRegion cu = MakeRegion("Cu");
    AesSheet sheet;
    sheet.scn.areas = {{-512, 511, 511, -512}};
    sheet.rgn.m_ImageRegions = {&cu};
    CStagePosn map(0);
    CRecordBuilder::Build(map, sheet);
    ASSERT_EQ(map.GetNumImageRgns(), 1);
    EXPECT_EQ(map.GetImageRgn(0)->GetNumPoints_x(), 128);
    EXPECT_EQ(map.GetImageRgn(0)->GetNumPoints_y(), 128);

    sheet.scn.m_bLinescan = 1;
    CStagePosn line(0);
    CRecordBuilder::Build(line, sheet);
    EXPECT_EQ(line.GetImageRgn(0)->GetNumPoints_x(), 256);
    EXPECT_EQ(line.GetImageRgn(0)->GetNumPoints_y(), 1);

    sheet.type = CAcquireAES::SEImage;
    sheet.scn.size = 512;
    CStagePosn se(0);
    CRecordBuilder::Build(se, sheet);
    EXPECT_EQ(se.GetCoord(0, 0), -256.0);
    ASSERT_EQ(se.GetNumImageRgns(), 1);
    EXPECT_EQ(se.GetImageRgn(0)->GetNumPoints_x(), 512);
}

TEST(StagePosnBuilder, AesProfileWalksOnlyTheValidRows)
{
    CRegion c = MakeRegion("C");
    AesSheet sheet;
    sheet.type = CAcquireAES::Profile;
    sheet.scn.control = CAcquireAES_Scn::Point;
    sheet.scn.points = {{1, 2}, {3, 4}};
    const std::vector<Row> rows = {{1, 2, 5}, {3, 4, 10}, {}};
    sheet.prf.m_pLevelList = &rows;
    sheet.rgn.m_NarrowscanRegions = {&c};
    CStagePosn p(1);
    CRecordBuilder::Build(p, sheet);
    EXPECT_EQ(p.GetCoord(0, 0), 3.0);
    EXPECT_EQ(Levels(p), (std::vector<double>{5, 10, 20, 30}));
    EXPECT_EQ(p.GetSpecRgn(0)->GetNumTraces(), 4);
    // Rows that start late: the first levels are measured before any etching.
    const std::vector<Row> late = {{3, 5, 10}, {}};
    sheet.prf.m_pLevelList = &late;
    CStagePosn q(0);
    CRecordBuilder::Build(q, sheet);
    EXPECT_EQ(Levels(q), (std::vector<double>{0, 0, 10, 20, 30}));
    EXPECT_EQ(q.GetSpecRgn(0)->GetNumTraces(), 5);
}

// The repeat cell is read-only outside the profiles but keeps what a profile
// put in it: a narrow scan has one level, and a region kept at "every 4th"
// was never measured there.
TEST(StagePosnBuilder, AesRepeatCountsOnlyInProfiles)
{
    const struct
    {
        int type, repeat, stored;
    } cases[] = {
        {CAcquireAES::Narrowscan, 4, 1}, {CAcquireAES::Widescan, 3, 1}, {CAcquireAES::AugerImage, 4, 1},
        {CAcquireAES::Profile, 4, 4},    {CAcquireAES::FastProfile, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        CRegion r = MakeRegion("Cu");
        r.m_iRepeat = c.repeat;
        const std::vector<Row> rows = {{1, 5, 10}, {}};
        AesSheet sheet;
        sheet.type = c.type;
        sheet.prf.m_pLevelList = &rows;
        sheet.rgn.m_WidescanRegions = sheet.rgn.m_NarrowscanRegions = sheet.rgn.m_ImageRegions = {&r};
        CStagePosn p(0);
        CRecordBuilder::Build(p, sheet);
        const CRegion* got = c.type == CAcquireAES::AugerImage ? static_cast<const CRegion*>(p.GetImageRgn(0))
                                                               : p.GetSpecRgn(0);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->GetRepeat(), c.stored);
        EXPECT_EQ(r.m_iRepeat, c.repeat) << "the sheet keeps its value for a later profile";
    }
}

TEST(StagePosnBuilder, ASpectrumEndsAtTheLastEnergyMeasured)
{
    // 100 to 101.9 by 1 measures 100 and 101: drawn over 100 to 101.9, the
    // second point stood 0.9 eV from where it was measured.
    struct
    {
        double start, finish, step;
        int points;
        double end;
    } cases[] = {
        {100, 101.9, 1, 2, 101},
        {0, 999, 2, 500, 998},
        {100, 200, 0.3, 334, 199.9},
        {1191.6, 1206.6, 0.1, 151, 1206.6}, // a whole number of steps keeps its finish as typed
    };
    for (const auto& c : cases) {
        CRegion r = MakeRegion("C");
        r.m_dStart = c.start, r.m_dFinish = c.finish, r.m_dStep = c.step;
        XpsSheet xps;
        xps.stg.m_GridData[CAcquireXPS::None] = {};
        xps.stg.groups["Default"].regions = {&r};
        CStagePosn p(0);
        CRecordBuilder::Build(p, xps);
        ASSERT_EQ(p.GetNumSpecRgns(), 1);
        EXPECT_EQ(p.GetSpecRgn(0)->GetNumPoints_x(), c.points) << c.finish;
        EXPECT_EQ(p.GetSpecRgn(0)->GetFinish(), c.end) << c.finish;

        AesSheet aes;
        aes.type = CAcquireAES::Narrowscan;
        aes.rgn.m_NarrowscanRegions = {&r};
        CStagePosn q(0);
        CRecordBuilder::Build(q, aes);
        ASSERT_EQ(q.GetNumSpecRgns(), 1);
        EXPECT_EQ(q.GetSpecRgn(0)->GetFinish(), c.end) << c.finish;
    }
}
