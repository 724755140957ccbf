// Settings files against hand-built bytes: read, written back identical,
// refused whole when cut short or malformed.

#include "SettingsBytes.h"
#include "TempDir.h"
#include "acquire/core/XpsSetup.h"
#include "data/Region.h"
#include "data/Source.h"
#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/File.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {
std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

XpsSettingsFile::Kind ReadBytes(const std::vector<uint8_t>& bytes, CXpsSetup& into, CAcqError& error)
{
    CMemFile file(bytes, "golden.saq");
    return XpsSettingsFile::Read(file, "/data/golden.saq", into, error);
}
} // namespace

TEST(XpsSettingsFile, ReadsTheDocumentedLayoutAndWritesItBackIdentical)
{
    const auto golden = GoldenXps();
    CXpsSetup s;
    CAcqError error;
    ASSERT_EQ(ReadBytes(golden, s, error), XpsSettingsFile::Kind::Settings) << error.Text();

    EXPECT_EQ(s.GetExpType(), CAcquireXPS::Narrowscan);
    EXPECT_EQ(s.GetMoveType(), CAcquireXPS::Normal);
    EXPECT_EQ(s.m_Exp.m_csFileName, "run7.vlt");
    EXPECT_EQ(s.m_Exp.m_csComment, "note");
    EXPECT_EQ(s.m_Exp.GetNumPosns(), 12);
    EXPECT_EQ(s.m_Exp.m_iMovements[5], 1);
    EXPECT_EQ(s.m_Src.m_iType, 1);
    EXPECT_DOUBLE_EQ(s.m_Src.m_dVoltage, 12.5);
    EXPECT_DOUBLE_EQ(s.m_Src.m_dCurrent, 20.0);

    const auto& groups = s.m_Stg.GetGroups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0]->GetName(), "Default");
    EXPECT_EQ(groups[1]->GetName(), "Steel");
    EXPECT_EQ(s.m_Stg.m_GridData[CAcquireXPS::Normal].size(), 3u);
    EXPECT_EQ(s.m_Stg.GetStartPosn(CAcquireXPS::Normal), 1);
    EXPECT_EQ(s.m_Stg.GetEndPosn(CAcquireXPS::Normal), 12);
    const auto& depth = *groups[0]->GetProfile()->GetLevelList(CAcquireProfile::DepthProfile);
    ASSERT_EQ(depth.size(), 2u);
    EXPECT_DOUBLE_EQ(depth[0].m_dTo, 10);
    EXPECT_TRUE(depth[1].IsEmpty());
    // The stored "Wide" of a group becomes the page's own wide-scan region.
    ASSERT_EQ(groups[1]->m_Regions.size(), 2u);
    EXPECT_EQ(groups[1]->m_Regions[1], s.m_Rgn.GetWidescanRgn());
    EXPECT_DOUBLE_EQ(s.m_Rgn.GetWidescanRgn()->m_dFinish, 1100);
    EXPECT_EQ(groups[1]->m_Regions[0]->GetName(), "Fe");
    EXPECT_EQ(s.m_Prf.m_iDuty, 3);
    EXPECT_EQ(s.m_Prf.m_iPreset, 5);
    EXPECT_EQ(s.m_Rgn.m_iAnalyserMode, 1);
    EXPECT_EQ(s.m_Img.m_iMode, 1);
    EXPECT_EQ(s.m_Img.m_iSize, 4);
    EXPECT_DOUBLE_EQ(s.m_Img.m_dStep, 0.5);

    CTempDir dir;
    XpsSettingsFile::Write(s, dir / "again.saq");
    EXPECT_EQ(ReadAll(dir / "again.saq"), golden);
}

TEST(XpsSettingsFile, EveryTruncationIsRefusedWithAReason)
{
    const auto golden = GoldenXps();
    for (size_t n = 0; n < golden.size(); ++n) {
        const std::vector<uint8_t> cut(golden.begin(), golden.begin() + long(n));
        CXpsSetup s;
        CAcqError error;
        ASSERT_EQ(ReadBytes(cut, s, error), XpsSettingsFile::Kind::Refused) << n;
        EXPECT_TRUE(error.id == 2065 || error.id == 2068) << n << ": " << error.id;
    }
}

TEST(XpsSettingsFile, HeaderAndValueChecks)
{
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
        unsigned id;
        const char* arg;
    };
    auto patch = [](size_t at, int32_t v) {
        auto b = GoldenXps();
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
        return b;
    };
    auto named = [](const std::string& name) {
        auto b = GoldenXps();
        std::fill(b.begin(), b.begin() + 12, 0);
        std::copy(name.begin(), name.end(), b.begin());
        return b;
    };
    const std::vector<Case> cases = {
        {"AES settings", patch(12, 1), 2160, "/data/golden.saq"},
        {"another program", named("Spectra"), 2069, "golden.saq"},
        {"the older program", named("Norvale"), 2161, "golden.saq"},
        {"experiment out of range", patch(24, 6), 2129, "golden.saq"},
        {"movement out of range", patch(24 + 4 + 9 + 5, -1), 2129, "golden.saq"},
        {"movement this stage cannot make", patch(24 + 4 + 9 + 5, CAcquireXPS::Rotary), 2129, "golden.saq"},
        {"six counts that the file cannot hold", patch(24 + 4 + 9 + 5 + 4, 100000), 2068, "golden.saq"},
    };
    for (const auto& c : cases) {
        CXpsSetup s;
        CAcqError error;
        const auto kind = ReadBytes(c.bytes, s, error);
        EXPECT_EQ(kind, XpsSettingsFile::Kind::Refused) << c.what;
        EXPECT_EQ(error.id, c.id) << c.what;
        ASSERT_EQ(error.args.size(), 1u) << c.what;
        EXPECT_EQ(error.args[0], c.arg) << c.what;
    }
    // An empty stored name passes the program-name check; type 0 is a data file.
    auto data = named("");
    data[12] = 0;
    CXpsSetup s;
    CAcqError error;
    EXPECT_EQ(ReadBytes(data, s, error), XpsSettingsFile::Kind::DataFile);
}

TEST(XpsSettingsFile, ASettingsFileOfTheSheetRoundTripsThroughTheWriter)
{
    // Three groups, all six counts and remembered movements, regions and levels.
    CXpsSetup s;
    s.m_Exp.m_iExperiment = CAcquireXPS::DepthProfile;
    s.m_Exp.m_iMovement = CAcquireXPS::Memory;
    for (int i = 0; i < 6; ++i) {
        s.m_Exp.m_nPosns[i] = 10 + i;
        s.m_Exp.m_iMovements[i] = (i * 5) % 6;
    }
    for (const char* name : {"A", "B"}) {
        CStageGroup* g = s.m_Stg.AddGroup(name);
        auto* r = new CRegion;
        r->m_csName = std::string("O") + name;
        g->m_Regions.push_back(r);
        g->m_Regions.push_back(s.m_Rgn.GetWidescanRgn());
        *g->GetProfile()->GetLevelList(0) = {CLevelInfo(1, 10, 2), CLevelInfo()};
    }
    CTempDir dir;
    XpsSettingsFile::Write(s, dir / "a.saq");
    CFile file(dir / "a.saq", CFile::modeRead);
    CXpsSetup back;
    CAcqError error;
    ASSERT_EQ(XpsSettingsFile::Read(file, dir / "a.saq", back, error), XpsSettingsFile::Kind::Settings);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(back.m_Exp.m_nPosns[i], 10 + i);
        EXPECT_EQ(back.m_Exp.m_iMovements[i], (i * 5) % 6);
    }
    ASSERT_EQ(back.m_Stg.GetGroups().size(), 3u);
    EXPECT_EQ(back.m_Stg.GetGroups()[2]->GetName(), "B");
    EXPECT_EQ(back.m_Stg.GetGroups()[2]->m_Regions[0]->GetName(), "OB");
    EXPECT_EQ(back.m_Stg.GetGroups()[2]->m_Regions[1], back.m_Rgn.GetWidescanRgn());
    EXPECT_EQ(back.m_Stg.GetGroups()[1]->GetProfile()->GetLevelList(0)->size(), 2u);
    EXPECT_EQ(back.m_iGroup, 0);
}

TEST(XpsDocumentLoad, AMovementThisInstrumentCannotMakeLoadsNothing)
{
    SXpsInstrument mapping;
    mapping.stageType = 3; // Planar allowed
    CXpsSetup made(mapping);
    made.m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    made.m_Exp.SetMovement(CAcquireXPS::Planar);
    made.m_Stg.m_GridData[CAcquireXPS::Planar].insert(made.m_Stg.m_GridData[CAcquireXPS::Planar].begin(),
                                                      CAcquireXPS_Stg::CGridRow{5, 6, "Default", ""});
    CVeltraneDoc doc;
    BuildXpsDocument(doc, made);

    SXpsInstrument plain;
    plain.stageType = 1;
    CXpsSetup into(plain);
    into.m_Exp.m_csComment = "kept";
    const CAcqError error = LoadXpsFromDocument(doc, "made.vlt", into);
    EXPECT_EQ(error.id, 2129u);
    ASSERT_EQ(error.args.size(), 1u);
    EXPECT_EQ(error.args[0], "made.vlt");
    EXPECT_EQ(into.m_Exp.m_csComment, "kept");

    CXpsSetup same(mapping);
    EXPECT_FALSE(LoadXpsFromDocument(doc, "made.vlt", same));
    EXPECT_EQ(same.GetMoveType(), CAcquireXPS::Planar);
}

TEST(XpsDocumentLoad, TheStageRowsThatRanComeBackAndPassTheirChecks)
{
    // Opening the set-up of a data file must give back the points, the line
    // or the position ranges the stage went to, and Start must take them: a
    // planar point is not the position's number (0, a point at the origin),
    // and positions 3 to 9 are not out of range because there are seven.
    using Row = CAcquireXPS_Stg::CGridRow;
    const struct
    {
        const char* name;
        int exp, move, posns;
        std::vector<Row> rows;
    } cases[] = {
        {"planar narrow scan", CAcquireXPS::Narrowscan, CAcquireXPS::Planar, 1,
         {{12.5, 3, "Default", "edge"}, {0, 99, "Default", "edge"}, {40.125, 0.001, "Default", "edge"}}},
        {"planar wide scan", CAcquireXPS::Widescan, CAcquireXPS::Planar, 1, {{7, 8.5, "Default", ""}}},
        {"linear narrow scan", CAcquireXPS::Narrowscan, CAcquireXPS::Linear, 9, {{3, 9, "Default", "line"}}},
        {"normal positions 3 to 9", CAcquireXPS::Narrowscan, CAcquireXPS::Normal, 12,
         {{3, 5, "Default", "a"}, {6, 9, "Default", "b"}}},
        {"memory position 4 alone", CAcquireXPS::Widescan, CAcquireXPS::Memory, 6, {{4, 4, "Default", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CXpsSetup made;
        made.m_Exp.SetExperiment(c.exp);
        made.m_Exp.SetMovement(c.move);
        made.m_Exp.m_nPosns[c.move] = c.posns;
        auto& list = made.m_Stg.m_GridData[c.move];
        list = c.rows;
        list.push_back({CLevelInfo::NotValid, CLevelInfo::NotValid, EmptyText, EmptyText});
        ASSERT_NO_THROW(made.m_Stg.Check(c.exp, c.move, made.m_Exp.GetNumPosns()));
        CVeltraneDoc doc;
        BuildXpsDocument(doc, made);

        CXpsSetup back;
        ASSERT_FALSE(LoadXpsFromDocument(doc, "made.vlt", back));
        ASSERT_EQ(back.GetMoveType(), c.move);
        const auto& rows = back.m_Stg.m_GridData[c.move];
        ASSERT_EQ(rows.size(), list.size());
        for (size_t i = 0; i + 1 < list.size(); ++i) {
            EXPECT_EQ(rows[i].m_dFirst, list[i].m_dFirst) << "row " << i;
            EXPECT_EQ(rows[i].m_dLast, list[i].m_dLast) << "row " << i;
        }
        EXPECT_EQ(rows.back().m_dFirst, CLevelInfo::NotValid);
        EXPECT_EQ(rows.back().m_dLast, CLevelInfo::NotValid);
        EXPECT_NO_THROW(back.m_Stg.Check(c.exp, c.move, back.m_Exp.GetNumPosns()));

        // Started again, the run goes to the same places.
        CVeltraneDoc again;
        BuildXpsDocument(again, back);
        ASSERT_EQ(again.GetNumStagePosns(), doc.GetNumStagePosns());
        for (int i = 0; i < doc.GetNumStagePosns(); ++i) {
            const CStagePosn& a = *doc.GetStagePosn(i);
            const CStagePosn& b = *again.GetStagePosn(i);
            EXPECT_EQ(b.GetPosnNum(), a.GetPosnNum()) << "position " << i;
            ASSERT_EQ(b.GetNumPoints(-1), a.GetNumPoints(-1)) << "position " << i;
            for (int k = 0; k < a.GetNumPoints(-1); ++k) {
                EXPECT_EQ(b.GetCoord(0, k), a.GetCoord(0, k)) << "position " << i << " point " << k;
                EXPECT_EQ(b.GetCoord(1, k), a.GetCoord(1, k)) << "position " << i << " point " << k;
            }
        }
    }
}

TEST(XpsSettingsFile, ManyImageRegionsWithShortRecordsRoundTrip)
{
    // The smallest region record is 91 bytes; a count checked against a larger
    // size refused files whose image regions had short names.
    CXpsSetup s;
    for (int i = 0; i < 12; ++i) {
        auto* r = new CRegion;
        r->m_csName = "C";
        s.m_Rgn.m_ImageRegions.push_back(r);
    }
    CTempDir dir;
    XpsSettingsFile::Write(s, dir / "i.saq");
    CFile file(dir / "i.saq", CFile::modeRead);
    CXpsSetup back;
    CAcqError error;
    ASSERT_EQ(XpsSettingsFile::Read(file, dir / "i.saq", back, error), XpsSettingsFile::Kind::Settings)
        << error.Text();
    EXPECT_EQ(back.m_Rgn.m_ImageRegions.size(), 12u);
}

TEST(XpsSettingsFile, ASetUpFromAnotherInstrumentRunsOnlyWhatThisOneCanMake)
{
    // Saved where the stage rotates and holds twelve samples.
    SXpsInstrument rotary;
    rotary.stageType = 2;
    rotary.maxNormal = 12;
    CXpsSetup made(rotary);
    made.m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    made.m_Exp.SetMovement(CAcquireXPS::Normal);
    made.m_Exp.m_nPosns[CAcquireXPS::Normal] = 12;
    made.m_Stg.m_GridData[CAcquireXPS::Normal].front() = {1, 12, "Default", ""};
    made.m_Exp.SetExperiment(CAcquireXPS::AngleResolved);
    made.m_Exp.SetMovement(CAcquireXPS::Rotary);
    made.m_Exp.SetExperiment(CAcquireXPS::Narrowscan);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        XpsSettingsFile::Store(made, ar);
        ar.Close();
    }

    // Opened where the stage neither rotates nor holds more than six.
    SXpsInstrument plain;
    plain.maxNormal = 6;
    CXpsSetup here(plain);
    CMemFile in(file.Data(), "made.saq");
    CAcqError error;
    ASSERT_EQ(XpsSettingsFile::Read(in, "made.saq", here, error), XpsSettingsFile::Kind::Settings)
        << error.Text();
    here.m_Stg.GetGroups()[0]->m_Regions.push_back(new CRegion);
    CRegion& r = *here.m_Stg.GetGroups()[0]->m_Regions[0];
    r.m_dStart = 100, r.m_dFinish = 110, r.m_dStep = 1, r.m_dDwell = 100, r.m_nScans = 1, r.m_iRepeat = 1;
    try {
        here.Check(true);
        ADD_FAILURE() << "positions 7 to 12 were let through";
    } catch (const CAcqException& e) {
        EXPECT_EQ(e.Error().Text(), "Please enter an integer between 1 and 6.");
    }
    here.m_Exp.m_nPosns[CAcquireXPS::Normal] = 6;
    here.m_Stg.m_GridData[CAcquireXPS::Normal].front() = {1, 6, "Default", ""};
    EXPECT_NO_THROW(here.Check(true));

    // The movement remembered for the angle-resolved experiment is one this
    // stage cannot make: choosing that experiment brings one it can.
    here.m_Exp.SetExperiment(CAcquireXPS::AngleResolved);
    EXPECT_TRUE(here.m_Exp.IsAllowed(CAcquireXPS::AngleResolved, here.GetMoveType())) << here.GetMoveType();
    EXPECT_EQ(here.GetMoveType(), CAcquireXPS::Normal);
}

TEST(XpsSettingsFile, AnAnodesPhotonEnergyIsThisInstruments)
{
    // Saved where Al Ka is 1486.6 eV, opened where it is configured as 1486.7.
    // The source page shows this instrument's energy, but the run took the
    // file's unless that page had been shown.
    CXpsSetup made;
    made.m_Src.m_iType = 1;
    made.m_Src.m_dEnergy = 1486.6;
    CVeltraneDoc acquired;
    BuildXpsDocument(acquired, made);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        XpsSettingsFile::Store(made, ar);
        ar.Close();
    }
    struct Restore
    {
        ~Restore() { CSource::SetPhotonEnergies(1253.6, 1486.6); }
    } restore;
    CSource::SetPhotonEnergies(1253.6, 1486.7);

    CXpsSetup here;
    CMemFile in(file.Data(), "al.saq");
    CAcqError error;
    ASSERT_EQ(XpsSettingsFile::Read(in, "al.saq", here, error), XpsSettingsFile::Kind::Settings);
    CVeltraneDoc doc;
    BuildXpsDocument(doc, here);
    EXPECT_EQ(doc.GetSource()->GetEnergy(), 1486.7);

    CXpsSetup fromData;
    ASSERT_FALSE(LoadXpsFromDocument(acquired, "made.vlt", fromData));
    EXPECT_EQ(fromData.m_Src.m_dEnergy, 1486.7);

    // Another source keeps the energy typed for it.
    made.m_Src.m_iType = 2;
    made.m_Src.m_dEnergy = 1500.5;
    CMemFile other;
    {
        CArchive ar(&other, CArchive::store);
        XpsSettingsFile::Store(made, ar);
        ar.Close();
    }
    CMemFile in2(other.Data(), "other.saq");
    CXpsSetup typed;
    ASSERT_EQ(XpsSettingsFile::Read(in2, "other.saq", typed, error), XpsSettingsFile::Kind::Settings);
    EXPECT_EQ(typed.m_Src.m_dEnergy, 1500.5);
}
