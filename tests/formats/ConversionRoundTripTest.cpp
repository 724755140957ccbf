#include "Fixtures.h"

#include "data/Experiment.h"
#include "data/IonGun.h"
#include "data/Source.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportReaders.h"
#include "data/formats/Norvale.h"
#include "data/formats/PkLib.h"
#include "data/formats/Vamas.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "tests/data/doc_file_builder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

using fixtures::BuildVamas;
using fixtures::NorvaleFile;
using fixtures::VamasBlockSpec;
using fixtures::VamasSpec;

namespace {

struct QuietSink : IMessageSink
{
    std::vector<std::string> texts;
    int ShowMessage(const std::string& text, unsigned) override
    {
        texts.push_back(text);
        return IDOK;
    }
};

// A VAMAS export with its messages caught: refused, the messages and nothing
// written; written, the file's text (the file itself removed).
struct QuietExport
{
    bool saved = false;
    std::vector<std::string> texts;
    std::string written;
};

QuietExport ExportQuietly(CVeltraneDoc& doc, const std::filesystem::path& path)
{
    QuietExport out;
    QuietSink sink;
    IMessageSink* old = SetMessageSink(&sink);
    out.saved = SaveDocumentAsVamas(doc, path.string());
    SetMessageSink(old);
    out.texts = std::move(sink.texts);
    if (out.saved) {
        std::ifstream in(path, std::ios::binary);
        out.written.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        std::filesystem::remove(path);
    }
    return out;
}

void ImportVamas(CVeltraneDoc& doc, const std::string& text)
{
    CMemFile file(text.data(), text.size(), "in.npl");
    CImportReader().OpenVamasFile(doc, file);
}

CVamas::Environment TestEnvironment()
{
    CVamas::Environment env;
    env.userName = "tester";
    env.biasMinutes = -60;
    return env;
}

VamasSpec TwoRegionsTwoLevels()
{
    VamasSpec v;
    v.nRgns = 2;
    v.expVars = {{"Position", ""}};
    v.blocks.assign(4, VamasBlockSpec{});
    for (size_t k = 0; k < 4; ++k) {
        v.blocks[k].values = {1.0 + k, 2.5 + k, 1e6 + k};
        v.blocks[k].species = k % 2 ? "O" : "C";
        v.blocks[k].start = 100.0 * (k % 2 + 1);
    }
    return v;
}

} // namespace

TEST(Conversion, NorvaleFileBecomesADocument)
{
    NorvaleFile f;
    f.spectra[0].offset = 1500;
    f.spectra[0].etch[0] = 1, f.spectra[0].etch[1] = 3, f.spectra[0].etch[2] = 50;
    f.spectra[0].regions[0].stepRV = 100;
    f.spectra[0].regions[0].nPts = 11;
    CMemFile file(f.Build(), "old.dat");
    CVeltraneDoc doc;
    CImportReader().OpenNorvaleFile(doc, file);
    EXPECT_DOUBLE_EQ(doc.GetExperiment()->GetOffset(), 1.5);
    EXPECT_EQ(doc.GetExperiment()->GetExpType(), CExperiment::Widescan);
    EXPECT_EQ(doc.GetSource()->GetSourceType(), CSource::MgKa);
    ASSERT_EQ(doc.GetNumStagePosns(), 1);
    const CSpecRgn* r = doc.GetStagePosn(0)->GetSpecRgn(0);
    EXPECT_DOUBLE_EQ(r->CRegion::GetStart(), 930.0);
    EXPECT_DOUBLE_EQ(r->CRegion::GetFinish(), 931.0);
    EXPECT_DOUBLE_EQ(r->GetPeak(), 930.5);
    EXPECT_EQ(r->GetTrace(0)->GetData()[10], 10.0);
}

TEST(Conversion, NorvaleDataTypeAndStageMovementGiveTheExperimentKind)
{
    struct
    {
        int dataType, posMode, expType, profileType, moveType;
    } const cases[] = {
        {1, 0, CExperiment::Widescan, CExperiment::NoProfile, CExperiment::None},
        {2, 2, CExperiment::Narrowscan, CExperiment::NoProfile, CExperiment::None},
        {4, 0, CExperiment::Profile, CExperiment::DepthProfile, CExperiment::None},
        {8, 0, CExperiment::Profile, CExperiment::AngleResolved, CExperiment::None},
        // A multi-level series has no kind of its own: its levels are a narrow scan's curves.
        {16, 0, CExperiment::Narrowscan, CExperiment::NoProfile, CExperiment::None},
        {0x101, 0, CExperiment::Widescan, CExperiment::NoProfile, CExperiment::Normal},
        {0x102, 1, CExperiment::Narrowscan, CExperiment::NoProfile, CExperiment::Linear},
        {0x104, 2, CExperiment::Profile, CExperiment::DepthProfile, CExperiment::Memory},
        {0x104, 3, CExperiment::Profile, CExperiment::DepthProfile, CExperiment::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dataType * 10 + c.posMode);
        NorvaleFile f;
        f.spectra[0].dataType = c.dataType;
        f.spectra[0].posMode = c.posMode;
        CMemFile file(f.Build(), "old.dat");
        CVeltraneDoc doc;
        CImportReader().OpenNorvaleFile(doc, file);
        const CExperiment& e = *doc.GetExperiment();
        EXPECT_EQ(e.GetExpType(), c.expType);
        EXPECT_EQ(e.GetProfileType(), c.profileType);
        EXPECT_EQ(e.GetMoveType(), c.moveType);
        EXPECT_EQ(e.GetDataType(), CExperiment::SpectralData);
        EXPECT_EQ(e.GetTechnique(), CExperiment::XPS);
    }
}

TEST(Conversion, NorvaleSourceAndIonGunFromTheFirstSpectrum)
{
    struct
    {
        int type;
        int8_t etch[3];
        int sourceType, gunType, preset, dutyCycle;
    } const cases[] = {
        {1, {1, 3, 50}, CSource::MgKa, CIonGun::HSIG, 3, 50},
        {2, {2, 3, 50}, CSource::AlKa, 2, 0, 1},
        {3, {0, 0, 0}, CSource::Unknown, 0, 0, 1},
        {7, {-1, 9, 9}, CSource::Unknown, -1, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        NorvaleFile f;
        f.spectra[0].type = c.type;
        std::copy(c.etch, c.etch + 3, f.spectra[0].etch);
        f.spectra.push_back(f.spectra[0]);
        f.spectra[1].type = 2; // the second spectrum's source is not the document's
        CMemFile file(f.Build(), "old.dat");
        CVeltraneDoc doc;
        CImportReader().OpenNorvaleFile(doc, file);
        EXPECT_EQ(doc.GetSource()->GetSourceType(), c.sourceType);
        EXPECT_DOUBLE_EQ(doc.GetSource()->GetVoltage(), 10000.0);
        EXPECT_DOUBLE_EQ(doc.GetSource()->GetCurrent(), 20.0);
        EXPECT_DOUBLE_EQ(doc.GetSource()->GetEnergy(), 1253.6);
        EXPECT_EQ(doc.GetIonGun()->GetType(), c.gunType);
        EXPECT_EQ(doc.GetIonGun()->GetPreset(), c.preset);
        EXPECT_EQ(doc.GetIonGun()->GetDutyCycle(), c.dutyCycle);
    }
}

// Two positions of a depth profile, the second in the other analyser mode with
// regions of their own settings: every number reaches its position, and the
// document saves to a file that opens to the same bytes.
TEST(Conversion, NorvalePositionsKeepTheirRegionsLevelsAndCounts)
{
    NorvaleFile f;
    fixtures::NorvaleSpectrum& s = f.spectra[0];
    s.dataType = 4;
    s.levels = {0.0f, 30.0f, 60.5f};
    s.regions.resize(2);
    s.regions[1] = {25, 500000, -250, 4, 250, 1500, 7, "2p3/2", "Fe"};
    s.time = -1;
    s.op = "J\xE9r\xF4me";
    f.spectra.push_back(s);
    f.spectra[1].mode = "CRR";
    f.spectra[1].posn = 9;
    f.spectra[1].levels = {5.0f};
    f.spectra[1].regions.resize(1);
    CMemFile file(f.Build(), "my old file.dat");
    CVeltraneDoc doc;
    CImportReader().OpenNorvaleFile(doc, file);

    EXPECT_EQ(doc.GetExperiment()->GetOperator(), "J\xE9r\xF4me");
    EXPECT_EQ(doc.GetExperiment()->GetTime()->m_status, COleDateTime::invalid);
    ASSERT_EQ(doc.GetNumStagePosns(), 2);
    const CStagePosn* p = doc.GetStagePosn(0);
    const CStagePosn* q = doc.GetStagePosn(1);
    EXPECT_EQ(p->GetPosnNum(), 1);
    EXPECT_EQ(q->GetPosnNum(), 9);
    EXPECT_EQ(p->GetAnalyserMode(), CStagePosn::CAE);
    EXPECT_EQ(q->GetAnalyserMode(), CStagePosn::CRR);
    ASSERT_EQ(p->GetNumLevels(), 3);
    EXPECT_EQ(p->GetLevel(2)->GetValue(), 60.5);
    ASSERT_EQ(q->GetNumLevels(), 1);
    EXPECT_EQ(q->GetLevel(0)->GetValue(), 5.0);
    ASSERT_EQ(p->GetNumSpecRgns(), 2);
    ASSERT_EQ(q->GetNumSpecRgns(), 1);

    // 500 V retard + 1.5 V offset + 25 V pass - 120 = 406.5 eV, falling by 0.25 eV.
    const CSpecRgn* fe = p->GetSpecRgn(1);
    EXPECT_EQ(fe->m_csName, "Fe");
    EXPECT_EQ(fe->m_csRegion, "2p3/2");
    EXPECT_DOUBLE_EQ(fe->GetOffset(), 1.5);
    EXPECT_DOUBLE_EQ(fe->GetStart(), 406.5);
    EXPECT_DOUBLE_EQ(fe->GetFinish(), 405.75);
    EXPECT_DOUBLE_EQ(fe->CRegion::GetStep(), -0.25);
    EXPECT_DOUBLE_EQ(fe->GetAnalyserEnergy(), 25.0);
    EXPECT_DOUBLE_EQ(fe->GetDwell(), 250.0);
    EXPECT_EQ(fe->GetNumScans(), 7);
    EXPECT_EQ(fe->GetNumValues(), 4);
    // One curve per level, each the region's own run of values.
    ASSERT_EQ(fe->GetNumTraces(), 3);
    EXPECT_EQ(fe->GetTrace(0)->GetData()[0], 1000.0);
    EXPECT_EQ(fe->GetTrace(2)->GetData()[3], 1203.0);
    EXPECT_EQ(p->GetSpecRgn(0)->GetTrace(1)->GetData()[9], 109.0);
    ASSERT_EQ(q->GetSpecRgn(0)->GetNumTraces(), 1);
    EXPECT_EQ(q->GetSpecRgn(0)->GetTrace(0)->GetData()[9], 9.0);

    const auto save = [](CVeltraneDoc& d) {
        CMemFile out;
        CArchive ar(&out, CArchive::store);
        d.Serialize(ar);
        ar.Close();
        return out.Data();
    };
    const std::vector<uint8_t> saved = save(doc);
    CMemFile in(saved, "my old file.vlt");
    CVeltraneDoc back;
    ASSERT_TRUE(back.ReadFrom(in));
    EXPECT_EQ(save(back), saved);
    EXPECT_EQ(back.GetStagePosn(1)->GetAnalyserMode(), CStagePosn::CRR);
    EXPECT_EQ(back.GetStagePosn(0)->GetSpecRgn(1)->GetTrace(2)->GetData()[3], 1203.0);
}

TEST(Conversion, ABadModeInALaterSpectrumNamesTheFileAndLeavesNoDocument)
{
    QuietSink sink;
    IMessageSink* old = SetMessageSink(&sink);
    NorvaleFile f;
    f.spectra.push_back(f.spectra[0]);
    f.spectra[1].mode = "cae";
    CMemFile file(f.Build(), "older file \xC3\xA9.dat");
    IImportReader* installed = CVeltraneDoc::GetImportReader();
    RegisterImportReaders(nullptr);
    CVeltraneDoc doc;
    EXPECT_FALSE(doc.ReadFrom(file));
    CVeltraneDoc::SetImportReader(installed);
    ASSERT_FALSE(sink.texts.empty());
    EXPECT_EQ(sink.texts[0], "The file 'older file \xC3\xA9.dat' contains illegal parameters");
    EXPECT_EQ(doc.GetNumStagePosns(), 0);
    SetMessageSink(old);
}

TEST(Conversion, RegionsFindTheirPeakInTheLibrary)
{
    CPkLib lib;
    std::istringstream text("1s\n2s\n\n[PHYSICAL INFORMATION]\nCarbon C\n[PHOTO PEAK DATA]\n2 16 0 1 1 2 2\n"
                            "1 284 0 1 1 2 2\n[AUGER PEAK DATA]\n\n");
    ASSERT_EQ(lib.Load(text), 0);
    const std::tuple<const char*, const char*, int> cases[] = {
        {"C", "1s", 1}, {"C", "2p3/2", -1}, {"Xx", "1s", CRegion().GetRegionID()}};
    for (const auto& [element, region, expected] : cases) {
        SCOPED_TRACE(std::string(element) + " " + region);
        NorvaleFile f;
        f.spectra[0].regions[0].element = element;
        f.spectra[0].regions[0].region = region;
        CMemFile file(f.Build(), "old.dat");
        CVeltraneDoc doc;
        CImportReader(&lib).OpenNorvaleFile(doc, file);
        EXPECT_EQ(doc.GetStagePosn(0)->GetSpecRgn(0)->GetRegionID(), expected);
    }
}

TEST(Conversion, BadAnalyserModeIsRefusedNamingTheFile)
{
    QuietSink sink;
    IMessageSink* old = SetMessageSink(&sink);
    NorvaleFile f;
    f.spectra[0].mode = "FAT";
    CMemFile file(f.Build(), "old.dat");
    CVeltraneDoc doc;
    EXPECT_THROW(CImportReader().OpenNorvaleFile(doc, file), CUserException);
    ASSERT_EQ(sink.texts.size(), 1u);
    EXPECT_EQ(sink.texts[0], "The file 'old.dat' contains illegal parameters");
    SetMessageSink(old);
}

TEST(VamasWriter, OutputReadsBackToTheSameOrdinates)
{
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(TwoRegionsTwoLevels()));
    CVamas writer(&doc, TestEnvironment());
    ASSERT_EQ(writer.CanWrite(), 0);
    const std::string text = writer.Write();
    EXPECT_TRUE(text.ends_with("\r\nend of experiment"));
    EXPECT_NE(text.find("\r\n1st block id, 1, 1, 1, 1\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n4th block id, 1, 1, 2, 2\r\n"), std::string::npos);

    CVeltraneDoc back;
    ImportVamas(back, text);
    ASSERT_EQ(back.GetNumStagePosns(), 1);
    const CStagePosn* p = doc.GetStagePosn(0);
    const CStagePosn* q = back.GetStagePosn(0);
    ASSERT_EQ(q->GetNumSpecRgns(), 2);
    for (int r = 0; r < 2; ++r)
        for (int l = 0; l < 2; ++l) {
            const CTrace* a = p->GetSpecRgn(r)->GetTrace(l);
            const CTrace* b = q->GetSpecRgn(r)->GetTrace(l);
            ASSERT_EQ(a->GetNumPoints(), b->GetNumPoints());
            for (int i = 0; i < a->GetNumPoints(); ++i)
                EXPECT_EQ(a->GetData()[i], b->GetData()[i]);
            EXPECT_EQ(p->GetSpecRgn(r)->CRegion::GetStart(), q->GetSpecRgn(r)->CRegion::GetStart());
            EXPECT_EQ(p->GetLevel(l)->GetValue(), q->GetLevel(l)->GetValue());
        }
}

// Whatever this program writes it reads back: the ordinates, the energies and
// the levels' values (etch times of a depth profile, which the file carries
// after the position number), also where the writer puts "not known" (1e37:
// AES source values) or a zero source power.
TEST(VamasWriter, EachKindOfExportReadsBackWithItsLevelValues)
{
    struct Case
    {
        const char* name;
        void (*change)(VamasSpec&);
    };
    const Case cases[] = {
        {"narrow scan with zero power", [](VamasSpec& v) { v.strength = "0"; }},
        {"AES", [](VamasSpec& v) { v.technique = "AES dir"; }},
        {"AES differential", [](VamasSpec& v) { v.technique = "AES diff"; }},
        {"depth profile",
         [](VamasSpec& v) {
             v.expMode = "SDP";
             v.expVars = {{"Etch Time", "s"}};
             v.blocks.assign(5, VamasBlockSpec{});
             for (size_t k = 0; k < 5; ++k) {
                 v.blocks[k].expVar = 30.0 * static_cast<double>(k);
                 v.blocks[k].values = {10.0 * k, 11.0 * k + 0.125, 3.0};
             }
         }},
        {"levels at fine values",
         [](VamasSpec& v) {
             v.expMode = "SDP";
             v.expVars = {{"Time", "s"}};
             v.blocks.assign(2, VamasBlockSpec{});
             v.blocks[1].expVar = 12.3;
             v.blocks[0].start = 1234.56789;
             v.blocks[1].start = 1234.56789;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VamasSpec v;
        c.change(v);
        CVeltraneDoc doc;
        ImportVamas(doc, BuildVamas(v));
        CVeltraneDoc back;
        ImportVamas(back, CVamas(&doc, TestEnvironment()).Write());
        const CStagePosn* p = doc.GetStagePosn(0);
        const CStagePosn* q = back.GetStagePosn(0);
        EXPECT_EQ(back.GetExperiment()->GetExpType(), doc.GetExperiment()->GetExpType());
        EXPECT_EQ(back.GetExperiment()->GetProfileType(), doc.GetExperiment()->GetProfileType());
        ASSERT_EQ(q->GetNumLevels(), p->GetNumLevels());
        for (int l = 0; l < p->GetNumLevels(); ++l)
            EXPECT_EQ(q->GetLevel(l)->GetValue(), p->GetLevel(l)->GetValue()) << "level " << l;
        ASSERT_EQ(q->GetNumSpecRgns(), p->GetNumSpecRgns());
        const CSpecRgn* a = p->GetSpecRgn(0);
        const CSpecRgn* b = q->GetSpecRgn(0);
        EXPECT_EQ(b->GetStart(), a->GetStart());
        EXPECT_EQ(b->GetStep(), a->GetStep());
        for (int l = 0; l < p->GetNumLevels(); ++l) {
            ASSERT_EQ(b->GetTrace(l)->GetNumPoints(), a->GetTrace(l)->GetNumPoints());
            for (int i = 0; i < a->GetTrace(l)->GetNumPoints(); ++i)
                EXPECT_EQ(b->GetTrace(l)->GetData()[i], a->GetTrace(l)->GetData()[i]);
        }
    }
}

// An Auger spectrum keeps its kind through import and export: a differentiated
// one was written out as direct, and other programs took the derivative for
// the spectrum.
TEST(VamasWriter, AugerTechniqueSurvivesImportAndExport)
{
    for (const char* technique : {"AES diff", "AES dir"}) {
        SCOPED_TRACE(technique);
        VamasSpec v;
        v.technique = technique;
        CVeltraneDoc doc;
        ImportVamas(doc, BuildVamas(v));
        const std::string text = CVamas(&doc, TestEnvironment()).Write();
        EXPECT_NE(text.find(std::string("\r\n") + technique + "\r\n"), std::string::npos);
        CVeltraneDoc back;
        ImportVamas(back, text);
        EXPECT_EQ(back.GetExperiment()->GetDetector(), doc.GetExperiment()->GetDetector());
    }
}

// A charge correction moves the region's offset away from the work function:
// the exported file shows the peaks where the corrected document shows them.
TEST(VamasWriter, ChargeCorrectedEnergiesAreExported)
{
    VamasSpec v;
    v.workFunction = "4.19";
    v.blocks[0].start = 1200.0;
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(v));
    CSpecRgn* r = doc.GetStagePosn(0)->GetSpecRgn(0);
    const double shown = r->GetStart();
    r->SetOffset(r->GetOffset() + 2.1);
    CVeltraneDoc back;
    ImportVamas(back, CVamas(&doc, TestEnvironment()).Write());
    const CSpecRgn* b = back.GetStagePosn(0)->GetSpecRgn(0);
    EXPECT_NEAR(b->GetStart(), shown + 2.1, 1e-9);
    EXPECT_NEAR(b->GetFinish(), r->GetFinish(), 1e-9);
}

// A UPS document keeps its lamp's photon energy in the export: without it no
// reader can put the spectrum on binding energy. A lamp has no tube power.
TEST(VamasWriter, UpsSourceEnergyIsExported)
{
    CDataFileBuilder b;
    b.Header().Experiment(0x102, CExperiment::UPS).Source(CSource::Unknown, 21.22).IonGun();
    const size_t at = b.BeginPosn({}, 1);
    b.SpecRgn(5, 1).Count(0);
    b.EndPosn(at);
    b.End();
    CMemFile file(b.m_bytes, "ups.vlt");
    CVeltraneDoc doc;
    ASSERT_TRUE(doc.ReadFrom(file));
    ASSERT_EQ(doc.GetTechnique(), CExperiment::UPS);
    const std::string text = CVamas(&doc, TestEnvironment()).Write();
    EXPECT_NE(text.find("\r\nUPS\r\nUnknown\r\n21.22\r\n1e+37\r\n"), std::string::npos) << text;
}

// A time of day that is not known (-1 in the file) is written as -1 again and
// read back to the same unknown with the same date; a time not known at all
// writes -1 for its time of day too.
TEST(VamasWriter, UnknownTimeOfDayRoundTrips)
{
    VamasSpec v;
    v.date[3] = v.date[4] = v.date[5] = "-1";
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(v));
    const COleDateTime when = *doc.GetExperiment()->GetTime();
    EXPECT_EQ(when.m_status, COleDateTime::invalid);
    EXPECT_EQ(when.m_dt, COleDateTime::FromUnixTime(1709596800.0).m_dt); // 5 March 2024, a date only
    const std::string text = CVamas(&doc, TestEnvironment()).Write();
    EXPECT_NE(text.find("\r\n2024\r\n3\r\n5\r\n-1\r\n-1\r\n-1\r\n1\r\n"), std::string::npos);
    CVeltraneDoc back;
    ImportVamas(back, text);
    EXPECT_EQ(*back.GetExperiment()->GetTime(), when);

    for (auto& d : v.date)
        d = "0";
    CVeltraneDoc undated;
    ImportVamas(undated, BuildVamas(v));
    const std::string none = CVamas(&undated, TestEnvironment()).Write();
    EXPECT_NE(none.find("\r\n0\r\n0\r\n0\r\n-1\r\n-1\r\n-1\r\n1\r\n"), std::string::npos);
    CVeltraneDoc undatedBack;
    ImportVamas(undatedBack, none);
    EXPECT_EQ(*undatedBack.GetExperiment()->GetTime(), *undated.GetExperiment()->GetTime());
}

// The file's wall-clock time is kept as it is, whatever this machine's zone:
// 02:30 on 29 March 2026 is a time Berlin's clocks skip, and 01:30 on
// 1 November 2026 one St. John's clocks pass twice.
TEST(VamasWriter, DateAndTimeRoundTripInAnyTimeZone)
{
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved ? saved : "";
    struct Case
    {
        const char* zone;
        std::string date[7];
        double unixWall; // the fields counted as UTC
    };
    const Case cases[] = {
        {"Europe/Berlin", {"2026", "3", "29", "2", "30", "15", "0"}, 1774751415.0},
        {"America/St_Johns", {"2026", "11", "1", "1", "30", "0", "0"}, 1793496600.0},
        {"Pacific/Kiritimati", {"2024", "12", "31", "23", "59", "59", "0"}, 1735689599.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        setenv("TZ", c.zone, 1);
        tzset();
        VamasSpec v;
        std::copy(std::begin(c.date), std::end(c.date), v.date);
        CVeltraneDoc doc;
        ImportVamas(doc, BuildVamas(v));
        const COleDateTime when = *doc.GetExperiment()->GetTime();
        EXPECT_EQ(when.m_status, COleDateTime::valid);
        EXPECT_NEAR(when.m_dt, COleDateTime::FromUnixTime(c.unixWall).m_dt, 1e-9);
        const std::string fields = "\r\n" + c.date[0] + "\r\n" + c.date[1] + "\r\n" + c.date[2] + "\r\n" +
                                   c.date[3] + "\r\n" + c.date[4] + "\r\n" + c.date[5] + "\r\n";
        EXPECT_NE(CVamas(&doc, TestEnvironment()).Write().find(fields), std::string::npos);
    }
    saved ? setenv("TZ", savedTz.c_str(), 1) : unsetenv("TZ");
    tzset();
}

// A binding-energy file shows its peaks at the binding energies it gives:
// the work function is not added twice. On a kinetic-energy file the region
// starts at the file's energy and shows it with the work function added.
TEST(Conversion, VamasEnergiesAreShownAsTheFileGivesThem)
{
    VamasSpec v;
    v.workFunction = "4.19";
    v.blocks[0].abscissaLabel = "Binding Energy";
    v.blocks[0].start = 305;
    v.blocks[0].step = -0.05;
    v.blocks[0].values.assign(601, 1.0);
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(v));
    const double hv = doc.GetSource()->GetEnergy();
    const CSpecRgn* r = doc.GetStagePosn(0)->GetSpecRgn(0);
    EXPECT_NEAR(hv - r->GetStart(), 305.0, 1e-9);
    EXPECT_NEAR(hv - r->GetFinish(), 275.0, 1e-9);
    EXPECT_EQ(r->GetStep(), 0.05);
    EXPECT_EQ(r->GetNumPoints_x(), 601);

    VamasSpec k;
    k.workFunction = "4.19";
    k.blocks[0].start = 20.0;
    k.blocks[0].step = 1.983673;
    k.blocks[0].values.assign(1100, 1.0);
    CVeltraneDoc kinetic;
    ImportVamas(kinetic, BuildVamas(k));
    const CSpecRgn* kr = kinetic.GetStagePosn(0)->GetSpecRgn(0);
    EXPECT_EQ(kr->CRegion::GetStart(), 20.0);
    EXPECT_NEAR(kr->GetStart(), 24.19, 1e-12);
    // The step at full precision: no drift along 1100 points.
    EXPECT_NEAR(kr->CRegion::GetFinish(), 20.0 + 1099 * 1.983673, 1e-9);
    EXPECT_DOUBLE_EQ(kinetic.GetStagePosn(0)->GetSpecRgn(0)->GetAnalyserEnergy(), 20.0);
}

// The curve's extremes set the spectrum's scale: they are those of the values
// that are numbers, wherever a "nan" or "inf" stands, the first point included.
TEST(Conversion, VamasValuesThatAreNoNumberLeaveTheCurvesScale)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    struct Case
    {
        std::vector<double> values;
        double lo, hi;
    } cases[] = {
        {{nan, 300, 100, 200}, 100, 300},
        {{inf, 50, -inf, 70}, 50, 70},
        {{40, nan, 90, 60}, 40, 90},
        {{1, 2, 3, nan}, 1, 3},
        {{nan, inf}, 0, 0},
    };
    for (const Case& c : cases) {
        VamasSpec v;
        v.blocks[0].values = c.values;
        CVeltraneDoc doc;
        ImportVamas(doc, BuildVamas(v));
        const CSpecRgn* r = doc.GetStagePosn(0)->GetSpecRgn(0);
        EXPECT_EQ(r->GetTrace(0)->GetMinValue(), c.lo) << c.values[0] << " " << c.values[1];
        EXPECT_EQ(r->GetTrace(0)->GetMaxValue(), c.hi) << c.values[0] << " " << c.values[1];
        EXPECT_EQ(doc.GetStagePosn(0)->GetMaxValue(), c.hi);
    }
}

TEST(VamasWriter, CommentLinesAreCutAtEightyColumnsOfTwo)
{
    VamasSpec v;
    v.comment = {std::string(100, 'a'), "second"};
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(v));
    const std::string text = CVamas(&doc, TestEnvironment()).Write();
    // The column count restarts at each line end, CR or LF.
    EXPECT_NE(text.find("\r\n2\r\n" + std::string(41, 'a') + "\r\nsecond\r\nNORM\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nUnknown\r\nUnknown\r\ntester\r\n"), std::string::npos);
}

TEST(VamasWriter, SettingNumbersIgnoreTheDecimalCommaLocale)
{
    VamasSpec v;
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(v));
    CVamas::Environment env = TestEnvironment();
    env.value = [](const std::string& name, std::string& value) {
        if (name != "AnalysisSourcePolarAngle")
            return false;
        value = "54.75";
        return true;
    };
    // Where a decimal-comma locale is installed, run under it; elsewhere the
    // value is still read from the setting's text.
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name))
            break;
    const std::string text = CVamas(&doc, env).Write();
    std::setlocale(LC_NUMERIC, old.c_str());
    EXPECT_NE(text.find("\r\n54.75\r\n"), std::string::npos);
}

// A machine value that is no finite number is written as its default, never
// as "nan" or "inf", which no reader of the format takes.
TEST(VamasWriter, MachineValuesThatAreNoNumberTakeTheirDefaults)
{
    VamasSpec v;
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(v));
    CVamas::Environment env = TestEnvironment();
    env.value = [](const std::string& name, std::string& value) {
        value = name == "AnalysisSourcePolarAngle" ? "nan"
                : name == "AnalyserMag"            ? "1e999"
                : name == "AnalysisWidth_x"        ? "-inf"
                                                   : "";
        return !value.empty();
    };
    const std::string text = CVamas(&doc, env).Write();
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("inf"), std::string::npos);
    EXPECT_EQ(text, CVamas(&doc, TestEnvironment()).Write());
}

// Names and machine values are one line each in the file: a line break in one
// (a region name from a data file, an institute set in the machine
// configuration) must not move the lines after it.
TEST(VamasWriter, LineBreaksInNamesKeepTheFileReadable)
{
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(TwoRegionsTwoLevels()));
    doc.GetStagePosn(0)->GetSpecRgn(0)->m_csName = "C\r\nx";
    doc.GetStagePosn(0)->GetSpecRgn(1)->m_csRegion = "1s\n";
    CVamas::Environment env = TestEnvironment();
    env.value = [](const std::string& name, std::string& value) {
        value = name == "Institute" ? "Lab\nB" : name == "SignalMode" ? "pulse\rcounting" : "";
        return !value.empty();
    };
    const std::string text = CVamas(&doc, env).Write();
    EXPECT_NE(text.find("\r\nLab B\r\n"), std::string::npos);

    CNorvale model;
    CMemFile file(text.data(), text.size(), "out.npl");
    ASSERT_EQ(model.ReadVamas(file), 0);
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    ASSERT_EQ(s->nRgns, 2);
    ASSERT_EQ(s->nLevels, 2);
    EXPECT_EQ(FieldText(s->m_pRgns[0].szElement), "C  x");
    EXPECT_EQ(FieldText(s->m_pRgns[1].szRegion), "1s");
    const double* y = s->GetRgnData(1, 1);
    EXPECT_EQ(std::vector<double>(y, y + 3), (std::vector<double>{4.0, 5.5, 1e6 + 3}));
}

// Names outside ASCII (the document keeps them in the Windows Latin-1 code
// page) are written byte for byte and come back the same.
TEST(VamasWriter, NamesOutsideAsciiComeBackTheSame)
{
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(TwoRegionsTwoLevels()));
    doc.GetStagePosn(0)->GetSpecRgn(0)->m_csName = "F\xE9";
    doc.GetStagePosn(0)->GetSpecRgn(1)->m_csRegion = "2p\xB3\x80";
    CVamas writer(&doc, TestEnvironment());
    ASSERT_EQ(writer.CanWrite(), 0);
    CVeltraneDoc back;
    ImportVamas(back, writer.Write());
    ASSERT_EQ(back.GetNumStagePosns(), 1);
    EXPECT_EQ(back.GetStagePosn(0)->GetSpecRgn(0)->GetName(), "F\xE9");
    EXPECT_EQ(back.GetStagePosn(0)->GetSpecRgn(1)->GetRegion(), "2p\xB3\x80");
}

TEST(VamasWriter, DocumentsWithoutVamasFormAreRefusedWithAMessage)
{
    QuietSink sink;
    IMessageSink* old = SetMessageSink(&sink);
    CVeltraneDoc empty;
    EXPECT_FALSE(SaveDocumentAsVamas(empty, "/tmp/never-written.npl"));
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(VamasSpec{}));
    EXPECT_FALSE(SaveDocumentAsVamas(doc, "/nonexistent-folder/out.npl"));
    EXPECT_EQ(sink.texts.size(), 2u);
    SetMessageSink(old);
}

// xylib's converter reads what we write, to the same ordinates.
TEST(VamasWriter, OtherReadersAgree)
{
#ifndef XYCONV_PROGRAM
    GTEST_SKIP() << "xyconv (Debian libxy-bin) is not installed";
#else
    CVeltraneDoc doc;
    ImportVamas(doc, BuildVamas(TwoRegionsTwoLevels()));
    const auto dir = std::filesystem::temp_directory_path() / ("vamas-xy-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto npl = dir / "out.vms";
    ASSERT_TRUE(SaveDocumentAsVamas(doc, npl.string()));
    const auto xy = dir / "out.xy";
    const std::string cmd =
        std::string(XYCONV_PROGRAM) + " -t vamas '" + npl.string() + "' '" + xy.string() + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    // xyconv writes every block after a "### block" line, x and y a row.
    std::ifstream in(xy);
    std::vector<std::vector<double>> blocks;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("### block", 0) == 0)
            blocks.emplace_back();
        if (line.empty() || line[0] == '#' || blocks.empty())
            continue;
        std::istringstream row(line);
        double x, y;
        if (row >> x >> y)
            blocks.back().push_back(y);
    }
    // Blocks run level by level, region by region.
    ASSERT_EQ(blocks.size(), 4u);
    for (size_t b = 0; b < 4; ++b) {
        const CTrace* t =
            doc.GetStagePosn(0)->GetSpecRgn(static_cast<int>(b % 2))->GetTrace(static_cast<int>(b / 2));
        ASSERT_EQ(blocks[b].size(), static_cast<size_t>(t->GetNumPoints()));
        for (size_t i = 0; i < blocks[b].size(); ++i)
            EXPECT_NEAR(blocks[b][i], t->GetData()[i], 1e-6); // xyconv prints six decimals
    }
    std::filesystem::remove_all(dir);
#endif
}

// A value the file cannot carry so that it reads back (numbers no acquisition
// makes, from a converted file) refuses the export before anything is written,
// naming the value; a large value the file holds is written and reads back.
TEST(VamasWriter, ValuesTheFileCannotHoldAreRefusedBeforeWriting)
{
    struct Case
    {
        const char* name;
        void (*change)(CSpecRgn&);
        const char* named; // in the message; nullptr: written and read back
    };
    const Case cases[] = {
        {"pass energy of 2e9 V", [](CSpecRgn& g) { g.m_dAnalyserEnergy = 2.1e9; }, "the pass energy"},
        {"pass energy of -2e9 V", [](CSpecRgn& g) { g.m_dAnalyserEnergy = -2.1e9; }, "the pass energy"},
        {"pass energy that is no number", [](CSpecRgn& g) { g.m_dAnalyserEnergy = std::nan(""); },
         "the pass energy"},
        {"start beyond the reader's field", [](CSpecRgn& g) { g.m_dStart = 1e9; }, "the start or step"},
        {"infinite start", [](CSpecRgn& g) { g.m_dStart = -HUGE_VAL; }, "the start or step"},
        {"step of 3e6 eV", [](CSpecRgn& g) { g.m_dStep = 3e6; }, "the start or step"},
        {"step that is no number", [](CSpecRgn& g) { g.m_dStep = std::nan(""); }, "the start or step"},
        {"dwell that is no number", [](CSpecRgn& g) { g.m_dDwell = std::nan(""); }, "the dwell time"},
        {"infinite dwell", [](CSpecRgn& g) { g.m_dDwell = HUGE_VAL; }, "the dwell time"},
        {"scans beyond 16 bits", [](CSpecRgn& g) { g.m_nScans = 40000; }, "the number of scans"},
        {"large pass and start that fit",
         [](CSpecRgn& g) {
             g.m_dAnalyserEnergy = 2e6;
             g.m_dStart = 1e6;
         },
         nullptr},
        {"negative start and step",
         [](CSpecRgn& g) {
             g.m_dStart = -3.5e5;
             g.m_dStep = -0.125;
         },
         nullptr},
    };
    const auto path = std::filesystem::temp_directory_path() / ("vamas-range-" + std::to_string(::getpid()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CVeltraneDoc doc;
        ImportVamas(doc, BuildVamas(VamasSpec{}));
        ASSERT_EQ(doc.GetNumStagePosns(), 1);
        CSpecRgn& g = *doc.GetStagePosn(0)->GetSpecRgn(0);
        c.change(g);
        const QuietExport out = ExportQuietly(doc, path);
        if (c.named) {
            EXPECT_FALSE(out.saved);
            EXPECT_FALSE(std::filesystem::exists(path));
            ASSERT_EQ(out.texts.size(), 1u);
            EXPECT_NE(out.texts[0].find(c.named), std::string::npos) << out.texts[0];
            EXPECT_NE(out.texts[0].find("region 'C' at position 1"), std::string::npos) << out.texts[0];
            continue;
        }
        ASSERT_TRUE(out.saved);
        CMemFile file(out.written.data(), out.written.size(), "back.npl");
        CNorvale model;
        ASSERT_EQ(model.ReadVamas(file), 0);
        const CNorvale::SpecRgn& back = model.GetSpectrum(0)->m_pRgns[0];
        EXPECT_EQ(back.dStart, g.CRegion::GetStart() + g.GetOffset() - doc.GetExperiment()->GetOffset());
        EXPECT_EQ(back.dStep, g.CRegion::GetStep());
        EXPECT_EQ(back.dPass, g.GetAnalyserEnergy());
    }
}

// An older file converted into a document can hold values no acquisition
// makes; its VAMAS export either refuses them, naming the value, or opens again.
TEST(VamasWriter, ConvertedOlderFilesExportOnlyWhatOpensAgain)
{
    struct Case
    {
        const char* name;
        int pass, current, points, scans;
        const char* named; // nullptr: written, and the file opens again
    };
    const Case cases[] = {
        // The region's kinetic start follows its pass energy out of the field.
        {"pass energy of 2e9 V", 2000000000, 20000000, 10, 1, "the start or step energy of region 'C'"},
        {"pass energy of -2e9 V", -2000000000, 20000000, 10, 1, "the start or step energy of region 'C'"},
        {"negative source current", 50, -20000000, 10, 1, "the source power"},
        {"negative scans", 50, 20000000, 10, -3, nullptr},
        {"ordinary values", 50, 20000000, 10, 1, nullptr},
    };
    const auto path = std::filesystem::temp_directory_path() / ("vamas-old-" + std::to_string(::getpid()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NorvaleFile f;
        f.spectra[0].regions[0].pass = c.pass;
        f.spectra[0].current = c.current;
        f.spectra[0].regions[0].nPts = c.points;
        f.spectra[0].regions[0].scans = c.scans;
        CMemFile file(f.Build(), "old.dat");
        CVeltraneDoc doc;
        CImportReader().OpenNorvaleFile(doc, file);
        const QuietExport out = ExportQuietly(doc, path);
        if (c.named) {
            EXPECT_FALSE(out.saved);
            EXPECT_FALSE(std::filesystem::exists(path));
            ASSERT_EQ(out.texts.size(), 1u);
            EXPECT_NE(out.texts[0].find(c.named), std::string::npos) << out.texts[0];
            continue;
        }
        ASSERT_TRUE(out.saved);
        CMemFile back(out.written.data(), out.written.size(), "back.npl");
        CNorvale model;
        EXPECT_EQ(model.ReadVamas(back), 0);
    }
}

// Scans at several positions carry no position number in their blocks, so a
// reader takes them as one position: when their regions together are more
// than a file holds, the export is refused rather than written unreadable.
TEST(VamasWriter, PositionsThatReadBackAsTooManyRegionsAreRefused)
{
    NorvaleFile f;
    f.spectra.clear();
    for (int i = 0; i < 3; ++i) {
        fixtures::NorvaleSpectrum s;
        s.dataType = 2;
        s.nSpec = s.nPos = 3;
        s.posn = i + 1;
        s.regions.assign(static_cast<size_t>(9 + i), fixtures::NorvaleRegion{});
        for (size_t r = 0; r < s.regions.size(); ++r)
            s.regions[r].startRV = 1000000 + 1000 * static_cast<int>(r) + 100 * i;
        f.spectra.push_back(s);
    }
    CMemFile file(f.Build(), "old.dat");
    CVeltraneDoc doc;
    CImportReader().OpenNorvaleFile(doc, file);
    ASSERT_EQ(doc.GetNumStagePosns(), 3);
    CVamas writer(&doc, TestEnvironment());
    EXPECT_EQ(writer.Refusal("old"),
              "The document 'old' cannot be saved as a VAMAS file: the arrangement of its "
              "positions, levels and regions is outside what the file can hold.");
}
