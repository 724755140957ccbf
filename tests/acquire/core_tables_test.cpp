// The edit rules of the level and stage tables, the profile checks, and the
// file-name rules of Start and of the next run.

#include "acquire/core/XpsSetup.h"
#include "data/Region.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"

#include <gtest/gtest.h>

#include <limits>

namespace {
constexpr double X = CLevelInfo::NotValid;

struct Edit
{
    int col;
    const char* text;
};

std::vector<CLevelInfo> Rows(std::initializer_list<CLevelInfo> rows)
{
    return rows;
}

bool Same(const CLevelList& a, const CLevelList& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].m_dFrom != b[i].m_dFrom || a[i].m_dTo != b[i].m_dTo || a[i].m_dStep != b[i].m_dStep)
            return false;
    return true;
}

std::string Show(const CLevelList& l)
{
    std::string s;
    for (const auto& r : l)
        s += "(" + std::to_string(r.m_dFrom) + "," + std::to_string(r.m_dTo) + "," +
             std::to_string(r.m_dStep) + ")";
    return s;
}

unsigned Refusal(const CXpsSetup& s)
{
    try {
        s.CheckProfiles();
    } catch (const CAcqException& e) {
        return e.Error().id;
    }
    return 0;
}
} // namespace

TEST(LevelTable, EditsKeepTheListOrderedAndJoined)
{
    struct Case
    {
        const char* what;
        CLevelList before;
        int selected;
        std::vector<Edit> edits;
        CLevelList after;
        int selectedAfter;
    };
    const std::vector<Case> cases = {
        {"a row moved earlier trims the row before",
         Rows({{1, 5, 2}, {6, 10, 3}, {X, X, X}}),
         2,
         {{0, "4"}},
         Rows({{1, 3, 2}, {4, 10, 3}, {X, X, X}}),
         2},
        {"a gap gets a row of its own",
         Rows({{1, 10, 2}, {X, X, X}}),
         2,
         {{0, "12"}, {1, "15"}, {2, "3"}},
         Rows({{1, 10, 2}, {11, 11, 0}, {12, 15, 3}, {X, X, X}}),
         3},
        {"equal times merge",
         Rows({{1, 10, 2}, {X, X, X}}),
         2,
         {{0, "11"}, {1, "15"}, {2, "2"}},
         Rows({{1, 15, 2}, {X, X, X}}),
         1},
        {"a new row swallows and trims",
         Rows({{1, 5, 2}, {6, 8, 3}, {9, 25, 4}, {X, X, X}}),
         4,
         {{0, "3"}, {1, "20"}, {2, "5"}},
         Rows({{1, 2, 2}, {3, 20, 5}, {21, 25, 4}, {X, X, X}}),
         2},
        {"equal times do not join across levels no row names",
         Rows({{5, 10, 30}, {X, X, X}}),
         2,
         {{0, "1"}, {1, "2"}, {2, "30"}},
         Rows({{1, 2, 30}, {5, 10, 30}, {X, X, X}}),
         1},
        {"clearing a middle row removes it",
         Rows({{1, 5, 2}, {6, 8, 3}, {X, X, X}}),
         1,
         {{0, ""}, {1, ""}},
         Rows({{6, 8, 3}, {X, X, X}}),
         2},
        {"0 becomes 1 for level numbers",
         Rows({{X, X, X}}),
         1,
         {{0, "0"}, {1, "0"}, {2, "5"}},
         Rows({{1, 1, 5}, {X, X, X}}),
         1},
        {"To before First follows the edited column",
         Rows({{X, X, X}}),
         1,
         {{0, "8"}, {1, "3"}, {2, "1"}},
         Rows({{3, 3, 1}, {X, X, X}}),
         1},
    };
    for (const auto& c : cases) {
        CLevelList list = c.before;
        int s = c.selected;
        for (const auto& e : c.edits)
            LevelTable::Commit(list, s, e.col, e.text, true);
        EXPECT_TRUE(Same(list, c.after)) << c.what << ": " << Show(list);
        EXPECT_EQ(s, c.selectedAfter) << c.what;
    }
    // Angles: 0 is an angle like any other.
    CLevelList angles = Rows({{X, X, X}});
    int s = 1;
    LevelTable::Commit(angles, s, 0, "0", false);
    EXPECT_EQ(angles[0].m_dFrom, 0.0);
}

TEST(LevelTable, SelectionAndTotals)
{
    CLevelList list = Rows({{1, 5, 2}, {X, X, X}});
    int s = 1;
    EXPECT_FALSE(LevelTable::Select(list, s, 3)) << "the row after an empty last row";
    EXPECT_TRUE(LevelTable::Select(list, s, 2));
    EXPECT_EQ(s, 2);
    CLevelList full = Rows({{1, 5, 2}, {6, 8, 3}});
    EXPECT_TRUE(LevelTable::Select(full, s, 3));
    EXPECT_EQ(full.size(), 3u);

    const auto depth = LevelTable::Compute(Rows({{1, 5, 2}, {6, 8, 3}, {X, X, X}}), true);
    EXPECT_DOUBLE_EQ(depth.time, 19);
    EXPECT_EQ(depth.levels, 8);
    // Angles: a step of zero or less counts nothing (it would never end).
    const auto angle = LevelTable::Compute(Rows({{0, 30, 10}, {40, 50, 0}, {60, 70, -5}, {X, X, X}}), false);
    EXPECT_EQ(angle.levels, 4);
    EXPECT_EQ(LevelTable::Compute(Rows({{0, 0.7, 0.1}, {1.1, 4.1, 1}, {X, X, X}}), false).levels, 12)
        << "8 and 4 angles, though the divisions fall a hair short in binary";
    EXPECT_EQ(LevelTable::Compute(Rows({{1, 1e300, 2}, {X, X, X}}), true).levels,
              std::numeric_limits<long long>::max())
        << "a damaged file's level number";
    const auto huge = LevelTable::Compute(Rows({{0, 1e10, 0.001}}), false);
    EXPECT_GT(huge.levels, 1000000000000LL);
}

TEST(XpsProfiling, GroupsInUseAreChecked)
{
    CXpsSetup s;
    s.m_Exp.m_iExperiment = CAcquireXPS::DepthProfile;
    s.m_Exp.m_iMovement = CAcquireXPS::Normal;
    auto& depth = *s.m_Stg.GetGroups()[0]->GetProfile()->GetLevelList(CAcquireProfile::DepthProfile);
    EXPECT_EQ(Refusal(s), 2132u);
    depth = Rows({{1, 10, 3601}, {X, X, X}});
    EXPECT_EQ(Refusal(s), 2136u);
    depth = Rows({{1, 10, 2}, {X, X, X}});
    EXPECT_EQ(Refusal(s), 0u) << "a stored list of one row and the empty row";
    depth = Rows({{0, 10, 2}, {X, X, X}});
    EXPECT_EQ(Refusal(s), 2133u);
    depth = Rows({{5, 3, 2}, {X, X, X}});
    EXPECT_EQ(Refusal(s), 2135u);

    s.m_Exp.m_iExperiment = CAcquireXPS::AngleResolved;
    auto& angles = *s.m_Stg.GetGroups()[0]->GetProfile()->GetLevelList(CAcquireProfile::AngleResolved);
    angles = Rows({{0, 5, 10}, {X, X, X}});
    EXPECT_EQ(Refusal(s), 2137u);
    angles = Rows({{0, 30, 10}, {X, X, X}});
    EXPECT_EQ(Refusal(s), 0u);
    // 4.1 - 3.1 is a hair under 1 in binary: still one whole step.
    s.m_Exp.m_iExperiment = CAcquireXPS::TotalReflection;
    auto& tr = *s.m_Stg.GetGroups()[0]->GetProfile()->GetLevelList(CAcquireProfile::TotalReflection);
    tr = Rows({{3.1, 4.1, 1}, {X, X, X}});
    EXPECT_EQ(Refusal(s), 0u);
    tr = Rows({{3.1, 4, 1}, {X, X, X}});
    EXPECT_EQ(Refusal(s), 2137u);
}

TEST(XpsStage, EditsAndGroupDeletion)
{
    CXpsSetup s;
    CXpsStgModel& stg = s.m_Stg;
    const int m = CAcquireXPS::Normal;
    ASSERT_TRUE(stg.SelectRow(m, 2));
    stg.CommitEdit(m, 0, "5");
    EXPECT_EQ(stg.m_GridData[m].size(), 2u) << "no new row until Last is set";
    stg.CommitEdit(m, 1, "7");
    ASSERT_EQ(stg.m_GridData[m].size(), 3u);
    EXPECT_EQ(stg.m_GridData[m][2].m_csGroup, "Default");

    CStageGroup* g = stg.AddGroup("Steel");
    g->m_Regions.push_back(new CRegion);
    g->m_Regions.push_back(s.m_Rgn.GetWidescanRgn());
    stg.CommitEdit(m, 2, "Steel");
    stg.m_GridData[CAcquireXPS::Memory].insert(stg.m_GridData[CAcquireXPS::Memory].begin(),
                                               CAcquireXPS_Stg::CGridRow{3, 3, "Steel", ""});
    stg.DeleteGroup(1, s.m_Rgn.GetWidescanRgn());
    EXPECT_EQ(stg.GetGroups().size(), 1u);
    for (int move : {m, int(CAcquireXPS::Memory)})
        for (const auto& row : stg.m_GridData[move])
            EXPECT_NE(row.m_csGroup, "Steel");
    EXPECT_EQ(s.m_Rgn.GetWidescanRgn()->GetName(), "Wide") << "the shared region lives on";

    // Clearing both numbers of a middle row removes it; the last row stays.
    ASSERT_TRUE(stg.SelectRow(m, 1));
    stg.CommitEdit(m, 0, "");
    stg.CommitEdit(m, 1, "");
    EXPECT_EQ(stg.m_GridData[m].size(), 1u);
}

TEST(XpsFileNames, NextRunAndStart)
{
    const std::pair<const char*, const char*> next[] = {
        {"run9.vlt", "run10.vlt"},
        {"run007.vlt", "run8.vlt"},
        {"sample.vlt", "sample.vlt"},
        {"run99.vlt", "run100.vlt"},
        {"run0099.vlt", "run100.vlt"},
        {"a1234567890.vlt", "a1234567891.vlt"},
        // Numbers past nine digits go on as they are, not from their last nine.
        {"x9999999999", "x10000000000"},
        {"run1000000000.vlt", "run1000000001.vlt"},
        {"xps2026121109.vlt", "xps2026121110.vlt"},
        {"  ", ""},
        // A folder is not the run's: its dots and numbers stay.
        {"/data/v2.d/run", "/data/v2.d/run"},
        {"/data/v2.d/run9", "/data/v2.d/run10"},
        {"/data/run7/sample", "/data/run7/sample"},
    };
    for (const auto& [in, out] : next)
        EXPECT_EQ(CXpsExpModel::NextFileName(in), out) << in;
    const std::pair<const char*, const char*> start[] = {
        {"a.VLT", "a.VLT"}, {"a", "a.vlt"}, {"a.txt", "a.txt.vlt"}, {"a.vlt  ", "a.vlt"}, {"   ", ""},
    };
    for (const auto& [in, out] : start)
        EXPECT_EQ(ResolveDataFileName(in, ".vlt"), out) << in;
    EXPECT_DOUBLE_EQ(TruncEnergy(1.005), 1.005);
    EXPECT_DOUBLE_EQ(TruncEnergy(1.0059), 1.005);
}

TEST(ProfileLevels, RowsComeBackFromThePositionsTheyMade)
{
    // Rows to a document's levels (the records) and back (Open of a data file).
    struct Case
    {
        int exp;
        int method;
        CLevelList rows;
        CLevelList back;
    };
    const std::vector<Case> cases = {
        // Times 10, 20, 30, 50: the first row takes the first level's own time.
        {CAcquireXPS::DepthProfile, CAcquireProfile::DepthProfile, Rows({{1, 3, 10}, {4, 4, 20}, {X, X, X}}),
         Rows({{1, 3, 10}, {4, 4, 20}, {X, X, X}})},
        {CAcquireXPS::AngleResolved, CAcquireProfile::AngleResolved, Rows({{0, 30, 10}, {X, X, X}}),
         Rows({{0, 30, 10}, {X, X, X}})},
        {CAcquireXPS::AngleResolved, CAcquireProfile::AngleResolved, Rows({{45, 45, 5}, {X, X, X}}),
         Rows({{45, 45, 1}, {X, X, X}})},
        // Decimal steps: 0.3 - 0.2 is not 0.1 in binary, and 4.1 - 1.1 a hair under 3.
        {CAcquireXPS::TotalReflection, CAcquireProfile::TotalReflection, Rows({{0, 0.3, 0.1}, {X, X, X}}),
         Rows({{0, 0.3, 0.1}, {X, X, X}})},
        {CAcquireXPS::TotalReflection, CAcquireProfile::TotalReflection, Rows({{1.1, 4.1, 1}, {X, X, X}}),
         Rows({{1.1, 4.1, 1}, {X, X, X}})},
        // Levels before the first row are measured unetched; a hole between rows likewise.
        {CAcquireXPS::DepthProfile, CAcquireProfile::DepthProfile, Rows({{3, 4, 10}, {7, 8, 5}, {X, X, X}}),
         Rows({{1, 2, 0}, {3, 4, 10}, {5, 6, 0}, {7, 8, 5}, {X, X, X}})},
    };
    for (const auto& c : cases) {
        CXpsSetup s;
        s.m_Exp.SetExperiment(c.exp);
        *s.m_Stg.GetGroups()[0]->GetProfile()->GetLevelList(c.method) = c.rows;
        CVeltraneDoc doc;
        BuildXpsDocument(doc, s);
        ASSERT_EQ(doc.GetNumStagePosns(), 1);
        CProfileLevels back;
        back.Load(doc.GetStagePosn(0), c.method);
        EXPECT_TRUE(Same(*back.GetLevelList(c.method), c.back)) << Show(*back.GetLevelList(c.method));
    }
}
