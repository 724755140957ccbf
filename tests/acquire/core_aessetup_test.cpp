// The AES set-up without the toolkit: the experiment and profiling models,
// the settings file against hand-built bytes, the load from a stored
// document and the order of the checks at Start.

#include "SettingsBytes.h"
#include "TempDir.h"
#include "acquire/core/AesSetup.h"
#include "acquire/core/XpsSetup.h"
#include "data/Experiment.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "platform/Archive.h"
#include "platform/File.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include <limits>
#include <iterator>

namespace {
using Row = CAcquireProfile::CLevelInfo;

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

AesSettingsFile::Kind ReadBytes(const std::vector<uint8_t>& bytes, CAesSetup& into, CAcqError& error)
{
    CMemFile file(bytes, "golden.saq");
    return AesSettingsFile::Read(file, "/data/golden.saq", into, error);
}

template <class Model> std::vector<uint8_t> Stored(const Model& m)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        m.Store(ar);
        ar.Close();
    }
    std::vector<uint8_t> bytes(size_t(file.GetLength()));
    file.SeekToBegin();
    file.Read(bytes.data(), bytes.size());
    return bytes;
}

template <class Model> void LoadBytes(Model& m, const std::vector<uint8_t>& bytes)
{
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    m.Load(ar);
}

CBytes ExperimentSection()
{
    CBytes f;
    f.i32(CAcquireAES::Profile).str("depth12.vlt").str("Si wafer");
    return f;
}

CBytes ProfilingSection()
{
    CBytes f;
    // manual, rotate, three rows, the table's empty row among them
    f.i32(1).i32(1).i32(3).f64(1).f64(5).f64(2).f64(6).f64(10).f64(3).f64(Inf).f64(Inf).f64(Inf);
    return f;
}

// The whole file: a depth profile at two points, one wide-scan region.
std::vector<uint8_t> GoldenAes()
{
    CBytes f;
    f.header(1);
    const auto exp = ExperimentSection().b;
    f.b.insert(f.b.end(), exp.begin(), exp.end());
    // Scan control: points, size choice, magnification, resolution, line scan, points, areas
    f.i32(CAcquireAES_Scn::Point).i32(256).i32(2000).i32(1).i32(0);
    f.i32(2).i32(-100).i32(50).i32(20).i32(-30);
    f.i32(0);
    const auto prf = ProfilingSection().b;
    f.b.insert(f.b.end(), prf.begin(), prf.end());
    // Regions: wide, narrow, analyser modes; the wide-scan list; no narrow-scan or image region
    f.i32(0).i32(0).i32(0);
    f.i32(1).region("Wide", "", 0, 1000, 1, 500, 0, 1000, 100, 50, 1, 1, -1);
    f.i32(0).i32(0);
    return f.b;
}

// The scan and regions sections are written by their own models.
bool AllSectionsWritten()
{
    CAesSetup s;
    return !Stored(s.m_Scn).empty() && !Stored(s.m_Rgn).empty();
}

void ExpectLevels(const std::vector<Row>& got, const std::vector<Row>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].IsEmpty(), want[i].IsEmpty()) << i;
        if (!want[i].IsEmpty()) {
            EXPECT_EQ(got[i].m_dFrom, want[i].m_dFrom) << i;
            EXPECT_EQ(got[i].m_dTo, want[i].m_dTo) << i;
            EXPECT_EQ(got[i].m_dStep, want[i].m_dStep) << i;
        }
    }
}
} // namespace

TEST(AesExpModel, NextFileNameAtTheEndOfARun)
{
    const std::pair<const char*, const char*> cases[] = {
        {"depth12.vlt", "depth13.vlt"}, {"depth.vlt", "depth.vlt"}, {"", ""},
        {"run007.vlt", "run8.vlt"},     {"scan9", "scan10"},        {"a1234567890", "a1234567891"},
        {"/d.v/run", "/d.v/run"},       {" name ", " name "},       {" run3.vlt ", "run4.vlt"},
    };
    for (const auto& [in, out] : cases) {
        CAesExpModel e;
        e.m_csFileName = in;
        e.OnAcqEnd();
        EXPECT_EQ(e.m_csFileName, out) << in;
    }
}

TEST(AesExpModel, ExperimentTypeRangeAndDocumentCodes)
{
    CAesExpModel e;
    for (int t : {0, 5})
        EXPECT_NO_THROW((e.m_iExperiment = t, e.ErrorCheck()));
    for (int t : {-1, 6, 7}) {
        e.m_iExperiment = t;
        try {
            e.ErrorCheck();
            ADD_FAILURE() << t;
        } catch (const CAcqException& x) {
            EXPECT_EQ(x.Error().id, 2082u);
        }
    }
    const std::pair<int, int> codes[] = {{0x101, 0}, {0x102, 1}, {0x104, 2},  {0x404, 3},
                                         {0x201, 4}, {0x202, 5}, {0x103, -1}, {0, -1}};
    for (const auto& [code, type] : codes)
        EXPECT_EQ(CAesExpModel::ExpTypeOfCode(code), type) << std::hex << code;
}

TEST(AesPrfModel, ResetClearAndTotals)
{
    CAesPrfModel p;
    ExpectLevels(p.m_Levels, {Row()});
    p.OnReset();
    ExpectLevels(p.m_Levels, {{1, 5, 2}, {6, 10, 3}, {11, 15, 4}, {16, 20, 5}, {21, 25, 6}, {}});
    EXPECT_EQ(p.GetTotals().levels, 25);
    EXPECT_EQ(p.GetTotals().time, 5 * (2 + 3 + 4 + 5 + 6));
    p.m_Levels = {{1, 5, 2}, {6, 10, 3}, {}};
    EXPECT_EQ(p.GetTotals().levels, 10);
    EXPECT_EQ(p.GetTotals().time, 25);
    // Numbers of a damaged file that no int holds show as the most there is.
    p.m_Levels = {{1, 1e300, 2}, {1e300, 1e308, 1e300}, {}};
    EXPECT_EQ(p.GetTotals().levels, std::numeric_limits<int>::max());
    EXPECT_EQ(p.GetTotals().time, std::numeric_limits<long long>::max());
    p.m_iSelRow = 3;
    p.OnClear();
    ExpectLevels(p.m_Levels, {Row()});
    EXPECT_EQ(p.m_iSelRow, 1);
    EXPECT_EQ(p.GetTotals().levels, 0);
    EXPECT_EQ(p.GetTotals().time, 0);
}

TEST(AesPrfModel, ChecksOnlyForTheProfileTypes)
{
    struct Case
    {
        const char* what;
        std::vector<Row> rows;
        int exp;
        unsigned id; // 0: passes
    };
    const std::vector<Case> cases = {
        {"only the empty row", {Row()}, CAcquireAES::Profile, 2104},
        {"no row at all", {}, CAcquireAES::FastProfile, 2104},
        {"a partial row from a file and two empty rows", {{1, Inf, 2}, {}, {}}, CAcquireAES::Profile, 2104},
        {"a non-profile type skips the checks", {Row()}, CAcquireAES::Widescan, 0},
        {"an hour and a second", {{1, 10, 3601}, {}}, CAcquireAES::Profile, 2105},
        {"exactly an hour", {{1, 10, 3600}, {}}, CAcquireAES::Profile, 0},
        {"a gap row of time 0", {{1, 2, 5}, {3, 4, 0}, {5, 6, 5}, {}}, CAcquireAES::Profile, 0},
        {"too long, not a profile", {{1, 10, 5000}, {}}, CAcquireAES::SEImage, 0},
    };
    for (const auto& c : cases) {
        CAesPrfModel p;
        p.m_Levels = c.rows;
        unsigned got = 0;
        try {
            p.ErrorCheck(c.exp);
        } catch (const CAcqException& e) {
            got = e.Error().id;
            if (got == 2105) {
                EXPECT_EQ(e.Error().Text(), "The etch time for a level cannot exceed 3600 seconds.");
            }
        }
        EXPECT_EQ(got, c.id) << c.what;
    }
}

TEST(AesSetup, StartChecksThePagesInOrder)
{
    CAesSetup s;
    s.m_Exp.m_iExperiment = 7;
    s.m_Prf.m_Levels = {Row()};
    try {
        s.Check();
        FAIL();
    } catch (const CAcqException& e) {
        EXPECT_EQ(e.Error().id, 2082u) << "the experiment page comes before the profiling page";
    }
    s.m_Exp.m_iExperiment = CAcquireAES::Profile;
    try {
        s.Check();
        FAIL();
    } catch (const CAcqException& e) {
        EXPECT_EQ(e.Error().id, 2104u);
    }
}

// A region of a profile takes part in every repeat-th level: one that
// repeats less often than there are levels would never be measured.
TEST(AesSetup, StartRefusesARegionRepeatedLessOftenThanTheProfileHasLevels)
{
    const struct
    {
        int exp, repeat;
        unsigned id;
    } cases[] = {
        {CAcquireAES::Profile, 3, 0},     {CAcquireAES::Profile, 4, 2111},
        {CAcquireAES::FastProfile, 4, 2111}, {CAcquireAES::Narrowscan, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exp * 10 + c.repeat);
        CAesSetup s;
        s.m_Exp.m_iExperiment = c.exp;
        s.m_Rgn.OnExpTypeChange(c.exp);
        s.m_Prf.m_Levels = {{1, 2, 10}, {3, 3, 20}, {}}; // three levels
        auto* r = new CRegion;
        r->m_csName = "Cu";
        r->m_dStart = 900;
        r->m_dFinish = 930;
        r->m_dStep = 1;
        r->m_dPeak = 915;
        r->m_dDwell = 10;
        r->m_nScans = 1;
        r->m_iRepeat = c.repeat;
        s.m_Rgn.m_NarrowscanRegions.push_back(r);
        unsigned got = 0;
        try {
            s.Check();
        } catch (const CAcqException& e) {
            got = e.Error().id;
        }
        EXPECT_EQ(got, c.id);
    }
}

TEST(AesSettingsSections, ExperimentAndProfilingFollowTheLayout)
{
    CAesExpModel e;
    LoadBytes(e, ExperimentSection().b);
    EXPECT_EQ(e.m_iExperiment, CAcquireAES::Profile);
    EXPECT_EQ(e.m_csFileName, "depth12.vlt");
    EXPECT_EQ(e.m_csComment, "Si wafer");
    EXPECT_EQ(Stored(e), ExperimentSection().b);

    CAesPrfModel p;
    p.m_iSelRow = 2;
    LoadBytes(p, ProfilingSection().b);
    EXPECT_EQ(p.m_bManual, 1);
    EXPECT_EQ(p.m_bRotate, 1);
    EXPECT_EQ(p.m_iSelRow, 1);
    // The stored empty row is the table's own: no second one is appended.
    ExpectLevels(p.m_Levels, {{1, 5, 2}, {6, 10, 3}, {}});
    EXPECT_EQ(Stored(p), ProfilingSection().b);

    // A file without the empty row gets one; so does an empty list.
    CBytes bare;
    bare.i32(0).i32(0).i32(1).f64(1).f64(3).f64(7);
    LoadBytes(p, bare.b);
    ExpectLevels(p.m_Levels, {{1, 3, 7}, {}});
    CBytes none;
    none.i32(0).i32(0).i32(0);
    LoadBytes(p, none.b);
    ExpectLevels(p.m_Levels, {Row()});

    // An experiment type out of range loads; Start refuses it.
    CBytes seven;
    seven.i32(7).str("").str("");
    LoadBytes(e, seven.b);
    EXPECT_EQ(e.m_iExperiment, 7);
    EXPECT_THROW(e.ErrorCheck(), CAcqException);
}

TEST(AesSettingsSections, ACutSectionThrowsAndChangesNothing)
{
    for (const auto& bytes : {ExperimentSection().b, ProfilingSection().b}) {
        for (size_t n = 0; n < bytes.size(); ++n) {
            const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
            CAesSetup s;
            s.m_Exp.m_csFileName = "kept.vlt";
            s.m_Prf.OnReset();
            const auto expBefore = Stored(s.m_Exp);
            const auto prfBefore = Stored(s.m_Prf);
            if (bytes == ExperimentSection().b)
                EXPECT_THROW(LoadBytes(s.m_Exp, cut), CArchiveException) << n;
            else
                EXPECT_THROW(LoadBytes(s.m_Prf, cut), CArchiveException) << n;
            EXPECT_EQ(Stored(s.m_Exp), expBefore) << n;
            EXPECT_EQ(Stored(s.m_Prf), prfBefore) << n;
        }
    }
    // A row count that the rest of the file cannot hold is refused before anything is made.
    CBytes huge;
    huge.i32(0).i32(0).i32(0x7fffffff).f64(1);
    CAesPrfModel p;
    EXPECT_THROW(LoadBytes(p, huge.b), CArchiveException);
    CBytes negative;
    negative.i32(0).i32(0).i32(-1);
    EXPECT_THROW(LoadBytes(p, negative.b), CArchiveException);
    ExpectLevels(p.m_Levels, {Row()});
}

TEST(AesSettingsFile, HeaderChecksNameTheFile)
{
    CBytes body = ExperimentSection();
    auto file = [&body](const std::string& name, int type) {
        CBytes f;
        f.raw(name).raw(std::string(12 - name.size(), '\0')).i32(type).i32(1).i32(3);
        f.b.insert(f.b.end(), body.b.begin(), body.b.end());
        return f.b;
    };
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
        AesSettingsFile::Kind kind;
        unsigned id;
        const char* arg;
    };
    const std::vector<Case> cases = {
        {"XPS settings", file("Veltrane", 2), AesSettingsFile::Kind::Refused, 2112, "/data/golden.saq"},
        {"UPS settings", file("Veltrane", 3), AesSettingsFile::Kind::Refused, 2112, "/data/golden.saq"},
        {"the older program", file("Norvale", 1), AesSettingsFile::Kind::Refused, 2113, "golden.saq"},
        {"another program", file("Spectra", 1), AesSettingsFile::Kind::Refused, 2069, "golden.saq"},
        {"a data file", file("Veltrane", 0), AesSettingsFile::Kind::DataFile, 0, nullptr},
    };
    for (const auto& c : cases) {
        CAesSetup s;
        CAcqError error;
        EXPECT_EQ(ReadBytes(c.bytes, s, error), c.kind) << c.what;
        EXPECT_EQ(error.id, c.id) << c.what;
        if (c.arg) {
            ASSERT_EQ(error.args.size(), 1u) << c.what;
            EXPECT_EQ(error.args[0], c.arg) << c.what;
        }
    }
}

TEST(AesSettingsFile, ReadsTheDocumentedLayoutAndWritesItBackIdentical)
{
    if (!AllSectionsWritten())
        GTEST_SKIP() << "the scan-control and regions sections are not written yet";
    const auto golden = GoldenAes();
    CAesSetup s;
    CAcqError error;
    ASSERT_EQ(ReadBytes(golden, s, error), AesSettingsFile::Kind::Settings) << error.Text();
    EXPECT_EQ(s.GetExpType(), CAcquireAES::Profile);
    EXPECT_EQ(s.m_Exp.m_csFileName, "depth12.vlt");
    EXPECT_EQ(s.m_Scn.GetMoveType(), CAcquireAES_Scn::Point);
    ASSERT_EQ(s.m_Scn.GetPointList().size(), 2u);
    EXPECT_EQ(s.m_Scn.GetPointList()[1].x, 20);
    ExpectLevels(s.m_Prf.m_Levels, {{1, 5, 2}, {6, 10, 3}, {}});

    CTempDir dir;
    AesSettingsFile::Write(s, dir / "again.saq");
    EXPECT_EQ(ReadAll(dir / "again.saq"), golden);
}

TEST(AesSettingsFile, EveryTruncationIsRefusedWithAReason)
{
    if (!AllSectionsWritten())
        GTEST_SKIP() << "the scan-control and regions sections are not written yet";
    const auto golden = GoldenAes();
    for (size_t n = 0; n < golden.size(); ++n) {
        const std::vector<uint8_t> cut(golden.begin(), golden.begin() + long(n));
        CAesSetup s;
        CAcqError error;
        ASSERT_EQ(ReadBytes(cut, s, error), AesSettingsFile::Kind::Refused) << n;
        EXPECT_TRUE(error.id == 2065 || error.id == 2068) << n << ": " << error.id;
    }
}

TEST(AesSettingsFile, WrittenFileRoundTripsAndReplacesAtomically)
{
    CAesSetup s;
    s.m_Exp.m_iExperiment = CAcquireAES::FastProfile;
    s.m_Exp.m_csFileName = "fast3.vlt";
    s.m_Exp.m_csComment = "two\r\nlines";
    s.m_Prf.OnReset();
    s.m_Prf.m_bRotate = 1;
    CTempDir dir;
    const std::string path = dir / "s.saq";
    {
        std::ofstream(path) << "old contents";
    }
    AesSettingsFile::Write(s, path);

    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeRead));
    CAesSetup back;
    CAcqError error;
    ASSERT_EQ(AesSettingsFile::Read(file, path, back, error), AesSettingsFile::Kind::Settings)
        << error.Text();
    EXPECT_EQ(back.GetExpType(), CAcquireAES::FastProfile);
    EXPECT_EQ(back.m_Exp.m_csComment, "two\r\nlines");
    EXPECT_EQ(back.m_Prf.m_bRotate, 1);
    ExpectLevels(back.m_Prf.m_Levels, s.m_Prf.m_Levels);
    // Nothing is left beside the file.
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(AesDocumentLoad, TypeCommentAndCompressedLevels)
{
    CAesSetup made;
    made.m_Exp.m_iExperiment = CAcquireAES::Profile;
    made.m_Exp.m_csComment = "from the run";
    made.m_Exp.m_csFileName = "made.vlt";
    made.m_Prf.m_bManual = 1;
    made.m_Prf.m_Levels = {{1, 3, 10}, {4, 4, 20}, {}};
    CVeltraneDoc doc;
    BuildAesDocument(doc, made);
    ASSERT_GE(doc.GetNumStagePosns(), 1);

    CAesSetup into;
    into.m_Exp.m_csFileName = "kept.vlt";
    ASSERT_FALSE(LoadAesFromDocument(doc, "made.vlt", into));
    EXPECT_EQ(into.GetExpType(), CAcquireAES::Profile);
    EXPECT_EQ(into.m_Exp.m_csComment, "from the run");
    EXPECT_EQ(into.m_Exp.m_csFileName, "kept.vlt") << "the page keeps its own file name";
    EXPECT_EQ(into.m_Prf.m_bManual, 1);
    EXPECT_EQ(into.m_Prf.m_iSelRow, 1);
    // Levels 10, 20, 30, 50: the first three share their step.
    ExpectLevels(into.m_Prf.m_Levels, {{1, 3, 10}, {4, 4, 20}, {}});

    // A document that is not a profile leaves the profiling page as it was.
    CAesSetup spectra;
    spectra.m_Exp.m_iExperiment = CAcquireAES::Narrowscan;
    CVeltraneDoc narrow;
    BuildAesDocument(narrow, spectra);
    CAesSetup keep;
    keep.m_Prf.OnReset();
    ASSERT_FALSE(LoadAesFromDocument(narrow, "n.vlt", keep));
    EXPECT_EQ(keep.GetExpType(), CAcquireAES::Narrowscan);
    EXPECT_EQ(keep.m_Prf.m_Levels.size(), 6u);
}

TEST(AesDocumentLoad, AnotherTechniqueLoadsNothing)
{
    CVeltraneDoc xps;
    BuildXpsDocument(xps, CXpsSetup());
    CAesSetup into;
    into.m_Exp.m_csComment = "kept";
    const CAcqError error = LoadAesFromDocument(xps, "x.vlt", into);
    EXPECT_EQ(error.id, 2113u);
    ASSERT_EQ(error.args.size(), 1u);
    EXPECT_EQ(error.args[0], "x.vlt");
    EXPECT_EQ(into.m_Exp.m_csComment, "kept");
}

TEST(AesSetup, CopyFromTakesEveryPagesValues)
{
    CAesSetup from;
    from.m_Exp.m_iExperiment = CAcquireAES::FastProfile;
    from.m_Exp.m_csFileName = "f2.vlt";
    from.m_Exp.m_csComment = "c";
    from.m_Prf.OnReset();
    from.m_Prf.m_bManual = 1;
    CAesSetup to;
    to.CopyFrom(from);
    EXPECT_EQ(Stored(to.m_Exp), Stored(from.m_Exp));
    EXPECT_EQ(Stored(to.m_Prf), Stored(from.m_Prf));
    EXPECT_EQ(Stored(to.m_Scn), Stored(from.m_Scn));
    EXPECT_EQ(Stored(to.m_Rgn), Stored(from.m_Rgn));
}

TEST(AesSetup, ACylindricalMirrorAnalyserRunsInCrrWhateverTheSetUpSays)
{
    // Its regions page shows CRR only; a run started before that page was
    // first shown, or after opening a set-up made in CAE, ran in CAE.
    SAesInstrument cma;
    cma.cma = true;
    auto analyserOfRun = [](const CAesSetup& s) {
        CVeltraneDoc doc;
        BuildAesDocument(doc, s);
        return doc.GetStagePosn(0)->GetAnalyserMode();
    };
    const CAesSetup fresh(cma);
    EXPECT_EQ(analyserOfRun(fresh), CStagePosn::CRR);

    CAesSetup hemispherical;
    ASSERT_EQ(hemispherical.m_Rgn.m_iAnalyserMode, 0);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        AesSettingsFile::Store(hemispherical, ar);
        ar.Close();
    }
    CMemFile in(file.Data(), "cae.saq");
    CAesSetup opened(cma);
    CAcqError error;
    ASSERT_EQ(AesSettingsFile::Read(in, "cae.saq", opened, error), AesSettingsFile::Kind::Settings);
    EXPECT_EQ(analyserOfRun(opened), CStagePosn::CRR);
    EXPECT_EQ(analyserOfRun(hemispherical), CStagePosn::CAE);
}
