// The acquisition engine against both simulators through the real link code,
// on a manual clock: stop rules, loop and pass order, repeat counts, save
// points, preparation failures, aborts and end moves, faults.

#include "AcquireSupport.h"

#include "data/SpecRgn.h"
#include "data/Trace.h"
#include "platform/File.h"

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
