// The acquisition engine against both simulators through the real link code,
// on a manual clock: stop rules, loop and pass order, repeat counts, save
// points, preparation failures, aborts and end moves, faults.

#include "AcquireSupport.h"

#include "data/ImageRgn.h"
#include "data/SpecRgn.h"
#include "data/Trace.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "tests/data/doc_file_builder.h"

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
        m_sheet.type = expType;
        m_sheet.move = moveType;
        m_sheet.exp.m_n = nPosns;
        m_nPosns = nPosns;
    }
    void AddRegion(double start, int points, int scans, int repeat = 1)
    {
        m_regions.push_back(MakeRegion(start, points, 0.5, scans, repeat));
        m_sheet.stg.m_group.m_regions.push_back(m_regions.back().get());
        m_sheet.rgn.m_WidescanRegions.push_back(m_regions.back().get());
    }
    void Build(const std::filesystem::path& dir, int first = 1)
    {
        m_path = (dir / "run.vlt").string();
        ASSERT_EQ(BuildDocument(m_doc, m_sheet, m_nPosns, first, m_path), "");
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

// The curve values that the file inspector shows, in file order.
std::vector<double> DumpedValues(const std::string& path)
{
    std::vector<double> v;
#ifdef VELTRANE_VLTDUMP
    std::string out;
    if (FILE* f = popen((std::string(VELTRANE_VLTDUMP) + " '" + path + "'").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        pclose(f);
    }
    for (size_t at = out.find("\"values\": ["); at != std::string::npos; at = out.find("\"values\": [", at)) {
        const char* p = out.c_str() + at + 11;
        while (*p != ']') {
            char* end = nullptr;
            v.push_back(std::strtod(p, &end));
            p = end;
            while (*p == ',' || *p == ' ')
                ++p;
        }
        at = static_cast<size_t>(p - out.c_str());
    }
#else
    (void)path;
#endif
    return v;
}

bool ReadBack(const std::string& path, CVeltraneDoc& doc)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    return doc.ReadFrom(file);
}

// A fast depth profile of one region with the second background alone, over
// two depth rows (the second etching 12.7 s).
void BuildFastProfile(SXpsCase& c, const std::filesystem::path& dir)
{
    c.m_sheet.fast = 1;
    c.m_sheet.stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 1, 0}, {2, 3, 12.7}, {}};
    c.AddRegion(280, 5, 1);
    c.m_regions.back()->m_dBk2 = 290;
    c.Build(dir);
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
    c.m_sheet.stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 1, 0}, {2, 3, 30}, {}};
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
#ifdef VELTRANE_VLTDUMP
    EXPECT_EQ(DumpedValues(c.m_path), shown);
#endif
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
            xps.type = tc.xpsType;
            xps.move = tc.move;
            xps.fast = tc.fast;
            xps.rgn.m_iNarrowscanMode = tc.down;
            xps.rgn.m_WidescanRegions = {region.get()};
            xps.stg.m_group.m_regions = {region.get(), region2.get()};
            xps.stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 2, 0}, {}};
            xps.stg.m_group.m_profile.m_rows[CAcquireProfile::AngleResolved] = {{0, 10, 10}, {}};
            ASSERT_EQ(BuildDocument(doc, xps, 1, 1, path), "");
        } else {
            aes.type = tc.aesType;
            aes.scn.m_iMove = tc.move;
            aes.rgn.m_iNarrowscanMode = tc.down;
            aes.rgn.m_WidescanRegions = {region.get()};
            aes.rgn.m_NarrowscanRegions = {region.get(), region2.get()};
            std::vector<CAcquireProfile::CLevelInfo> rows = {{1, 2, 0}, {}};
            aes.prf.m_pLevelList = &rows;
            if (tc.aesType == CAcquireAES::SEImage) {
                auto se = std::make_unique<CRegion>();
                se->m_nScans = 1;
                aes.rgn.m_ImageRegions = {se.get()};
                region = std::move(se);
            }
            ASSERT_EQ(BuildDocument(doc, aes, 1, 0, path), "");
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
        EXPECT_TRUE(rig.m_host.ViewsEndedBeforeEnd());
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
        c.m_sheet.rgn.m_iNarrowscanMode = down;
        c.m_sheet.stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 3, 0}, {}};
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
        c.m_sheet.stg.m_GridData[CAcquireXPS::Planar] = {a, b, {}};
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
    c.m_sheet.prf.m_iGun = 0;
    c.m_sheet.stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 2, 10}, {}};
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
    EXPECT_TRUE(rig.m_host.ViewsEndedBeforeEnd()) << "an aborted run's views are brought up to date too";
    const auto dau = rig.DauCommands();
    EXPECT_EQ(dau.back(), "ABRT") << Join(dau);
    EXPECT_EQ(rig.LastAscuCommand("EX 6"), "EX 6");
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
// save's failure is said too, and the run is not reported as a success.
TEST_F(AcquireTest, FailedSavesAreReported)
{
    SAcqRig rig;
    SXpsCase c(CAcquireXPS::DepthProfile, CAcquireXPS::None, 1);
    c.m_sheet.stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 4, 0}, {}};
    c.AddRegion(280, 5, 1);
    c.Build(m_dir);
    rig.m_host.m_bFailSaves = true;
    ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
    ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
    EXPECT_EQ(rig.m_host.Result(), 5171);
    EXPECT_EQ(rig.m_host.m_nSaves, 4);
    EXPECT_EQ(rig.m_host.m_reported.size(), 1u);
    EXPECT_EQ(rig.m_host.m_shown.size(), 1u);
    EXPECT_EQ(Count(rig.DauCommands(), "SPEC"), 4);
}

// Saves that really fail (the file's folder went during the run): the run
// ends as usual but not as a success, every message names the file and why,
// and the document, whose data are nowhere else, is left modified so that
// closing it asks.
TEST_F(AcquireTest, ARunWhoseFileCannotBeWrittenKeepsItsDocumentModified)
{
    for (const bool gone : {false, true}) {
        SCOPED_TRACE(gone ? "folder gone" : "saved");
        SAcqRig rig;
        SXpsCase c(CAcquireXPS::DepthProfile, CAcquireXPS::None, 1);
        c.m_sheet.stg.m_group.m_profile.m_rows[CAcquireProfile::DepthProfile] = {{1, 3, 0}, {}};
        c.AddRegion(280, 5, 1);
        const std::filesystem::path folder = std::filesystem::path(m_dir) / (gone ? "gone" : "kept");
        std::filesystem::create_directory(folder);
        c.Build(folder);
        ASSERT_FALSE(c.m_doc.IsModified());
        if (gone)
            std::filesystem::remove_all(folder);
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        EXPECT_EQ(rig.m_host.Result(), gone ? 5171 : 0);
        EXPECT_EQ(Count(rig.DauCommands(), "SPEC"), 3);
        EXPECT_EQ(c.m_doc.IsModified(), gone);
        if (!gone) {
            EXPECT_TRUE(rig.m_host.m_shown.empty()) << Join(rig.m_host.m_shown);
            continue;
        }
        // Said at the start, once for the incremental saves, and at the end.
        const std::string expected = c.m_path + " contains an incorrect path.";
        EXPECT_EQ(rig.m_host.m_shown, (std::vector<std::string>{c.m_path + " was not found.", expected}));
        EXPECT_EQ(rig.m_host.m_reported, std::vector<std::string>{expected});
    }
}

// Faults during a run: each ends the run with its message, leaves the data
// acquired so far in the file and the stage unit out of its mode, and nothing
// hangs (every wait is bounded here).
class AcquireFaultTest : public AcquireTest
{
protected:
    // A narrow scan at two specimens, 250 points (three blocks) per scan.
    void Run(SAcqRig& rig, const std::function<void(int block)>& onBlock)
    {
        m_case = std::make_unique<SXpsCase>(CAcquireXPS::Narrowscan, CAcquireXPS::Normal, 2);
        m_case->AddRegion(280, 250, 2);
        m_case->Build(m_dir);
        int blocks = 0;
        rig.m_host.m_onData = [&](const SAcqUpdate&) { onBlock(++blocks); };
        ASSERT_EQ(rig.m_acq.StartAcquiring(&m_case->m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq, 20));
        CVeltraneDoc back;
        ASSERT_TRUE(ReadBack(m_case->m_path, back));
        EXPECT_EQ(SpectrumValues(back), SpectrumValues(m_case->m_doc));
        const auto values = SpectrumValues(back);
        m_nAcquired = std::count_if(values.begin(), values.end(), [](double v) { return v != 0; });
    }
    std::unique_ptr<SXpsCase> m_case;
    long m_nAcquired = 0;
};

TEST_F(AcquireFaultTest, DauFaults)
{
    struct
    {
        const char* name;
        std::function<void(CDauSimulator&)> inject;
        long long result;
    } cases[] = {
        {"silence", [](CDauSimulator& s) { s.InjectSilence(1); }, 2297},
        {"garbled",
         [](CDauSimulator& s) {
             s.InjectReply(Packet{0x7F, 0x01, 0x02});
         },
         2288},
        {"abort status", [](CDauSimulator& s) { s.InjectStatus('4'); }, 2276},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        SAcqRig rig;
        Run(rig, [&](int block) {
            if (block == 1)
                tc.inject(*rig.m_dau.m_sim);
        });
        EXPECT_EQ(rig.m_host.Result(), tc.result) << Join(rig.DauCommands());
        EXPECT_TRUE(rig.m_host.ViewsEndedBeforeEnd());
        EXPECT_GT(m_nAcquired, 0);
        EXPECT_LT(m_nAcquired, 250);
        EXPECT_EQ(rig.AscuCommands().back(), "EX 6");
        EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);
    }
}

TEST_F(AcquireFaultTest, DauSimulatorKilled)
{
    SAcqRig rig;
    Run(rig, [&](int block) {
        if (block == 1)
            rig.m_dau.m_server->Stop();
    });
    const long long r = rig.m_host.Result();
    EXPECT_TRUE(r >= 2272 && r <= 2299) << r;
    EXPECT_GT(m_nAcquired, 0);
    EXPECT_EQ(rig.AscuCommands().back(), "EX 6");
}

// The second specimen's motor fails: the unit's error ends the run after
// the first specimen's data.
TEST_F(AcquireFaultTest, StageErrorReply)
{
    SAcqRig rig;
    Run(rig, [&](int block) {
        if (block == 6) // the first specimen's last block
            rig.m_ascu.m_sim.InjectError(8);
    });
    const long long r = rig.m_host.Result();
    EXPECT_TRUE(r >= 2300 && r <= 2330) << r;
    EXPECT_EQ(m_nAcquired, 250);
    EXPECT_EQ(rig.AscuCommands().back(), "EX 6");
}

// The stage unit's device goes away: the port's own error, not "no response".
TEST_F(AcquireFaultTest, StageDeviceVanishes)
{
    SAcqRig rig;
    Run(rig, [&](int block) {
        if (block == 6)
            rig.m_ascu.m_sim.Stop();
    });
    const long long r = rig.m_host.Result();
    EXPECT_NE(r, 0);
    EXPECT_NE(r, 2305) << "the port's error, not silence";
    EXPECT_EQ(m_nAcquired, 250);
}

// A move that never ends (the unit went quiet) is ended by Abort.
TEST_F(AcquireFaultTest, AbortEndsAnEndlessMove)
{
    SAscuSimConfig slow = SAcqRig::Quick();
    slow.m_bRealTime = true;
    slow.m_iMoveMs = 600000;
    SAcqRig rig(slow);
    m_case = std::make_unique<SXpsCase>(CAcquireXPS::Narrowscan, CAcquireXPS::Normal, 1);
    m_case->AddRegion(280, 5, 1);
    m_case->Build(m_dir);
    ASSERT_EQ(rig.m_acq.StartAcquiring(&m_case->m_doc, nullptr), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(rig.m_acq.IsBusy());
    rig.m_acq.StopAcquiring(true);
    ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq, 20));
    EXPECT_EQ(rig.m_host.Result(), 5121);
}

namespace {

// Every raw value of every image region: the peak plane, the background
// planes in use, or the secondary-electron bytes.
std::vector<double> ImageValues(const CVeltraneDoc& doc)
{
    std::vector<double> v;
    for (int i = 0; i < doc.GetNumStagePosns(); ++i) {
        const CStagePosn* p = doc.GetStagePosn(i);
        for (int g = 0; g < p->GetNumImageRgns(); ++g) {
            const CImageRgn* r = p->GetImageRgn(g);
            const size_t n = size_t(r->GetNumPoints_x()) * size_t(r->GetNumPoints_y());
            if (const unsigned char* se = r->GetSEData()) {
                v.insert(v.end(), se, se + n);
                continue;
            }
            for (const int* plane : {r->GetPkData(), r->GetBk1Data(), r->GetBk2Data()})
                if (plane)
                    v.insert(v.end(), plane, plane + n);
        }
    }
    return v;
}

struct SAesCase
{
    explicit SAesCase(int expType) { m_sheet.type = expType; }
    void Build(const std::filesystem::path& dir, int nPosns)
    {
        m_path = (dir / "aes.vlt").string();
        m_sheet.prf.m_pLevelList = &m_levels;
        for (auto& r : m_regions) {
            m_sheet.rgn.m_WidescanRegions.push_back(r.get());
            m_sheet.rgn.m_NarrowscanRegions.push_back(r.get());
            m_sheet.rgn.m_ImageRegions.push_back(r.get());
        }
        ASSERT_EQ(BuildDocument(m_doc, m_sheet, nPosns, 0, m_path), "");
    }
    SFakeAES m_sheet;
    std::vector<CAcquireProfile::CLevelInfo> m_levels;
    std::vector<std::unique_ptr<CRegion>> m_regions;
    CVeltraneDoc m_doc;
    std::string m_path;
};

} // namespace

// A point depth profile on the DAU's gun: each position's spot on the
// image grid, etches of the level increments, the end of scan at the end.
TEST_F(AcquireTest, AesPointDepthProfile)
{
    SAcqRig rig;
    SAesCase c(CAcquireAES::Profile);
    c.m_sheet.scn.m_iMove = CAcquireAES_Scn::Point;
    c.m_sheet.scn.m_points = {{400, -400}, {0, 8}};
    c.m_levels = {{1, 1, 0}, {2, 3, 60}, {}};
    c.m_regions.push_back(MakeRegion(100, 40, 1, 1));
    c.Build(m_dir, 2);
    ASSERT_EQ(c.m_doc.GetIonGun()->GetType(), CIonGun::MIED_DAU);
    ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
    ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
    EXPECT_EQ(rig.m_host.Result(), 0) << Join(rig.m_host.m_shown);
    const auto dau = rig.DauCommands();
    EXPECT_EQ(dau.front(), "BEAM MD=SPOT,X0=100,Y0=-100,X1=0,Y1=0,BR=256") << Join(dau);
    EXPECT_EQ(Count(dau, "BEAM MD=SPOT,X0=0,Y0=2,X1=0,Y1=0,BR=256"), 1);
    EXPECT_EQ(Count(dau, "ETCH TM=60"), 4);
    EXPECT_EQ(Count(dau, "SPEC TE=AES"), 6);
    EXPECT_EQ(dau.back().rfind("BEAM MD=EOS", 0), 0u);
    CVeltraneDoc back;
    ASSERT_TRUE(ReadBack(c.m_path, back));
    const auto values = SpectrumValues(back);
    EXPECT_EQ(values, SpectrumValues(c.m_doc));
    EXPECT_EQ(std::count(values.begin(), values.end(), 0.0), 0);
}

// Maps (with a background plane), line scans and secondary-electron images:
// every pixel arrives and the file holds what the views got.
TEST_F(AcquireTest, AesImages)
{
    struct
    {
        int type;
        bool linescan;
        const char* command;
        bool bk2 = false; // the second background alone: its plane comes as "B2"
    } cases[] = {
        {CAcquireAES::AugerImage, false,
         "SAMI MD=CAE,EP=20,PK=98.5,B1=117.5,DW=2,X0=-16,Y0=16,X1=15,Y1=-15,DN=2"},
        {CAcquireAES::AugerImage, true,
         "LINP MD=CAE,EP=20,PK=98.5,B1=117.5,DW=2,X0=-16,Y0=16,X1=15,Y1=-15,BR="},
        {CAcquireAES::AugerImage, false,
         "SAMI MD=CAE,EP=20,PK=98.5,B2=117.5,DW=2,X0=-16,Y0=16,X1=15,Y1=-15,DN=2", true},
        {CAcquireAES::AugerImage, true,
         "LINP MD=CAE,EP=20,PK=98.5,B2=117.5,DW=2,X0=-16,Y0=16,X1=15,Y1=-15,BR=", true},
        {CAcquireAES::SEImage, false, "SEMI PX=256,MG=1000"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.command);
        SAcqRig rig;
        SAesCase c(tc.type);
        c.m_sheet.scn.m_bLinescan = tc.linescan;
        c.m_sheet.scn.m_areas = {{-64, 64, 60, -60}};
        auto r = MakeRegion(100, 2, 1, 1, 1, 2);
        (tc.bk2 ? r->m_dBk2 : r->m_dBk1) = 120;
        c.m_regions.push_back(std::move(r));
        c.Build(m_dir, 1);
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq, 30));
        EXPECT_EQ(rig.m_host.Result(), 0) << Join(rig.m_host.m_shown);
        const auto dau = rig.DauCommands();
        ASSERT_FALSE(dau.empty());
        EXPECT_EQ(dau.front().rfind(tc.command, 0), 0u) << dau.front();
        CVeltraneDoc back;
        ASSERT_TRUE(ReadBack(c.m_path, back));
        const auto values = ImageValues(back);
        EXPECT_EQ(values, ImageValues(c.m_doc));
        EXPECT_FALSE(values.empty());
        EXPECT_EQ(std::count(values.begin(), values.end(), 0.0), 0) << "every pixel acquired";
    }
}

// Runs of every kind on the emulated unit (the machine configuration that
// selects no instrument): each ends as a success with every point the
// emulation makes, in its place: the spectrum's peak, the planes' ramps, the
// secondary-electron lines.
TEST_F(AcquireTest, RunsOnTheEmulatedUnit)
{
    struct
    {
        int type;
        bool linescan = false;
        double bk1 = 0, bk2 = 0; // 0: no background
    } cases[] = {
        {CAcquireAES::Widescan},
        {CAcquireAES::AugerImage, true, 110, 120},
        {CAcquireAES::AugerImage, true, 0, 120},
        {CAcquireAES::AugerImage, false, 110, 120},
        {CAcquireAES::AugerImage, false, 110},
        {CAcquireAES::SEImage},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(testing::Message() << "type " << tc.type << (tc.linescan ? " line" : "") << " bk1 "
                                        << tc.bk1 << " bk2 " << tc.bk2);
        CManualClock clock;
        SAcqRig::SClockGuard clockGuard(&clock);
        SFakeInstrument instrument;
        CDAU dau;
        dau.SetSourceID(0x201);
        ASSERT_EQ(dau.Open(), 0);
        CFakeHost host;
        CAcquire acq;
        acq.Attach(&host, &dau, nullptr);
        SAesCase c(tc.type);
        c.m_sheet.scn.m_bLinescan = tc.linescan;
        c.m_sheet.scn.m_areas = {{-64, 64, 60, -60}};
        auto r = MakeRegion(100, 301, 1, 1, 1, 2);
        r->m_dBk1 = tc.bk1;
        r->m_dBk2 = tc.bk2;
        c.m_regions.push_back(std::move(r));
        c.Build(m_dir, 1);
        ASSERT_EQ(acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(host.WaitEnd(acq, 30));
        EXPECT_EQ(host.Result(), 0) << Join(host.m_shown);

        const CStagePosn* p = c.m_doc.GetStagePosn(0);
        if (tc.type == CAcquireAES::Widescan) {
            ASSERT_EQ(p->GetNumSpecRgns(), 1);
            const CTrace* t = p->GetSpecRgn(0)->GetTrace(0);
            const int n = t->GetNumPoints();
            ASSERT_EQ(n, 301);
            const double B = n / 8.0, mid = (n + 1) / 2.0;
            for (int k = 0; k < n; ++k) {
                const double x = k + 2;
                const double peak = std::trunc(8000 * B * B / ((x - mid) * (x - mid) + B * B));
                ASSERT_GE(t->GetData()[k], peak) << k;
                ASSERT_LE(t->GetData()[k], peak + 255) << k;
            }
            continue;
        }
        ASSERT_EQ(p->GetNumImageRgns(), 1);
        const CImageRgn* img = p->GetImageRgn(0);
        const int nx = img->GetNumPoints_x(), ny = img->GetNumPoints_y();
        ASSERT_GT(nx, 1);
        if (const unsigned char* se = img->GetSEData()) {
            for (int i = 0; i < nx * ny; ++i)
                ASSERT_EQ(se[i], (i % nx) % 256) << i;
            continue;
        }
        const int* planes[] = {img->GetPkData(), img->GetBk1Data(), img->GetBk2Data()};
        const int factor[] = {4, 1, 3};
        const bool used[] = {true, tc.bk1 != 0, tc.bk2 != 0};
        for (int k = 0; k < 3; ++k) {
            const int* plane = planes[k];
            ASSERT_EQ(plane != nullptr, used[k]) << "plane " << k;
            if (!plane)
                continue;
            for (int i = 0; i < nx * ny; ++i)
                ASSERT_EQ(plane[i], factor[k] * (i % nx + 2)) << "plane " << k << " point " << i;
        }
    }
}

// A poll answered with a block of another kind (a spectrum block to a map's
// poll, a line-scan block to a spectrum's) is not data of this run: its
// numbers would land on the wrong line or plane, or be left over from an
// earlier block. The run ends as unexpected.
TEST_F(AcquireTest, BlockOfAnotherKindIsNotTakenAsData)
{
    const Packet high(8, 0x7F);
    struct
    {
        const char* name;
        int type; // -1: an XPS narrow scan
        bool linescan;
        Packet reply;
    } cases[] = {
        {"map polled, line-scan block", CAcquireAES::AugerImage, false,
         CDauSimulator::FrameData("SBLP BL=4,KD=PK,ST=1,FN=2", high)},
        {"map polled, spectrum block", CAcquireAES::AugerImage, false,
         CDauSimulator::FrameData("SBSP BL=4,ST=1,FN=2", high)},
        {"line scan polled, map block", CAcquireAES::AugerImage, true,
         CDauSimulator::FrameData("SBSA BL=4,KD=PK,LN=1,ST=1,FN=2", high)},
        {"spectrum polled, line-scan block", -1, false,
         CDauSimulator::FrameData("SBLP BL=4,KD=PK,ST=1,FN=2", high)},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        SAcqRig rig;
        std::unique_ptr<SAesCase> aes;
        std::unique_ptr<SXpsCase> xps;
        CVeltraneDoc* doc;
        if (tc.type < 0) {
            xps = std::make_unique<SXpsCase>(CAcquireXPS::Narrowscan, CAcquireXPS::None, 1);
            xps->AddRegion(280, 250, 1);
            xps->Build(m_dir);
            doc = &xps->m_doc;
        } else {
            aes = std::make_unique<SAesCase>(tc.type);
            aes->m_sheet.scn.m_bLinescan = tc.linescan;
            aes->m_sheet.scn.m_areas = {{-64, 64, 60, -60}};
            auto r = MakeRegion(100, 2, 1, 1, 1, 2);
            r->m_dBk1 = 120;
            aes->m_regions.push_back(std::move(r));
            aes->Build(m_dir, 1);
            doc = &aes->m_doc;
        }
        int blocks = 0;
        rig.m_host.m_onData = [&](const SAcqUpdate&) {
            if (++blocks == 1)
                rig.m_dau.m_sim->InjectReply(tc.reply);
        };
        ASSERT_EQ(rig.m_acq.StartAcquiring(doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq, 30));
        EXPECT_EQ(rig.m_host.Result(), 2288) << Join(rig.m_host.m_shown);
        EXPECT_EQ(blocks, 1);
    }
}

// Depth profile with the stage unit's MIED, and an angle-resolved series:
// the unit's mode, switch, etches and tilts, and the end moves.
TEST_F(AcquireTest, XpsProfilesOnTheStageUnit)
{
    {
        SAcqRig rig;
        rig.m_instrument.m_bMIED = false; // the MIED is the stage unit's
        SXpsCase c(CAcquireXPS::DepthProfile, CAcquireXPS::Normal, 1);
        BuildFastProfile(c, m_dir);
        ASSERT_EQ(c.m_doc.GetIonGun()->GetType(), CIonGun::MIED_ASCU);
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        EXPECT_EQ(rig.m_host.Result(), 0) << Join(rig.m_host.m_shown);
        // Fast profile, second background only: the B2 form, the offset taken off.
        EXPECT_EQ(rig.DauCommands().front(), "QINT TE=XPS,MD=CAE,EP=20,PK=278.5,B2=287.5,DW=10");
        const auto ascu = Join(rig.AscuCommands());
        EXPECT_EQ(ascu.find("MD 5,1"), 0u) << ascu;
        EXPECT_NE(ascu.find("SP 2,1,12\nEX 1\nSP 2,1,12\n"), std::string::npos); // 12.7 s as 12
        EXPECT_NE(ascu.find("EX 7,5\n"), std::string::npos);                     // switch 2 on
        EXPECT_NE(ascu.find("EX 7,6\nEX 6\n"), std::string::npos) << ascu;       // off, end of mode
        const auto values = SpectrumValues(c.m_doc);
        EXPECT_EQ(std::count(values.begin(), values.end(), 0.0), 0);
    }
    {
        SAcqRig rig;
        SXpsCase c(CAcquireXPS::AngleResolved, CAcquireXPS::Normal, 1);
        c.m_sheet.stg.m_group.m_profile.m_rows[CAcquireProfile::AngleResolved] = {{0, 20, 10}, {}};
        c.AddRegion(280, 5, 1);
        c.Build(m_dir);
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        EXPECT_EQ(rig.m_host.Result(), 0) << Join(rig.m_host.m_shown);
        const auto ascu = rig.AscuCommands();
        EXPECT_EQ(ascu.front(), "MD 3,1") << Join(ascu);
        EXPECT_EQ(ascu.back(), "EX 6");
        EXPECT_EQ(Count(rig.DauCommands(), "SPEC"), 3);
    }
}

// A fast profile takes its intensities from the reply to each QINT: a reply
// that is not the intensities asked for (a bare status, a block, a count the
// unit cannot measure, a background missing) ends the run as unexpected
// instead of writing stale or impossible counts into the profile.
TEST_F(AcquireTest, FastProfileRejectsRepliesThatAreNotItsIntensities)
{
    struct
    {
        const char* name;
        Packet reply;
    } cases[] = {
        {"status", CDauSimulator::FrameText("DAUS CD=0")},
        {"block", CDauSimulator::FrameData("SBSP BL=1,ST=1,FN=1", Packet(4, 1))},
        {"negative peak", CDauSimulator::FrameText("SBQI PK=-5,B2=7")},
        {"background missing", CDauSimulator::FrameText("SBQI PK=100")},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        SAcqRig rig;
        rig.m_instrument.m_bMIED = false;
        SXpsCase c(CAcquireXPS::DepthProfile, CAcquireXPS::Normal, 1);
        BuildFastProfile(c, m_dir);
        int blocks = 0;
        rig.m_host.m_onData = [&](const SAcqUpdate&) {
            if (++blocks == 1)
                rig.m_dau.m_sim->InjectReply(tc.reply);
        };
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        EXPECT_EQ(rig.m_host.Result(), 2288) << Join(rig.m_host.m_shown);
        EXPECT_EQ(blocks, 1);
        const auto values = SpectrumValues(c.m_doc);
        EXPECT_EQ(std::count_if(values.begin(), values.end(), [](double v) { return v < 0; }), 0);
        EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);
    }
}

// Stop and abort requests hammering a run while it ends on its own never
// leave the engine Stopping or Aborting once the worker has finished.
TEST_F(AcquireTest, StopRacingTheEndLeavesInactive)
{
    SAcqRig rig;
    SXpsCase c(CAcquireXPS::Narrowscan, CAcquireXPS::None, 1);
    c.AddRegion(280, 3, 1);
    c.Build(m_dir);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        std::atomic<bool> stop{false};
        std::thread hammer([&] {
            for (int k = 0; !stop; ++k)
                rig.m_acq.StopAcquiring(k % 2 == 0);
        });
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        stop = true;
        hammer.join();
        EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);
    }
}

// The beam: a full-field scan set up before the start and ended after the
// run; a spot per point of a wide scan; no beam command without a movement.
TEST_F(AcquireTest, AesBeamMoves)
{
    struct
    {
        int move;
        int size;
        std::vector<std::string> beams;
    } cases[] = {
        {CAcquireAES_Scn::FullScan,
         512,
         {"BEAM MD=SCAN,X0=-256,Y0=255,X1=255,Y1=-256,BR=512", "BEAM MD=EOS,X0=0,Y0=0,X1=0,Y1=0,BR=512"}},
        {CAcquireAES_Scn::Point,
         256,
         {"BEAM MD=SPOT,X0=100,Y0=-100,X1=0,Y1=0,BR=256", "BEAM MD=SPOT,X0=0,Y0=2,X1=0,Y1=0,BR=256",
          "BEAM MD=SPOT,X0=-128,Y0=127,X1=0,Y1=0,BR=256", "BEAM MD=EOS,X0=0,Y0=0,X1=0,Y1=0,BR=256"}},
        {CAcquireAES_Scn::None, 256, {}},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.move);
        SAcqRig rig;
        SAesCase c(CAcquireAES::Widescan);
        c.m_sheet.scn.m_iMove = tc.move;
        c.m_sheet.scn.m_iSize = tc.size;
        c.m_sheet.scn.m_points = {{400, -400}, {0, 8}, {-512, 511}};
        c.m_regions.push_back(MakeRegion(100, 5, 1, 1));
        c.Build(m_dir, 1);
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        EXPECT_EQ(rig.m_host.Result(), 0) << Join(rig.m_host.m_shown);
        std::vector<std::string> beams;
        for (const auto& cmd : rig.DauCommands())
            if (cmd.rfind("BEAM", 0) == 0)
                beams.push_back(cmd);
        EXPECT_EQ(beams, tc.beams);
    }
}

// An experiment the engine has no type for starts nothing and says so; a UPS
// run touches no unit, posts nothing and leaves the engine inactive.
TEST_F(AcquireTest, UnknownExperimentAndUps)
{
    struct
    {
        int32_t expType, technique;
        int started;
    } cases[] = {{0x999, 2, 2082}, {0x102, 4, 0}};
    for (const auto& tc : cases) {
        SAcqRig rig;
        CDataFileBuilder b;
        b.Header().Experiment(tc.expType, tc.technique).Source().IonGun();
        CDataFileBuilder::SPosnHead head;
        const size_t at = b.BeginPosn(head, 1);
        b.SpecRgn(5, 1).Count(0);
        b.EndPosn(at);
        b.End();
        const std::string path = (m_dir / "odd.vlt").string();
        {
            CFile f(path, CFile::modeCreate | CFile::modeWrite);
            f.Write(b.m_bytes.data(), b.m_bytes.size());
        }
        CVeltraneDoc doc;
        ASSERT_TRUE(ReadBack(path, doc));
        doc.SetPathName(path);
        EXPECT_EQ(rig.m_acq.StartAcquiring(&doc, nullptr), tc.started);
        ASSERT_TRUE(rig.m_host.WaitEnd(rig.m_acq));
        EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);
        EXPECT_TRUE(rig.m_host.Messages().empty());
        EXPECT_TRUE(rig.DauCommands().empty());
        EXPECT_EQ(rig.m_host.m_shown,
                  tc.started ? std::vector<std::string>{LoadString(2082)} : std::vector<std::string>{});
    }
}

// A link that was closed takes every command and answers none. Closed before
// the start or in the middle of a scan, it ends the run with 2297 under every
// scan control, and the blocks taken before stay in the file.
TEST_F(AcquireTest, ClosedDauLinkEndsTheRun)
{
    struct
    {
        int type, move;
    } cases[] = {
        {CAcquireAES::Narrowscan, CAcquireAES_Scn::FullScan},
        {CAcquireAES::Narrowscan, CAcquireAES_Scn::Point},
        {CAcquireAES::Narrowscan, CAcquireAES_Scn::None},
        {CAcquireAES::Profile, CAcquireAES_Scn::FullScan},
    };
    for (const auto& tc : cases) {
        for (bool midScan : {false, true}) {
            SCOPED_TRACE(std::to_string(tc.type) + " move " + std::to_string(tc.move) +
                         (midScan ? " closed in a scan" : " closed before"));
            SAcqRig rig;
            SAesCase c(tc.type);
            c.m_sheet.scn.m_iMove = tc.move;
            c.m_sheet.scn.m_points = {{400, -400}};
            c.m_levels = {{1, 1, 0}, {2, 3, 2}, {}};
            c.m_regions.push_back(MakeRegion(100, 250, 1, 2));
            c.Build(m_dir, 1);
            if (midScan)
                rig.m_host.m_onData = [&](const SAcqUpdate&) { rig.m_dau.m_dau.Close(); };
            else
                rig.m_dau.m_dau.Close();
            ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
            const bool ended = rig.m_host.WaitEnd(rig.m_acq, 5);
            if (!ended) {
                rig.m_acq.StopAcquiring(true);
                rig.m_host.WaitEnd(rig.m_acq, 30);
            }
            ASSERT_TRUE(ended) << "still acquiring";
            EXPECT_EQ(rig.m_acq.GetStatus(), CAcquire::Inactive);
            if (!midScan && tc.move == CAcquireAES_Scn::FullScan) {
                // The beam's set-up fails: said at once, no run begun.
                EXPECT_TRUE(rig.m_host.Messages().empty());
                EXPECT_EQ(rig.m_host.m_shown, std::vector<std::string>{LoadString(2297)});
                continue;
            }
            EXPECT_EQ(rig.m_host.Result(), 2297) << Join(rig.m_host.m_shown);
            CVeltraneDoc back;
            ASSERT_TRUE(ReadBack(c.m_path, back));
            const auto values = SpectrumValues(back);
            EXPECT_EQ(values, SpectrumValues(c.m_doc));
            const auto taken = std::count_if(values.begin(), values.end(), [](double v) { return v != 0; });
            if (midScan) {
                EXPECT_GT(taken, 0);
                EXPECT_LT(taken, 250);
            } else {
                EXPECT_EQ(taken, 0);
            }
        }
    }
}

// The unit answers an etch when it is over; one still silent long after that
// ends the run with 2297, the data of the levels before kept.
TEST_F(AcquireTest, SilentDauAfterAnEtchEndsTheRun)
{
    SAcqRig rig;
    SAesCase c(CAcquireAES::Profile);
    c.m_sheet.scn.m_iMove = CAcquireAES_Scn::FullScan;
    c.m_levels = {{1, 1, 0}, {2, 3, 2}, {}};
    c.m_regions.push_back(MakeRegion(100, 40, 1, 1));
    c.Build(m_dir, 1);
    std::atomic<bool> silent{false}, done{false};
    rig.m_host.m_onData = [&](const SAcqUpdate& u) {
        if (u.m_iEnd == 40) { // the first level's scan is complete
            rig.m_dau.m_sim->InjectSilence(1000);
            silent = true;
        }
    };
    // Time passes while the engine waits on the silent unit.
    std::thread clock([&] {
        while (!done) {
            if (silent)
                rig.m_clock.Advance(10000);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
    const bool ended = rig.m_host.WaitEnd(rig.m_acq, 15);
    if (!ended) {
        rig.m_acq.StopAcquiring(true);
        rig.m_host.WaitEnd(rig.m_acq, 30);
    }
    done = true;
    clock.join();
    ASSERT_TRUE(ended) << "still waiting for the etch";
    EXPECT_EQ(rig.m_host.Result(), 2297);
    const auto dau = rig.DauCommands();
    EXPECT_EQ(Count(dau, "ETCH TM=2"), 1) << Join(dau);
    EXPECT_EQ(Count(dau, "ABRT"), 0) << "not aborted";
    CVeltraneDoc back;
    ASSERT_TRUE(ReadBack(c.m_path, back));
    const auto values = SpectrumValues(back);
    EXPECT_EQ(values, SpectrumValues(c.m_doc));
    EXPECT_EQ(std::count_if(values.begin(), values.end(), [](double v) { return v != 0; }), 40);
}

// A unit that goes on answering "nothing yet", or with the block it sent
// already, and never sends the rest of a scan ends the run with 2297 once
// nothing new has come for over a minute; the blocks taken before stay in
// the file.
TEST_F(AcquireTest, DauThatSendsNothingMoreEndsTheRun)
{
    const Packet sameBlock = CDauSimulator::FrameData("SBSP BL=4,ST=1,FN=100", Packet(400, 1));
    for (bool bRepeats : {false, true}) {
        SCOPED_TRACE(bRepeats ? "the same block again" : "nothing yet");
        SAcqRig rig;
        SAesCase c(CAcquireAES::Narrowscan);
        c.m_sheet.scn.m_iMove = CAcquireAES_Scn::FullScan;
        c.m_regions.push_back(MakeRegion(100, 250, 1, 1));
        c.Build(m_dir, 1);
        std::atomic<bool> injected{false};
        rig.m_host.m_onData = [&](const SAcqUpdate& u) {
            if (u.m_iStart == 1 && !injected.exchange(true)) // two hundred polls of a second
                for (int i = 0; i < 200; ++i) {
                    if (bRepeats)
                        rig.m_dau.m_sim->InjectReply(sameBlock);
                    else
                        rig.m_dau.m_sim->InjectStatus('5');
                }
        };
        const uint64_t start = rig.m_clock.TickCount();
        ASSERT_EQ(rig.m_acq.StartAcquiring(&c.m_doc, nullptr), 0);
        const bool ended = rig.m_host.WaitEnd(rig.m_acq, 5);
        if (!ended) {
            rig.m_acq.StopAcquiring(true);
            rig.m_host.WaitEnd(rig.m_acq, 30);
        }
        ASSERT_TRUE(ended) << "still polling";
        EXPECT_EQ(rig.m_host.Result(), 2297);
        const uint64_t waited = rig.m_clock.TickCount() - start;
        EXPECT_GT(waited, 60000u);
        EXPECT_LT(waited, 120000u);
        CVeltraneDoc back;
        ASSERT_TRUE(ReadBack(c.m_path, back));
        const auto values = SpectrumValues(back);
        EXPECT_EQ(values, SpectrumValues(c.m_doc));
        const auto taken = std::count_if(values.begin(), values.end(), [](double v) { return v != 0; });
        EXPECT_GT(taken, 0);
        EXPECT_LT(taken, 250);
    }
}
