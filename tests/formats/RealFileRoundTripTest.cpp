// Users' data sent through the round trips the program offers: a VAMAS file
// opened, exported as VAMAS and imported again; and the document saved in
// this program's own format and opened again. What comes back is compared
// with what went in, field by field.

#include "Fixtures.h"

#include "data/Experiment.h"
#include "data/Source.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportReaders.h"
#include "data/formats/Vamas.h"
#include "platform/Archive.h"
#include "platform/File.h"
#include "tools/mkdemo/DemoFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

using fixtures::BuildVamas;
using fixtures::VamasBlockSpec;
using fixtures::VamasSpec;

namespace {

std::string FixtureText(const std::string& name)
{
    const std::filesystem::path path =
        std::filesystem::path(VELTRANE_SOURCE_DIR) / "tests" / "formats" / "fixtures" / "vamas" / name;
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void ImportVamasText(CVeltraneDoc& doc, const std::string& text)
{
    CMemFile file(text.data(), text.size(), "in.vms");
    CImportReader().OpenVamasFile(doc, file);
}

void ExportAndImport(const CVeltraneDoc& doc, CVeltraneDoc& back)
{
    CVamas::Environment env;
    env.userName = "tester";
    ImportVamasText(back, CVamas(&doc, env).Write());
}

void SaveAndOpen(const CVeltraneDoc& doc, CVeltraneDoc& back)
{
    CMemFile out;
    CArchive ar(&out, CArchive::store);
    const_cast<CVeltraneDoc&>(doc).Serialize(ar);
    ar.Close();
    CMemFile in(out.Data(), "doc.vlt");
    ASSERT_TRUE(back.ReadFrom(in));
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The experiment's kind, time and work function; the X-ray source; and for each
// position its number (where there are several, or a profile), group, comment, analyser mode, levels in order
// and regions in order, with their names, energies, analyser setting, dwell, scans and every curve. Energies
// may differ by the rounding of a binding-energy scale turned round twice; the counts must come back bit for
// bit.
void ExpectSameData(const CVeltraneDoc& a, const CVeltraneDoc& b)
{
    const CExperiment& ea = *a.GetExperiment();
    const CExperiment& eb = *b.GetExperiment();
    EXPECT_EQ(eb.GetTechnique(), ea.GetTechnique());
    EXPECT_EQ(eb.GetExpType(), ea.GetExpType());
    EXPECT_EQ(eb.GetProfileType(), ea.GetProfileType());
    EXPECT_EQ(eb.GetOffset(), ea.GetOffset());
    EXPECT_EQ(eb.GetTime()->m_status, ea.GetTime()->m_status);
    EXPECT_NEAR(eb.GetTime()->m_dt, ea.GetTime()->m_dt, 1e-9);
    // The export gives an electron gun's values as not known.
    if (ea.GetTechnique() == CExperiment::XPS) {
        EXPECT_EQ(b.GetSource()->GetSourceType(), a.GetSource()->GetSourceType());
        EXPECT_EQ(b.GetSource()->GetEnergy(), a.GetSource()->GetEnergy());
        EXPECT_EQ(b.GetSource()->GetPower(), a.GetSource()->GetPower());
    }
    ASSERT_EQ(b.GetNumStagePosns(), a.GetNumStagePosns());
    for (int i = 0; i < a.GetNumStagePosns(); ++i) {
        const CStagePosn* p = a.GetStagePosn(i);
        const CStagePosn* q = b.GetStagePosn(i);
        if (a.GetNumStagePosns() > 1 || ea.GetExpType() == CExperiment::Profile) {
            EXPECT_EQ(q->GetPosnNum(), p->GetPosnNum());
        }
        EXPECT_EQ(*q->GetGroupName(), *p->GetGroupName());
        EXPECT_EQ(*q->GetComment(), *p->GetComment());
        EXPECT_EQ(q->GetAnalyserMode(), p->GetAnalyserMode());
        ASSERT_EQ(q->GetNumLevels(), p->GetNumLevels());
        for (int l = 0; l < p->GetNumLevels(); ++l)
            EXPECT_EQ(q->GetLevel(l)->GetValue(), p->GetLevel(l)->GetValue()) << "level " << l;
        ASSERT_EQ(q->GetNumSpecRgns(), p->GetNumSpecRgns());
        for (int r = 0; r < p->GetNumSpecRgns(); ++r) {
            SCOPED_TRACE("region " + std::to_string(r));
            const CSpecRgn* g = p->GetSpecRgn(r);
            const CSpecRgn* h = q->GetSpecRgn(r);
            EXPECT_EQ(h->m_csName, g->m_csName);
            EXPECT_EQ(h->m_csRegion, g->m_csRegion);
            EXPECT_NEAR(h->GetStart(), g->GetStart(), 1e-9);
            EXPECT_NEAR(h->GetFinish(), g->GetFinish(), 1e-9);
            EXPECT_NEAR(h->GetStep(), g->GetStep(), 1e-12);
            EXPECT_EQ(h->GetAnalyserEnergy(), g->GetAnalyserEnergy());
            if (p->GetAnalyserMode() == CStagePosn::CRR) {
                EXPECT_EQ(h->GetRetardRatio(), g->GetRetardRatio());
            }
            EXPECT_NEAR(h->GetDwell(), g->GetDwell(), 1e-9);
            EXPECT_EQ(h->GetNumScans(), g->GetNumScans());
            EXPECT_EQ(h->GetNumValues(), g->GetNumValues());
            ASSERT_EQ(h->GetNumTraces(), g->GetNumTraces());
            for (int t = 0; t < g->GetNumTraces(); ++t) {
                const CTrace* x = g->GetTrace(t);
                const CTrace* y = h->GetTrace(t);
                ASSERT_EQ(y->GetNumPoints(), x->GetNumPoints());
                for (int k = 0; k < x->GetNumPoints(); ++k)
                    if (!SameBits(y->GetData()[k], x->GetData()[k]))
                        ADD_FAILURE() << "curve " << t << " point " << k << ": " << y->GetData()[k] << " for "
                                      << x->GetData()[k];
            }
        }
    }
}

const char* const RealFiles[] = {"kherve__Pt4f.vms",         "lg4x__Mutlipak_vms.npl",
                                 "matkrin__aes_staib.vms",   "pynxtools__regular.vms",
                                 "xpsdl__Mn_references.vms", "xpsdl__mno_gas-phase_removed.vms"};

} // namespace

// Other programs' files, and this program's own files after them: what the
// export writes, the import reads back as it was opened; what the document
// saves, it opens as it was.
TEST(RoundTrip, RealFilesSurviveExportAndSave)
{
    for (const char* name : RealFiles) {
        SCOPED_TRACE(name);
        CVeltraneDoc doc;
        ImportVamasText(doc, FixtureText(name));
        CVeltraneDoc exported;
        ExportAndImport(doc, exported);
        {
            SCOPED_TRACE("VAMAS export and import");
            ExpectSameData(doc, exported);
        }
        CVeltraneDoc saved;
        SaveAndOpen(exported, saved);
        {
            SCOPED_TRACE("own document after the export");
            ExpectSameData(exported, saved);
        }
        CVeltraneDoc again;
        ExportAndImport(saved, again);
        {
            SCOPED_TRACE("own document exported again");
            ExpectSameData(doc, again);
        }
    }
}

// Settings of the analyser and the data that only some files have: a fixed
// retard ratio, counts at full double precision, a one-point region.
TEST(RoundTrip, AnalyserSettingsAndValuesSurviveExport)
{
    struct Case
    {
        const char* name;
        void (*change)(VamasSpec&);
    };
    const Case cases[] = {
        {"fixed retard ratio", [](VamasSpec& v) { v.analyserMode = "FRR", v.passEnergy = "4"; }},
        {"fixed retard ratio not known", [](VamasSpec& v) { v.analyserMode = "FRR", v.passEnergy = "1e37"; }},
        {"fine counts",
         [](VamasSpec& v) {
             v.blocks[0].values = {0.1, 1.0 / 3.0, 6.02214076e23, -2.5e-300};
         }},
        {"one point", [](VamasSpec& v) { v.blocks[0].values = {42.0}; }},
        {"not a number",
         [](VamasSpec& v) {
             v.blocks[0].values = {1.0, std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::quiet_NaN(), -0.0, 4.9e-324};
         }},
        {"one level with a value",
         [](VamasSpec& v) {
             v.expVars = {{"Temperature", "K"}};
             v.blocks[0].expVar = 450.0;
         }},
        {"regions in their order",
         [](VamasSpec& v) {
             v.nRgns = 3;
             v.blocks.assign(3, VamasBlockSpec{});
             v.blocks[0].species = "Si", v.blocks[1].species = "O", v.blocks[2].species = "C";
             v.blocks[1].values = {5.0};
             v.blocks[2].start = 12.25, v.blocks[2].step = 0.01;
         }},
        {"fractional dwell and many scans",
         [](VamasSpec& v) { v.blocks[0].collection = "0.0375", v.blocks[0].scans = "32000"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VamasSpec v;
        c.change(v);
        CVeltraneDoc doc;
        ImportVamasText(doc, BuildVamas(v));
        ASSERT_EQ(doc.GetNumStagePosns(), 1);
        CVeltraneDoc back;
        ExportAndImport(doc, back);
        ExpectSameData(doc, back);
    }
}

// The documents this program makes - XPS and AES depth profiles, a fast
// profile, an AES map, secondary-electron image and line scan - save to the
// very bytes they were opened from; the spectra among them export as VAMAS
// and import with the same levels, regions and counts.
TEST(RoundTrip, DemoDocumentsSurviveSaveAndExport)
{
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
        bool vamas;
    };
    const Case cases[] = {
        {"XPS depth profile", MakeDemoFile(), true},    {"AES depth profile", MakeAesDemoFile(), true},
        {"fast profile", MakeFastProfileFile(), false}, {"map", MakeMapFile(16), false},
        {"SE image", MakeSEImageFile(16), false},       {"line scan", MakeLineScanFile(16), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemFile file(c.bytes, "demo.vlt");
        CVeltraneDoc doc;
        ASSERT_TRUE(doc.ReadFrom(file));
        CMemFile out;
        CArchive ar(&out, CArchive::store);
        doc.Serialize(ar);
        ar.Close();
        EXPECT_TRUE(out.Data() == c.bytes);
        if (c.vamas) {
            CVeltraneDoc exported;
            ExportAndImport(doc, exported);
            ExpectSameData(doc, exported);
        }
    }
}

// Files of the older program exported as VAMAS and saved as documents: a
// narrow scan with a one-point region, a depth profile at fractional etch
// times, and scans and profiles at two stage positions (each position comes
// back as itself, not as further regions or levels of the first).
TEST(RoundTrip, NorvaleFilesSurviveExportAndSave)
{
    struct Case
    {
        const char* name;
        void (*change)(fixtures::NorvaleFile&);
    };
    static const auto twoPositions = [](fixtures::NorvaleFile& f, int dataType) {
        fixtures::NorvaleSpectrum& s = f.spectra[0];
        s.dataType = dataType | 0x100;
        s.nPos = 2;
        s.levels = {0.0f, 30.0f};
        s.regions.resize(2);
        s.regions[1].element = "O";
        f.spectra.push_back(s);
        f.spectra[1].posn = 7;
        for (auto& r : f.spectra[1].regions)
            r.startRV += 5000;
    };
    const Case cases[] = {
        {"narrow scan",
         [](fixtures::NorvaleFile& f) {
             fixtures::NorvaleSpectrum& s = f.spectra[0];
             s.dataType = 2;
             s.regions.resize(2);
             s.regions[1].element = "O";
             s.regions[1].nPts = 1;
         }},
        {"depth profile",
         [](fixtures::NorvaleFile& f) {
             f.spectra[0].dataType = 4;
             f.spectra[0].levels = {0.0f, 30.0f, 60.5f};
         }},
        {"narrow scans at two positions", [](fixtures::NorvaleFile& f) { twoPositions(f, 2); }},
        {"depth profiles at two positions", [](fixtures::NorvaleFile& f) { twoPositions(f, 4); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fixtures::NorvaleFile f;
        c.change(f);
        CMemFile file(f.Build(), "old.dat");
        CVeltraneDoc doc;
        CImportReader().OpenNorvaleFile(doc, file);
        CVeltraneDoc exported;
        ExportAndImport(doc, exported);
        ExpectSameData(doc, exported);
        CVeltraneDoc saved;
        SaveAndOpen(doc, saved);
        ExpectSameData(doc, saved);
    }
}

// Positions in groups of their own: the export's header counts the regions of
// both groups, and each position still comes back with its own two regions at
// its two levels.
TEST(RoundTrip, PositionsInGroupsOfTheirOwnKeepTheirRegionsAndLevels)
{
    fixtures::NorvaleFile f;
    fixtures::NorvaleSpectrum& s = f.spectra[0];
    s.dataType = 4 | 0x100;
    s.nPos = 2;
    s.levels = {0.0f, 30.0f};
    s.regions.resize(2);
    s.regions[1].element = "O";
    f.spectra.push_back(s);
    f.spectra[1].posn = 2;
    CMemFile file(f.Build(), "old.dat");
    CVeltraneDoc doc;
    CImportReader().OpenNorvaleFile(doc, file);
    // The groups come in through a file of this program's that names them.
    std::string text = CVamas(&doc, CVamas::Environment{}).Write();
    const std::string blank = "sample id: \r\n";
    for (int k = 0; k < 8; ++k)
        text.replace(text.find(blank), blank.size(),
                     std::string("sample id: ") + (k < 4 ? "Edge" : "Centre") + "\r\n");
    CVeltraneDoc grouped;
    ImportVamasText(grouped, text);
    ASSERT_EQ(grouped.GetNumStagePosns(), 2);
    EXPECT_EQ(*grouped.GetStagePosn(1)->GetGroupName(), "Centre");

    CVeltraneDoc back;
    ExportAndImport(grouped, back);
    ExpectSameData(grouped, back);
}

// Other programs find their way by the experiment mode alone: the header's
// region count is there for the NORM, SDP, MAP and MAPDP modes whatever the
// scan mode, and a block has the sputtering fields only in the depth-profile
// modes. A fast profile (irregular scan) once left the region count out, and
// an AES depth profile at analysis points was a plain map with sputtering
// fields; other readers took a label or the analyser mode for a number.
TEST(RoundTrip, ExportsLeadOtherReadersThroughHeaderAndBlock)
{
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    // The AES demonstration profile with its beam at analysis points: the
    // movement is the word after the time (46000.5) and the data type.
    std::vector<uint8_t> points = MakeAesDemoFile(2);
    {
        uint8_t mark[12];
        const double when = 46000.5;
        const int32_t dataType = 0x100;
        std::memcpy(mark, &when, 8);
        std::memcpy(mark + 8, &dataType, 4);
        const auto at = std::search(points.begin(), points.end(), mark, mark + 12);
        EXPECT_NE(at, points.end());
        if (at != points.end())
            at[12] = CExperiment::Point;
    }
    const Case cases[] = {{"XPS depth profile", MakeDemoFile(2)},
                          {"AES depth profile", MakeAesDemoFile(2)},
                          {"AES depth profile at points", points},
                          {"fast profile", MakeFastProfileFile(3)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemFile file(c.bytes, "demo.vlt");
        CVeltraneDoc doc;
        ASSERT_TRUE(doc.ReadFrom(file));
        const std::string text = CVamas(&doc, CVamas::Environment{}).Write();
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        size_t i = 5;
        auto number = [&]() {
            EXPECT_LT(i, lines.size());
            const std::string& s = i < lines.size() ? lines[i++] : std::string();
            EXPECT_FALSE(s.empty());
            EXPECT_EQ(s.find_first_not_of("-0123456789"), std::string::npos) << "line " << i << ": " << s;
            return std::atoi(s.c_str());
        };
        i += number();
        const std::string mode = lines[i++];
        ++i; // scan mode
        if (mode == "NORM" || mode == "SDP" || mode == "MAP" || mode == "MAPDP") {
            EXPECT_GT(number(), 0);
        }
        if (mode == "MAP" || mode == "MAPDP")
            for (int k = 0; k < 3; ++k)
                number();
        const int vars = number();
        i += 2 * static_cast<size_t>(vars);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(number(), 0);
        }
        const int blocks = number();
        ASSERT_LT(i, lines.size());
        EXPECT_EQ(lines[i], "1st block id, 1, 1, 1, 1");
        EXPECT_EQ(static_cast<size_t>(blocks),
                  static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& s) {
                      return s.find(" block id, ") != std::string::npos;
                  })));

        // The first block, from its date to the analyser mode.
        const bool map = mode == "MAP" || mode == "MAPDP";
        const bool depth = mode == "MAPDP" || mode == "SDP" || mode == "SDPSV";
        i += 2 + 7;
        i += number();
        const std::string technique = lines[i++];
        i += (map ? 2 : 0) + vars + 1; // coordinates, variables, source label
        i += (depth ? 3 : 0) + 4;      // sputtering ion; source energy, strength, widths
        i += (map ? 2 : 0) + 2;        // field of view; source angles
        ASSERT_LT(i, lines.size());
        EXPECT_TRUE(lines[i] == "FAT" || lines[i] == "FRR") << lines[i];
    }
}
