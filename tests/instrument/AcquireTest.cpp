// The acquisition engine against both simulators through the real link code,
// on a manual clock: stop rules, loop and pass order, repeat counts, save
// points, preparation failures, aborts and end moves, faults.

#include "AcquireSupport.h"

#include "data/SpecRgn.h"
#include "data/Trace.h"
#include "platform/File.h"
#include "platform/Strings.h"

#include <algorithm>
#include <filesystem>

namespace {

std::string Join(const std::vector<std::string>& v)
{
    std::string s;
    for (const auto& x : v)
        s += x + "\n";
    return s;
}

int Count(const std::vector<std::string>& v, const std::string& prefix)
{
    return static_cast<int>(
        std::count_if(v.begin(), v.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
}

// An XPS sheet: narrow-scan regions in the group, levels from depth rows.
struct SXpsCase
{
    SXpsCase(int expType, int moveType, int nPosns)
    {
        m_sheet.m_iExpType = expType;
        m_sheet.m_iMoveType = moveType;
        m_sheet.m_exp.m_n = nPosns;
        m_nPosns = nPosns;
    }
    void AddRegion(double start, int points, int scans, int repeat = 1)
    {
        m_regions.push_back(MakeRegion(start, points, 0.5, scans, repeat));
        m_sheet.m_stg.m_group.m_regions.push_back(m_regions.back().get());
        m_sheet.m_rgn.m_WidescanRegions.push_back(m_regions.back().get());
    }
    void Build(const std::filesystem::path& dir, int first = 1)
    {
        m_path = (dir / "run.vlt").string();
        BuildDocument(m_doc, m_sheet, m_nPosns, first, m_path);
    }
    SFakeXPS m_sheet;
    std::vector<std::unique_ptr<CRegion>> m_regions;
    CVeltraneDoc m_doc;
    std::string m_path;
    int m_nPosns;
};

// What a saved file holds: every curve value of every region, in order.
std::vector<double> SpectrumValues(const CVeltraneDoc& doc)
{
    std::vector<double> v;
    for (int i = 0; i < doc.GetNumStagePosns(); ++i) {
        const CStagePosn* p = doc.GetStagePosn(i);
        for (int g = 0; g < p->GetNumSpecRgns(); ++g) {
            const CSpecRgn* r = p->GetSpecRgn(g);
            for (int t = 0; t < r->GetNumTraces(); ++t) {
                const CTrace* tr = r->GetTrace(t);
                for (int k = 0; k < tr->GetNumPoints(); ++k)
                    v.push_back(tr->GetData()[k]);
            }
        }
    }
    return v;
}

bool ReadBack(const std::string& path, CVeltraneDoc& doc)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    return doc.ReadFrom(file);
}

} // namespace

class AcquireTest : public ::testing::Test
{
protected:
    void SetUp() override { m_dir = MakeTempDir(); }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::filesystem::path m_dir;
};

// Two specimens, three etch levels on the DAU's gun: stage moves, etches,
// scans and saves in their order, and the file holds what the views got.
TEST_F(AcquireTest, NarrowScansOverPositionsAndLevels)
{
    SAcqRig rig;
    SXpsCase c(CAcquireXPS::DepthProfile, CAcquireXPS::Normal, 2);
    c.m_sheet.m_stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 1, 0}, {2, 3, 30}, {}};
    c.AddRegion(280, 21, 1);
    c.AddRegion(530, 11, 2);
    c.Build(m_dir);
    ASSERT_EQ(c.m_doc.GetIonGun()->GetType(), CIonGun::MIED_DAU);

    ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
    ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
    EXPECT_EQ(rig.m_host.Messages(), (std::vector<unsigned>{WMAPP_ACQ_START, WMAPP_ACQ_END}));
    EXPECT_EQ(rig.m_host.Result(), 0) << Join(rig.m_host.m_shown);
    EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);

    const auto dau = rig.DauCommands();
    EXPECT_EQ(Count(dau, "ETCH TM=30"), 4) << Join(dau);
    EXPECT_EQ(Count(dau, "SPEC TE=XPS"), 2 * 3 * 3);
    // Start minus the offset of the run; the step as it is.
    EXPECT_EQ(dau[0], "SPEC TE=XPS,DT=SINGLE,MD=CAE,EP=20,ST=277.5,SW=0.5,PT=21,DW=10");
    const auto ascu = rig.AscuCommands();
    // Mode for two specimens, each brought to the analysis point, end of mode.
    EXPECT_EQ(ascu, (std::vector<std::string>{"MD 1,2", "DR 1,1,2", "EX 1", "DR 1,2,2", "EX 1", "EX 6"}));
    // Saves after levels 0 and 1 of each position, after the first position, at the end.
    EXPECT_EQ(rig.m_host.m_nSaves, 6);

    CVeltraneDoc back;
    ASSERT_TRUE(ReadBack(c.m_path, back));
    const auto shown = SpectrumValues(c.m_doc);
    EXPECT_EQ(SpectrumValues(back), shown);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 0.0), 0) << "every point acquired";
}

// Where a Stop takes effect, by technique, type, scan mode and scan type; and
// that the run then ends there with 5121.
TEST_F(AcquireTest, StopTable)
{
    struct
    {
        int xpsType; // -1: AES
        int aesType;
        int move;
        bool down;
        bool fast;
        int locn;
    } cases[] = {
        {CAcquireXPS::Widescan, 0, CAcquireXPS::None, false, false, CAcquire::EndOfScan},
        {CAcquireXPS::Narrowscan, 0, CAcquireXPS::None, true, false, CAcquire::EndOfScan},
        {CAcquireXPS::Narrowscan, 0, CAcquireXPS::None, false, false, CAcquire::EndOfLastRegion},
        {CAcquireXPS::DepthProfile, 0, CAcquireXPS::None, true, true, CAcquire::EndOfLastRegion},
        {CAcquireXPS::DepthProfile, 0, CAcquireXPS::None, true, false, CAcquire::EndOfScan},
        {CAcquireXPS::AngleResolved, 0, CAcquireXPS::None, false, false, CAcquire::EndOfLastRegion},
        {-1, CAcquireAES::Widescan, CAcquireAES_Scn::None, false, false, CAcquire::EndOfScan},
        {-1, CAcquireAES::Narrowscan, CAcquireAES_Scn::None, true, false, CAcquire::EndOfScan},
        {-1, CAcquireAES::Narrowscan, CAcquireAES_Scn::None, false, false, CAcquire::EndOfLastRegion},
        {-1, CAcquireAES::FastProfile, CAcquireAES_Scn::None, true, false, CAcquire::EndOfLastRegion},
        {-1, CAcquireAES::SEImage, CAcquireAES_Scn::None, false, false, CAcquire::Anywhere},
    };
    int k = 0;
    for (const auto& tc : cases) {
        SCOPED_TRACE(k++);
        SAcqRig rig;
        auto region = MakeRegion(280, 5, 0.5, 2);
        auto region2 = MakeRegion(300, 5, 0.5, 2);
        CVeltraneDoc doc;
        const std::string path = (m_dir / "stop.vlt").string();
        SFakeXPS xps;
        SFakeAES aes;
        if (tc.xpsType >= 0) {
            xps.m_iExpType = tc.xpsType;
            xps.m_iMoveType = tc.move;
            xps.m_bFast = tc.fast;
            xps.m_rgn.m_iNarrowscanMode = tc.down;
            xps.m_rgn.m_WidescanRegions = {region.get()};
            xps.m_stg.m_group.m_regions = {region.get(), region2.get()};
            xps.m_stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 2, 0}, {}};
            xps.m_stg.m_group.m_profile.m_rows[CAcquireProfile::AngleResolved] = {{0, 10, 10}, {}};
            BuildDocument(doc, xps, 1, 1, path);
        } else {
            aes.m_iExpType = tc.aesType;
            aes.m_scn.m_iMove = tc.move;
            aes.m_rgn.m_iNarrowscanMode = tc.down;
            aes.m_rgn.m_WidescanRegions = {region.get()};
            aes.m_rgn.m_NarrowscanRegions = {region.get(), region2.get()};
            std::vector<CAcquireProfile::CLevelInfo> rows = {{1, 2, 0}, {}};
            aes.m_prf.m_pLevelList = &rows;
            if (tc.aesType == CAcquireAES::SEImage) {
                auto se = std::make_unique<CRegion>();
                se->m_nScans = 1;
                aes.m_rgn.m_ImageRegions = {se.get()};
                region = std::move(se);
            }
            BuildDocument(doc, aes, 1, 0, path);
        }
        int seen = -1;
        rig.m_host.m_onStopMonitor = [&] {
            rig.m_acq.StopAcquiring(false);
            seen = rig.m_acq.GetStopLocation();
            EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Stopping);
            rig.m_acq.StopAcquiring(false); // a second Stop changes nothing
            EXPECT_EQ(rig.m_acq.GetStopLocation(), seen);
        };
        ASSERT_EQ(rig.m_acq.StartAcquiring(&doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        EXPECT_EQ(seen, tc.locn);
        EXPECT_EQ(rig.m_host.Result(), 5121) << Join(rig.m_host.m_shown);
        const auto dau = rig.DauCommands();
        const int scans = Count(dau, "SPEC") + Count(dau, "QINT") + Count(dau, "SEMI");
        // Stopped after the first scan, or after the first pass over both regions.
        const int expected = tc.locn == CAcquire::EndOfScan  ? 1
                             : tc.locn == CAcquire::Anywhere ? 0
                             : tc.down                       ? 4
                                                             : 2;
        EXPECT_EQ(scans, expected) << Join(dau);
        EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);
        rig.m_acq.StopAcquiring(true); // nothing while inactive
        EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);
    }
}

// Region by region or in passes; a region with repeat 2 joins levels 1, 3...
// and a level it sits out still makes the passes its scan count asks for.
TEST_F(AcquireTest, PassOrderAndRepeat)
{
    for (bool down : {false, true}) {
        SCOPED_TRACE(down);
        SAcqRig rig;
        SXpsCase c(CAcquireXPS::DepthProfile, CAcquireXPS::None, 1);
        c.m_sheet.m_rgn.m_iNarrowscanMode = down;
        c.m_sheet.m_stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 3, 0}, {}};
        c.AddRegion(280, 5, 2);    // A: two scans
        c.AddRegion(300, 6, 3, 2); // B: three scans, every second level
        c.Build(m_dir);
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        EXPECT_EQ(rig.m_host.Result(), 0);
        std::string order;
        for (const auto& cmd : rig.DauCommands())
            if (cmd.rfind("SPEC", 0) == 0)
                order += cmd.find("PT=5") != std::string::npos ? 'A' : 'B';
        EXPECT_EQ(order, down ? "AA"
                                "AABBB"
                                "AA"
                              : "AA"
                                "ABABB"
                                "AA");
        // Levels 0 and 1 are saved during the run, then once at the end.
        EXPECT_EQ(rig.m_host.m_nSaves, 3);
    }
}

// Planar points must lie in the stored area (its border counts as inside);
// a point outside ends the run before its start.
TEST_F(AcquireTest, PlanarPointsOutsideMapArea)
{
    for (double x : {36.0, 36.001}) {
        SAcqRig rig;
        SXpsCase c(CAcquireXPS::Narrowscan, CAcquireXPS::Planar, 1);
        CAcquireXPS_Stg::CGridRow a, b;
        a.m_dFirst = 22, a.m_dLast = 7, b.m_dFirst = x, b.m_dLast = 9;
        c.m_sheet.m_stg.m_GridData[CAcquireXPS::Planar] = {a, b, {}};
        c.AddRegion(280, 5, 1);
        c.Build(m_dir);
        ASSERT_EQ(c.m_doc.GetStagePosn(0)->GetNumPoints(-1), 2);
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        if (x == 36.0) {
            EXPECT_EQ(rig.m_host.Result(), 0);
            const auto ascu = rig.AscuCommands();
            EXPECT_EQ(Count(ascu, "GP (22.000,7.000)"), 1) << Join(ascu);
        } else {
            EXPECT_TRUE(rig.m_host.Messages().empty());
            ASSERT_EQ(rig.m_host.m_shown.size(), 1u);
            EXPECT_EQ(rig.m_host.m_shown[0], LoadString(2307));
            EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);
            EXPECT_FALSE(rig.m_acq.IsAcquiring(&c.m_doc));
        }
    }
}

// Abort at the first block of a spectrum: the unit is told, the end moves are
// made, and the file holds exactly that block.
TEST_F(AcquireTest, AbortMidScanLeavesReadableFile)
{
    SAcqRig rig;
    SXpsCase c(CAcquireXPS::DepthProfile, CAcquireXPS::Normal, 2);
    c.m_sheet.m_prf.m_iGun = 0;
    c.m_sheet.m_stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 2, 10}, {}};
    c.AddRegion(280, 250, 2);
    c.Build(m_dir);
    int blocks = 0;
    rig.m_host.m_onData = [&](const SAcqUpdate&) {
        if (++blocks == 1)
            rig.m_acq.StopAcquiring(true);
    };
    ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
    ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
    EXPECT_EQ(rig.m_host.Result(), 5121);
    EXPECT_EQ(blocks, 1);
    const auto dau = rig.DauCommands();
    EXPECT_EQ(dau.back(), "ABRT") << Join(dau);
    EXPECT_EQ(rig.AscuCommands().back(), "EX 6");
    CVeltraneDoc back;
    ASSERT_TRUE(ReadBack(c.m_path, back));
    const auto values = SpectrumValues(back);
    EXPECT_EQ(values, SpectrumValues(c.m_doc));
    const auto acquired = std::count_if(values.begin(), values.end(), [](double v) { return v != 0; });
    EXPECT_GT(acquired, 0);
    EXPECT_LT(acquired, 250);
}

// Stop during a wide scan takes effect at the end of that scan.
TEST_F(AcquireTest, StopAtEndOfScanKeepsTheWholeScan)
{
    SAcqRig rig;
    SXpsCase c(CAcquireXPS::Widescan, CAcquireXPS::None, 1);
    c.AddRegion(0, 250, 3);
    c.Build(m_dir);
    rig.m_host.m_onData = [&](const SAcqUpdate&) { rig.m_acq.StopAcquiring(false); };
    ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
    ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
    EXPECT_EQ(rig.m_host.Result(), 5121);
    EXPECT_EQ(Count(rig.DauCommands(), "SPEC"), 1);
    CVeltraneDoc back;
    ASSERT_TRUE(ReadBack(c.m_path, back));
    const auto values = SpectrumValues(back);
    EXPECT_EQ(std::count(values.begin(), values.end(), 0.0), 0);
    EXPECT_EQ(values, SpectrumValues(c.m_doc));
}

// A failing incremental save is said once and the run goes on; the final
// save's failure is said too.
TEST_F(AcquireTest, FailedSavesAreReported)
{
    SAcqRig rig;
    SXpsCase c(CAcquireXPS::DepthProfile, CAcquireXPS::None, 1);
    c.m_sheet.m_stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 4, 0}, {}};
    c.AddRegion(280, 5, 1);
    c.Build(m_dir);
    rig.m_host.m_bFailSaves = true;
    ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
    ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
    EXPECT_EQ(rig.m_host.Result(), 0);
    EXPECT_EQ(rig.m_host.m_nSaves, 4);
    EXPECT_EQ(rig.m_host.m_reported.size(), 1u);
    EXPECT_EQ(rig.m_host.m_shown.size(), 1u);
    EXPECT_EQ(Count(rig.DauCommands(), "SPEC"), 4);
}
