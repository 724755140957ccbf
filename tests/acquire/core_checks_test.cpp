// The checks made at Start and the table rules of the set-up model.

#include "acquire/core/RegionCheck.h"
#include "acquire/core/XpsSetup.h"
#include "data/Region.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"

#include <gtest/gtest.h>

namespace {
// The id a check throws, 0 when it passes; the text goes to args.
template <class F> unsigned Refusal(F f, std::vector<std::string>* args = nullptr)
{
    try {
        f();
    } catch (const CAcqException& e) {
        if (args)
            *args = e.Error().args;
        return e.Error().id;
    }
    return 0;
}

CRegion Spectrum(double start, double finish, double step, double dwell = 100, int scans = 1, int repeat = 1)
{
    CRegion r;
    r.m_dStart = start;
    r.m_dFinish = finish;
    r.m_dStep = step;
    r.m_dDwell = dwell;
    r.m_nScans = scans;
    r.m_iRepeat = repeat;
    return r;
}

CRegion Peak(double peak, double bk1, double bk2)
{
    CRegion r = Spectrum(0, 1, 1);
    r.m_dPeak = peak;
    r.m_dBk1 = bk1;
    r.m_dBk2 = bk2;
    return r;
}
} // namespace

TEST(RegionCheck, LimitsAndMessageOrder)
{
    struct Case
    {
        CRegion r;
        bool peak;
        unsigned id;
        const char* arg;
    };
    const Case cases[] = {
        {Spectrum(0, 2, 0.001, 1), false, 0, nullptr},
        {Spectrum(0, 2, 0.001, 0.5), false, 2193, nullptr}, // it was sent as a dwell of 0
        {Spectrum(0, 2, 0.001, 1000), false, 0, nullptr},
        {Spectrum(0, 2, 0.001, 1000.5), false, 2193, nullptr},
        {Spectrum(-1, 2, 0.001, 0), false, 2193, nullptr}, // dwell reported before start
        {Spectrum(0, 2, 0.1, 10, 0), false, 2196, nullptr},
        {Spectrum(0, 2, 0.1, 10, 1, 0), false, 2111, nullptr},
        {Spectrum(-0.5, 2, 0.1), false, 2194, "3000"},
        {Spectrum(0, 3000.5, 0.1), false, 2195, "3000"},
        {Spectrum(0, 2, 0.0005), false, 2199, "0.001 - 2"},
        {Spectrum(5, 5, 0.1), false, 2200, nullptr},
        {Spectrum(0, 3000, 0.5), false, 2201, "3000"},
        {Peak(3000, 0, 0), true, 0, nullptr},
        {Peak(3000.5, 0, 0), true, 2197, "3000"},
        {Peak(0, 0, 0), true, 2197, "3000"},
        {Peak(100, -1, 0), true, 2198, "3000"},
        {Peak(100, 0, 3000.5), true, 2198, "3000"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args;
        EXPECT_EQ(Refusal([&] { CheckRegion(c.r, c.peak, true); }, &args), c.id)
            << c.r.m_dStart << " " << c.r.m_dFinish << " " << c.r.m_dStep << " " << c.r.m_dPeak;
        if (c.arg) {
            ASSERT_EQ(args.size(), 1u);
            EXPECT_EQ(args[0], c.arg);
        }
    }
}

TEST(RegionCheck, MessagesFillTheirPlaceholders)
{
    EXPECT_EQ((CAcqError{2199, {"0.001 - 2"}}.Text()),
              "One or more regions has a step energy outside the allowed range (0.001 - 2 eV)");
    EXPECT_EQ((CAcqError{2133, {"Steel", "1", "9999"}}.Text()),
              "The profile for the group 'Steel' contains a 'Before' or To' entry that is outside the "
              "allowed range "
              "(1 to 9999)");
    EXPECT_EQ((CAcqError{2136, {"Steel", "0", "3600"}}.Text()),
              "The profile for the group 'Steel' contains a 'Time' or 'Step' entry that is outside the "
              "allowed range "
              "(0 to 3600)");
}

TEST(XpsRegions, EveryImageRegionAndEveryUsedGroupIsChecked)
{
    CXpsSetup s;
    s.m_Exp.m_iExperiment = CAcquireXPS::Image;
    s.m_Exp.m_iMovement = CAcquireXPS::Planar;
    EXPECT_EQ(Refusal([&] { s.CheckRegions(); }), 2142u);
    s.m_Rgn.m_ImageRegions.push_back(new CRegion(Peak(100, 0, 0)));
    s.m_Rgn.m_ImageRegions.push_back(new CRegion(Peak(100, 0, 3001)));
    EXPECT_EQ(Refusal([&] { s.CheckRegions(); }), 2198u);

    CXpsSetup n;
    n.m_Exp.m_iExperiment = CAcquireXPS::Narrowscan;
    n.m_Exp.m_iMovement = CAcquireXPS::Normal;
    n.m_Stg.AddGroup("Unused");
    n.m_Stg.GetGroups()[0]->m_Regions.push_back(new CRegion(Spectrum(0, 10, 0.1)));
    EXPECT_EQ(Refusal([&] { n.CheckRegions(); }), 0u) << "a group no row uses needs no regions";
    n.m_Stg.m_GridData[CAcquireXPS::Normal].insert(n.m_Stg.m_GridData[CAcquireXPS::Normal].begin() + 1,
                                                   CAcquireXPS_Stg::CGridRow{2, 2, "Unused", ""});
    EXPECT_EQ(Refusal([&] { n.CheckRegions(); }), 2143u);

    // A row whose group cell was emptied is measured with Default: its
    // regions and levels are checked.
    CXpsSetup d;
    d.m_Exp.m_iExperiment = CAcquireXPS::DepthProfile;
    d.m_Exp.m_iMovement = CAcquireXPS::Normal;
    const double Inf = CLevelInfo::NotValid;
    d.m_Stg.m_GridData[CAcquireXPS::Normal] = {{1, 1, EmptyText, ""}, {Inf, Inf, EmptyText, EmptyText}};
    EXPECT_EQ(Refusal([&] { d.CheckProfiles(); }), 2132u) << "Default has no levels";
    EXPECT_EQ(Refusal([&] { d.CheckRegions(); }), 2143u) << "Default has no regions";
}

// A region takes part in every repeat-th level of its position, and the
// positions of a group have the levels of that group's own profile: a region
// repeated less often than its group has levels would never be measured.
TEST(XpsRegions, ARegionRepeatedLessOftenThanItsGroupHasLevelsIsRefused)
{
    using P = CAcquireProfile;
    using X = CAcquireXPS;
    struct Case
    {
        const char* what;
        int exp, move, method;
        CLevelList thin; // the levels of group "Thin"; "Default" has ten
        int repeat;      // of the region of "Thin", or of the wide-scan region
        unsigned id;
    };
    const Case cases[] = {
        {"narrow scan, one level", X::Narrowscan, X::Normal, -1, {}, 1, 0},
        {"narrow scan, every 2nd of one", X::Narrowscan, X::Memory, -1, {}, 2, 2111},
        {"depth 1-2, 3", X::DepthProfile, X::Normal, P::DepthProfile, {{1, 2, 10}, {3, 3, 20}, {}}, 3, 0},
        {"depth 1-2, 3", X::DepthProfile, X::Normal, P::DepthProfile, {{1, 2, 10}, {3, 3, 20}, {}}, 4, 2111},
        {"depth from level 3", X::DepthProfile, X::Memory, P::DepthProfile, {{3, 5, 10}, {}}, 5, 0},
        {"angles 0-20 by 10", X::AngleResolved, X::Normal, P::AngleResolved, {{0, 20, 10}, {}}, 3, 0},
        {"angles 0-20 by 10", X::AngleResolved, X::Normal, P::AngleResolved, {{0, 20, 10}, {}}, 4, 2111},
        {"two rows of angles", X::TotalReflection, X::Normal, P::TotalReflection, {{0, 1, 0.5}, {2, 3, 1}, {}}, 5, 0},
        {"two rows of angles", X::TotalReflection, X::Normal, P::TotalReflection, {{0, 1, 0.5}, {2, 3, 1}, {}}, 6, 2111},
        {"rotary, first row only", X::Narrowscan, X::Rotary, P::Rotary, {{0, 90, 45}, {100, 200, 50}, {}}, 3, 0},
        {"rotary, first row only", X::Narrowscan, X::Rotary, P::Rotary, {{0, 90, 45}, {100, 200, 50}, {}}, 4, 2111},
        {"wide scan, one level", X::Widescan, X::Normal, -1, {}, 2, 2111},
        {"rotary wide scan", X::Widescan, X::Rotary, P::Rotary, {{0, 90, 45}, {}}, 3, 0},
        {"rotary wide scan", X::Widescan, X::Rotary, P::Rotary, {{0, 90, 45}, {}}, 4, 2111},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ", repeat " + std::to_string(c.repeat));
        CXpsSetup s;
        s.m_Exp.m_iExperiment = c.exp;
        s.m_Exp.m_iMovement = c.move;
        s.m_Stg.m_GridData[c.move] = {{1, 1, "Default", ""}, {2, 2, "Thin", ""}, {}};
        CStageGroup* def = s.m_Stg.GetGroups()[0].get();
        CStageGroup* thin = s.m_Stg.AddGroup("Thin");
        def->m_Regions.push_back(new CRegion(Spectrum(100, 110, 0.1)));
        thin->m_Regions.push_back(new CRegion(Spectrum(200, 210, 0.1, 100, 1, c.exp == X::Widescan ? 1 : c.repeat)));
        if (c.exp == X::Widescan)
            s.m_Rgn.GetWidescanRgn()->m_iRepeat = c.repeat;
        if (c.method >= 0) {
            *def->GetProfile()->GetLevelList(c.method) =
                c.method == P::DepthProfile ? CLevelList{{1, 10, 5}, {}} : CLevelList{{0, 90, 10}, {}};
            *thin->GetProfile()->GetLevelList(c.method) = c.thin;
        }
        EXPECT_EQ(Refusal([&] { s.CheckRegions(); }), c.id);
        // What the check counts is what the document gets.
        CVeltraneDoc doc;
        BuildXpsDocument(doc, s);
        ASSERT_EQ(doc.GetNumStagePosns(), 2);
        const CStagePosn* p = doc.GetStagePosn(1);
        if (c.exp != X::Widescan || c.move == X::Rotary) {
            EXPECT_EQ(*p->GetGroupName(), "Thin");
        }
        EXPECT_EQ(p->GetNumLevels() >= c.repeat, c.id == 0);
    }
}

TEST(XpsStage, StartEndAndTheChecksAtStart)
{
    using Row = CAcquireXPS_Stg::CGridRow;
    const double Inf = CLevelInfo::NotValid;
    const Row end{Inf, Inf, EmptyText, EmptyText};
    struct Case
    {
        const char* what;
        int move;
        std::vector<Row> rows;
        int posns;
        unsigned id;
        int start, last;
    };
    const std::vector<Case> cases = {
        {"new page", CAcquireXPS::Normal, {{1, 1, "Default", ""}, end}, 1, 0, 1, 1},
        {"ranges in any order",
         CAcquireXPS::Normal,
         {{7, 9, "Default", ""}, {1, 6, "Default", ""}, end},
         9,
         0,
         1,
         9},
        {"a gap", CAcquireXPS::Normal, {{1, 3, "Default", ""}, {7, 9, "Default", ""}, end}, 9, 2177, 1, 9},
        {"no valid row", CAcquireXPS::Memory, {end}, 5, 2176, 0, 0},
        {"first beyond the positions",
         CAcquireXPS::Normal,
         {{1, 3, "Default", ""}, {4, 6, "Default", ""}, end},
         5,
         2141,
         1,
         6},
        {"first below one", CAcquireXPS::Normal, {{0, 3, "Default", ""}, end}, 5, 2140, 0, 3},
        {"a blank group", CAcquireXPS::Normal, {{1, 1, " \t", ""}, end}, 5, 2080, 1, 1},
        {"an emptied group cell", CAcquireXPS::Normal, {{1, 1, EmptyText, ""}, end}, 5, 0, 1, 1},
        {"a deleted group", CAcquireXPS::Normal, {{1, 1, "Gone", ""}, end}, 5, 2178, 1, 1},
        {"planar X = 100", CAcquireXPS::Planar, {{100, 5, EmptyText, EmptyText}, end}, 1, 2138, 0, 0},
        {"planar Y = 100", CAcquireXPS::Planar, {{5, 100, EmptyText, EmptyText}, end}, 1, 2139, 0, 0},
        {"planar list empty", CAcquireXPS::Planar, {end}, 1, 2176, 0, 0},
    };
    for (const auto& c : cases) {
        CXpsStgModel stg;
        stg.m_GridData[c.move] = c.rows;
        EXPECT_EQ(Refusal([&] { stg.Check(CAcquireXPS::Narrowscan, c.move, c.posns); }), c.id) << c.what;
        EXPECT_EQ(stg.GetStartPosn(c.move), c.start) << c.what;
        EXPECT_EQ(stg.GetEndPosn(c.move), c.last) << c.what;
    }
}

TEST(XpsImaging, StepsAndAreasThatMakeNoRasterAreRefused)
{
    struct Case
    {
        int scan;
        double step, x1, x2, y1, y2;
        int mode;
        unsigned id;
    };
    const Case cases[] = {
        {1, 0.5, 0, 10, 0, 10, 0, 0},
        {1, 0, 0, 10, 0, 10, 0, 2179},
        {1, -1, 0, 10, 0, 10, 0, 2179},
        {0, 0, 0, 10, 0, 10, 0, 0},
        {0, 1, 10, 0, 0, 10, 0, 2180},
        {0, 1, 0, 10, 10, 0, 0, 2180},
        {0, 1, 0, 10, 10, 0, 1, 0}, // a line scan has no Y extent
        // At most 1024 x 1024 points: 1024 steps of 1 fit, 1025 do not, nor
        // a step that leaves a line of a million points.
        {1, 1, 0, 1023, 0, 1023, 0, 0},
        {1, 1, 0, 1024, 0, 1023, 0, 2181},
        {1, 1e-6, 0, 100, 0, 0, 1, 2181},
        {1, 1e-9, 0, 1e3, 0, 1e3, 0, 2181},
    };
    for (const auto& c : cases) {
        CXpsSetup s;
        s.m_Src.m_iType = 2;
        s.m_Exp.m_iExperiment = CAcquireXPS::Image;
        s.m_Exp.m_iMovement = CAcquireXPS::Planar;
        s.m_Rgn.m_ImageRegions.push_back(new CRegion(Peak(100, 0, 0)));
        s.m_Img.m_iScan = c.scan;
        s.m_Img.m_dStep = c.step;
        s.m_Img.m_dX1 = c.x1;
        s.m_Img.m_dX2 = c.x2;
        s.m_Img.m_dY1 = c.y1;
        s.m_Img.m_dY2 = c.y2;
        s.m_Img.m_iMode = c.mode;
        EXPECT_EQ(Refusal([&] { s.Check(false); }), c.id) << c.step << " " << c.x1 << " " << c.x2;
    }
    // With Size 64 over 0 to 6.3 the step is 0.1; with Step 0.5 over 0 to 10 there are 21 points.
    CXpsImgModel img;
    img.m_dX2 = 6.3;
    img.m_iSize = 4;
    EXPECT_EQ(img.Size(), 64);
    EXPECT_NEAR(img.GetXStep(), 0.1, 1e-12);
    img.m_iScan = 1;
    img.m_dStep = 0.5;
    img.m_dX2 = 10;
    img.m_iMode = 1;
    EXPECT_EQ(img.GetXSize(), 21);
    EXPECT_EQ(img.GetYSize(), 1);
}
